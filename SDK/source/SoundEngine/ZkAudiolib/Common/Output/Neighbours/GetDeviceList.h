// ZK::SoundEngine::GetDeviceList (declaration only): the devices a share set's sink plug-in can
// open, with the default one flagged. The output device manager asks it when it completes an
// output id whose device id is 0.
//
// Threading: engine thread. Ownership: the caller's records.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkDeviceDescription
{
    static constexpr uint32_t kNameCapacity = 260;

    uint32_t idDevice = 0;
    wchar_t deviceName[kNameCapacity] = {};
    uint32_t deviceStateMask = 0;
    uint8_t isDefaultDevice = 0;
};

// (share set, in: capacity / out: records filled, records). Not built yet: 4 with no records.
inline ZKRESULT GetDeviceList(uint32_t, uint32_t& count, ZkDeviceDescription*)
{
    count = 0;
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
