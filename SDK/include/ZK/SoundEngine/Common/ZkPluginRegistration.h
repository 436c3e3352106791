// Plug-in lists: how plug-ins reach the engine's registry. Every program or plug-in library keeps
// its own list, the exported pointer g_pZKPluginList. Each plug-in it carries defines one static
// ZkPluginRegistration, whose constructor pushes its node onto the list during static
// initialisation, before main runs. The engine registers the nodes of its own list at start-up and
// those of a library's list when the library is registered (ZK::SoundEngine::RegisterPluginDLL).
//
// A library defines its own list with ZK_DEFINE_PLUGIN_LIST() in one of its files and is linked
// with -Bsymbolic, so that its nodes go onto its own list and not onto the program's.
//
// Threading: the lists are built by static initialisers and only read afterwards.
// Ownership: the nodes are static objects of the program or library that defines them.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>

#include <cstdint>

namespace ZK
{
// One node of a plug-in list (112 bytes).
struct ZkPluginRegistrationNode
{
    ZkPluginRegistrationNode* next = nullptr;
    uint32_t type = ZkPluginTypeNone;
    uint32_t companyID = 0;
    uint32_t pluginID = 0;
    ZkCreatePluginCallback createFunc = nullptr;
    ZkCreateParamCallback createParamFunc = nullptr;
    void* reserved[2] = {};
    ZkPluginRegistrationCallback registrationCallback = nullptr;
    void* registrationCookie = nullptr;
    void* data = nullptr;
    // Codecs (type 1): file-source creator, bank-source creator and two more functions.
    ZkCreateCodecCallback createFileSource = nullptr;
    ZkCreateCodecCallback createBankSource = nullptr;
    ZkCodecFunction codecFunction3 = nullptr;
    ZkCodecFunction codecFunction4 = nullptr;
};
static_assert(sizeof(ZkPluginRegistrationNode) == 112, "a registration node is 112 bytes");
} // namespace ZK

// The list of this program or library.
extern "C" ZK::ZkPluginRegistrationNode* g_pZKPluginList;

#define ZK_DEFINE_PLUGIN_LIST()                                                                                   \
    extern "C"                                                                                                    \
    {                                                                                                             \
    __attribute__((visibility("default"))) ZK::ZkPluginRegistrationNode* g_pZKPluginList = nullptr;              \
    }                                                                                                             \
    static_assert(true, "ZK_DEFINE_PLUGIN_LIST ends with a semicolon")

namespace ZK
{
// A node that pushes itself onto this program's (or library's) list when constructed.
class ZkPluginRegistration : public ZkPluginRegistrationNode
{
public:
    ZkPluginRegistration(uint32_t pluginType, uint32_t company, uint32_t plugin, ZkCreatePluginCallback create,
                         ZkCreateParamCallback createParam, ZkPluginRegistrationCallback callback = nullptr,
                         void* cookie = nullptr, void* pluginData = nullptr)
    {
        createFunc = create;
        createParamFunc = createParam;
        registrationCallback = callback;
        registrationCookie = cookie;
        data = pluginData;
        Push(pluginType, company, plugin);
    }

    // A codec node.
    ZkPluginRegistration(uint32_t company, uint32_t codecID, ZkCreateCodecCallback fileSource,
                         ZkCreateCodecCallback bankSource, ZkCodecFunction function3 = nullptr,
                         ZkCodecFunction function4 = nullptr)
    {
        createFileSource = fileSource;
        createBankSource = bankSource;
        codecFunction3 = function3;
        codecFunction4 = function4;
        Push(ZkPluginTypeCodec, company, codecID);
    }

private:
    void Push(uint32_t pluginType, uint32_t company, uint32_t plugin)
    {
        type = pluginType;
        companyID = company;
        pluginID = plugin;
        next = g_pZKPluginList;
        g_pZKPluginList = this;
    }
};
} // namespace ZK
