// The engine-wide limits that both the game and an Init bank set: the volume threshold (below it a
// voice is not heard), the engine's limit of playing instances, and a second voice-count value that
// is kept and read by nobody. Each carries a setting priority: the engine's initialisation sets all
// three to kInitPriority, the interface calls write with kInterfacePriority and a bank with its own
// (kBankSettingPriority); a write applies only when the stored priority is greater than or equal to
// the writer's, and the priority then becomes the writer's. So a value the game set is never
// overridden by a bank loaded later.
//
// The threshold is kept in decibels and as a linear gain, the larger of the fast power of ten
// (ZkFastPow10) and 10^(dB / 20) rounded up to a float, so that the linear threshold is never below
// the exact one.
//
// Threading: the writes run on the game's threads (interface calls) and on the bank thread, each
// under the global engine lock (a running tick finishes first); the engine thread reads the values.
// Values are atomics, so readers need no lock.
// Ownership: process-wide values; ResetEngineLimits (the engine's termination) restores the defaults.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
constexpr int32_t kInitPriority = 3;
constexpr int32_t kInterfacePriority = 0;
constexpr int32_t kBankSettingPriority = 2;

constexpr float kMinVolumeThresholdDB = -96.3f;
constexpr float kMaxVolumeThresholdDB = 0.0f;
constexpr float kDefaultVolumeThresholdDB = kMinVolumeThresholdDB;
constexpr uint16_t kDefaultMaxNumVoices = 256; // the engine-wide limiter's own default

// The threshold for priority: 31 outside [-96.3, 0] (NaN included); 1 also when the stored priority
// refuses the write (nothing changes then).
ZKRESULT SetVolumeThresholdWithPriority(float thresholdDB, int32_t priority);
// The limit of playing instances for priority: 31 for 0; 1 also when refused.
ZKRESULT SetMaxNumVoicesLimitWithPriority(uint16_t limit, int32_t priority);
ZKRESULT SetSecondVoiceLimitWithPriority(uint16_t limit, int32_t priority);

// An Init bank's settings (the bank's priority).
inline ZKRESULT SetVolumeThresholdFromBank(float thresholdDB, int32_t priority)
{
    return SetVolumeThresholdWithPriority(thresholdDB, priority);
}
inline ZKRESULT SetMaxNumVoicesLimitFromBank(uint16_t limit, int32_t priority)
{
    return SetMaxNumVoicesLimitWithPriority(limit, priority);
}
inline ZKRESULT SetSecondVoiceLimitFromBank(uint16_t limit, int32_t priority)
{
    return SetSecondVoiceLimitWithPriority(limit, priority);
}

float GetVolumeThresholdDB();
float GetVolumeThresholdLinear();
uint16_t GetMaxNumVoicesLimit();
uint16_t GetSecondVoiceLimit();

// The engine's initialisation: every priority back to kInitPriority (the values stay).
void ResetSettingPriorities();
// The engine's termination: the defaults again (-96.3 dB, 256 instances, 0), priorities included.
void ResetEngineLimits();
// The linear gain of a threshold in decibels, as SetVolumeThreshold stores it.
float VolumeThresholdToLinear(float thresholdDB);
} // namespace ZK::SoundEngine
