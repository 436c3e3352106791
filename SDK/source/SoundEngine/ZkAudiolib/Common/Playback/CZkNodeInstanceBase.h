// CZkNodeInstanceBase: the part of a playing instance (and of the render side's per-object classes)
// that binds one node to one game object for playback. It is the keyed game-parameter target under
// which the node's parameters reach this play; it keeps the 26 property value slots accumulated for
// the play (slot 0 volume dB, 1 pitch cents, 2 low-pass, 3 high-pass, 5 volume offset dB, 6-9 user
// send volumes dB, 10 game-defined send volume dB, 15-24 send filter values, 25 the listener-routed
// send value), the linear gain, the user send buses, the positioning state (rays from the emitter
// positions to the listeners, collected each frame by Update; the instance's own copy of the
// positions), the maximum radius and the attached-effect entries; and it answers the render side's
// per-frame questions.
//
// A detached instance (set at construction) is not positioned: it takes no positioning parameters,
// collects no rays, reports no node output and gets no limiters.
//
// Life cycle: construct (takes a reference on the node and on the game object, activating its
// emitter), Start (the node's live-instance list, the parameter registration, the effects),
// Initialize once when the play begins, Update each frame while a voice renders it, Term from the
// owner's destruction (undoes Start and releases both references), destroy.
//
// Threading: engine thread, under the global engine lock. Ownership: the owner's (the playing
// instance); the ray, position and effect arrays are its own (pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameObjects/ZkListenerGainTable.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Parameters/CZkKeyedParamTarget.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningParams.h"
#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkAttenuation;
class CZkGameObject;
class CZkPositionPath;
struct ZkPathData;
struct ZkSavedPathState;
class CZkHierarchyNode;
class CZkIndexedObject;

// One plug-in context that an effect object made for this instance.
struct ZkAttachedEffect
{
    ZkUniqueID effectID;
    void* context;
};

// Reasons a play ends before it starts.
constexpr uint32_t kReasonBelowThreshold = 41;

class CZkNodeInstanceBase : public CZkKeyedParamTarget
{
public:
    static constexpr uint32_t kValueSlots = 26;
    static constexpr ZkMemoryId kEffectContextPool = ZkMemID_Default;
    static constexpr uint32_t kNoSlot = 0xFF;
    static constexpr uint32_t kUserSends = 4;
    static constexpr uint64_t kParamMask = 0x07FFFFE3FFFE60BDull;
    static constexpr float kUnsetSendValue = 101.0f;
    static constexpr float kNoRayDistance = 1.0e10f;

    // Value slots with a meaning of their own.
    static constexpr uint32_t kSlotVolume = 0;
    static constexpr uint32_t kSlotPitch = 1;
    static constexpr uint32_t kSlotLowPass = 2;
    static constexpr uint32_t kSlotHighPass = 3;
    static constexpr uint32_t kSlotVolumeOffset = 5;
    static constexpr uint32_t kSlotUserSend0 = 6;
    static constexpr uint32_t kSlotGameSend = 10;
    static constexpr uint32_t kSlotSendFilterA0 = 15;
    static constexpr uint32_t kSlotSendFilterB0 = 19;
    static constexpr uint32_t kSlotGameSendFilterA = 23;
    static constexpr uint32_t kSlotGameSendFilterB = 24;

    // Flags.
    static constexpr uint8_t kFlagEvaluated = 0x01;
    static constexpr uint8_t kFlagEvaluatedOnce = 0x02;
    static constexpr uint8_t kFlagRefreshModulators = 0x04;
    static constexpr uint8_t kFlagOwnPositionsCopied = 0x08;
    static constexpr uint8_t kFlagGainDirty = 0x10;
    static constexpr uint8_t kFlagPositioningDirty = 0x20;
    static constexpr uint8_t kFlagDetached = 0x40;
    static constexpr uint8_t kFlagRoutesToOutput = 0x80;
    // Second flags.
    static constexpr uint8_t kFlagStartsVirtual = 0x01;
    static constexpr uint8_t kFlagMadeVirtual = 0x02;
    // Positioning flags (parameters 64 and 69).
    static constexpr uint8_t kPositioningLowBits = 0x07;
    static constexpr uint8_t kPositioningListenerRoutedSends = 0x08;
    // Positioning mode bits (the node's 3-bit mode, with parameters 46 and 65).
    static constexpr uint8_t kModeMask = 0x07;
    static constexpr uint8_t kModeFollowsListeners = 2;
    static constexpr uint8_t kModeSpeakerPanning = 0x40;
    static constexpr uint8_t kModeOwnPositions = 0x80;
    // The send flags: game-defined sends in use.
    static constexpr uint8_t kSendFlagGameSends = 0x01;

    CZkNodeInstanceBase(CZkGameObject* object, CZkHierarchyNode* node, bool detached);
    ~CZkNodeInstanceBase() override;

    // --- The keyed target ---
    void GetParamMask(uint64_t& mask) override { mask = kParamMask; }
    bool GetMaskFlag() override { return true; }
    // A parameter changed somewhere up the chain: the values are evaluated again at the next play
    // refresh.
    void OnNotification(uint8_t, uint32_t) override { m_flags &= static_cast<uint8_t>(~kFlagEvaluated); }
    void OnNotification64(uint8_t, uint64_t) override { m_flags &= static_cast<uint8_t>(~kFlagEvaluated); }
    void OnParamValue(uint32_t bit, uint32_t, ZkUniqueID, float value, float delta) override
    {
        SetParameterValue(bit, value, delta);
    }

    // --- Operations subclasses extend ---
    // A parameter change: positioning ids take their values, the others add delta to their value
    // slot (ignored without a slot). Nothing when not positioned.
    virtual void SetParameterValue(uint32_t id, float value, float delta);
    // Joins the node's live instances, registers as the node's parameter target, builds the effect
    // chain. 1; 52 when the node's activity record cannot be made; SetupEffects' failure.
    virtual ZKRESULT Start();
    // Undoes Start and releases the game object and the node.
    virtual void Term();
    // Subclasses evaluate the node's properties into the instance.
    virtual void RefreshFromNode() {}
    // Subclasses recompute their gain; here only the mark is cleared.
    virtual void RecomputeGain() { m_flags &= static_cast<uint8_t>(~kFlagGainDirty); }
    // Subclasses set their priority from the distance to the nearest listener.
    virtual void SetPriorityFromDistance(float) {}

    // Once, when the play begins: the maximum radius, the positioning, the attenuation's
    // subscriptions, then whether the play starts below the volume threshold. 1; 3 with reason 41
    // when it does and may not start virtual; the attenuation's failure.
    ZKRESULT Initialize(float maxRadius, bool mayStartVirtual, uint32_t& reason, bool& belowThreshold);

    // --- The render side ---
    // Once per frame: refreshes a dirty positioning and collects the rays; returns their number.
    uint32_t Update();
    // Appends the sends of the play (game-defined sends of the object's routing, then the four user
    // sends) to output, which grows as ZkArray does.
    void CollectSends(ZK::ZkArray<ZkSendRecord>& output) const;
    // The linear volume of slot 0 (0 below -740 dB); belowThreshold tells whether it times the gain
    // is at or below the engine's volume threshold.
    float GetLinearVolume(bool& belowThreshold) const;
    // 2 when positions follow each listener, else the node's 3-bit mode (the tracker never says
    // otherwise: no tracker is made).
    uint32_t GetPositioningMode() const;
    bool HasActiveSends() const;
    bool IsTrackerActive() const { return false; }
    bool IsTrackerIdle() const { return true; }
    ZkUniqueID GetNodeID() const;
    // The node, or null when not positioned.
    CZkHierarchyNode* GetNodeOutput() const;
    // The attenuation's spread (A) and focus (B) curves at a ray distance, unscaled percentages
    // (the mixer-input operations apply the x 0.01); 0 without an attenuation or such a curve.
    float EvaluateCurveA(float distance) const;
    float EvaluateCurveB(float distance) const;
    // The attenuation of the node's positioning settings, held while positioned; null for none.
    CZkAttenuation* Attenuation() const { return m_positioningParams.HeldAttenuation(); }
    // Copies of the ray at index, of the instance's own position at index, of a listener's
    // transform (listener in the game object's set). 1; 2 when out of range or absent.
    ZKRESULT GetEmitterPosition(uint32_t index, ZkRay& ray) const;
    ZKRESULT GetPositionRecord(uint32_t index, ZkChannelEmitter& record) const;
    ZKRESULT GetListenerData(ZkGameObjectID listenerID, ZkTransform& transform) const;
    // Rays whose listener is in the ids (mode 0) or not in them (mode 1): their count, the n-th.
    uint32_t CountListenersInSet(const ZkGameObjectID* ids, uint32_t count, uint32_t mode) const;
    const ZkRay* FindNthListenerRecord(const ZkGameObjectID* ids, uint32_t count, uint32_t mode,
                                       uint32_t n) const;
    // Copies up to n attached effects; returns how many.
    uint32_t ListEffects(ZkAttachedEffect* output, uint32_t n) const;

    // A game parameter bound to a built-in value (subscriber kind 0): types 26 to 28 are stored.
    void SetBuiltInValue(uint32_t type, float value);
    void SetBuiltInParamValue(uint16_t type, float value, uint32_t) { SetBuiltInValue(type, value); }
    float BuiltInValue(uint32_t type) const;

    // Forwards a parameter record whose key matches the instance's (wildcards match anything).
    void ForwardKeyedValue(const ZkRTPCKey& key, ZkUniqueID ownerID, uint32_t bit, float value, float delta);

    // The positioning settings were changed: the next Update refreshes them. Detached instances have
    // none.
    void MarkPositioningDirty();
    // Re-reads the node's positioning settings (none when not positioned).
    void RefreshPositioning();

    // --- State ---
    CZkHierarchyNode* Node() const { return m_node; }
    CZkGameObject* GameObjectOf() const { return m_object; }
    bool IsDetached() const { return (m_flags & kFlagDetached) != 0; }
    bool IsPositioned() const { return !IsDetached(); }
    uint8_t Flags() const { return m_flags; }
    uint8_t SecondFlags() const { return m_secondFlags; }
    void SetSecondFlag(uint8_t bit, bool set)
    {
        m_secondFlags =
            set ? static_cast<uint8_t>(m_secondFlags | bit) : static_cast<uint8_t>(m_secondFlags & ~bit);
    }
    float ValueSlot(uint32_t slot) const { return m_values[slot]; }
    // The modulator instances the play started, linked to its parameters (released with the
    // instance).
    ZkModulatorLinksHandle& ModulatorLinks() { return m_modulatorLinks; }
    const ZkModulatorLinksHandle& ModulatorLinks() const { return m_modulatorLinks; }
    // The node's settings were read again: the next evaluation refills the modulators' links and
    // attaches the play's modulators again.
    void RequestModulatorRefresh()
    {
        m_flags = static_cast<uint8_t>((m_flags | kFlagRefreshModulators) & ~kFlagEvaluated);
    }
    float LinearGain() const { return m_linearGain; }
    float MaxRadius() const { return m_maxRadius; }
    uint32_t Sequence() const { return m_sequence; }
    uint16_t Counter() const { return m_counter; }
    float SendValue() const { return m_sendValue; }
    void SetSendValue(float value) { m_sendValue = value; }
    ZkUniqueID UserSendBus(uint32_t send) const { return m_userSendBuses[send]; }
    uint8_t PositioningFlags() const { return m_positioningFlags; }
    uint8_t PositioningMode() const { return m_positioningMode; }
    float PositioningValue(uint32_t id) const;
    // The automation offset on an axis (0 x, 1 y, 2 z): parameters 20-22's deltas, each scaled by
    // the attenuation's maximum distance / 100, and where the play's position path has moved the
    // sound, in the frame of each emitter position (of the listener for listener-following
    // positions).
    float AutomationOffset(uint32_t axis) const { return m_automationOffset[axis]; }
    // The play's copy of its positioning owner's path data (memory pool 5); null without.
    const ZkPathData* Automation() const { return m_automation; }
    // The position-path player the instance uses (in the shared item array), and its path id (the
    // positioning owner's id); null and 0 without.
    CZkPositionPath* PathPlayer() const { return m_pathPlayer; }
    uint32_t PathID() const { return m_pathID; }
    uint32_t RayCount() const { return m_rays.Length(); }
    const ZkRay& Ray(uint32_t index) const { return m_rays[index]; }
    // The rays of the frame (null without any); the render side attenuates and filters them.
    ZkRay* Rays() { return m_rays.Data(); }
    // The three path gains and the cone factor of this frame's rays from the attenuation and the
    // environment curves (the rays are collected afresh, with gains 1.0, by each Update).
    void RefreshRayAttenuation();
    float NearestRayDistance() const { return m_nearestDistance; }
    uint32_t OwnPositionCount() const { return m_ownPositions.Length(); }

    // The slot of a parameter id (kNoSlot for ids without one).
    static uint32_t SlotOfParameter(uint32_t id);
    // Live instances made since the start (the sequence numbers come from it).
    static uint32_t LiveCounter();
    // The next value of the counter that numbers the instances, for a run of plays that share one
    // number (a sample-accurate dynamic sequence); never 0 (the counter skips it when it wraps).
    static uint32_t TakeSequenceNumber();

protected:
    // --- The position path (CZkNodeInstancePath.cpp) ---
    // The positioning owner's path data copied for the play when the 3-D position mode plays paths
    // (1 or 2) and the instance has none yet; nothing otherwise, or when memory runs out.
    void TakeAutomationData();
    void FreeAutomationData();
    // Joins a play of the automation: a player offered by the play before it (a playlist's previous
    // item) whose path id is the automation's is taken as it runs; otherwise a player is made and
    // started (at the shared array's frame) when the instance has none, or the mode asks for a
    // player per instance; the instance's offset becomes its user. Without a player to be had the
    // play goes on without path movement.
    void StartPath();
    // The player the play before hands on, with its path id; the caller holds it until the
    // instance is initialised (StartPath takes a user of its own).
    void OfferPathPlayer(CZkPositionPath* player, uint32_t pathID)
    {
        m_offeredPlayer = player;
        m_offeredPathID = pathID;
    }
    // Leaves the player (destroyed with its last user), taking the path's part out of the offset;
    // the node keeps its saved path state.
    void LeavePath();
    // The player held while the play is paused (nothing without a player, or one not playing).
    void PausePath();
    void ResumePath();
    // Parameters 20-22's part of the offset read from the node (the path's part kept): their
    // changes reach a play as deltas, so a play that starts while they already drive an offset,
    // or whose node's settings were read again, takes their whole value here.
    void TakeParameterOffsets();
    // Parameters 66 (listener-relative bit), 67 (last-vertex duration) and 68 (mode word): true
    // when id is one of them.
    bool SetAutomationParameter(uint32_t id, float value);
    // The player's listener-relative flag follows the automation's; while set, its listener cache
    // follows the game object's listeners.
    void FollowPathListeners();
    // Update's last step: every ray moved by the automation offset turned into the ray's frame
    // (the listener's for listener-following positions), its distance and angles computed again.
    void ApplyAutomationToRays();

    // The value slots, the sends, the counter and the gain as a play evaluation starts them.
    void ClearEvaluation();
    // Builds the effect chain from the node's effect slots: one effect context (pool 0) per slot
    // holding a loaded effect object, keyed on the game object. 1; 2 when one cannot be made
    // (none is kept).
    ZKRESULT SetupEffects();
    void DestroyEffects();

    float m_values[kValueSlots] = {};
    float m_linearGain = 1.0f;
    ZkUniqueID m_userSendBuses[kUserSends] = {};
    uint16_t m_counter = 0;
    uint8_t m_sendFlags = 0;
    uint8_t m_flags = 0;
    uint8_t m_secondFlags = 0;
    ZkModulatorLinksHandle m_modulatorLinks;

private:
    // Empties the rays and the own positions and marks the positioning dirty.
    void ResetPositioning();
    // Takes a reference on the attenuation of the node's positioning settings (when positioned) and
    // subscribes its parameter curves under the instance's key (their values reach SetBuiltInValue):
    // 2 when the instance had an attenuation and finds none now; a subscription's failure; else 1.
    ZKRESULT SubscribeAttenuation();
    // Unsubscribes the attenuation's parameter curves and gives the attenuation back.
    void ReleaseAttenuation();
    // What parameters 20-22 scale their deltas by: the attenuation's maximum distance / 100, 1
    // without an attenuation curve.
    float AutomationScale() const;
    void CollectListenerRays();
    void CollectOwnPositionRays();
    void AddSendsOfListener(ZK::ZkArray<ZkSendRecord>& output, ZkGameObjectID listenerID,
                            uint32_t send) const;

    CZkGameObject* m_object;
    CZkHierarchyNode* m_node;
    float m_positioning18 = 0.0f;
    float m_positioning19 = 0.0f;
    float m_positioning58 = 0.0f;
    float m_positioning23 = 0.0f;
    uint32_t m_positioning24 = 0;
    uint8_t m_positioningFlags = 0;
    uint8_t m_positioningMode = 0;
    uint8_t m_hadAttenuation = 0;
    CZkPositioningParams m_positioningParams;
    float m_automationOffset[3] = {};
    float m_sendValue = kUnsetSendValue;
    float m_builtIn[3] = {};
    ZK::ZkArray<ZkRay> m_rays;
    ZK::ZkArray<ZkChannelEmitter> m_ownPositions;
    ZK::ZkArray<ZkAttachedEffect> m_effects;
    float m_nearestDistance = kNoRayDistance;
    ZkPathData* m_automation = nullptr;
    CZkPositionPath* m_pathPlayer = nullptr;
    uint32_t m_pathID = 0;
    CZkPositionPath* m_offeredPlayer = nullptr; // valid only until StartPath
    uint32_t m_offeredPathID = 0;
    // The positioning owner's saved path state the player was started with; null otherwise.
    ZkSavedPathState* m_savedPath = nullptr;
    float m_maxRadius = 0.0f;
    uint32_t m_sequence;
};
} // namespace ZK::SoundEngine
