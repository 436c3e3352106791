// The engine-wide limits an Init bank's "STMG" chunk sets, each with the setting priority of the
// bank (declaration only): the volume threshold, the voice limit and a second voice-count value. A
// write applies only when the stored priority is greater than or equal to the writer's, so values
// the game set through the interface are not overridden by a bank.
//
// Threading: under the global engine lock. Ownership: the engine's settings.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
constexpr int32_t kBankSettingPriority = 2;

// Not built yet: 4, nothing stored.
inline ZKRESULT SetVolumeThresholdFromBank(float, int32_t)
{
    return ZK_NotImplemented;
}
inline ZKRESULT SetMaxNumVoicesLimitFromBank(uint16_t, int32_t)
{
    return ZK_NotImplemented;
}
inline ZKRESULT SetSecondVoiceLimitFromBank(uint16_t, int32_t)
{
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
