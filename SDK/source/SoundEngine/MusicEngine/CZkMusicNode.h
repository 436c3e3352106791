// CZkMusicNode: the base of the music hierarchy's segments and containers (the track has its own
// base). It keeps its children in bank order (one inline slot for a single child, else an array
// from pool 0), its music flags, its musical grid (inherited from the nearest ancestor that has
// its own tempo), and its stingers. It reads the part of the bank payload that segments and
// containers share, and passes node operations on to its children.
//
// Links: as CZkContainerNode, each child holds its parent link (a counted reference on this node);
// the child array does not own the children. A first read that fails unlinks the children it
// linked (UnlinkChildren) so that the node can go.
//
// Speed: property 54 and game parameter 13 scale the playback speed of the music playing under
// the node; a change of either raises the music engine's speed-refresh request, which the
// per-frame callback hands to every playing context.
//
// Threading: bank thread under the global engine lock (reads), engine thread otherwise.
// Ownership: the object index's (pool 2); the node owns its child array and stinger array.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

namespace ZK::SoundEngine
{
class CZkRTPCOverrideFilter;
}

namespace ZK::MusicEngine
{
using SoundEngine::CZkHierarchyNode;
using SoundEngine::ZkNodeCategory;

constexpr ZkNodeCategory kCategoryMusicTrack = static_cast<ZkNodeCategory>(6);
constexpr ZkNodeCategory kCategoryMusicSegment = static_cast<ZkNodeCategory>(7);
constexpr ZkNodeCategory kCategoryMusicPlaylist = static_cast<ZkNodeCategory>(8);
constexpr ZkNodeCategory kCategoryMusicSwitch = static_cast<ZkNodeCategory>(9);

// The playback-speed property and the game parameter that drives it.
constexpr uint32_t kPropPlaybackSpeed = 54;
constexpr uint32_t kPropMidiTempo = 55;
constexpr uint32_t kPropMidiTarget = 56;
constexpr uint32_t kParamPlaybackSpeed = 13;

// Every field in samples; all zero for a node whose chain has no own tempo.
struct ZkMusicGrid
{
    float tempo = 0.0f; // beats per minute
    int32_t beat = 0;
    int32_t bar = 0;
    int32_t period = 0;
    int32_t offset = 0;
};

struct ZkMusicStinger
{
    ZkUniqueID triggerID;
    ZkUniqueID segmentID; // 0: none
    uint32_t syncKind;
    ZkUniqueID cueFilter; // 0: any cue
    int32_t minIntervalMs;
    uint32_t searchNextSegment;
};

class CZkMusicNode : public SoundEngine::CZkPlayableNode
{
public:
    static constexpr ZkMemoryId kArrayPool = ZkMemID_Default;
    static constexpr uint32_t kMaxChildren = 65535;
    // Music flag bits.
    static constexpr uint8_t kFlagOverridesTempo = 0x1;
    static constexpr uint8_t kFlagOverridesTarget = 0x2;
    static constexpr uint8_t kFlagOwnGrid = 0x4;
    static constexpr uint8_t kFlagTargetIsBus = 0x8;

    explicit CZkMusicNode(ZkUniqueID id);
    ~CZkMusicNode() override;

    // Whether the category is that of a music node (segment, playlist or switch container).
    static bool IsMusicNode(const CZkHierarchyNode* node);

    // --- Children ---
    // 1; 9 at the child-list limit; 4 a category the class does not take; 21 a child with a
    // parent; 5 already a child; 23 the node itself.
    ZKRESULT CanAddChild(const CZkHierarchyNode* child) const;
    ZKRESULT AddChild(CZkHierarchyNode* child) override;
    void RemoveChild(CZkHierarchyNode* child) override;
    // Looks the id up and adds it: 14 for id 0, 15 when the node is not loaded.
    ZKRESULT AddChildByID(ZkUniqueID id);
    // Takes every child out and clears its parent link.
    void UnlinkChildren();
    uint32_t ChildCount() const { return m_childCount; }
    // Null beyond the child count.
    CZkHierarchyNode* ChildAt(uint16_t index) const { return index < m_childCount ? m_children[index] : nullptr; }

    // --- Node operations ---
    // Stop, pause and resume reach the node's plays (its playing root contexts, filtered by the
    // action's game object and playing id); a seek makes a segment's or switch container's plays
    // seek. The action then goes on to the children, last to first, while the node plays, or always
    // when it carries an exception list (skipping excepted children); state transitions follow.
    ZKRESULT ExecuteAction(const SoundEngine::ZkActionParams& params) override;
    using CZkHierarchyNode::ExecuteAction;
    // Stinger segments, then (containers) transition segments, then every child; a failure undoes
    // what was prepared before it.
    ZKRESULT PrepareMedia() override;
    void UnprepareMedia() override;
    void CollectStreamedMedia(const SoundEngine::ZkStreamedMediaRequest& request, bool active) const override;
    // Property 54: a new value is stored and raises the speed refresh, then the common setter.
    ZKRESULT SetFloatProperty(uint32_t id, float value) override;
    // A music node plays through the music contexts, which are not built yet: 4.
    ZKRESULT Play(SoundEngine::PlayLaunchParams&) override { return ZK_NotImplemented; }

    // --- Parameters ---
    // The node's parameter receiver: 13 raises the speed refresh, any other bit goes to the
    // node's target list.
    void ReceiveParamValue(uint32_t bit, const ZkRTPCKey& key, float value, float delta,
                           const SoundEngine::CZkRTPCOverrideFilter* filter);
    // A parameter notification: 13 raises the speed refresh (value 0), others are ignored.
    void NotifyParam(uint32_t parameter);
    // The byte-carrying notifications: mask bit 0x2000 raises the refresh with the byte, and a mask
    // with any bit other than 0, 2 and 3 goes on to the playing children; the single-parameter
    // form raises it for 13 and passes any other parameter on.
    void NotifyParamMask(uint64_t mask, uint8_t value);
    void NotifyParamWithValue(uint32_t parameter, uint8_t value);
    // value x property 54 x the state value of 13 x (with mask bit 13) the game-parameter value of
    // 13 for key, then the parent's factor, up the music hierarchy.
    float EffectivePlaybackSpeed(float value, const ZkRTPCKey& key) const;
    // This node's own factor.
    float OwnSpeedFactor(const ZkRTPCKey& key) const;

    // --- Grid, stingers, MIDI ---
    uint8_t MusicFlags() const { return m_musicFlags; }
    const ZkMusicGrid& OwnGrid() const { return m_grid; }
    // The grid of the nearest node up the chain (this one first) with its own tempo; zeros when
    // none has one.
    const ZkMusicGrid& EffectiveGrid() const;
    const ZK::ZkArray<ZkMusicStinger, ZkMemID_BankObjects>& Stingers() const { return m_stingers; }
    // The stingers in force at this node: from the root down, each level's stinger replaces an
    // earlier one of the same trigger (the last entry moves into its place) and is appended.
    // 1; 2 when out cannot grow.
    ZKRESULT EffectiveStingers(ZK::ZkArray<ZkMusicStinger>& out) const;
    void MidiTarget(bool& overrides, ZkUniqueID& target, bool& isBus) const;
    void MidiTempo(bool& overrides, float& tempo) const;
    // Whether a child's chain (then its output-bus chain), or this node's, subscribes to the group.
    bool HasSubscriptionInChildren(ZkUniqueID groupID) const;

protected:
    // The shared payload after the object id's position: id, flags, node part, children, grid,
    // stingers. 1; 7 a field, count or time out of the item or out of range; 14, 15 (tolerated),
    // 4, 5, 9, 21, 23 from children; 52 the child array; 2 the stinger array; the node part's.
    ZKRESULT ReadMusicNodePayload(ZK::ZkByteCursor& cursor);
    virtual bool AcceptsChild(ZkNodeCategory category) const = 0;
    // Containers prepare their rules' transition segments.
    virtual ZKRESULT PrepareTransitionSegments() { return ZK_Success; }
    virtual void UnprepareTransitionSegments() {}
    ZKRESULT PrepareStingerSegments();
    void UnprepareStingerSegments(uint32_t count);
    // Stinger and transition segments together (what every music node's preparation starts with).
    ZKRESULT PrepareOwnSegments();
    void UnprepareOwnSegments();
    // Calls visit for each child, last to first.
    template <typename Visit>
    void ForEachChildReversed(Visit visit) const
    {
        for (uint32_t index = m_childCount; index-- > 0;)
        {
            if (index < m_childCount)
                visit(*m_children[index]);
        }
    }

private:
    ZKRESULT ReserveChildren(uint32_t count);
    ZKRESULT ReadGrid(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadStingers(ZK::ZkByteCursor& cursor);
    void FreeChildren();

    CZkHierarchyNode* m_inlineChild = nullptr;
    CZkHierarchyNode** m_children = &m_inlineChild;
    uint32_t m_childCount = 0;
    uint32_t m_childCapacity = 1;
    ZK::ZkArray<ZkMusicStinger, ZkMemID_BankObjects> m_stingers;
    ZkMusicGrid m_grid;
    uint8_t m_musicFlags = 0;
};
} // namespace ZK::MusicEngine
