// CZkSwitchContainerNode: bank hierarchy item type 6, node category 4. A play plays the children
// assigned to the current value of a switch group or state group for the play's game object (the
// default value's children when the value has none). The last value played for each game object
// is kept in the object's value list under the container's id, as {value, consecutive plays}; a
// child marked firstOnly plays only on the first of those plays.
//
//   uint32 id, common node body, then: u8 groupType (0 switch, 1 state), u32 groupId,
//   u32 defaultValue, u8 continuous, u32 N + N child ids, u32 V + V x {u32 value, u32 K + K child
//   ids}, u32 S + S x {u32 child id, u8 flags-high, u8 mode, u32 fadeOutMs, u32 fadeInMs}
//
// Bank reading trusts no count: N, V, K or S past the item gives 7, and the read leaves nothing
// behind (the children it linked are unlinked, the assignments and settings cleared).
//
// Continuous containers keep a context per play (CZkSwitchPlayContext, pooled in blocks of 128 on
// the engine-wide play-context list): it keeps the play's playing id alive and counts as the
// node's activity until a stop, and while contexts exist the container follows its group: a new
// value for a playing game object stops (mode 1, with the child's fade-out) or lets finish (other
// modes) the old value's children and starts the new value's (with their fade-in); a child
// marked continueAcross that both values list keeps playing.
//
// Preparation: normally every child is prepared with the container. With the engine's game-sync
// preparation setting, only the children of the group's prepared values are, and the container
// follows the values prepared and unprepared later (IZkPreparedGroupNode).
//
// Threading: audio thread, under the global engine lock; value changes arrive from the switch
// and state managers on that thread. Ownership: the object index's (pool 2); owns its assignments
// (pool 0) and its contexts (each holds a reference on its game object, its external sources and
// its playing id).
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkObjectValueList.h"
#include "ZkAudiolib/Common/GameSyncs/CZkGroupSubscriber.h"
#include "ZkAudiolib/Common/GameSyncs/ZkPreparedGroup.h"
#include "ZkAudiolib/Common/Hierarchy/CZkChildContextContainer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSwitchAssignments.h"
#include "ZkAudiolib/Common/Playback/CZkContainerPlayContext.h"

namespace ZK::SoundEngine
{
class CZkSwitchContainerNode;

// One continuous play of a switch container.
struct CZkSwitchPlayContext final : public CZkContainerPlayContext
{
    explicit CZkSwitchPlayContext(CZkSwitchContainerNode& node) : owner(&node) {}

    void ExecuteAction(const ZkActionParams& params) override;

    CZkSwitchContainerNode* owner;
    CZkSwitchPlayContext* next = nullptr;
    ZkExternalSourceArray* externalSources = nullptr;
    ZkPlayingID playingID = 0;
    CZkGameObject* gameObject = nullptr;
    ZkPlayPath path;
    bool paused = false;
    // Set while a change for every game object is applied: the context is concerned, and the
    // value its object held before the change.
    bool changing = false;
    ZkObjectValue before{0, 0};
};

class CZkSwitchContainerNode final : public CZkChildContextContainer, public IZkPreparedGroupNode
{
public:
    static constexpr uint32_t kGroupSwitch = 0;
    static constexpr uint32_t kGroupState = 1;

    // A new switch container holding one reference, in the actor-mixer table; null out of memory.
    static CZkSwitchContainerNode* Create(ZkUniqueID id);
    // Reads the item body. 91 when node is not a switch container; 1; 7 a count past the item; 52
    // the child array; 57 a child twice in one value; 2 out of memory for the assignments or
    // settings, or a failed subscription; the common body's or a child's failure.
    static ZKRESULT ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial);

    explicit CZkSwitchContainerNode(ZkUniqueID id);
    ~CZkSwitchContainerNode() override;

    ZkNodeCategory Category() const override { return ZkNodeCategory_Switch; }
    // Plays the children of the object's value. 1 when a child started, else the last child's
    // result; 1 (2 within a chain) when neither the value nor the default has children; 2 when a
    // continuous play's context cannot be had.
    ZKRESULT PlayChildren(PlayLaunchParams& params) override;
    // Stop, pause and resume reach the contexts first, then the children.
    ZKRESULT ExecuteAction(const ZkActionParams& params) override;
    using CZkHierarchyNode::ExecuteAction;
    // A child that leaves takes its settings with it.
    void RemoveChild(CZkHierarchyNode* child) override;
    ZKRESULT PrepareMedia() override;
    void UnprepareMedia() override;
    ZKRESULT OnPreparedValue(ZkUniqueID value, bool prepare) override;
    // Appends the group; the children of the value in force collect as given, the others inactive.
    void CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const override;

    // A new value of the group (for key.gameObject, or for every object without one).
    void OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key, const CZkRTPCOverrideFilter* filter);
    // One context's action: stop and target notification remove it, pause and resume mark it.
    void ApplyActionToContext(CZkSwitchPlayContext* context, const ZkActionParams& params);

    uint32_t GroupType() const { return m_groupType; }
    ZkUniqueID GroupID() const { return m_groupID; }
    ZkUniqueID DefaultValue() const { return m_defaultValue; }
    bool IsContinuous() const { return m_continuous; }
    bool IsSubscribed() const { return m_subscribed; }
    uint32_t PreparedCount() const { return m_preparedCount; }
    uint32_t ContextCount() const { return m_contextCount; }
    const CZkSwitchPlayContext* Contexts() const { return m_contexts; }
    const CZkSwitchValueList& Values() const { return m_values; }
    CZkSwitchChildSettings SettingsOf(ZkUniqueID child) const { return m_settings.For(child); }
    uint32_t SettingsCount() const { return m_settings.Length(); }

protected:
    bool KeepsPlayContexts() const override { return m_continuous; }

private:
    class Subscriber final : public CZkGroupSubscriber
    {
    public:
        explicit Subscriber(CZkSwitchContainerNode& owner) : m_owner(owner) {}
        void OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key, const CZkRTPCOverrideFilter* filter) override
        {
            m_owner.OnGroupValueChanged(value, key, filter);
        }

    private:
        CZkSwitchContainerNode& m_owner;
    };

    ZKRESULT ReadSwitchFields(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadAssignments(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadChildSettings(ZK::ZkByteCursor& cursor);
    void UnlinkAll();

    // --- Play (CZkSwitchContainerNode.cpp) ---
    ZKRESULT AddContext(const PlayLaunchParams& params);
    // Plays the entry's children for the play; count is the object's consecutive plays.
    ZKRESULT PlayEntry(const CZkSwitchValueEntry& entry, PlayLaunchParams& params, uint32_t count, uint32_t& started);
    // Plays a child with a copy of the play; with a chain the child gets a chain of its own that
    // comes back here, unless takesChain hands it the incoming chain itself.
    ZKRESULT PlayOneChild(ZkUniqueID childID, PlayLaunchParams& params, bool takesChain);
    // The object's value entry after a play of value.
    ZkObjectValue CountPlay(CZkGameObject* object, ZkUniqueID value);

    // --- Value changes (CZkSwitchContainerChange.cpp) ---
    void ApplyValueChange(ZkUniqueID value, CZkGameObject* object, const CZkRTPCOverrideFilter* filter);
    void SwitchContext(CZkSwitchPlayContext& context, ZkObjectValue before, ZkUniqueID value);
    void StopOldChildren(const CZkSwitchValueEntry* oldEntry, const CZkSwitchValueEntry* newEntry,
                         CZkGameObject* object);
    void LetChildFinish(const CZkHierarchyNode& child, CZkGameObject* object);
    void RemoveContext(CZkSwitchPlayContext* context, bool clearValue);
    void ApplyActionToContexts(const ZkActionParams& params);
    void Follow();
    void StopFollowing();

    // --- Preparation (CZkSwitchContainerPrepare.cpp) ---
    bool PreparesByGameSync() const;
    ZKRESULT PrepareEntry(const CZkSwitchValueEntry& entry);
    void UnprepareEntry(const CZkSwitchValueEntry& entry, uint32_t count);

    Subscriber m_subscriber{*this};
    CZkSwitchValueList m_values;
    CZkSwitchChildSettingsTable m_settings;
    CZkSwitchPlayContext* m_contexts = nullptr;
    uint32_t m_contextCount = 0;
    uint32_t m_preparedCount = 0;
    // The group the game-sync preparation registered on (the bank may change the group later).
    uint32_t m_preparedGroupType = 0;
    ZkUniqueID m_preparedGroupID = 0;
    uint32_t m_groupType = kGroupSwitch;
    ZkUniqueID m_groupID = 0;
    ZkUniqueID m_defaultValue = 0;
    bool m_subscribed = false;
    bool m_continuous = false;
};
} // namespace ZK::SoundEngine
