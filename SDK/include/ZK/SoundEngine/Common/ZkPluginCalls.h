// Plug-ins, codecs and media handed to the engine at run time: registration of plug-in and codec
// factories, and media blocks that the game provides itself (set, unset, and the unset that reports
// per entry). These act at once, on the caller's thread.
//
// Threading: registration at start-up or on the game thread, never while the engine creates a
// plug-in. Ownership: the factories stay the caller's; a media block must live until it is unset.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkDeviceDescription;
}

// The devices a sink plug-in can open: count is in, the room of devices (0 with null: count only),
// and out, the devices written.
typedef ZKRESULT (*ZkGetDeviceListCallback)(uint32_t& count, ZK::SoundEngine::ZkDeviceDescription* devices);

// A media block the game gives the engine for the media id sourceID.
struct ZkSourceSettings
{
    ZkUniqueID sourceID = 0;
    uint8_t* mediaMemory = nullptr;
    uint32_t mediaSize = 0;
};

namespace ZK::SoundEngine
{
// The registry's results: 1 (also when the plug-in is registered already), 2 when its table
// cannot grow.
ZKRESULT RegisterPlugin(ZK::ZkPluginType type, uint32_t companyID, uint32_t pluginID,
                        ZK::ZkCreatePluginCallback createFunc, ZK::ZkCreateParamCallback createParamFunc,
                        ZkGetDeviceListCallback deviceEnumerationFunc = nullptr);
// 2 when registered already or the table cannot grow; 31 without a creator.
ZKRESULT RegisterCodec(uint32_t companyID, uint32_t codecID, ZK::ZkCreateCodecCallback fileSourceCreateFunc,
                       ZK::ZkCreateCodecCallback bankSourceCreateFunc);

// 31 for a null array; 1 for count 0; otherwise the media index's result.
ZKRESULT SetMedia(ZkSourceSettings* sourceSettings, uint32_t count);
ZKRESULT UnsetMedia(ZkSourceSettings* sourceSettings, uint32_t count);
// As UnsetMedia, with one result per entry in results (may be null). A null array writes 31 into
// every result.
ZKRESULT TryUnsetMedia(ZkSourceSettings* sourceSettings, uint32_t count, ZKRESULT* results);
} // namespace ZK::SoundEngine
