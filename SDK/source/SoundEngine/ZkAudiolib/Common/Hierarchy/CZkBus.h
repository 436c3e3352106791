// CZkBus: the hierarchy nodes that sounds and other buses route their output to (bank item types 8
// and 18; type 18 differs only in its category). A bus adds to the node: its children (non-bus
// nodes that name it as output bus, and child buses whose parent it is), its channel configuration,
// a mixer plug-in, the ducking of other buses while it carries sound, a background-music role the
// game can mute, an output device (an audio-device share-set id; -1 = the parent's), and whether it
// needs a mix stage of its own.
//
// Links: a non-bus child holds one reference on the bus as its output bus, a child bus one on it as
// its parent; the bus's child arrays do not own their children. Buses without a parent are in the
// engine's top-level list (not owning either) from the end of their bank read to their
// destruction; the background-music buses are in a list of their own.
//
// Ducking: while a bus plays (its play count is above 0), each of its duck entries holds a duck
// record in its target bus, which moves to the entry's duck volume; when the bus goes quiet, the
// records move back to 0 (at once, or after the recovery time through a pending recovery action
// that calls EndDuckRecovery). A target applies, per property (0 or 5), the sum of its records,
// floored at its maximum duck volume, and tells its duck target list of every change.
//
// Threading: audio thread, and bank loading under the global engine lock. The top-level list is
// changed under the global engine lock; the background-music list has a lock of its own (taken by
// mute, unmute, bank reads and destruction).
// Ownership: the object index's references (memory pool 2); the bus owns its child arrays, mixer
// record (pool 2), duck entries and duck records (pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkInlineArray.h"
#include "ZkAudiolib/Common/Containers/ZkPooledList.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkDuckRecord.h"

#include <type_traits>

namespace ZK::SoundEngine
{
// The bus's ducking state (bits 0-2 of its flags).
enum ZkDuckState : uint8_t
{
    ZkDuckState_Idle = 0,
    ZkDuckState_Ducking = 1,
    ZkDuckState_Recovering = 2,
};

// A duck that a bus applies to a target bus while it plays.
struct ZkDuckEntry
{
    ZkDuckEntry* next;
    ZkUniqueID targetBusID;
    float volume;     // dB
    uint32_t fadeOutMs; // to the duck volume
    uint32_t fadeInMs;  // back to 0
    uint8_t curve;
    uint8_t property; // 0 or 5
};

struct ZkMixerPlugin
{
    ZkUniqueID effectID;
    uint8_t isShareSet;
    uint32_t priority;
};

// One entry of a tree enumeration below a bus.
struct ZkBusTreeEntry
{
    ZkUniqueID id;
    ZkUniqueID parentID;
    uint32_t depth;
};

class CZkBus : public CZkHierarchyNode
{
public:
    static constexpr uint32_t kInheritDevice = 0xFFFFFFFFu;
    static constexpr float kNoDuckLimit = -96.3f;
    // Bus flags.
    static constexpr uint8_t kFlagDuckStateMask = 0x07;
    static constexpr uint8_t kFlagBank = 0x08;
    static constexpr uint8_t kFlagNotified = 0x10;
    static constexpr uint8_t kFlagsAtCreation = 0x30;
    static constexpr uint8_t kFlagBackgroundMusic = 0x40;

    // A new bus holding one reference (the bank's), in the bus table; null when out of memory or
    // when the table cannot take it (nothing is left behind).
    static CZkBus* Create(ZkUniqueID id);

    // Reads the item body (starting with the id) within size: 1; 7 when a field or count runs past
    // the body (nothing after it is read); 2 unknown parent bus, no duck node, no mixer record; 5,
    // 21, 23 from the parent's add-child check; 31 an effect slot above 3; 52 a list allocation;
    // otherwise the result of a subscription or of the state chunk.
    ZKRESULT SetFromBank(const uint8_t* body, uint32_t size);

    ZkNodeCategory Category() const override { return ZkNodeCategory_Bus; }

    // --- Children (CZkBus.cpp) ---
    // A child bus becomes a child bus (its parent), any other node a child (its output bus). A
    // child routed elsewhere is first taken from there. 1; 21 the child still has an output bus or
    // parent elsewhere; 5 the id is already a child; 23 the bus would be its own child; 2 the array
    // cannot grow; 52 the child's activity could not move here.
    ZKRESULT AddChild(CZkHierarchyNode* child) override;
    void RemoveChild(CZkHierarchyNode* child) override;
    CZkHierarchyNode* FindChild(ZkUniqueID id) const;
    CZkBus* FindChildBus(ZkUniqueID id) const;
    uint32_t ChildCount() const { return m_children.Length(); }
    uint32_t ChildBusCount() const { return m_childBuses.Length(); }
    CZkHierarchyNode* ChildAt(uint32_t index) const { return m_children[index]; }
    CZkBus* ChildBusAt(uint32_t index) const { return m_childBuses[index]; }
    // Whether bus is this bus or one of its parent buses.
    bool HasAncestorBus(const CZkHierarchyNode* bus) const { return HasAncestor(bus); }
    // Depth first below the bus: each child's id, its parent's id and its depth (1 for the bus's
    // own children) until the array is full. Returns the number written.
    uint32_t EnumerateTree(ZkBusTreeEntry* entries, uint32_t capacity) const;
    // The bus that provides the mix stage: this one when it needs processing, else its parent's.
    CZkBus* MixStageBus();
    bool IsTopLevel() const { return Parent() == nullptr; }

    // --- Devices and configuration (CZkBusDevices.cpp) ---
    // Message 31: stores the id when it differs and passes it to every child bus; a top-level bus
    // then marks the graph dirty.
    void SetDeviceID(uint32_t deviceID);
    uint32_t DeviceID() const { return m_deviceID; }
    // The bus's device, or the nearest ancestor's that has one, kept in the bus; -1 when none has.
    uint32_t ResolveOutputShareSet();
    // Every bus whose device (resolved as above) is oldID takes newID (a device replaced or moved to
    // another share set). 1.
    static ZKRESULT ResolveDeviceIDs(uint32_t oldID, uint32_t newID);
    // Message 46's change: type 1 (standard) keeps the mask bits of 0x3FF3F and recounts the
    // channels; a change of count, type or mask rebuilds the graph.
    void SetChannelConfig(uint32_t channelConfig);
    uint32_t ChannelConfig() const { return m_channelConfig; }
    // The mixer plug-in: a non-zero id makes the record when absent (2 out of memory); a priority
    // below the record's is ignored; a new id or flag stops everything playing through the bus; id
    // 0 then frees the record. 1.
    ZKRESULT SetMixerPlugin(ZkUniqueID effectID, bool isShareSet, uint32_t priority);
    const ZkMixerPlugin* MixerPlugin() const { return m_mixer; }
    // The mixer plug-in's effect object with a reference (share-set or custom-effect table), null
    // when none is loaded.
    CZkIndexedObject* MixerEffect() const;
    bool NeedsProcessing() const override;
    // The bus, or the first parent bus, that has a link for the state group collects its sync type;
    // false when none has.
    bool HasSubscriptionInChain(ZkUniqueID groupID, ZK::ZkArray<uint32_t>& syncTypes) const;

    // --- The engine's lists and messages (CZkBusLists.cpp) ---
    // The top-level list is read and changed on the engine thread, or under the global engine lock.
    static uint32_t TopLevelCount();
    static CZkBus* TopLevelAt(uint32_t index);
    // Adds the bus to the top-level list unless it is there (global engine lock). 1; 52.
    static ZKRESULT AddTopLevel(CZkBus* bus);
    static bool IsInTopLevelList(const CZkBus* bus);
    // Message 31: the bus of the id (when loaded) takes the device.
    static void SetBusDevice(ZkUniqueID busID, uint32_t deviceID);
    // Message 46: the bus of the id, when loaded and not top-level, takes the configuration.
    static void SetBusConfig(ZkUniqueID busID, uint32_t channelConfig);
    // Messages 32 and 57: every top-level bus (a referenced copy of the list) passes the action down
    // to its active children.
    static ZKRESULT ExecuteActionOnPlayingID(const ZkActionParams& params);
    static ZKRESULT ExecuteActionOnPlayingID(uint32_t code, ZkPlayingID playingID, ZkTimeMs transitionTime,
                                             uint32_t curve);

    // --- Background music (CZkBusBackgroundMusic.cpp) ---
    // Message 52. Muting sets the gain of every listed bus to 0 (and tells the game through the
    // init settings' callback); unmuting gives each its modified gain back. Each does nothing when
    // the music already is in that state.
    static void MuteBackgroundMusic();
    static void UnmuteBackgroundMusic();
    static bool IsBackgroundMusicMuted();
    bool IsBackgroundMusic() const { return (m_busFlags & kFlagBackgroundMusic) != 0; }
    // The gain the bus applies: 0 while muted background music, else its modified gain (1.0 when
    // it has none).
    float BusGain() const;

    // --- Ducking (CZkBusDucking.cpp) ---
    ZkDuckState DuckState() const { return static_cast<ZkDuckState>(m_busFlags & kFlagDuckStateMask); }
    float MaxDuckVolume() const { return m_maxDuckVolume; }
    uint32_t RecoveryFrames() const { return m_recoveryFrames; }
    // The duck on a property (0 or 5) from every bus that ducks this one: the sum of their records,
    // never below the maximum duck volume.
    float DuckValue(uint8_t property) const;
    const ZkDuckEntry* FirstDuckEntry() const { return m_ducks.First(); }
    // The duck record that ducking bus holds here for the property, or null.
    ZkDuckRecord* FindDuckRecord(ZkUniqueID duckingBusID, uint8_t property) const;
    // The bus went quiet with a recovery time: CZkDuckRecoveryAction::Queue(bus id, recovery frames)
    // was asked for a pending action (type 0x1820) and the bus holds its ducks (state 2). When that
    // action runs it looks the bus up and calls this: a bus still recovering releases its ducks
    // (state 0); one that plays again (state 1) keeps them. When the action cannot be queued the
    // bus releases its ducks at once.
    void EndDuckRecovery();
    // A record's value changed from before to after (ZkDuckRecord's transition report).
    void OnDuckValueChanged(uint8_t property, float before, float after);

    // --- The forwarding family (CZkBusForwarding.cpp) ---
    ZKRESULT ExecuteAction(const ZkActionParams& params) override;
    using CZkHierarchyNode::ExecuteAction;
    void PropagateParamDelta(uint32_t parameter, float delta) override;
    void UpdateContribution(CZkGameObject* object) override;
    void RefreshPositioningParam(uint32_t parameter, float value) override;
    void Refresh() override;
    void RefreshPositioning() override;
    ZKRESULT PrepareMedia() override;
    void UnprepareMedia() override;
    // Properties 0 to 5 push a change (with the property's parameter) when the stored value
    // differs; the others as for every node.
    ZKRESULT SetFloatProperty(uint32_t id, float value) override;
    ZKRESULT SubscribeRTPC(ZkUniqueID paramID, uint32_t paramType, uint32_t combineMode, uint32_t bit,
                           uint32_t curveID, uint32_t scaling, const ZkCurvePoint* points, uint32_t pointCount) override;
    void UnsubscribeRTPC(uint32_t bit, uint32_t curveID) override;
    void OnEffectSlotIndexChanged(uint32_t slotIndex) override;
    // The render side's value of a bus with a parent.
    void SetInstanceValue(float value, uint32_t id);
    // A notification of two flag words for the bus's mix stages.
    void ForwardBusNotification(uint32_t flags, uint32_t moreFlags);
    // The node's gathering, then the bus's duck on property 0 and, while it is muted background
    // music, a gain of 0.
    void GatherVoiceParams(ZkVoiceParams& params, const ZkGatherRequest& request) override;
    // The receiver flags that parameters 34-36 set while the bus has a mix stage of its own.
    uint64_t ReceiverFlags() const { return m_receiverFlags; }

    // --- Activity ---
    // The bus starts ducking when its play count becomes 1, and stops when it falls to 0.
    ZKRESULT PlayCountUp(ZkPlayCount& play) override;
    void PlayCountDown(CZkGameObject* object, bool toBus) override;

    CZkParamTargetList* ExtraTargetList() override { return &m_duckTargets; }
    CZkParamTargetList& DuckTargets() { return m_duckTargets; }
    uint8_t BusFlags() const { return m_busFlags; }

    explicit CZkBus(ZkUniqueID id);
    ~CZkBus() override;

protected:
    // The bus form of the bank steps.
    ZKRESULT ReadBusSettings(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadDucks(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadBusEffects(ZK::ZkByteCursor& cursor);

private:
    using ChildArray = ZK::ZkInlineArray<CZkHierarchyNode*, 1>;
    using ChildBusArray = ZK::ZkInlineArray<CZkBus*, 1>;

    // Position of the first child whose id is not below id.
    template <typename Array>
    static uint32_t LowerBound(const Array& array, ZkUniqueID id);
    template <typename Visit>
    void ForEachActiveChild(bool withBuses, bool withVirtual, Visit visit);
    // Runs change and marks the graph dirty when the answer of NeedsProcessing changed while the bus
    // plays.
    template <typename Change>
    auto WithProcessingCheck(Change change)
    {
        const bool before = NeedsProcessing();
        if constexpr (std::is_void_v<decltype(change())>)
        {
            change();
            AfterProcessingCheck(before);
        }
        else
        {
            auto result = change();
            AfterProcessingCheck(before);
            return result;
        }
    }
    void AfterProcessingCheck(bool before);

    void NotifyEffectBypass(uint8_t bits, uint8_t mask) override;
    void ResolveDeviceTree(uint32_t oldID, uint32_t newID);
    void SetDuckState(ZkDuckState state);
    // Duck entries: replaces the entry of the same target. 1; 2 no node.
    ZKRESULT AddDuckEntry(const ZkDuckEntry& entry);
    // Each entry's target moves this bus's record: to the duck volume (start), back to 0 (release)
    // or held where it is (hold).
    enum class DuckMove
    {
        Start,
        Release,
        Hold,
    };
    void ApplyDucks(DuckMove move);
    ZkDuckRecord* FindOrAddDuckRecord(ZkUniqueID duckingBusID, uint8_t property);
    void StopDucking();
    void FreeDuckRecords();
    void JoinBackgroundMusic();
    void LeaveBackgroundMusic();
    void LeaveTopLevelList();

    ChildArray m_children;
    ChildBusArray m_childBuses;
    ZkMixerPlugin* m_mixer = nullptr;
    CZkParamTargetList m_duckTargets;
    ZK::ZkPooledList<ZkDuckEntry> m_ducks;
    ZK::ZkPooledList<ZkDuckRecord> m_duckRecords[2]; // by property: 0, 5
    uint64_t m_receiverFlags = 0;
    uint32_t m_channelConfig = 0;
    uint32_t m_recoveryFrames = 0;
    uint32_t m_deviceID = kInheritDevice;
    float m_maxDuckVolume = kNoDuckLimit;
    uint8_t m_busFlags = kFlagsAtCreation;

    friend class ZkDuckRecord;
};

// Bank item type 18: a bus of category 10.
class CZkBusType18 final : public CZkBus
{
public:
    static CZkBus* Create(ZkUniqueID id);
    ZkNodeCategory Category() const override { return ZkNodeCategory_BusType18; }
    explicit CZkBusType18(ZkUniqueID id) : CZkBus(id) {}
};
} // namespace ZK::SoundEngine
