// CZkModulatorInstance: one running modulator for one scope key: the parameters computed from the
// modulator's properties when it was (re)triggered, its age and state, and the value it gave last.
// The modulator manager advances it once per engine frame, packs its kernel record (Header() and
// GetParamBlock()) and points it at the frame's output record (SetPendingOutput); the next
// Advance takes that output's value and state.
//
// Life cycle: CZkModulator::CreateInstance allocates and Init()s it (Init again on a retrigger);
// Term() ends it (stopping what it modulates when the modulator says so); the last Release frees
// it. A new instance holds no reference: each holder (the tree's slot, the manager's list, a link)
// takes its own.
//
// Threading: audio thread, under the global engine lock.
// Ownership: memory pool 0, freed by the last Release. It holds a reference on its modulator (and
// one active use of it), on its owner record and on every target of its target list; the voices
// and the game object are only named.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorRecords.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTrigger.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkModulator;

// The key's parts that a scope keeps: 0 all; 1 without the playing instance, and without the
// playing id when a note is set; 2 the game object; 3 none.
ZkRTPCKey ReduceKeyToScope(const ZkRTPCKey& key, int32_t scope);

class CZkModulatorInstance
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    CZkModulatorInstance() = default;
    virtual ~CZkModulatorInstance();
    CZkModulatorInstance(const CZkModulatorInstance&) = delete;
    CZkModulatorInstance& operator=(const CZkModulatorInstance&) = delete;

    // --- Operations of each kind ---
    // A game parameter driving modulator parameter `parameter` gave value. False for a parameter
    // the kind does not take.
    virtual bool SetParam(uint32_t parameter, float value) = 0;
    // Ages the instance by one engine frame of `frames` samples and takes the last frame's output.
    virtual void Advance(uint32_t frames) = 0;
    virtual void* GetParamBlock() = 0;
    // Audio rate (a buffer of values per frame) or control rate (one value).
    virtual void UpdateAudioRate() = 0;
    virtual void PostInit() = 0;

    // Binds the instance to the modulator and the trigger, computes its parameters. 1.
    ZKRESULT Init(CZkModulator* modulator, const ZkModulatorTrigger& context, CZkHierarchyNode* target,
                  int32_t scope);
    // State 3; the modulator loses the active use; with StopPlayback, what the instance modulates
    // stops (by scope); then every reference and name is let go.
    void Term();
    // Starts the release `frames` frames from now, once (a scheduled release stays).
    void ScheduleRelease(int64_t frames);
    // State 3: the instance is finished; it ends at the manager's next purge.
    void MarkStopped() { m_header.state = ZkModulatorState_Stopped; }
    // The instance holds still this frame: the pending output's value becomes its current value
    // and the output (about to be reused) is let go.
    void HoldPendingValue();
    // No modulator, stopped, or a voice or note instance that no link uses any more.
    bool IsFinished() const;

    uint32_t AddRef() { return static_cast<uint32_t>(++m_refCount); }
    // At 0 the instance is terminated and freed.
    uint32_t Release();

    // The key the instance serves (its scope's parts of the trigger's key).
    ZkRTPCKey Key() const;
    CZkModulator* Modulator() const { return m_modulator; }
    int32_t Scope() const { return m_scope; }
    int32_t State() const { return m_header.state; }
    const ZkModulatorHeader& Header() const { return m_header; }
    bool HasValue() const { return m_hasValue != 0; }
    // The value a query reads: the pending output's, else the current one, else 0.
    float Value() const;
    // The output record of the frame being computed; the LFO's is a ZkLfoOutput.
    void SetPendingOutput(ZkModulatorOutput* output) { m_pendingOutput = output; }
    ZkModulatorOutput* PendingOutput() const { return m_pendingOutput; }

    // Users: the modulator links that hold the instance; the paused ones among them.
    void AddUser() { ++m_users; }
    void RemoveUser() { --m_users; }
    int32_t Users() const { return m_users; }
    void AddPausedUser() { ++m_pausedUsers; }
    // Whether the last Advance held the instance still (it is not computed this frame).
    bool IsHeld() const { return HeldByPausedUsers(); }
    void RemovePausedUser() { --m_pausedUsers; }

    CZkPlayingInstance* Voice() const { return m_voice; }
    const ZK::ZkArray<CZkPlayingInstance*>& Voices() const { return m_voices; }
    const ZK::ZkArray<CZkHierarchyNode*>& Targets() const { return m_targets; }
    // The playing object goes away: the instance forgets its voices.
    void ForgetVoices();

    CZkModulatorInstance* next = nullptr; // the manager's instance list

protected:
    // The common part of Advance: unless every user is paused (and it is not global), takes the
    // pending output's state and value and ages by `advance` samples. False when skipped.
    bool AdvanceBy(int64_t advance);
    // Whether Advance holds the instance still: not global, with users, every one paused.
    bool HeldByPausedUsers() const;
    uint32_t BufferFrames() const;
    bool ModulatorRunsAtAudioRate() const;
    int32_t Samples(float seconds) const;

    ZkModulatorHeader m_header;
    uint8_t m_hasValue = 0;

private:
    void StopModulatedPlayback();
    void AddTarget(CZkHierarchyNode* target);
    void ReleaseTargets();

    CZkModulator* m_modulator = nullptr;
    CZkPlayingInstance* m_voice = nullptr;
    ZK::ZkArray<CZkPlayingInstance*> m_voices;
    ZK::ZkArray<CZkHierarchyNode*> m_targets;
    CZkRegisteredObj* m_gameObject = nullptr;
    CZkNodeInstanceRecord* m_ownerRecord = nullptr;
    uint8_t m_note = kZkMidiAny;
    uint8_t m_channel = kZkMidiAny;
    uint32_t m_midiTargetID = 0;
    ZkPlayingID m_playingID = 0;
    ZkModulatorOutput* m_pendingOutput = nullptr;
    int32_t m_refCount = 0;
    int32_t m_scope = ZkModulatorScope_Global;
    int32_t m_users = 0;
    int32_t m_pausedUsers = 0;
};
} // namespace ZK::SoundEngine
