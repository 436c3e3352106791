// CZkTransitionMgr: owns every running transition and advances them once per audio frame from the
// engine tick. Two lists: list 1 holds the state manager's transitions (paused and resumed as a
// group), list 0 all others. A transition ends when its time is up or when its last user left.
//
// Frames: the manager keeps the frame counter of the last frame it processed (SetCurrentFrame or
// ProcessTransitions); new transitions and retargets start at that frame.
//
// Threading: audio thread only, under the global engine lock. Users are called from inside the
// frame pass and may remove themselves or add and retarget transitions.
// Ownership: the manager owns its transitions (memory pool 0); Term steps each to its end and frees
// it. One manager exists, reached through g_pTransitionMgr (created by the engine's Init).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Parameters/CZkTransition.h"

namespace ZK::SoundEngine
{
class CZkTransitionMgr
{
public:
    static constexpr uint32_t kDefaultList = 0;
    static constexpr uint32_t kStateList = 1;

    CZkTransitionMgr() = default;
    ~CZkTransitionMgr() { Term(); }
    CZkTransitionMgr(const CZkTransitionMgr&) = delete;
    CZkTransitionMgr& operator=(const CZkTransitionMgr&) = delete;

    // A new transition in list 1 (list == kStateList) or list 0; null when memory runs out (nothing
    // is left behind).
    CZkTransition* AddTransition(const ZkTransitionParams& params, uint32_t list = kDefaultList);
    // Retargets from the current value; returns the new time in frames before any fade shortening.
    uint32_t ChangeParameter(CZkTransition* transition, uint32_t kind, float target, ZkTimeMs timeMs,
                             uint32_t curve, ZkValueMeaning meaning);
    // 1; 2 when the user is already there or the array cannot grow.
    ZKRESULT AddTransitionUser(CZkTransition* transition, ZkTransitionUser* user);
    // 1; 2 when the user is not there. A transition left without users is freed at the next frame.
    ZKRESULT RemoveTransitionUser(CZkTransition* transition, ZkTransitionUser* user);

    void Pause(CZkTransition* transition);
    // Returns the pause state before the call.
    ZkTransitionPause Resume(CZkTransition* transition);
    void PauseAll();  // list 1
    void ResumeAll(); // list 1

    // Once per audio frame: list 0, then list 1.
    void ProcessTransitions(uint32_t frame);
    // Steps every transition to its end (users get the final value, done) and frees it.
    void Term();

    void SetCurrentFrame(uint32_t frame) { m_now = frame; }
    uint32_t CurrentFrame() const { return m_now; }
    void SetClock(const ZkTransitionClock& clock) { m_clock = clock; }
    const ZkTransitionClock& Clock() const { return m_clock; }
    uint32_t Count(uint32_t list) const { return m_lists[list == kStateList ? 1 : 0].Length(); }
    bool Contains(const CZkTransition* transition) const;

private:
    using TransitionList = ZK::ZkArray<CZkTransition*>;
    void ProcessList(TransitionList& list, uint32_t frame);
    void TermList(TransitionList& list);
    static void Free(CZkTransition* transition);

    TransitionList m_lists[2];
    uint32_t m_now = 0;
    ZkTransitionClock m_clock;
};

extern CZkTransitionMgr* g_pTransitionMgr;
} // namespace ZK::SoundEngine
