// CZkHierarchyNode: the root of every object of the bank's sound hierarchy (sounds, containers,
// buses, music nodes). A node knows its parent and its output bus, holds its own settings (packed
// property list, override mask, effect chain, aux settings, positioning bits, plug-in attachments,
// instance limit), subscribes to game parameters (its two CZkParamTargetLists) and states (its
// CZkStateProperties part), and keeps per-game-object records of runtime property changes.
//
// Links: a node holds one reference on its parent and one on its output bus (SetParent and
// SetOutputBus take and drop them); a parent's or bus's list of children does not own them. When a
// node's last reference goes, the node leaves its table, then its parent's and its bus's child
// lists (their RemoveChild), drops its links and is destroyed, all under its table's lock.
//
// Game-parameter targets: a keyed target (a playing instance, a limiter) asks its node to gather it
// (GetInheritedProperties): from the node up its parents, each level subscribes the target for the
// parameters it offers that no level below has claimed by an override bit; the always-set
// parameters are subscribed at every level up to the root; the bus side then continues up the
// output bus chain. ClearInheritedSubscriptions undoes the same walk. A node's destruction
// unregisters every target still registered under it (they are registered under the node's own
// address), so none is left pointing at a freed node.
//
// Activity: a node that plays (or has playing descendants) carries an activity record with its
// counters, its live instances and its instance limiters (ZkActivityRecord.h); an idle node carries
// none. A play is counted at its node, at the output bus of the first level that has one, and at
// every parent; an idle record is freed by the decrement that leaves it idle.
//
// The virtual operations keep the order of the node's operation table; those that every class
// supplies are pure.
//
// Threading: everything runs on the audio thread (or during bank loading under the global engine
// lock), except AddRef, Release and the index look-ups, which take the node table's lock (bus table
// or actor-mixer table by the bus flag); destruction at count 0 runs inside that lock, so another
// thread's look-up never sees a half-destroyed node.
// Ownership: the object index's references (memory pool 2). The node owns its lists, records,
// effect chain, aux array and attachment table.
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkNodeParams.h"
#include "ZkAudiolib/Common/Hierarchy/ZkActivityRecord.h"
#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPackedPropList.h"
#include "ZkAudiolib/Common/Hierarchy/ZkNodeSettings.h"
#include "ZkAudiolib/Common/Hierarchy/ZkNodeStateStorage.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPropertyTable.h"
#include "ZkAudiolib/Common/Hierarchy/ZkVoiceParams.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTargets.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateProperties.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

struct ZkPositioningInfo;

namespace ZK::SoundEngine
{
class CZkGameObject;
struct ZkPathData;
class CZkRegisteredObj;
class CZkKeyedParamTarget;
class CZkModifiedProps;
class CZkPlayingInstance;
struct ZkStreamedMediaRequest;

// Flag byte A.
constexpr uint8_t kNodeFlagA_TieBreakReversed = 0x01;
constexpr uint8_t kNodeFlagA_VirtualOnLimit = 0x02;
constexpr uint8_t kNodeFlagA_OverridesBehaviours = 0x04;
constexpr uint8_t kNodeFlagA_OverridesCustomEffect = 0x08;
constexpr uint8_t kNodeFlagA_GlobalLimit = 0x10;
constexpr uint8_t kNodeFlagA_PriorityDistanceOffset = 0x20;
constexpr uint8_t kNodeFlagA_IsBus = 0x80;
// Flag byte B.
constexpr uint8_t kNodeFlagB_UseGameAuxSends = 0x01;
constexpr uint8_t kNodeFlagB_Has3D = 0x02;
constexpr uint8_t kNodeFlagB_PannerMask = 0x1C;
constexpr uint8_t kNodeFlagB_OverridesMidiPlayMode = 0x20;
constexpr uint8_t kNodeFlagB_OverridesKeyTracking = 0x40;
constexpr uint8_t kNodeFlagB_KeyTracking = 0x80;
// Flag byte C.
constexpr uint8_t kNodeFlagC_MidiMode = 0x01;
constexpr uint8_t kNodeFlagC_LimitCheckStops = 0x04;

// Override mask: bit k set = the node overrides its ancestors for game parameter k + 17.
constexpr uint32_t kOverrideParamOffset = 17;
constexpr uint64_t kOverridePriority = 0x1;
constexpr uint64_t kOverridePositioning = 0x20020000ffeull;
constexpr uint64_t kOverrideEffectBypass = 0x1f000ull;
constexpr uint64_t kOverrideParam37 = 0x100000ull;
constexpr uint64_t kOverrideGameAux = 0x18000200000ull;
constexpr uint64_t kOverrideUserAux = 0x7f83c00000ull;
constexpr uint64_t kOverrideExtraAux = 0x40000000ull;
constexpr uint64_t kOverrideBusBits = 0x1c000000ull; // bits 26-28: set while an output bus is present
constexpr uint64_t kOverridePluginAttachments = 0x40000000000ull;

constexpr uint16_t kMaxInstancesMask = 0x3FF;
constexpr uint32_t kUserAuxBusCount = 4;

// The plug-ins attached to a node (pool 2): count entries {effect id, share-set flag}.
struct ZkPluginAttachment
{
    ZkUniqueID effectID;
    uint8_t isShareSet;
};

class CZkHierarchyNode : public CZkIndexedObject, public CZkStateProperties, public IZkEffectSlotOwner
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;

    // The parameters offered at every level (always subscribed up to the root), those a level
    // without parent also offers, and the bus side's.
    static constexpr uint64_t kAlwaysSetParams = 0x1ull | 0x2ull | 0x4ull | 0x8ull | 0x10ull | 0x40ull | 0x80ull |
                                                 (1ull << 13) | (1ull << 16);
    static constexpr uint64_t kRootParams = (0x1FFFFull << 17) | (0x3Full << 37) | (0x1FFFull << 46);
    static constexpr uint64_t kBusAlwaysParams = 0x3Full | 0x80ull | (1ull << 16) | (0x7ull << 43);
    static constexpr uint64_t kBusParams = 0x3Full | 0x80ull | (1ull << 16) | (0x7FFFFull << 18) |
                                           (0x1FFFFull << 39) | (1ull << 58);
    // Counted as claimed on the bus side only once a bus that needs processing was met.
    static constexpr uint64_t kProcessingParams = (1ull << 5) | (0x7ull << 43);

    explicit CZkHierarchyNode(ZkUniqueID id);
    ~CZkHierarchyNode() override;

    // --- The CZkIndexedObject part ---
    uint32_t AddRef() override;
    // At 0, under the table's lock: leaves the table, runs OnDetached, leaves the parent's and the
    // output bus's child lists, drops its links, is destroyed.
    uint32_t Release() override;
    void Destroy() override;

    // --- Operations, in the order of the node's operation table ---
    // Runs when the last reference goes, after the node has left the index.
    virtual void OnDetached() {}
    // Takes a reference on the new parent, drops the one on the old.
    virtual void SetParent(CZkHierarchyNode* parent);
    // Moves the activity counts to the new bus, sets override bits 26-28 while a bus is present,
    // takes a reference on the new bus and drops the one on the old.
    virtual void SetOutputBus(CZkHierarchyNode* bus);
    // Drops the data the node keeps for a game object that goes away (its modified-property record).
    virtual ZKRESULT RemoveGameObjectData(CZkGameObject* object);
    // Containers and buses keep children: their AddChild records the child and links it to
    // itself (child->SetParent(this), or child->SetOutputBus(this) for a bus). A leaf refuses
    // children (2).
    virtual ZKRESULT AddChild(CZkHierarchyNode* child);
    virtual void RemoveChild(CZkHierarchyNode* child);
    virtual ZkNodeCategory Category() const = 0;
    // Applies an action (stop, pause, resume, ...) to the node.
    virtual ZKRESULT ExecuteAction(const ZkActionParams& params) = 0;
    // A float property changed at run time: live instances adjust by delta.
    virtual void PropagateParamDelta(uint32_t parameter, float delta);
    // The gain of a modified-property record changed: the instances of that game object (all with
    // null) update their contribution.
    virtual void UpdateContribution(CZkGameObject* object);
    // A positioning value changed: live instances take it.
    virtual void RefreshPositioningParam(uint32_t parameter, float value);
    // Counts a play at the node, at the output bus of the first level that has one (once) and at
    // every parent, testing each level's limit (per game object or global by flag A bit 4; a level
    // with flag C bit 2 stops the tests above it) and collecting its limiters. 1; 80 a limit is
    // reached (the play may start virtual); the limit decision's failure; 2 a per-object limiter
    // cannot be made; with any of these the play is counted, and its owner counts it down when it
    // drops it. 52: the activity records cannot be made, nothing is counted.
    virtual ZKRESULT PlayCountUp(ZkPlayCount& play);
    // Undoes PlayCountUp (toBus as the play started with); records left idle are freed.
    virtual void PlayCountDown(CZkGameObject* object, bool toBus);
    // The same for the virtual counters, without limits. 1; 52 as above.
    virtual ZKRESULT VirtualCountUp(bool toBus);
    virtual void VirtualCountDown(bool toBus);
    // The node's media (1 and nothing for nodes without media of their own).
    virtual ZKRESULT PrepareMedia() { return ZK_Success; }
    virtual void UnprepareMedia() {}
    // Unprepares node while holding a reference on it: unpreparing can release the last references
    // that keep a node (once the banks are cleared, a parent lives only through its children's links,
    // and a prepared segment's last release drops its parent's), and the node must not go in the
    // middle of its own walk. True when the node outlives the call; a node that went has left its
    // parent's and its bus's child lists.
    static bool UnprepareHeld(CZkHierarchyNode& node)
    {
        node.AddRef();
        node.UnprepareMedia();
        return node.Release() != 0;
    }
    // The streamed media of what would play (ZkStreamedMediaRequest), into the active list when
    // active is set, else the inactive one. Nodes without media or children collect nothing.
    virtual void CollectStreamedMedia(const ZkStreamedMediaRequest& /*request*/, bool /*active*/) const {}
    // Runtime property changes (see the .cpp for the id groups). 1; 2 when the list cannot grow.
    virtual ZKRESULT SetIntProperty(uint32_t id, int32_t value);
    virtual ZKRESULT SetFloatProperty(uint32_t id, float value);
    // Sets a property in the modified-property record of a game object (null: the global record),
    // through a transition when timeMs is not 0. 1; 2 when the record cannot be made or the
    // property has no parameter the node can drive.
    virtual ZKRESULT SetModifiedProperty(CZkGameObject* object, uint8_t propertyID, float value, ZkTimeMs timeMs,
                                         uint32_t curve);
    // Drives a property of a game object's record (null: the global record) back to its neutral
    // value (1.0 for gain, else 0), when the record holds it (the global record: when it is not
    // neutral or a transition moves it).
    virtual void ResetModifiedProperty(CZkGameObject* object, uint8_t propertyID, ZkTimeMs timeMs, uint32_t curve);
    void ResetModifiedGain(CZkGameObject* object, ZkTimeMs timeMs, uint32_t curve)
    {
        ResetModifiedProperty(object, ZkProp_Gain, timeMs, curve);
    }
    // Resets the property of every game object whose record holds it away from neutral.
    void ResetAllModifiedProperties(uint8_t propertyID, ZkTimeMs timeMs, uint32_t curve);
    void ResetAllModifiedGains(ZkTimeMs timeMs, uint32_t curve) { ResetAllModifiedProperties(ZkProp_Gain, timeMs, curve); }
    // The node's settings changed: live instances re-read them.
    virtual void Refresh();
    // Writes the limit into the low 10 bits of the limit word and into the node's limiters (the
    // global one, or every per-object one when the limit counts per object).
    virtual void SetMaxInstances(uint16_t maxInstances);
    // A bus whose mix needs processing of its own (buses say; other nodes never).
    virtual bool NeedsProcessing() const { return false; }
    // A bus's own extra target list, updated by the bus-side walk (null for other nodes).
    virtual CZkParamTargetList* ExtraTargetList() { return nullptr; }
    // The object of an effect slot with a reference (null when none is loaded), and its id.
    virtual CZkIndexedObject* EffectSlotObject(uint32_t slotIndex) const { return m_effects.GetReferencedObject(slotIndex); }
    virtual ZkUniqueID EffectSlotID(uint32_t slotIndex) const;
    // Game-parameter subscriptions of the node's first target list.
    virtual ZKRESULT SubscribeRTPC(ZkUniqueID paramID, uint32_t paramType, uint32_t combineMode, uint32_t bit,
                                   uint32_t curveID, uint32_t scaling, const ZkCurvePoint* points, uint32_t pointCount);
    virtual void UnsubscribeRTPC(uint32_t bit, uint32_t curveID);
    // Positioning settings changed: live instances re-read them.
    virtual void RefreshPositioning();
    // Bank steps of the common body (CZkHierarchyNodeBank.cpp).
    virtual ZKRESULT ReadEffectsFromBank(ZK::ZkByteCursor& cursor, bool partial);
    virtual ZKRESULT ReadPropertiesFromBank(ZK::ZkByteCursor& cursor);
    virtual ZKRESULT ReadPluginAttachmentsFromBank(ZK::ZkByteCursor& cursor);
    virtual ZKRESULT ReadAuxFromBank(ZK::ZkByteCursor& cursor);
    // The root has no advanced settings (0); playable nodes read them.
    virtual ZKRESULT ReadAdvancedSettingsFromBank(ZK::ZkByteCursor&) { return ZK_NothingToReport; }
    // The record of a game object (null: the global record), created when absent (registered with
    // the game object's, or the registry's, list of modified nodes); null out of memory.
    virtual CZkModifiedProps* GetOrCreateModifiedProps(CZkGameObject* object);
    // Whether ancestor is the node itself or one of its parents.
    virtual bool HasAncestor(const CZkHierarchyNode* ancestor) const;
    // The output bus changes: the node's instances are refreshed and its bus-path counts move from
    // the old bus (its own, or the first ancestor's) to the new one. False when the new bus could
    // not take them (its records cannot be made): the counts stay on the way without a bus, and the
    // node must take no bus.
    virtual bool MoveActivityCounts(CZkHierarchyNode* bus);

    // --- Activity (CZkHierarchyNodeActivity.cpp) ---
    // Makes the records of the node, of its output bus and of its parents (and theirs) when absent.
    // False when one cannot be made (the idle ones made are freed again).
    bool EnsureActivity();
    // Frees the record (and the idle records of the parent and output bus) when it is idle.
    void FreeActivityIfIdle();
    const ZkActivityRecord* Activity() const { return m_activity; }
    int32_t PlayCount() const { return m_activity != nullptr ? m_activity->playCount : 0; }
    int32_t VirtualCount() const { return m_activity != nullptr ? m_activity->virtualCount : 0; }
    bool IsPlaying() const { return PlayCount() > 0; }
    // A live instance of the node enters (head) or leaves the node's list; leaving may free the
    // record.
    ZKRESULT AddLiveInstance(CZkLiveInstance* instance);
    void RemoveLiveInstance(CZkLiveInstance* instance);
    CZkLiveInstance* LiveInstances() const { return m_activity != nullptr ? m_activity->instances : nullptr; }
    // The engine's list of nodes updated each frame (ZkUpdatedNodes). A node with an activity record
    // joins once (false without one: membership is kept in the record); it leaves when asked, and
    // at the latest when its record is freed.
    bool JoinUpdatedNodes();
    void LeaveUpdatedNodes();
    bool IsUpdatedEachFrame() const
    {
        return m_activity != nullptr && (m_activity->flags & ZkActivityRecord::kFlagPerFrameList) != 0;
    }
    // The max instances for a game object (null: all): the bank's value, or game parameter 16 for
    // the object when the node's list drives it and the bank's value is not 0.
    uint16_t MaxInstancesFor(CZkGameObject* object);
    // The per-object limiter of a game object, or null.
    CZkNodeLimiter* ObjectLimiter(CZkGameObject* object) const;
    // Flag A's tie-break and virtual-on-limit bits changed: every limiter of the record takes them.
    void UpdateLimiterFlags();
    // The parameter value of one of the node's game-parameter curves for the key (0 without).
    float ParamValueForKey(uint32_t bit, const ZkRTPCKey& key);

    // --- Inherited settings (CZkHierarchyNodeGather.cpp, CZkHierarchyNodeSettings.cpp) ---
    // Gathers the voice's parameters from the node up: each level adds its summed properties,
    // game-parameter and state values and modified-property records, and the first level that
    // overrides a group (or the root) resolves it; with the bus chain, the first output bus met is
    // gathered after the parents. A sound then applies MIDI key tracking.
    virtual void GatherVoiceParams(ZkVoiceParams& params, const ZkGatherRequest& request);
    // The mix parameters of a mix-bus instance of this node for the game object: its chain gathered
    // with property 33, without the output-bus chain (user aux send levels, property 33, bypass).
    void InitMixParams(ZkVoiceParams& params, CZkGameObject* object);
    // This level's own sum of a property for the game object (its value, game parameters, states and
    // modified-property records), without its parents: the start value of a target that then
    // follows the level's changes by their deltas.
    float LevelSum(uint32_t property, CZkGameObject* object);
    // Priority (property 7 + state and game-parameter values of parameter 17; 50 when not finite)
    // and distance offset (property 8 with the priority-distance flag, else 0) of the first node up
    // that overrides priority.
    void GetPriority(CZkGameObject* object, float& priority, float& distanceOffset);
    // The first node up that overrides positioning, or the root.
    const CZkHierarchyNode* PositioningOwner() const;
    ZkPositioningValues GetPositioningValues(CZkGameObject* object) const;
    Zk3DModeInfo Get3DModeInfo(CZkGameObject* object) const;
    // For each axis that game parameters 20, 21, 22 drive: state plus game-parameter value, times
    // percent x 0.01; 0 for the others.
    void GetAutomationOffsets(CZkGameObject* object, float percent, float offsets[3]) const;
    // 1, the record filled (attenuations are not found yet: none).
    ZKRESULT GetPositioningInfo(ZkPositioningInfo& info) const;
    // The farthest distance of the positioning owner's attenuation; false without one.
    bool GetMaxAttenuationDistance(float& distance) const;
    // Whether effect slot 0-3 (or 4: all slots) is bypassed for the game object: a game parameter
    // or state driving parameter 29 + slot decides (for a slot holding an effect); otherwise the
    // game object's record, the global record, the chain's bits.
    bool IsEffectBypassed(uint32_t slot, CZkGameObject* object) const;
    // Stores (bits & mask) | (old & ~mask) in the game object's record (null: the global record and
    // every record), then tells the live instances of the bits that no game parameter or state
    // of the effects owner decides. 1; 2 when a record cannot be made.
    ZKRESULT SetEffectBypass(uint8_t bits, uint8_t mask, CZkGameObject* object);
    // The first node up that overrides effects (a bus is its own), or the root.
    const CZkHierarchyNode* EffectsOwner() const;
    // The effects owner's slot: its object with a reference (null when none is loaded), its id (0
    // for a free slot, -1 when the owner has no effects).
    CZkIndexedObject* ResolvedEffectSlotObject(uint32_t slot) const;
    ZkUniqueID ResolvedEffectSlotID(uint32_t slot) const;
    // The attached plug-ins of the node's chain (the first node up that overrides them, then the
    // output buses up to the first that needs processing), each effect object with a reference
    // (those not loaded are left out). Returns the number found; objects is null to count only.
    uint32_t CollectAttachedPlugins(ZK::ZkArray<CZkIndexedObject*>* objects) const;
    // The custom effect (property 57) of the first node up that overrides it or has an output bus,
    // with a reference; null when none.
    CZkIndexedObject* GetCustomEffect() const;
    ZkBehaviours GetBehaviours() const;
    ZkMidiSettings GetMidiSettings() const;
    // Property 30 as stored (0 when absent), and value clamped to [property 31, property 32].
    uint32_t GetStoredProperty30() const;
    float GetStoredProperties31And32(float value) const;
    // Playable nodes keep these; other nodes have none.
    virtual uint8_t BelowThresholdBehaviour() const { return 0; }
    virtual uint8_t EffectiveQueueBehaviour() const { return 0; }
    // Flag byte D bits 1-3: override, value, and the flag gathered with property 33.
    virtual uint8_t AdvancedFlags() const { return 0; }
    // Adds a draw from each randomised range of properties 0, 6, 2, 3, 4 to offsets.
    virtual void AddRandomOffsets(float (&)[kRandomisedProperties]) const {}

    // --- Plays of playing instances (Playback/) ---
    // The priority record of a new play of node for the object (its priority clamped to 0-100, 50
    // by default; with a distance offset and an attenuation, moved by the nearest listener's
    // distance) and its maximum radius (0 without an attenuation).
    static void ComputePlayPriority(ZkPriorityRecord& record, CZkHierarchyNode* node, CZkGameObject* object,
                                    float& maxRadius);
    // Whether node may start for the object (its below-threshold behaviour, 3 resolved by its
    // looping, written to status): false when the behaviour is to stop.
    static bool CheckPlayable(CZkHierarchyNode* node, CZkGameObject* object, uint8_t& status);
    // Starts a prepared instance on node after the node's limits: 1, 3 with reason 32 when refused,
    // or Start's failure. A limit answer of 80 (or limitResult 80) makes the instance start
    // virtual, which only an instance that may start virtual does.
    static ZKRESULT PlayWithInstance(CZkHierarchyNode* node, CZkGameObject* object, float priority,
                                     ZKRESULT limitResult, bool mayStartVirtual, uint32_t& reason,
                                     CZkPlayingInstance* instance, bool flag);
    // Destroys a prepared instance that will not play (never started unless started), or, without
    // one and with started, counts the node's play for the object down.
    static void DiscardPendingInstance(CZkHierarchyNode* node, CZkPlayingInstance*& instance, bool started,
                                       CZkGameObject* object);

    // --- Index ---
    // Inserts the node into its table (bus table when flag bit 7 is set). 1; 52 when the table
    // cannot grow (the node then lives only by its creator's reference).
    ZKRESULT AddToIndex();
    ZkIndexTable& Table() const;
    // Prepares a node found by id and keeps it alive (2 when absent), or undoes it.
    static ZKRESULT PrepareByID(ZkUniqueID id);
    static void UnprepareByID(ZkUniqueID id);
    // With both state flags of the record set, a pause pauses the node's running state
    // transitions and a stop or resume resumes them.
    void FollowStateTransitions(const ZkActionParams& params);
    // Fills an action record (stop, pause or resume) and executes it on the node.
    ZKRESULT ExecuteAction(ZkActionCode code, CZkGameObject* object, ZkTimeMs transitionTime, uint32_t curve,
                           ZkPlayingID playingID);

    // --- Common bank body ---
    // Reads the common node body at the cursor (the cursor's bytes are what is left of the item).
    // With partial set (a node read again from another bank) only the effect block is read.
    // 1; 7 when a field or count runs past the item (nothing beyond it is read); 2 unknown output
    // bus or list allocation; 52; 4 for a positioning path (path data is not built yet); the result
    // of an attachment, a state chunk or a subscription otherwise.
    ZKRESULT SetBaseFromBank(ZK::ZkByteCursor& cursor, bool partial);

    // --- Game-parameter targets ---
    // Gathers the target into every level of the node's chain for the parameters of mask; with
    // includeBus the bus side too. 1.
    ZKRESULT GetInheritedProperties(CZkKeyedParamTarget* target, uint64_t mask, bool includeBus);
    ZKRESULT ClearInheritedSubscriptions(CZkKeyedParamTarget* target, uint64_t mask, bool includeBus);
    // Whether a level of the node's chain (and, once, of its output bus chain) subscribes to the
    // state group.
    bool HasSubscriptionInChain(ZkUniqueID groupID, bool busDone) const;
    bool IsInList(const ZkNodeKey* keys, uint32_t count) const;
    // Whether an all-objects command leaves the node out: the node or one of its parents is in the
    // command's exception list.
    bool IsExcepted(const ZkActionParams& params) const;
    uint32_t Depth() const;
    // Whether node is this node or an ancestor, or (once, at the first level that has one) in the
    // output bus chain.
    bool IsDescendantOf(const CZkHierarchyNode* node) const;

    // --- State-driven properties ---
    bool OnStateTransitionStarted(uint16_t) override { return true; }
    void OnStateTransitionEnded() override {}
    void OnStateValueChanged(uint16_t propertyID, uint8_t kind, ZkUniqueID groupID, float oldValue, float newValue,
                             bool transitionEnded) override;
    void SetStateProperties(uint32_t count, const ZkStatePropertyInput* entries, bool apply) override;
    ZKRESULT ReadStateChunk(ZK::ZkByteCursor& cursor) override;
    bool EnsureStateStorage() override;
    ZkStateStorage* StateStorage() const override { return m_stateStorage; }
    const ZkNodeStateStorage* NodeStateStorage() const { return m_stateStorage; }
    // Bit k: state-driven parameter k (modulo 64).
    uint64_t StateDrivenMask() const;
    // The sum of the state groups' current values of a state-driven parameter (0 without).
    float StateValue(uint16_t parameter) const;

    // --- The effect chain's owner ---
    void OnEffectSlotChanged(const ZkEffectSlot&) override {}
    void OnEffectSlotIndexChanged(uint32_t) override { Refresh(); }

    // --- Settings ---
    ZkPropertyValue GetProperty(uint32_t id) const;
    // Id-valued property index (a custom property the game reads), from the node's own list only;
    // false when the node does not hold it.
    bool FindIdValuedProperty(uint32_t index, ZkPropertyValue& value) const;
    float GetFloatProperty(uint32_t id) const { return GetProperty(id).AsFloat(); }
    int32_t GetIntProperty(uint32_t id) const { return GetProperty(id).AsInt(); }
    bool IsBus() const { return (m_flagsA & kNodeFlagA_IsBus) != 0; }
    bool GetFlagBit1() const { return (m_flagsB & kNodeFlagB_Has3D) != 0; }
    CZkHierarchyNode* Parent() const { return m_parent; }
    CZkHierarchyNode* OutputBus() const { return m_outputBus; }
    uint64_t OverrideMask() const { return m_overrideMask; }
    ZkUniqueID ExtraAuxBusID() const { return m_extraAuxBusID; }
    ZkUniqueID UserAuxBusID(uint32_t index) const { return m_auxBusIDs != nullptr ? m_auxBusIDs[index] : 0; }
    // The four user aux bus ids, or null when the node has none.
    const ZkUniqueID* UserAuxBusIDs() const { return m_auxBusIDs; }
    // The position path automation of the node's positioning settings (made by a bank read of a
    // path-driven 3-D mode, with the node's saved path state); null when the node has none.
    ZkPathData* PathData() const { return m_pathData; }
    uint16_t MaxInstances() const { return m_limitWord & kMaxInstancesMask; }
    uint16_t PositioningBits() const { return m_positioningBits; }
    uint32_t PositionMode() const { return m_positioningBits & 0x7u; }
    uint8_t FlagsA() const { return m_flagsA; }
    uint8_t FlagsB() const { return m_flagsB; }
    uint8_t FlagsC() const { return m_flagsC; }
    const CZkNodeParams& Effects() const { return m_effects; }
    CZkNodeParams& Effects() { return m_effects; }
    uint32_t PluginAttachmentCount() const { return m_attachmentCount; }
    const ZkPluginAttachment* PluginAttachments() const { return m_attachments; }
    const ZkPackedPropList<4, ZkMemID_Default>& Properties() const { return m_props; }
    CZkParamTargetList& ParamTargets() { return m_params; }
    const CZkParamTargetList& ParamTargets() const { return m_params; }
    // The link entries of the modulator on the parameters the voice modulates itself (bits 0,
    // then 7) that the node's target list drives, appended to entries (an entry that finds no
    // room is left out). The game object is not used. 1.
    ZKRESULT NotifyParamChange(ZK::ZkArray<ZkModulatorLinkEntry>& entries, ZkUniqueID modulatorID,
                               CZkRegisteredObj* gameObject);
    // Registers for modulator processing: this level's key when modulators drive its parameters,
    // then the parent's and so on up (the output bus's too when asked).
    void RegisterModulatorKeys(ZkModulatorKeyList& keys, bool includeOutputBus);
    // This level's key only (the target list's modulators, triggered by this node).
    void AppendModulatorKey(ZkModulatorKeyList& keys);
    CZkParamTargetList& ModifiedParamTargets() { return m_modifiedParams; }
    CZkModifiedProps* GlobalModifiedProps() const { return m_globalModified; }
    CZkModifiedProps* FindModifiedProps(CZkGameObject* object) const;
    uint32_t ModifiedObjectCount() const { return m_objectModified.Length(); }

    CZkHierarchyNode* pNextUpdated = nullptr; // the engine's list of nodes updated each frame

protected:
    // Calls visit(instance) for each live instance of the game object (null: any) and playing id
    // (0: any). An instance may leave the list while it is visited.
    template <typename Visit>
    void ForEachLiveInstance(CZkGameObject* object, ZkPlayingID playingID, Visit visit)
    {
        for (CZkLiveInstance* instance = LiveInstances(); instance != nullptr;)
        {
            CZkLiveInstance* next = instance->pNextInNode;
            if ((object == nullptr || instance->GameObject() == object) &&
                (playingID == 0 || instance->PlayingID() == playingID))
                visit(*instance);
            instance = next;
        }
    }
    void SetBusFlag(bool isBus);
    // Stores a value in the property list and runs Refresh when it changed. 1; 2 out of memory.
    ZKRESULT StoreProperty(uint32_t id, ZkPropertyValue value);
    void ChangeFlag(uint8_t& flags, uint8_t bit, bool set, bool& changed);
    void SetOverrideBits(uint64_t bits, bool set) { m_overrideMask = set ? m_overrideMask | bits : m_overrideMask & ~bits; }

    ZkPackedPropList<4, ZkMemID_Default> m_props;
    uint8_t m_flagsA = kNodeFlagA_GlobalLimit;
    uint8_t m_flagsB = 0;
    uint8_t m_flagsC = 0;
    uint16_t m_limitWord = 0;
    uint16_t m_positioningBits = 0;

    // Common body steps that buses read in their own order.
    ZKRESULT ReadPositioningFromBank(ZK::ZkByteCursor& cursor);
    // The path block of a path-driven 3-D mode, into the node's path data.
    ZKRESULT ReadPathFromBank(ZK::ZkByteCursor& cursor, bool listenerRelative);
    ZKRESULT ReadGameParametersFromBank(ZK::ZkByteCursor& cursor);
    // The attachment table: u8 count M, M x {u8 index, u32 effect id, u8 share-set flag}.
    ZKRESULT ReadPluginAttachmentTable(ZK::ZkByteCursor& cursor);

private:
    struct ModifiedPair
    {
        CZkGameObject* object;
        CZkModifiedProps* record;
    };

    ZKRESULT AttachToBus(ZkUniqueID busID);
    ZKRESULT AttachToParent(ZkUniqueID parentID);
    // Adds, updates or (bits 0) removes the target in the level's lists.
    void SetLevelTarget(CZkKeyedParamTarget* target, uint64_t bits);
    void SetStateSubscriber(CZkKeyedParamTarget* target, uint64_t bits);
    // The node-side walk (then the bus side); clear removes the target from every list it reaches.
    void WalkTargetChain(CZkKeyedParamTarget* target, uint64_t mask, bool includeBus, bool clear);
    void WalkNodeSide(CZkKeyedParamTarget* target, uint64_t mask, bool includeBus, bool clear);
    void SubscribeBusSide(CZkKeyedParamTarget* target, uint64_t mask, uint64_t claimed, bool clear);
    // Points link at node, holding a reference on it, and drops the one on the old node.
    static void ReplaceLink(CZkHierarchyNode*& link, CZkHierarchyNode* node);
    void RebuildStateDrivenMask();
    void ApplyModifiedValue(CZkModifiedProps& record, uint8_t propertyID, float oldValue, float newValue);
    void ReleaseLinks();
    void FreeModifiedProps();
    // The steps of one level of the gathering.
    void GatherLevel(ZkVoiceParams& params, const ZkGatherRequest& request, const ZkRTPCKey& key);
    void AccumulateLevel(ZkVoiceParams& params, const ZkRTPCKey& key) const;
    // Calls notify for the live instances that hear bypass changes (a bus: its children).
    virtual void NotifyEffectBypass(uint8_t bits, uint8_t mask);
    // Activity helpers.
    ZKRESULT TestLimit(ZkPlayCount& play);
    ZKRESULT TestGlobalLimit(ZkPlayCount& play);
    ZKRESULT TestObjectLimit(ZkPlayCount& play);
    void DropIdleObjectLimiter(CZkGameObject* object);
    void FreeActivity();
    // The bus-path counts of the node, taken off (sign -1) or put on (+1) the way to the bus of
    // the first ancestor that has one; false when that bus could not count them.
    bool MoveBusPathCounts(CZkHierarchyNode* bus, int32_t sign, int16_t plays, int16_t virtuals);
    uint64_t OwnLimiterKey() const;

    friend class CZkModifiedProps;

    ZkNodeStateStorage* m_stateStorage = nullptr;
    ZkActivityRecord* m_activity = nullptr;
    CZkParamTargetList m_params;
    CZkParamTargetList m_modifiedParams;
    CZkModifiedProps* m_globalModified = nullptr;
    ZK::ZkArray<ModifiedPair> m_objectModified;
    ZkPluginAttachment* m_attachments = nullptr;
    uint32_t m_attachmentCount = 0;
    CZkHierarchyNode* m_parent = nullptr;
    CZkHierarchyNode* m_outputBus = nullptr;
    ZkUniqueID* m_auxBusIDs = nullptr;
    ZkPathData* m_pathData = nullptr;
    uint64_t m_overrideMask = 0;
    ZkUniqueID m_extraAuxBusID = 0;
    CZkNodeParams m_effects{this};
};
} // namespace ZK::SoundEngine
