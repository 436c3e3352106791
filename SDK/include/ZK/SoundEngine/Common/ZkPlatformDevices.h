// The audio devices of the platform, as the application lists them and names them: the device id
// of an endpoint (the FNV-1 id of its id string, as ZK::SoundEngine::GetIDFromString computes
// it), look-up by a part of its id string or name, the endpoints in given states, their names, the
// device list a sink plug-in can open, and whether an endpoint offers spatial audio objects.
//
// The endpoints are those of the platform layer's installed provider (ALSA's unless a program
// installs another). Index -1 names the default endpoint (of the console role; of the multimedia
// role for names).
//
// Threading: any thread; GetWindowsDeviceName answers in one buffer shared by every caller, valid
// until the next call. Ownership: an endpoint handed out by GetWindowsDevice carries one reference
// for the caller.
#pragma once

#include <ZK/SoundEngine/Common/ZkOutputTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::Platform
{
class IEndpoint;
}

namespace ZK
{
// The endpoint's device id; 0xFFFFFFFF for none or when its id string cannot be read.
uint32_t GetDeviceID(ZK::Platform::IEndpoint* device);
// The id of an endpoint (any state) whose id string or name contains the text: the first active
// one, else the first other one; 0xFFFFFFFF when none matches or there is no text.
uint32_t GetDeviceIDFromName(const wchar_t* name);
// The number of render endpoints in the states of the mask; 0 on failure.
uint32_t GetWindowsDeviceCount(uint32_t stateMask = ZK::SoundEngine::ZkDeviceState_All);
// The endpoint at index among those in the states of the mask (-1: the default console endpoint):
// true with its id, and the endpoint when asked for; false (nothing handed out) otherwise.
bool GetWindowsDevice(int32_t index, uint32_t& deviceID, ZK::Platform::IEndpoint** device = nullptr,
                      uint32_t stateMask = ZK::SoundEngine::ZkDeviceState_All);
// The name of the endpoint at index (-1: the default multimedia endpoint), with its id; null when
// there is none or it has no name.
const wchar_t* GetWindowsDeviceName(int32_t index, uint32_t& deviceID,
                                    uint32_t stateMask = ZK::SoundEngine::ZkDeviceState_All);
} // namespace ZK

namespace ZK::SoundEngine
{
// 1 when the endpoint offers dynamic spatial audio objects, 4 when it offers none, 2 when it is
// not found or cannot be asked.
ZKRESULT GetDeviceSpatialAudioSupport(uint32_t deviceID);

// The devices the sink of an audio-device share set can open (count: in, the room in descriptions;
// out, the records filled; with no descriptions, the devices there are). 14 for share set 0, 15 for
// a share set no bank defines ("System" excepted: the built-in system output).
ZKRESULT GetDeviceList(uint32_t shareSetID, uint32_t& count, ZkDeviceDescription* descriptions);
// The same by plug-in: the built-in system sinks (company 0, plug-ins 174 to 180) list the
// platform's endpoints; the base sink (181) has none (0); another plug-in must be registered (88)
// and lists nothing (0) as no plug-in registers a device list. The count is 0 unless the result
// is 1.
ZKRESULT GetDeviceList(uint32_t companyID, uint32_t pluginID, uint32_t& count, ZkDeviceDescription* descriptions);
// The platform's list behind GetDeviceList: plug-ins 174 (console role's default) and 176
// (communications role's default) only, others 4. Every endpoint that has a name, in any state,
// while the room lasts; 2 when the endpoints cannot be listed.
ZKRESULT GetWindowsDeviceList(uint32_t pluginNumber, uint32_t& count, ZkDeviceDescription* descriptions);
} // namespace ZK::SoundEngine
