// The plug-in interfaces every effect, source, mixer, sink and metadata plug-in implements, and the
// records the engine's plug-in registry creates them through. A plug-in is named by (type, company
// id, plug-in id), packed into one 32-bit key.
//
// Every plug-in answers its plug-in info (type, the engine build version it was built for, flags);
// the engine refuses an instance built for another version (46) or of another type (10).
//
// Threading: creation runs on the engine's threads; a plug-in instance is used by one thread at a
// time. Ownership: a creator allocates the instance through the allocator it receives; the engine
// terminates it (Term) and destroys it through the same allocator.
#pragma once

#include <ZK/SoundEngine/Common/IZkPluginMemAlloc.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK
{
enum ZkPluginType : uint32_t
{
    ZkPluginTypeNone = 0,
    ZkPluginTypeCodec = 1,
    ZkPluginTypeSource = 2,
    ZkPluginTypeEffect = 3,
    ZkPluginTypeMixer = 6,
    ZkPluginTypeSink = 7,
    ZkPluginTypeMetadata = 9,
    ZkPluginTypeMask = 0xF,
};

// The engine build version a plug-in must have been built for.
constexpr uint32_t ZK_PLUGIN_BUILD_VERSION = 0x7E501; // 517,377

// Key of a plug-in: (plug-in id << 16) + company id x 16 + (type & 0xF).
constexpr uint32_t ZkMakePluginKey(uint32_t type, uint32_t companyID, uint32_t pluginID)
{
    return (pluginID << 16) + companyID * 16u + (type & ZkPluginTypeMask);
}

struct ZkPluginInfo
{
    uint32_t type = ZkPluginTypeNone;
    uint32_t buildVersion = 0;
    uint8_t processesInPlace = 0; // the first flag byte
    uint8_t flags[7] = {};
};

class IZkPlugin
{
public:
    virtual ~IZkPlugin() = default;
    virtual ZKRESULT Term(IZkPluginMemAlloc* allocator) = 0;
    virtual ZKRESULT Reset() = 0;
    virtual ZKRESULT GetPluginInfo(ZkPluginInfo& info) = 0;
};

// The parameters of a plug-in instance, as a bank or the game sets them.
class IZkPluginParam
{
public:
    virtual ~IZkPluginParam() = default;
    virtual ZKRESULT SetParam(uint16_t paramID, const void* value, uint32_t size) = 0;
    virtual IZkPluginParam* Clone(IZkPluginMemAlloc* allocator) = 0;
    virtual ZKRESULT Init(IZkPluginMemAlloc* allocator, const void* block, uint32_t size) = 0;
    virtual ZKRESULT Term(IZkPluginMemAlloc* allocator) = 0;
    virtual ZKRESULT SetParamsBlock(const void* block, uint32_t size) = 0;
};

// The engine's services handed to plug-ins (sample rate, random numbers, ...).
class IZkGlobalPluginContext;

typedef IZkPlugin* (*ZkCreatePluginCallback)(IZkPluginMemAlloc* allocator);
typedef IZkPluginParam* (*ZkCreateParamCallback)(IZkPluginMemAlloc* allocator);
// Called once a node of a plug-in list is registered (stage 1).
typedef void (*ZkPluginRegistrationCallback)(IZkGlobalPluginContext* context, uint32_t stage, void* cookie);
// Codec creators: a source object over the engine's context (file or bank data); null on failure.
typedef void* (*ZkCreateCodecCallback)(void* context);
typedef void* (*ZkCodecFunction)();
} // namespace ZK
