#include "MusicEngine/Contexts/CZkMusicContext.h"

#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

#include <algorithm>

namespace ZK::MusicEngine
{
using SoundEngine::CZkTransition;
using SoundEngine::g_pTransitionMgr;

namespace
{
// What the transition manager expects of the contexts' fades: tag 25, and of the three flag bytes
// after it only the second set (the fade mirrors its curve when it falls).
constexpr uint32_t kMusicFadeTag = 25;
constexpr bool kMusicFadeMirrorsWhenFalling = true;
} // namespace

CZkMusicContext::CZkMusicContext(CZkMusicContext* parentContext)
{
    parent = parentContext;
}

CZkMusicContext::~CZkMusicContext()
{
    if (g_pTransitionMgr != nullptr)
    {
        if (m_fadeTransition != nullptr)
            g_pTransitionMgr->RemoveTransitionUser(m_fadeTransition, this);
        if (m_pauseTransition != nullptr)
            g_pTransitionMgr->RemoveTransitionUser(m_pauseTransition, this);
    }
    m_firstChild = nullptr;
}

void CZkMusicContext::EndFrame()
{
    AddRef();
    ForEachChild([](CZkMusicChild& child) { child.EndFrame(); });
    if (PlayState() == kStopping)
        OnStopped();
    Release();
}

void CZkMusicContext::Stop(uint32_t offset)
{
    AddRef();
    for (CZkMusicChild* child = m_firstChild; child != nullptr; child = child->nextSibling)
    {
        child->AddRef();
        child->Stop(offset);
    }
    ForEachChild([](CZkMusicChild& child) { child.Release(); });
    if (offset != kNoStopOffset)
        m_stopOffset = std::min(m_stopOffset, offset);
    if (m_stopOffset != 0 && PlayState() != kCreated && !IsPaused())
    {
        // Renders up to the stop offset and stops in EndFrame; a stopped context stays stopped.
        if (PlayState() == kPlaying || PlayState() == kStopping)
            SetPlayState(kStopping);
    }
    else
    {
        OnStopped();
    }
    Release();
}

void CZkMusicContext::Pause()
{
    ForEachChild([](CZkMusicChild& child) { child.Pause(); });
    m_state |= kPausedBit;
    if (m_fadeTransition != nullptr && g_pTransitionMgr != nullptr)
        g_pTransitionMgr->Pause(m_fadeTransition);
}

void CZkMusicContext::Resume()
{
    ForEachChild([](CZkMusicChild& child) { child.Resume(); });
    m_state &= static_cast<uint8_t>(~kPausedBit);
    if (m_fadeTransition != nullptr && g_pTransitionMgr != nullptr)
        g_pTransitionMgr->Resume(m_fadeTransition);
}

void CZkMusicContext::ApplyFade(const void* key, float value)
{
    ForEachChild([key, value](CZkMusicChild& child) { child.ApplyFade(key, value); });
}

void CZkMusicContext::SetParameter(uint32_t id, float value, float frameLength)
{
    ForEachChild([id, value, frameLength](CZkMusicChild& child) { child.SetParameter(id, value, frameLength); });
}

void CZkMusicContext::ReleaseModulators()
{
    ForEachChild([](CZkMusicChild& child) { child.ReleaseModulators(); });
}

void CZkMusicContext::Release()
{
    if (--m_refCount > 0)
        return;
    OnLastRelease();
    this->~CZkMusicContext();
    ZK::MemoryMgr::Free(kPool, this);
}

void CZkMusicContext::OnLastRelease()
{
    if (parent == nullptr)
        return;
    CZkMusicContext* owner = parent;
    parent = nullptr;
    for (CZkMusicChild* child = owner->m_firstChild; child != nullptr; child = child->nextSibling)
    {
        if (child == this)
        {
            owner->UnlinkChild(*this);
            owner->Release();
            return;
        }
    }
}

void CZkMusicContext::OnPlay()
{
    SetPlayState(kPlaying);
}

void CZkMusicContext::OnStopped()
{
    SetPlayState(kStopped);
}

void CZkMusicContext::AttachToParent()
{
    if (parent == nullptr)
        return;
    parent->LinkChild(*this);
}

void CZkMusicContext::DetachFromParent()
{
    if (parent == nullptr)
        return;
    CZkMusicContext* owner = parent;
    owner->UnlinkChild(*this);
    owner->Release();
}

void CZkMusicContext::LinkChild(CZkMusicChild& child)
{
    child.nextSibling = m_firstChild;
    m_firstChild = &child;
    AddRef();
}

void CZkMusicContext::UnlinkChild(CZkMusicChild& child)
{
    CZkMusicChild** link = &m_firstChild;
    while (*link != nullptr && *link != &child)
        link = &(*link)->nextSibling;
    if (*link != nullptr)
        *link = child.nextSibling;
    child.nextSibling = nullptr;
}

void CZkMusicContext::TransUpdateValue(uint32_t type, float value, bool done)
{
    if (type == kFadePlay || type == kFadeStop)
    {
        m_fadeFactor = value;
        ApplyFade(&m_fadeFactor, value);
        if (done)
        {
            m_fadeTransition = nullptr;
            if (type == kFadeStop)
                Stop(kNoStopOffset);
        }
    }
    else if (type == kFadePause || type == kFadeResume)
    {
        m_pauseFactor = value;
        ApplyFade(&m_pauseFactor, value);
        if (done)
        {
            m_pauseTransition = nullptr;
            if (type == kFadePause)
                Pause();
        }
    }
}

CZkTransition* CZkMusicContext::StartFade(uint32_t type, float from, float to, int32_t durationMs, int32_t curve)
{
    CZkTransition* transition = nullptr;
    if (g_pTransitionMgr != nullptr)
    {
        SoundEngine::ZkTransitionParams params;
        params.firstUser = this;
        params.kind = type;
        params.startValue = from;
        params.targetValue = to;
        params.timeMs = static_cast<ZkTimeMs>(std::max(durationMs, 0));
        params.curve = static_cast<uint32_t>(curve);
        params.tag = kMusicFadeTag;
        params.mirrorWhenFalling = kMusicFadeMirrorsWhenFalling;
        transition = g_pTransitionMgr->AddTransition(params);
    }
    if (transition == nullptr)
        TransUpdateValue(type, to, true);
    return transition;
}

void CZkMusicContext::PlayWithFade(const ZkMusicFadeParams& fade)
{
    if (PlayState() > kPlaying)
        return;
    if (m_fadeTransition != nullptr)
    {
        g_pTransitionMgr->ChangeParameter(m_fadeTransition, kFadePlay, 1.0f, static_cast<ZkTimeMs>(std::max(fade.durationMs, 0)),
                                          static_cast<uint32_t>(fade.curve), SoundEngine::ZkValueMeaning_Absolute);
    }
    else if (fade.durationMs > 0)
    {
        m_fadeTransition = StartFade(kFadePlay, 0.0f, 1.0f, fade.durationMs, fade.curve);
        if (m_fadeTransition != nullptr)
        {
            // The offset delays the fade by whole frames (an early one moves it back, not before 0).
            const int32_t frameLength = static_cast<int32_t>(g_pTransitionMgr->Clock().samplesPerFrame);
            const int32_t frames = frameLength > 0 ? fade.offset / frameLength : 0;
            if (frames >= 0)
                m_fadeTransition->ShiftStart(static_cast<uint32_t>(frames));
            else
                m_fadeTransition->ShiftStart(
                    0u - std::min(static_cast<uint32_t>(-frames), m_fadeTransition->StartFrame()));
        }
    }
    OnPlay();
}

void CZkMusicContext::StopWithFade(const ZkMusicFadeParams& fade, uint32_t offset)
{
    if (IsPaused())
    {
        Stop(offset);
        return;
    }
    if (m_fadeTransition != nullptr)
    {
        if (fade.durationMs != 0)
        {
            g_pTransitionMgr->ChangeParameter(m_fadeTransition, kFadeStop, 0.0f, static_cast<ZkTimeMs>(std::max(fade.durationMs, 0)),
                                              static_cast<uint32_t>(fade.curve), SoundEngine::ZkValueMeaning_Absolute);
            return;
        }
        g_pTransitionMgr->RemoveTransitionUser(m_fadeTransition, this);
        m_fadeTransition = nullptr;
        Stop(offset);
        return;
    }
    const uint8_t state = PlayState();
    if (fade.durationMs > 0 && state >= kPlaying && state <= 3)
    {
        m_fadeTransition = StartFade(kFadeStop, 1.0f, 0.0f, fade.durationMs, fade.curve);
        return;
    }
    Stop(offset);
}

void CZkMusicContext::PauseWithFade(const ZkMusicFadeParams& fade)
{
    if (m_pauseCount++ > 0)
        return;
    if (m_pauseTransition != nullptr)
    {
        g_pTransitionMgr->ChangeParameter(m_pauseTransition, kFadePause, 0.0f, static_cast<ZkTimeMs>(std::max(fade.durationMs, 0)),
                                          static_cast<uint32_t>(fade.curve), SoundEngine::ZkValueMeaning_Absolute);
        return;
    }
    // Even without a duration the pause goes through the transition manager (at its next tick).
    m_pauseTransition = StartFade(kFadePause, 1.0f, 0.0f, fade.durationMs, fade.curve);
}

void CZkMusicContext::ResumeWithFade(const ZkMusicFadeParams& fade, bool force)
{
    if (!force && m_pauseCount > 1)
    {
        --m_pauseCount;
        return;
    }
    m_pauseCount = 0;
    if (m_pauseTransition != nullptr)
    {
        g_pTransitionMgr->ChangeParameter(m_pauseTransition, kFadeResume, 1.0f, static_cast<ZkTimeMs>(std::max(fade.durationMs, 0)),
                                          static_cast<uint32_t>(fade.curve), SoundEngine::ZkValueMeaning_Absolute);
    }
    else if (fade.durationMs < 1)
    {
        m_pauseFactor = 1.0f;
        ApplyFade(&m_pauseFactor, 1.0f);
    }
    else
    {
        m_pauseTransition = StartFade(kFadeResume, m_pauseFactor, 1.0f, fade.durationMs, fade.curve);
    }
    Resume();
}
} // namespace ZK::MusicEngine
