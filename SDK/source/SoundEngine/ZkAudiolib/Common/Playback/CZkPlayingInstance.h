// CZkPlayingInstance: one playback of one sound node for one game object. The play of a sound node
// creates it (PlaySoundNode), the render side gives it a voice, the playback actions address it
// (pause, resume, stop, seek), and it ends when its voice ends. It is a CZkNodeInstanceBase (the
// node's parameters, the positioning) with playback state added: its playing id, media, fades,
// pause levels, priority and limiters, and the gain factors that other parts put on it.
//
// States: created -> started (in its limiters, its playing id, its node's live instances; after Play
// in the active instances) -> playing or paused -> stopping (a stop fade runs) -> killed (dead for
// plain stops and limits) -> ended (its voice is gone: deferred command 4) -> destroyed at the next
// flush of the deferred commands. An instance that never started is destroyed by the play that made
// it.
//
// Fades run on transitions (CZkTransitionMgr), whose values come back through TransUpdateValue:
// the fade slot carries fade-in and stop (target kinds kFadeIn, kFadeStop), the pause slot pause
// and resume (kFadePause, kFadeResume). The instance never touches its voice: it queues voice
// commands (ZkVoiceLists); the render side reads its state and reports back through
// PostEndNotification and OnSourceDuration, which go through the deferred commands of
// CZkActiveInstances, the one path from the render side back into an instance.
//
// Threading: engine thread, under the global engine lock. Ownership: memory pool 0; the active
// instances own started instances, the play owns one that has not started. The instance holds a
// reference on its node and its game object, its playing id's instance entry, its media (and the
// bank that supplied it), and an external-source media reference it was made with.
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkParamScope.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLiveInstance.h"
#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"
#include "ZkAudiolib/Common/Hierarchy/ZkActivityRecord.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTargets.h"
#include "ZkAudiolib/Common/Parameters/ZkTransitionUser.h"
#include "ZkAudiolib/Common/Playback/CZkNodeInstanceBase.h"
#include "ZkAudiolib/Common/Playback/ZkValueContributions.h"
#include "ZkAudiolib/Common/Voice/ZkAudioFormat.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::SoundEngine
{
class CZkMidiNote;
class CZkTransition;
class CZkVoice;
struct LoadedBank;
struct ZkMediaRef;
struct ZkVoiceParams;

// What an instance does when it falls below the volume threshold (its node's behaviour).
enum ZkBelowThresholdBehaviour : uint8_t
{
    ZkBelowThreshold_Continue = 0,
    ZkBelowThreshold_Stop = 1,
    ZkBelowThreshold_Virtual = 2,
    ZkBelowThreshold_ByLooping = 3, // stop a sound that ends, send one that loops forever virtual
};

// Priorities run from 0 to 100.
constexpr float kMinPriority = 0.0f;
constexpr float kMaxPriority = 100.0f;
inline float ClampPriority(float priority)
{
    return priority < kMinPriority ? kMinPriority : (priority > kMaxPriority ? kMaxPriority : priority);
}

// The marker record by which a mixer plug-in recognises a voice's input.
struct ZkMixerInputId
{
    static constexpr uint32_t kMarker = 0x3860009;
    uint32_t marker = kMarker;
    uint8_t channel = 0;
    uint32_t zero = 0;
};

// An effect slot of the node as a voice builds it.
struct ZkEffectDescription
{
    ZkUniqueID effectID = 0;
    bool bypassed = false;
};

class CZkPlayingInstance : public CZkNodeInstanceBase, public CZkLiveInstance, public ZkTransitionUser
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // Transition targets (the kinds handed back with every fade value).
    static constexpr uint32_t kFadeIn = 0x1000000;
    static constexpr uint32_t kFadeStop = 0x2000000;
    static constexpr uint32_t kFadePause = 0x4000000;
    static constexpr uint32_t kFadeResume = 0x8000000;

    // Status byte.
    static constexpr uint8_t kStatusEndNotice = 0x01;
    static constexpr uint8_t kStatusDead = 0x04;
    static constexpr uint8_t kStatusEnded = 0x08;
    static constexpr uint8_t kStatusKilled = 0x10;
    static constexpr uint8_t kStatusStopping = 0x20;
    static constexpr uint8_t kStatusPaused = 0x40;
    static constexpr uint8_t kStatusPrepared = 0x80;
    // Stop byte: bit 0 stop requested, bits 1-3 end reason, bit 4 never started, bit 5 a streamed
    // source waits until its stream holds its nominal buffering, bits 6-7 seek.
    static constexpr uint8_t kStopRequested = 0x01;
    static constexpr uint8_t kStopReasonShift = 1;
    static constexpr uint8_t kStopReasonMask = 0x0E;
    static constexpr uint8_t kStopNeverStarted = 0x10;
    static constexpr uint8_t kStopWaitForBuffering = 0x20;
    // At creation: end reason 1, and the wait for the stream's buffering.
    static constexpr uint8_t kStopAtCreation = kStopWaitForBuffering | 1 << kStopReasonShift;
    static constexpr uint8_t kSeekMask = 0xC0;
    static constexpr uint8_t kSeekBySamples = 0x40;
    static constexpr uint8_t kSeekByPercent = 0xC0;
    // Limit byte.
    static constexpr uint8_t kLimitSeekOption = 0x01;
    static constexpr uint8_t kLimitExempt = 0x02;
    static constexpr uint8_t kLimitCountedVirtual = 0x04;
    static constexpr uint8_t kLimitFadingIn = 0x08;
    // Start byte: bits 0-2 the requested start state, bits 3-6 the source state.
    static constexpr uint8_t kStartStateMask = 0x07;
    static constexpr uint8_t kSourceStateShift = 3;
    static constexpr uint8_t kSourceStateMask = 0x78;
    // Source states.
    static constexpr uint8_t kSourceNone = 0;
    static constexpr uint8_t kSourceStarted = 1;
    static constexpr uint8_t kSourcePending = 2; // a source waits for its data
    static constexpr uint8_t kSourceDurationKnown = 3;
    // Requested start states.
    static constexpr uint8_t kStartPlay = 0;
    static constexpr uint8_t kStartPaused = 1;
    static constexpr uint8_t kStartAndStop = 2;
    // Kill reasons that make an instance dead: a plain stop and a limit.
    static constexpr uint32_t kKillStop = 0;
    static constexpr uint32_t kKillLimit = 2;
    // Option word: the render side records the play position of the instance's source.
    static constexpr uint64_t kOptionReportPositions = 0x100000;
    // Answers of HandleVirtual: the source goes on from where it stands; from the seek target the
    // instance computed (coming back from virtual) or with its chain restarted (after a starvation);
    // the voice stops.
    static constexpr uint32_t kResumeAsItStands = 0;
    static constexpr uint32_t kResumeRestart = 1;
    static constexpr uint32_t kResumeStop = 2;
    // Deferred commands from the render side.
    static constexpr uint32_t kCommandEndNotice = 3;
    static constexpr uint32_t kCommandVoiceEnded = 4;

    // The node's factory: an instance (pool 0) of the play for the node, with its media reference
    // (owned by the instance when it carries kMediaFlagInstanceOwned) and priority; null out of
    // memory.
    static CZkPlayingInstance* Create(const PlayLaunchParams& params, CZkHierarchyNode* node,
                                      const ZkMediaRef* media, const ZkPriorityRecord& priority);
    // Destroy, destructor, memory back to pool 0.
    static void Free(CZkPlayingInstance* instance);

    // The play of a sound node (its media reference) for the play's game object: behaviours,
    // priority, the engine's voice limit, external sources, the instance, its initialisation, the
    // node's limits, its start and its voice command. 1 started; 2 failure; 3 refused; 52 out of
    // memory. Every failure after the instance exists destroys it (its playing id learns of it
    // first).
    static ZKRESULT PlaySoundNode(CZkHierarchyNode* node, const ZkMediaRef& media, PlayLaunchParams& params);

    CZkPlayingInstance(const PlayLaunchParams& params, CZkHierarchyNode* node, const ZkMediaRef* media,
                       const ZkPriorityRecord& priority, uint32_t creationArgument);
    ~CZkPlayingInstance() override;

    // --- Start and end ---
    // The node's live instances, the node-instance start, the limiters (unless detached), the
    // playing id, the media. 1; 2 without a playing id; 52; the playing id's refusal.
    ZKRESULT Start() override;
    // Queues the voice command (play, or play paused) after an optional fade-in; raises the launch
    // counter with count; the instance joins the started list, where its start delay counts down.
    // 1; the queue's failure (2); 52 when the started list cannot take it.
    ZKRESULT Play(ZkTimeMs fadeInMs, uint32_t curve, bool paused, bool count);
    // Leaves everything Start and the play joined and releases what the instance holds (after the
    // subclass's teardown).
    void Destroy();
    // Once: marks killed; plain stops and limits (reasons 0 and 2) leave the fades and make the
    // instance dead, which its voice (or the voice queue) turns into its end. A played instance
    // that has neither a voice nor a start command waiting (no voice could be had) ends at once.
    virtual void Kill(uint32_t reason);

    // --- Playback ---
    void Pause(ZkTimeMs timeMs, uint32_t curve);
    virtual void PauseNow(bool voiceTold);
    void Resume(ZkTimeMs timeMs, uint32_t curve, bool allLevels);
    virtual void ResumeNow();
    // A stop: at once, or after a fade to silence. With flag, an instance whose source has started
    // and no fade runs is silenced and killed at once.
    void StopWithFade(ZkTimeMs timeMs, uint32_t curve, bool flag);
    // A limit sends the instance off: stop requested with the reason, then stopped at once.
    void StopForLimit(uint8_t reason);
    // A limit sends the instance to its virtual behaviour: 1 stops it, 2 makes it virtual.
    void HandleVirtualLimit(uint8_t reason);
    virtual void StopLooping();
    virtual void SeekToTime(float ms, bool option);
    virtual void SeekToSamples(uint32_t samples);
    virtual void SeekToPercent(float fraction, bool option);
    int32_t TakePendingStopOffset();
    void SetPendingStopOffset(int32_t offset) { m_pendingStopOffset = offset; }

    // --- Fades ---
    // Starts or retargets the fade of the slot the target belongs to; without a transition the end
    // value is applied at once.
    void StartFade(uint32_t target, ZkTimeMs timeMs, uint32_t curve);
    void TransUpdateValue(uint32_t kind, float value, bool done) override;

    // --- Gain, priority, parameters ---
    // Adds, replaces or (remove) drops the owner's factor of that kind; the gain is recomputed.
    void SetContribution(const void* owner, uint8_t kind, float factor, bool remove);
    void RecomputeGain() override;
    void RefreshFromNode() override;
    // Starts or joins the instances of the modulators that drive the play's node and its
    // ancestors, linked through the instance's links (a play triggers with kind 1; a refresh joins
    // what runs with kind 0). 1; 2 when one could not be attached (the play goes on without it).
    ZKRESULT AttachModulators(int32_t triggerKind);
    // The modulator links of the play context the instance sounds in, whose volume modulators
    // shape its voice besides its own; the context keeps them (null: none). A plain instance has
    // no such context.
    virtual const CZkModulatorLinks* ContextModulatorLinks() const { return nullptr; }
    void SetParameterValue(uint32_t id, float value, float delta) override;
    // Clamped to 0-100; the limiters move the instance before the value is stored.
    void SetPriority(float priority);
    void SetPriorityFromDistance(float distance) override;
    // The render side's distance update: send value unset, priority from the nearest listener.
    void UpdateDistancePriority();
    // The below-threshold behaviour (cached; 3 resolved by the node's looping), and the queue one.
    uint8_t GetVirtualBehaviour(uint8_t& queueBehaviour);
    // A value for this instance's scope: remembered, cleared when the instance goes. 1 or 52.
    ZKRESULT RegisterScopedParameter(ZkUniqueID parameterID) { return m_scope.AddParameter(parameterID); }
    ZKRESULT RegisterScopedModulator(ZkUniqueID modulatorID) { return m_scope.AddModulator(modulatorID); }

    // --- The render side ---
    void SetVoice(CZkVoice* voice) { m_voice = voice; }
    CZkVoice* Voice() const { return m_voice; }
    // The voice is gone (value 1: killed before it had one): deferred command 4, once.
    void PostEndNotification(int32_t value);
    // The voice command queue dropped or applied the instance's start command.
    void OnStartCommandGone() { m_startQueued = false; }
    bool StartQueued() const { return m_startQueued; }
    // The source knows its duration (ms): source state 3, deferred command 3.
    void OnSourceDuration(float timeMs);
    // A deferred command from the render side, applied by the active instances' flush.
    void ApplyDeferredCommand(uint32_t type, int32_t value, float floatValue);
    void MarkPending() { SetSourceState(kSourcePending); }
    void MarkSourceStarted();
    void ClearSourceState() { SetSourceState(kSourceNone); }
    // A source joined an existing voice: it starts with its duration known.
    void MarkStarving() { SetSourceState(kSourceDurationKnown); }
    // The loop count of the node, once; the prepared mark.
    void MarkPrepared();
    // Counted as virtual (the global limit and its limiters do not count it), and back.
    void EnterVirtual();
    void LeaveVirtual();
    void RetainSources() { ++m_sourceRetains; }
    void ReleaseSources()
    {
        if (m_sourceRetains > 0)
            --m_sourceRetains;
    }
    void InitSends() { SetSendValue(kUnsetSendValue); }
    // 2^(pitch cents / 1200).
    float GetPitchRatio() const;
    // The below-threshold behaviour as the voice's virtual mode, the queue behaviour as its kind.
    uint8_t GetNodePlayMode(uint8_t& kind);
    bool HasDefaultPlayMode();
    // The node's effect slot for the voice: false for a detached instance.
    bool ForwardSlot54(uint32_t slot, ZkEffectDescription& description) const;
    ZkMixerInputId GetMixerInputId() const;
    // The start delay counts down by round(frames x pitch ratio) while not negative and not paused.
    // This is the one per-frame count of the delay (the voice list's UpdatePlaying calls it): it
    // runs while the voice waits for its source too, which the voice's readiness test relies on.
    void CountDownStartDelay(uint32_t frames);
    // The delay itself, for the stages that consume what is left of it inside a block (the
    // resampling stage's leading silence, the gap before a second source).
    int32_t* StartDelayCounter() { return &m_startDelay; }
    // Asked by the voice with its virtual behaviour when it comes back from virtual and after its
    // source starved: one of the kResume answers. A plain instance lets the source go on as it
    // stands (a virtual source kept its position up to date); subclasses that compute a position
    // of their own, or that must end, answer otherwise.
    virtual uint32_t HandleVirtual(uint32_t) { return kResumeAsItStands; }

    // --- What a voice's source reads and reports ---
    // The codec or source plug-in key of the media, (number << 16) + company x 16 + kind, which the
    // media reference carries as its type word; 0 without one.
    uint32_t CodecKey() const;
    // Takes the media's bytes (and the bank that supplies them) from the media index, giving back
    // those held before; without them (media not resident yet) the source opens its stream alone.
    void AcquireMedia();
    // The format of the media, as the source found it in the media's header.
    const ZkAudioFormat& MediaFormat() const { return m_format; }
    void SetMediaFormat(const ZkAudioFormat& format) { m_format = format; }
    // The source carried the seek out: the request is cleared; startOffset is what the decoder
    // skips after the block it restarted at.
    void FinishSeek(uint32_t startOffset);
    bool WaitsForBuffering() const { return (m_stopByte & kStopWaitForBuffering) != 0; }
    // The playing id's flags (callback types: markers 4; post flags: buffering 0x400000) as the
    // instance last read them: when it joined its playing id, or at RefreshCallbackFlags, which
    // reads them again (a cancel of the game's callbacks clears the types).
    uint32_t CallbackFlags() const { return m_callbackFlags; }
    void RefreshCallbackFlags();
    // The priority as a whole number, 0 to 100: the streaming priority of its media, the channel
    // byte of its mixer input, the voice's answer to plug-ins.
    uint8_t IntegerPriority() const;
    // The voice's volume in dB: the volume and the volume offset (value slots 0 and 5).
    float GetVolumeDb() const { return ValueSlot(kSlotVolume) + ValueSlot(kSlotVolumeOffset); }
    float GetLowPass() const { return ValueSlot(kSlotLowPass); }
    float GetHighPass() const { return ValueSlot(kSlotHighPass); }
    // A source that reads the media from memory moves to a new copy of it. True when it moved.
    bool RefreshStream();
    // Whether the instance or its voice uses the media, or the bank (and cannot move to another
    // loaded copy).
    bool UsesMedia(const void* media) const;
    bool UsesBank(const LoadedBank* bank);

    // --- The live instance, as nodes and limiters see it ---
    CZkGameObject* GameObject() const override { return GameObjectOf(); }
    ZkPlayingID PlayingID() const override { return m_playingID; }
    CZkHierarchyNode* PlayedNode() const override { return Node(); }
    ZkLimitStanding LimitStanding() const override;
    void OnOverLimit(bool toVirtual, uint8_t reason) override;
    ZKRESULT ExecuteAction(const ZkActionParams& params) override;
    void ApplyParamDelta(uint32_t parameter, float delta) override
    {
        SetParameterValue(parameter, delta, delta);
    }
    void UpdateContribution() override { RefreshFromNode(); }
    void RefreshPositioningParam(uint32_t, float) override { MarkPositioningDirty(); }
    void RefreshPositioning() override;
    void SetEffectBypass(uint8_t bits, uint8_t mask) override;
    void RebuildEffect(uint32_t slot) override;

    // --- State ---
    uint8_t Status() const { return m_status; }
    uint8_t StopByte() const { return m_stopByte; }
    uint8_t LimitByte() const { return m_limitByte; }
    uint8_t StartByte() const { return m_startByte; }
    uint8_t SourceState() const
    {
        return static_cast<uint8_t>((m_startByte & kSourceStateMask) >> kSourceStateShift);
    }
    // A source started (its duration known or not); a pending source has not.
    bool SourceStarted() const
    {
        return SourceState() == kSourceStarted || SourceState() == kSourceDurationKnown;
    }
    bool IsPaused() const { return (m_status & kStatusPaused) != 0; }
    bool IsKilled() const { return (m_status & kStatusKilled) != 0; }
    // Dead, and no stop point is pending: only its end is left.
    bool IsDead() const { return (m_status & kStatusDead) != 0 && m_pendingStopOffset == -1; }
    bool IsExempt() const { return (m_limitByte & kLimitExempt) != 0; }
    bool IsCountedVirtual() const { return (m_limitByte & kLimitCountedVirtual) != 0; }
    bool StartsVirtual() const { return (SecondFlags() & kFlagStartsVirtual) != 0; }
    void SetStartsVirtual(bool set) { SetSecondFlag(kFlagStartsVirtual, set); }
    void SetRequestedStartState(uint8_t state)
    {
        m_startByte = static_cast<uint8_t>((m_startByte & ~kStartStateMask) | (state & kStartStateMask));
    }
    float FadeVolume() const { return m_fadeVolume; }
    float PauseVolume() const { return m_pauseVolume; }
    uint32_t PauseCount() const { return m_pauseCount; }
    bool GainDirty() const { return (m_flags & kFlagGainDirty) != 0; }
    // A play that continues the item before (a sequence's next item) joins its running fade and
    // pause transitions and starts paused as deep as it is.
    void JoinHandedTransitions(CZkTransition* fade, CZkTransition* pause, uint32_t pauseCount);
    CZkTransition* FadeTransition() const { return m_fade; }
    CZkTransition* PauseTransition() const { return m_pause; }
    uint32_t SeekPosition() const { return m_seekPosition; }
    uint16_t LoopCount() const { return m_loopCount; }
    // 0 loops forever, 1 plays once.
    void SetLoopCount(uint16_t loops) { m_loopCount = loops; }
    int32_t StartDelay() const { return m_startDelay; }
    int32_t PendingStopOffset() const { return m_pendingStopOffset; }
    const ZkMediaRef* Media() const { return m_media; }
    const uint8_t* MediaData() const { return m_mediaData; }
    uint32_t MediaSize() const { return m_mediaSize; }
    uint64_t OptionWord() const { return m_optionWord; }
    void SetOptionWord(uint64_t word) { m_optionWord = word; }
    const ZkMidiEvent& MidiEvent() const { return m_midiEvent; }
    // The MIDI note whose voices the instance joined (null: none); it leaves them when destroyed.
    CZkMidiNote* MidiNote() const { return m_midiNote; }
    const ZkLimiterList& Limiters() const { return m_limiters; }
    ZkLimiterList& Limiters() { return m_limiters; }
    const ZkValueContributions& Contributions() const { return m_contributions; }
    uint32_t SourceRetains() const { return m_sourceRetains; }
    bool OwnBypass() const { return m_ownBypass; }
    // The play was counted at its node (PlayCountUp): Destroy counts it down.
    void SetPlayCounted() { m_playCounted = true; }
    // Collects the limiters of its node again (the play stays counted) and joins them.
    void RegisterInLimiters();
    // A play that failed before Start: its end reports it as never started.
    void MarkNeverStarted() { m_stopByte |= kStopNeverStarted; }
    bool IsInPlayingID() const { return m_inPlayingID; }
    // Records the instance with its playing id (a play that fails still reports its end through
    // it). 1; the playing manager's refusal.
    ZKRESULT JoinPlayingID();

    CZkPlayingInstance* pNextActive = nullptr; // the active instances' list

    // Its start command was queued (Play succeeded once).
    bool WasPlayed() const { return m_played; }
    // The voice group (0: none): the sequence number its play carried, which every item of one
    // sample-accurate run shares. The renderer lets the instance's source follow the source of an
    // instance of its group on that one's voice.
    uint32_t VoiceGroupID() const { return m_voiceGroup; }

protected:
    // Subclasses react to the end notice of their source (its time); nothing here.
    virtual void OnEndNotice(float) {}
    // Subclasses act first when the instance goes (Destroy); nothing here.
    virtual void OnTeardown() {}

private:
    void SetSourceState(uint8_t state)
    {
        m_startByte = static_cast<uint8_t>((m_startByte & ~kSourceStateMask) | (state << kSourceStateShift));
    }
    CZkTransition*& SlotOf(uint32_t target) { return target <= kFadeStop ? m_fade : m_pause; }
    // Joins the item before's running transition of one slot: this instance follows it from its
    // current value.
    void JoinTransition(CZkTransition* transition, bool fadeSlot);
    void LeaveTransitions();
    void LeaveLimiters();
    // Joins (at the start) or leaves (at the end) the associations of the layers of layered
    // containers above the node.
    void JoinLayers();
    void LeaveLayers();
    // The modulators of the layers above the instance's node, with those of its own chain.
    void AppendLayerModulatorKeys(ZkModulatorKeyList& keys);
    ZKRESULT JoinLimiters();
    // Queues a voice command for this instance; a failure is returned.
    ZKRESULT QueueVoiceCommand(uint32_t code);
    // The play's modulators follow its pause and resume; a break releases them from now.
    void PauseModulators();
    void ResumeModulators();
    void ReleaseModulators();
    void ApplyGathered(const ZkVoiceParams& params);
    void JoinMidiNote(CZkMidiNote* note);
    void LeaveMidiNote();

    uint64_t m_optionWord = 0;
    CZkParamScope m_scope;
    LoadedBank* m_mediaBank = nullptr;
    ZkValueContributions m_contributions;
    ZkPlayingID m_playingID = 0;
    CZkTransition* m_fade = nullptr;
    CZkTransition* m_pause = nullptr;
    const ZkMediaRef* m_media;
    CZkVoice* m_voice = nullptr;
    float m_fadeVolume = 1.0f;
    float m_pauseVolume = 1.0f;
    uint32_t m_seekPosition;
    uint16_t m_loopCount = 1;
    uint8_t m_startByte = 0;
    uint8_t m_behaviourByte = 0;
    uint8_t m_status = 0;
    uint8_t m_stopByte;
    uint8_t m_limitByte = 0;
    uint32_t m_pauseCount = 0;
    int32_t m_startDelay = 0;
    const uint8_t* m_mediaData = nullptr;
    uint32_t m_mediaSize = 0;
    ZkMidiEvent m_midiEvent;
    CZkMidiNote* m_midiNote = nullptr;
    ZkLimiterList m_limiters;
    int32_t m_pendingStopOffset = -1;
    float m_distancePart = 0.0f; // the part of the priority that the distance adds to the base
    float m_randomOffsets[5] = {};
    uint32_t m_sourceRetains = 0;
    bool m_randomDrawn = false;
    bool m_ownBypass = false;
    bool m_inNodeList = false;
    bool m_inPlayingID = false;
    bool m_playCounted = false;
    bool m_limitersLeft = false;
    bool m_played = false;      // its start command was queued
    bool m_startQueued = false; // and is still in the voice command queue
    bool m_endPosted = false;
    bool m_rateTimed = false;   // an item of a playlist that times its items: seeks are refused
    uint32_t m_callbackFlags = 0;
    uint32_t m_voiceGroup = 0;
    // Mono in the standard configuration (centre) until a source reads the media's header.
    ZkAudioFormat m_format{0, ZkChannelConfig(0x4101), 0};
};
} // namespace ZK::SoundEngine
