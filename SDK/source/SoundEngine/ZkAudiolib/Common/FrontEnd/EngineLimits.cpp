#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

#include <atomic>
#include <cmath>
#include <limits>

namespace ZK::SoundEngine
{
namespace
{
constexpr double kDecibelsPerPow10 = 20.0;

// One limit: its value and the priority of its last write.
template <typename Value>
struct Limit
{
    std::atomic<Value> value;
    int32_t priority = kInitPriority;
};

struct Limits
{
    Limit<float> thresholdDB{kDefaultVolumeThresholdDB};
    std::atomic<float> thresholdLinear{VolumeThresholdToLinear(kDefaultVolumeThresholdDB)};
    Limit<uint16_t> maxVoices{kDefaultMaxNumVoices};
    Limit<uint16_t> secondLimit{0};
};

Limits& State()
{
    static Limits limits;
    return limits;
}

// A writer of priority may write when the stored priority is not smaller; the stored priority then
// becomes the writer's. Under the global engine lock.
template <typename Value>
bool Claim(Limit<Value>& limit, int32_t priority)
{
    if (limit.priority < priority)
        return false;
    limit.priority = priority;
    return true;
}
} // namespace

float VolumeThresholdToLinear(float thresholdDB)
{
    const float fast = ZkFastPow10(thresholdDB * kDecibelsToPow10);
    // 10^(dB / 20) in double, rounded up to a float: never below the exact value.
    const double exact = std::pow(10.0, static_cast<double>(thresholdDB) / kDecibelsPerPow10);
    float rounded = static_cast<float>(exact);
    if (static_cast<double>(rounded) < exact)
        rounded = std::nextafter(rounded, std::numeric_limits<float>::infinity());
    return fast > rounded ? fast : rounded;
}

ZKRESULT SetVolumeThresholdWithPriority(float thresholdDB, int32_t priority)
{
    if (!(thresholdDB >= kMinVolumeThresholdDB && thresholdDB <= kMaxVolumeThresholdDB))
        return ZK_InvalidParameter;
    Limits& limits = State();
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    if (!Claim(limits.thresholdDB, priority))
        return ZK_Success;
    limits.thresholdDB.value.store(thresholdDB, std::memory_order_relaxed);
    limits.thresholdLinear.store(VolumeThresholdToLinear(thresholdDB), std::memory_order_relaxed);
    return ZK_Success;
}

ZKRESULT SetMaxNumVoicesLimitWithPriority(uint16_t limit, int32_t priority)
{
    if (limit == 0)
        return ZK_InvalidParameter;
    Limits& limits = State();
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    if (!Claim(limits.maxVoices, priority))
        return ZK_Success;
    limits.maxVoices.value.store(limit, std::memory_order_relaxed);
    // The limit the active instances enforce.
    CZkActiveInstances::GlobalLimiter().SetMaxCount(limit);
    return ZK_Success;
}

ZKRESULT SetSecondVoiceLimitWithPriority(uint16_t limit, int32_t priority)
{
    Limits& limits = State();
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    if (Claim(limits.secondLimit, priority))
        limits.secondLimit.value.store(limit, std::memory_order_relaxed);
    return ZK_Success;
}

float GetVolumeThresholdDB()
{
    return State().thresholdDB.value.load(std::memory_order_relaxed);
}

float GetVolumeThresholdLinear()
{
    return State().thresholdLinear.load(std::memory_order_relaxed);
}

uint16_t GetMaxNumVoicesLimit()
{
    return State().maxVoices.value.load(std::memory_order_relaxed);
}

uint16_t GetSecondVoiceLimit()
{
    return State().secondLimit.value.load(std::memory_order_relaxed);
}

void ResetSettingPriorities()
{
    Limits& limits = State();
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    limits.thresholdDB.priority = kInitPriority;
    limits.maxVoices.priority = kInitPriority;
    limits.secondLimit.priority = kInitPriority;
}

void ResetEngineLimits()
{
    ResetSettingPriorities();
    SetVolumeThresholdWithPriority(kDefaultVolumeThresholdDB, kInitPriority);
    SetMaxNumVoicesLimitWithPriority(kDefaultMaxNumVoices, kInitPriority);
    SetSecondVoiceLimitWithPriority(0, kInitPriority);
    ResetSettingPriorities();
}
} // namespace ZK::SoundEngine
