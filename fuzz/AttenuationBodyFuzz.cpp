// The body of a bank's attenuation (item type 14) over arbitrary bytes. It is read within its size
// or refused (7, 2 without curves or when a list cannot grow, 31 for a curve without points, 52
// out of memory), and an attenuation that was read evaluates every role and its cone over the
// whole range of distances and angles, then lets its curves go.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"

#include <cstddef>
#include <cstdint>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    CZkAttenuation* attenuation = CZkAttenuation::Create(1);
    Check(attenuation != nullptr);
    const ZKRESULT result = attenuation->ReadFromBank(data, static_cast<uint32_t>(size));
    Check(result == ZK_Success || result == ZK_InvalidFile || result == ZK_Fail || result == ZK_InvalidParameter ||
          result == ZK_InsufficientMemory);
    if (result == ZK_Success)
    {
        for (float x : {-1.0e30f, -1.0f, 0.0f, 0.5f, 10.0f, 1000.0f, 1.0e30f})
        {
            float gains[CZkAttenuation::kVolumeRoles] = {1.0f, 1.0f, 1.0f};
            attenuation->EvaluateVolumes(x, gains);
            for (uint32_t role = 0; role < CZkAttenuation::kRoles; ++role)
                attenuation->EvaluateRole(role, x, 0.0f);
            const float factor = attenuation->ConeFactor(x < 0.0f ? 0.0f : x * 0.001f);
            Check(factor >= 0.0f && factor <= 1.0f);
        }
    }
    attenuation->Release();
    return 0;
}
