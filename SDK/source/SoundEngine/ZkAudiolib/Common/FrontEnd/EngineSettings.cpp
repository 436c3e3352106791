#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"

#include <ZK/SoundEngine/Common/ZkEngineInit.h>

#include "Platform/PlatformClock.h"

ZK::SoundEngine::ZkAssertHook g_pAssertHook = nullptr;

namespace ZK::SoundEngine
{
namespace
{
constexpr double kMillisecondsPerSecond = 1000.0;

ZkInitSettings g_settings;
std::atomic<float> g_ticksPerMillisecond{
    static_cast<float>(static_cast<double>(ZK::Platform::kPerformanceFrequencyHz) / kMillisecondsPerSecond)};
} // namespace

ZkInitSettings& GetEngineSettings()
{
    return g_settings;
}

bool IsInitialized()
{
    return g_engineInitialized.load(std::memory_order_acquire) != 0;
}

float TicksPerMillisecond()
{
    return g_ticksPerMillisecond.load(std::memory_order_relaxed);
}

void SetTicksPerMillisecond(float ticks)
{
    g_ticksPerMillisecond.store(ticks, std::memory_order_relaxed);
}

void GetDefaultInitSettings(ZkInitSettings& settings)
{
    // The one field the defaults leave alone.
    const uint32_t kept = settings.reservedE;
    settings = ZkInitSettings{};
    settings.reservedE = kept;
}
} // namespace ZK::SoundEngine
