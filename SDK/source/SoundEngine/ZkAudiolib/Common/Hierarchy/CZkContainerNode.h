// CZkContainerNode: the base of the hierarchy's containers (group nodes, playlists; switch and
// layered containers to come). It keeps its children sorted by id (one inline slot, so a
// container of one child allocates nothing), validates new children, and passes node operations
// on to them: actions to every child (last to first) while the container plays, value changes
// and refreshes to the children that play, media preparation and streamed-media collection to
// every child. What a play of the container does is its class's PlayChildren.
//
// Links: each child holds its parent link (a counted reference on the container, taken by
// SetParent); the array does not own the children. A child that goes leaves the array through
// RemoveChild. A child is refused when it is the container or one of its ancestors (23): a body
// that names its parent could otherwise close a cycle of parents that every upward walk and every
// forwarded operation would follow forever.
//
// Threading: audio thread (bank loading under the global engine lock); see CZkHierarchyNode.
// Ownership: the child array is pool 0; the container is the object index's (pool 2).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"

namespace ZK::SoundEngine
{
class CZkContainerNode : public CZkPlayableNode
{
public:
    static constexpr ZkMemoryId kArrayPool = ZkMemID_Default;

    explicit CZkContainerNode(ZkUniqueID id) : CZkPlayableNode(id) {}
    ~CZkContainerNode() override;

    // --- Children ---
    // 1; 9 when the count reads as -1; 4 a category that cannot be a container's child (only 2-5
    // can); 21 a child with a parent; 5 already a child; 23 the container itself or an ancestor.
    virtual ZKRESULT CanAddChild(const CZkHierarchyNode* child) const;
    // Validates, inserts by id and links the child to the container. 2 when the array cannot grow.
    ZKRESULT AddChild(CZkHierarchyNode* child) override;
    // Looks the node up and adds it: 15 when it is not loaded (the child links itself when it comes).
    ZKRESULT AddChildByID(ZkUniqueID id);
    // Takes the child out of the array (when this container is its parent).
    void RemoveChild(CZkHierarchyNode* child) override;
    // Takes the child out and clears its parent link.
    void RemoveChildByID(ZkUniqueID id);
    // Takes every child out, last first, through RemoveChildByID (so a derived container's
    // RemoveChild drops what it keeps of each); stops at a child that will not leave.
    void RemoveAllChildren();
    // Sizes the array for count children (a single child stays inline). 1; 52 out of memory.
    ZKRESULT ReserveChildren(uint32_t count);
    uint32_t ChildCount() const { return m_childCount; }
    CZkHierarchyNode* Child(uint32_t index) const { return m_children[index]; }
    CZkHierarchyNode* FindChild(ZkUniqueID id) const;
    // Whether the array is the inline slot.
    bool ChildrenInline() const { return m_children == &m_inlineChild; }

    // --- Operations passed on ---
    ZKRESULT ExecuteAction(const ZkActionParams& params) override;
    using CZkHierarchyNode::ExecuteAction;
    void PropagateParamDelta(uint32_t parameter, float delta) override;
    void UpdateContribution(CZkGameObject* object) override;
    void RefreshPositioningParam(uint32_t parameter, float value) override;
    void Refresh() override;
    void RefreshPositioning() override;
    // Prepares every child; on a failure those prepared are unprepared again.
    ZKRESULT PrepareMedia() override;
    void UnprepareMedia() override;
    void CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const override;

    // --- Play ---
    ZKRESULT Play(PlayLaunchParams& params) override { return PlayChildren(params); }
    virtual ZKRESULT PlayChildren(PlayLaunchParams& params) = 0;
    // Plays one child: its MIDI filter, initial delay and class's play (CZkPlayableNode::Launch).
    static ZKRESULT PlayChild(CZkHierarchyNode* child, PlayLaunchParams& params);

protected:
    // A new node of the class holding one reference, in the actor-mixer table; null out of memory.
    template <typename Node>
    static Node* CreateIndexed(ZkUniqueID id)
    {
        auto* node = ZK::ZkNew<Node>(kPool, id);
        if (node != nullptr && node->AddToIndex() != ZK_Success)
        {
            ZK::ZkDelete(kPool, node);
            return nullptr;
        }
        return node;
    }
    // The start of a container's item body: the category test (91 for a node of another class),
    // the id and the common node body. 1 when the class's own fields follow (0 for a partial read,
    // which stops after the common part); else the failure.
    static ZKRESULT ReadCommonBody(CZkHierarchyNode* node, ZkNodeCategory category, ZK::ZkByteCursor& cursor,
                                   bool partial);
    // The validation without the category and count tests (what group nodes use).
    ZKRESULT CanLinkChild(const CZkHierarchyNode* child) const;
    // Calls visit for each child that plays, last to first (a child may leave meanwhile).
    template <typename Visit>
    void ForEachActiveChild(Visit visit) const
    {
        for (uint32_t index = m_childCount; index-- > 0;)
        {
            if (index < m_childCount && m_children[index]->PlayCount() > 0)
                visit(*m_children[index]);
        }
    }

private:
    // The insertion index of id (binary search); found tells whether it is there.
    uint32_t LowerBound(ZkUniqueID id, bool& found) const;
    bool GrowChildren();
    void FreeChildren();

    CZkHierarchyNode* m_inlineChild = nullptr;
    CZkHierarchyNode** m_children = &m_inlineChild;
    uint32_t m_childCount = 0;
    uint32_t m_childCapacity = 1;
};
} // namespace ZK::SoundEngine
