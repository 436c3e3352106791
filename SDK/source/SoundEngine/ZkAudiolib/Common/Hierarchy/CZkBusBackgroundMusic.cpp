// CZkBus: the background-music buses. The game mutes them all at once (message 52): their gain
// becomes 0 while muted, whatever their modified-property records say, and comes back from those
// records when unmuted. The game hears of each change through the callback of its init settings.
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Hierarchy/CZkModifiedProps.h"

#include "Platform/PlatformLock.h"

#include <atomic>

namespace ZK::SoundEngine
{
namespace
{
struct BackgroundMusic
{
    ZK::Platform::ZkCriticalSection lock;
    ZK::ZkArray<CZkBus*> buses; // not owning; each bus leaves when it goes
    std::atomic<bool> muted{false};
};

BackgroundMusic& Music()
{
    static BackgroundMusic music;
    return music;
}

// Every listed bus's children take the bus's gain again.
void PushGains()
{
    ZK::Platform::ZkScopedLock guard(Music().lock);
    for (CZkBus* bus : Music().buses)
        bus->UpdateContribution(nullptr);
}

void TellGame(bool muted)
{
    const ZkInitSettings& settings = GetEngineSettings();
    if (settings.bgmMuteCallback != nullptr)
        settings.bgmMuteCallback(muted ? 1 : 0, settings.bgmMuteCookie);
}
} // namespace

bool CZkBus::IsBackgroundMusicMuted() { return Music().muted.load(std::memory_order_relaxed); }

void CZkBus::MuteBackgroundMusic()
{
    if (Music().muted.exchange(true))
        return;
    PushGains();
    TellGame(true);
}

void CZkBus::UnmuteBackgroundMusic()
{
    if (!Music().muted.exchange(false))
        return;
    PushGains();
    TellGame(false);
}

float CZkBus::BusGain() const
{
    if (IsBackgroundMusic() && IsBackgroundMusicMuted())
        return 0.0f;
    CZkModifiedProps* record = GlobalModifiedProps();
    return record != nullptr ? record->Value(ZkProp_Gain) : 1.0f;
}

void CZkBus::JoinBackgroundMusic()
{
    {
        ZK::Platform::ZkScopedLock guard(Music().lock);
        if (IsBackgroundMusic())
            return;
        if (Music().buses.AddLast(this) == nullptr)
            return; // out of memory: the bus is not muted with the others
        m_busFlags |= kFlagBackgroundMusic;
    }
    if (IsBackgroundMusicMuted())
        UpdateContribution(nullptr); // its gain is 0 at once
}

void CZkBus::LeaveBackgroundMusic()
{
    {
        ZK::Platform::ZkScopedLock guard(Music().lock);
        if (!IsBackgroundMusic())
            return;
        ZK::ZkArray<CZkBus*>& buses = Music().buses;
        buses.Erase(buses.Find(this));
        if (buses.IsEmpty())
            buses.Term();
        m_busFlags &= static_cast<uint8_t>(~kFlagBackgroundMusic);
    }
    UpdateContribution(nullptr); // the gain of its modified-property record again
}
} // namespace ZK::SoundEngine
