// CZkMusicContext: the base of every music playback context. A play of a music object is carried
// out by a tree of contexts: the root owns the play record, each context hangs under the context
// that started it, and the leaves are the clip playing instances and MIDI-track players.
//
// References: the creator takes the first reference at once; a parent holds one reference per child
// in its child list and each child holds one on its parent (taken by AttachToParent). The last
// Release unlinks the context from its parent (which may release the parent in turn, up to the
// root), ends the play at the root, and frees the memory (pool 0). Stopping never frees.
//
// Play state (low nibble of the state byte): 0 created, 1 playing, 2 stopping (stops at the end of
// the frame, after rendering up to the stored stop offset), 4 stopped; bit 4 is the paused bit,
// bits 5-7 belong to subclasses. Fades (play, stop, pause, resume) run in the transition manager
// with this context as their user; a fade that cannot be created completes at once.
//
// Threading: engine thread only, inside the tick, under the global engine lock; no lock of its own.
// Ownership: reference-counted as above; the fades' transitions belong to the transition manager.
#pragma once

#include "MusicEngine/Contexts/CZkMusicChild.h"
#include "ZkAudiolib/Common/Parameters/ZkTransitionUser.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkTransition;
}

namespace ZK::MusicEngine
{
// A fade as the contexts pass it: duration (ms), the transition manager's curve, and (play fades
// only) an offset in samples that delays its start by whole frames.
struct ZkMusicFadeParams
{
    int32_t durationMs = 0;
    int32_t curve = ZkCurveInterpolation_Linear;
    int32_t offset = 0;
};

// Transition types of the contexts' fades.
constexpr uint32_t kFadePlay = 0x1000000u;   // towards 1.0
constexpr uint32_t kFadeStop = 0x2000000u;   // towards 0.0, then Stop
constexpr uint32_t kFadePause = 0x4000000u;  // towards 0.0, then Pause
constexpr uint32_t kFadeResume = 0x8000000u; // towards 1.0

class CZkMusicContext : public CZkMusicChild, public SoundEngine::ZkTransitionUser
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    enum PlayState : uint8_t
    {
        kCreated = 0,
        kPlaying = 1,
        kStopping = 2,
        kStopped = 4,
    };
    static constexpr uint8_t kPlayStateMask = 0x0F;
    static constexpr uint8_t kPausedBit = 0x10;

    explicit CZkMusicContext(CZkMusicContext* parentContext);
    ~CZkMusicContext() override;
    CZkMusicContext(const CZkMusicContext&) = delete;
    CZkMusicContext& operator=(const CZkMusicContext&) = delete;

    // --- CZkMusicChild ---
    void StopAt(uint32_t) override {}
    // Every child's EndFrame; a stopping context then stops.
    void EndFrame() override;
    void Stop(uint32_t offset) override;
    void Pause() override;
    void Resume() override;
    void ApplyFade(const void* key, float value) override;
    void SetParameter(uint32_t id, float value, float frameLength) override;
    void ReleaseModulators() override;
    void AddRef() override { ++m_refCount; }
    void Release() override;

    // The context starts playing (state 1).
    virtual void OnPlay();
    // The context has stopped (state 4).
    virtual void OnStopped();

    // --- Tree ---
    // Links the context under its parent (front of the child list), which takes a reference.
    void AttachToParent();
    // Unlinks it and drops that reference (which may end the parent).
    void DetachFromParent();
    // A child joins the front of the child list and this context takes a reference for it.
    void LinkChild(CZkMusicChild& child);
    // Takes the child out of the list (nothing when absent); the caller then releases this context.
    void UnlinkChild(CZkMusicChild& child);
    CZkMusicChild* FirstChild() const { return m_firstChild; }

    // --- Fades over the transition manager ---
    void PlayWithFade(const ZkMusicFadeParams& fade);
    void StopWithFade(const ZkMusicFadeParams& fade, uint32_t offset);
    void PauseWithFade(const ZkMusicFadeParams& fade);
    void ResumeWithFade(const ZkMusicFadeParams& fade, bool force);

    // --- State ---
    uint8_t PlayState() const { return m_state & kPlayStateMask; }
    bool IsPaused() const { return (m_state & kPausedBit) != 0; }
    // Not yet stopping: created or playing.
    bool IsBeforeStopping() const { return PlayState() <= kPlaying; }
    // Playing or stopping, and not paused.
    bool IsSounding() const { return (m_state & 0x3) != 0 && !IsPaused(); }
    uint8_t StateByte() const { return m_state; }
    int32_t RefCount() const { return m_refCount; }
    uint32_t StopOffset() const { return m_stopOffset; }
    uint16_t PauseCount() const { return m_pauseCount; }
    float FadeFactor() const { return m_fadeFactor; }
    float PauseFactor() const { return m_pauseFactor; }
    bool HasFade() const { return m_fadeTransition != nullptr; }
    bool HasPauseFade() const { return m_pauseTransition != nullptr; }
    // The music callback bits of the play (on a root); see CZkMusicTimelineContext.
    uint32_t callbackFlags = 0;

    // A fade of this context has a new value (the transition manager calls it every frame).
    void TransUpdateValue(uint32_t type, float value, bool done) override;

protected:
    // The last reference went: unlink from the parent, or end the play at the root.
    virtual void OnLastRelease();
    void SetPlayState(uint8_t state) { m_state = static_cast<uint8_t>((m_state & ~kPlayStateMask) | state); }
    // Calls visit(child) for every child, reading the next sibling first (the visit may unlink it).
    template <typename Visit>
    void ForEachChild(Visit visit)
    {
        for (CZkMusicChild* child = m_firstChild; child != nullptr;)
        {
            CZkMusicChild* next = child->nextSibling;
            visit(*child);
            child = next;
        }
    }

private:
    // Creates a fade; when it cannot be created it completes at once. The transition or null.
    SoundEngine::CZkTransition* StartFade(uint32_t type, float from, float to, int32_t durationMs, int32_t curve);

    float m_fadeFactor = 1.0f;
    float m_pauseFactor = 1.0f;
    CZkMusicChild* m_firstChild = nullptr;
    SoundEngine::CZkTransition* m_fadeTransition = nullptr;
    SoundEngine::CZkTransition* m_pauseTransition = nullptr;
    int32_t m_refCount = 0;
    uint32_t m_stopOffset = kNoStopOffset;
    uint16_t m_pauseCount = 0;
    uint8_t m_state = 0;
};
} // namespace ZK::MusicEngine
