#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include "ZkAudiolib/Common/Sources/CZkSrcFileCodec.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>

#include <cwchar>

// The program's own plug-in list, filled by the built-in plug-ins' static registrations.
ZK_DEFINE_PLUGIN_LIST();

namespace ZK::SoundEngine::PluginRegistry
{
namespace
{
constexpr ZkMemoryId kPool = ZkMemID_Default;
constexpr uint32_t kRegistrationStage = 1;

struct Tables
{
    ZK::ZkArray<ZkPluginEntry> plugins;
    ZK::ZkArray<ZkCodecEntry> codecs;
    wchar_t* folder = nullptr;
};

Tables& State()
{
    static Tables tables;
    return tables;
}

ZkPluginEntry* FindPlugin(uint32_t key)
{
    for (ZkPluginEntry& entry : State().plugins)
    {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

ZkCodecEntry* FindCodec(uint32_t key)
{
    for (ZkCodecEntry& entry : State().codecs)
    {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

// A copy of the folder that ends in '/'.
wchar_t* CopyFolder(const wchar_t* folder)
{
    const size_t length = std::wcslen(folder);
    const bool needsSeparator = length == 0 || folder[length - 1] != L'/';
    const size_t copyLength = length + (needsSeparator ? 1 : 0);
    auto* copy = static_cast<wchar_t*>(ZK::MemoryMgr::Malloc(kPool, (copyLength + 1) * sizeof(wchar_t)));
    if (copy == nullptr)
        return nullptr;
    std::wmemcpy(copy, folder, length);
    if (needsSeparator)
        copy[length] = L'/';
    copy[copyLength] = L'\0';
    return copy;
}
} // namespace

ZKRESULT Init(const wchar_t* pluginFolder)
{
    Tables& tables = State();
    if (tables.folder != nullptr)
        ZK::MemoryMgr::Free(kPool, tables.folder);
    tables.folder = nullptr;
    if (pluginFolder != nullptr)
    {
        tables.folder = CopyFolder(pluginFolder);
        if (tables.folder == nullptr)
            return ZK_InsufficientMemory;
    }
    RegisterCodec(0, kBuiltInCodecID, &CZkSrcFileCodec::CreateFileSource, &CZkSrcFileCodec::CreateBankSource,
                  nullptr, nullptr);
    RegisterList(g_pZKPluginList);
    return ZK_Success;
}

void Term()
{
    Tables& tables = State();
    tables.plugins.Term();
    tables.codecs.Term();
    if (tables.folder != nullptr)
        ZK::MemoryMgr::Free(kPool, tables.folder);
    tables.folder = nullptr;
}

ZKRESULT RegisterCodec(uint32_t companyID, uint32_t codecID, ZK::ZkCreateCodecCallback fileSource,
                       ZK::ZkCreateCodecCallback bankSource, ZK::ZkCodecFunction function3,
                       ZK::ZkCodecFunction function4)
{
    const uint32_t key = ZK::ZkMakePluginKey(ZK::ZkPluginTypeCodec, companyID, codecID);
    if (FindCodec(key) != nullptr)
        return ZK_Fail;
    if (fileSource == nullptr || bankSource == nullptr)
        return ZK_InvalidParameter;
    if (State().codecs.AddLast(ZkCodecEntry{key, fileSource, bankSource, function3, function4}) == nullptr)
        return ZK_Fail;
    return ZK_Success;
}

ZKRESULT RegisterPlugin(uint32_t type, uint32_t companyID, uint32_t pluginID, ZK::ZkCreatePluginCallback create,
                        ZK::ZkCreateParamCallback createParam, void* data)
{
    const uint32_t key = ZK::ZkMakePluginKey(type, companyID, pluginID);
    if (FindPlugin(key) != nullptr)
        return ZK_Success;
    if (State().plugins.AddLast(ZkPluginEntry{key, create, createParam, data}) == nullptr)
        return ZK_Fail;
    return ZK_Success;
}

ZKRESULT RegisterList(const ZK::ZkPluginRegistrationNode* first)
{
    for (const ZK::ZkPluginRegistrationNode* node = first; node != nullptr; node = node->next)
    {
        const ZKRESULT result =
            node->type == ZK::ZkPluginTypeCodec
                ? RegisterCodec(node->companyID, node->pluginID, node->createFileSource, node->createBankSource,
                                node->codecFunction3, node->codecFunction4)
                : RegisterPlugin(node->type, node->companyID, node->pluginID, node->createFunc,
                                 node->createParamFunc, node->data);
        if (result == ZK_Success && node->registrationCallback != nullptr)
            node->registrationCallback(GetGlobalPluginContext(), kRegistrationStage, node->registrationCookie);
    }
    return ZK_Success;
}

ZKRESULT CreatePlugin(uint32_t key, ZK::IZkPlugin*& instance, ZK::IZkPluginMemAlloc* allocator,
                      ZK::ZkPluginInfo& info)
{
    instance = nullptr;
    const ZkPluginEntry* entry = FindPlugin(key);
    if (entry == nullptr)
        return ZK_PluginNotRegistered;
    instance = entry->createFunc != nullptr ? entry->createFunc(allocator) : nullptr;
    if (instance == nullptr)
        return ZK_Fail;
    instance->GetPluginInfo(info);
    return ZK_Success;
}

ZKRESULT CreatePluginParam(ZK::IZkPluginMemAlloc* allocator, uint32_t key, ZK::IZkPluginParam*& parameters)
{
    parameters = nullptr;
    const ZkPluginEntry* entry = FindPlugin(key);
    if (entry == nullptr)
        return ZK_PluginNotRegistered;
    if (entry->createParamFunc == nullptr)
        return ZK_Success;
    parameters = entry->createParamFunc(allocator);
    return parameters != nullptr ? ZK_Success : ZK_Fail;
}

ZKRESULT CheckPluginInfo(uint32_t expectedType, const ZK::ZkPluginInfo& info)
{
    if (info.buildVersion != ZK::ZK_PLUGIN_BUILD_VERSION)
        return ZK_NoDataReady; // 46: built for another engine version
    if (info.type != expectedType)
        return ZK_PluginTypeMismatch;
    return ZK_NothingToReport;
}

CZkVoiceSource* CreateCodec(void* context, uint32_t sourceKind, uint32_t key)
{
    const ZkCodecEntry* entry = FindCodec(key);
    if (entry == nullptr)
        return nullptr;
    ZK::ZkCreateCodecCallback create = sourceKind == kSourceKindFile ? entry->createFileSource : entry->createBankSource;
    return static_cast<CZkVoiceSource*>(create(context));
}

void* CallCodecFunction3(uint32_t key)
{
    const ZkCodecEntry* entry = FindCodec(key);
    return entry != nullptr && entry->function3 != nullptr ? entry->function3() : nullptr;
}

void* QueryCodec(uint32_t key)
{
    const ZkCodecEntry* entry = FindCodec(key);
    return entry != nullptr && entry->function4 != nullptr ? entry->function4() : nullptr;
}

void DestroyCodec(CZkVoiceSource* source)
{
    if (source == nullptr)
        return;
    source->~CZkVoiceSource();
    ZK::MemoryMgr::Free(kCodecSourcePool, source);
}

const ZkPluginEntry* GetPluginEntry(uint32_t key)
{
    return FindPlugin(key);
}

const ZkCodecEntry* GetCodecEntry(uint32_t key)
{
    return FindCodec(key);
}

const wchar_t* PluginFolder()
{
    return State().folder;
}

uint32_t PluginCount()
{
    return State().plugins.Length();
}

uint32_t CodecCount()
{
    return State().codecs.Length();
}
} // namespace ZK::SoundEngine::PluginRegistry
