#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include <bit>

namespace ZK::SoundEngine::GlobalCallbacks
{
namespace
{
constexpr uint32_t kUnkeyedLocations = ZK::ZkGlobalCallbackLocation_Register | ZK::ZkGlobalCallbackLocation_Term;

struct Entry
{
    ZK::ZkGlobalCallbackFunc callback;
    void* cookie;
    uint32_t pluginKey;
};

using List = ZK::ZkArray<Entry, ZkMemID_Default>;

// Constant-initialised; the engine's Term empties them, so nothing is left to free at exit.
List g_lists[ZK::ZkGlobalCallbackLocation_Num];
} // namespace

ZKRESULT Register(ZK::ZkGlobalCallbackFunc callback, uint32_t locations, void* cookie, uint32_t pluginKey)
{
    if (callback == nullptr || locations >= ZK::ZkGlobalCallbackLocation_Limit)
        return ZK_InvalidParameter;
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    for (uint32_t bit = 0; bit < ZK::ZkGlobalCallbackLocation_Num; ++bit)
    {
        const uint32_t location = 1u << bit;
        if ((locations & location) == 0)
            continue;
        const uint32_t key = (location & kUnkeyedLocations) != 0 ? 0 : pluginKey;
        if (g_lists[bit].AddLast(Entry{callback, cookie, key}) == nullptr)
            return ZK_InsufficientMemory;
    }
    if ((locations & ZK::ZkGlobalCallbackLocation_Register) != 0)
        callback(GetGlobalPluginContext(), ZK::ZkGlobalCallbackLocation_Register, cookie);
    return ZK_Success;
}

ZKRESULT Unregister(ZK::ZkGlobalCallbackFunc callback, uint32_t locations)
{
    if (locations >= ZK::ZkGlobalCallbackLocation_Limit)
        return ZK_InvalidParameter;
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    ZKRESULT result = ZK_Success;
    for (uint32_t bit = 0; bit < ZK::ZkGlobalCallbackLocation_Num; ++bit)
    {
        if ((locations & (1u << bit)) == 0)
            continue;
        List& list = g_lists[bit];
        uint32_t index = 0;
        while (index < list.Length() && list[index].callback != callback)
            ++index;
        if (index < list.Length())
            list.Erase(index);
        else
            result = ZK_InvalidParameter;
    }
    return result;
}

void Dispatch(uint32_t location)
{
    if (!std::has_single_bit(location) || location >= ZK::ZkGlobalCallbackLocation_Limit)
        return;
    List& list = g_lists[std::countr_zero(location)];
    ZK::IZkGlobalPluginContext* context = GetGlobalPluginContext();
    // Newest first. A callback may change the list: each entry is copied before its call, and an
    // index beyond a shortened list is skipped.
    for (uint32_t index = list.Length(); index-- > 0;)
    {
        if (index >= list.Length())
            continue;
        const Entry entry = list[index];
        entry.callback(context, static_cast<ZK::ZkGlobalCallbackLocation>(location), entry.cookie);
    }
}

void Clear()
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    for (List& list : g_lists)
        list.Term();
}

uint32_t Count(uint32_t location)
{
    if (!std::has_single_bit(location) || location >= ZK::ZkGlobalCallbackLocation_Limit)
        return 0;
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    return g_lists[std::countr_zero(location)].Length();
}
} // namespace ZK::SoundEngine::GlobalCallbacks

namespace ZK::SoundEngine
{
ZKRESULT RegisterGlobalCallback(ZK::ZkGlobalCallbackFunc callback, uint32_t locations, void* cookie,
                                ZK::ZkPluginType type, uint32_t companyID, uint32_t pluginID)
{
    return GlobalCallbacks::Register(callback, locations, cookie, ZK::ZkMakePluginKey(type, companyID, pluginID));
}

ZKRESULT UnregisterGlobalCallback(ZK::ZkGlobalCallbackFunc callback, uint32_t locations)
{
    return GlobalCallbacks::Unregister(callback, locations);
}
} // namespace ZK::SoundEngine
