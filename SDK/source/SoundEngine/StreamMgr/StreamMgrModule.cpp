// The stream manager's exported functions and the process-wide state beside the singleton: the
// resolver, the current language and its observers.
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "StreamMgr/CZkBlockingStreamDevice.h"
#include "StreamMgr/CZkDeferredStreamDevice.h"
#include "StreamMgr/CZkStreamMgr.h"
#include "StreamMgr/StreamMgrAlloc.h"
#include "StreamMgr/StreamMgrDevices.h"
#include "StreamMgr/StreamMgrState.h"
#include "StreamMgr/ZkGrowableArray.h"
#include "StreamMgr/ZkPlatformStrings.h"

#include <cwchar>

namespace ZK::StreamMgr
{
namespace
{
struct LanguageObserver
{
    LanguageChangeCallback callback;
    void* cookie;
};

IZkFileLocationResolver* g_resolver = nullptr;
ZkGrowableArray<LanguageObserver> g_observers(ZkMemID_StreamMgr);
wchar_t g_currentLanguage[ZK_MaxLanguageChars] = {};
} // namespace

void FreeLanguageObservers()
{
    g_observers.Term();
}

IZkStreamMgr* Create(const ZkStreamMgrSettings& /*settings*/)
{
    if (!ZK::MemoryMgr::IsInitialized())
        return nullptr;
    if (IZkStreamMgr::m_pStreamMgr)
        return IZkStreamMgr::m_pStreamMgr;
    g_currentLanguage[0] = L'\0';
    IZkStreamMgr::m_pStreamMgr = ZkNewObject<CZkStreamMgr>(ZkMemID_StreamMgr);
    return IZkStreamMgr::m_pStreamMgr;
}

void GetDefaultSettings(ZkStreamMgrSettings& /*settings*/) {}

void GetDefaultDeviceSettings(ZkDeviceSettings& settings)
{
    settings.ioMemoryBlock = nullptr;
    settings.ioMemoryBytes = ZK_DefaultIOMemoryBytes;
    settings.ioMemoryAlignment = ZK_DefaultIOMemoryAlignment;
    settings.ioMemoryId = ZkMemID_Default;
    settings.granularity = ZK_DefaultGranularityBytes;
    settings.schedulerKind = ZK_SchedulerBlocking;
    settings.threadPriority = ZK_DefaultIOThreadPriority;
    settings.threadAffinityMask = 0;
    settings.threadStackBytes = ZK_DefaultIOThreadStackBytes;
    settings.targetBufferMs = ZK_DefaultTargetBufferMs;
    settings.maxTransfersInFlight = ZK_DefaultMaxTransfersInFlight;
    settings.useStreamCache = false;
    settings.pinnedBytesLimit = ZK_NoPinnedBytesLimit;
}

uint32_t CreateDevice(const ZkDeviceSettings& settings, IZkLowLevelIOHook* lowLevelHook)
{
    const uint32_t deviceId = ReserveDeviceId();
    if (deviceId == ZK_InvalidDeviceID)
        return ZK_InvalidDeviceID;
    CZkStreamDevice* device = nullptr;
    if (settings.schedulerKind & ZK_SchedulerBlocking)
        device = ZkNewObject<CZkBlockingStreamDevice>(ZkMemID_StreamMgr, lowLevelHook);
    else if (settings.schedulerKind & ZK_SchedulerDeferred)
        device = ZkNewObject<CZkDeferredStreamDevice>(ZkMemID_StreamMgr, lowLevelHook);
    if (!device)
        return ZK_InvalidDeviceID;
    return StartDevice(deviceId, device, settings);
}

void SetFileLocationResolver(IZkFileLocationResolver* resolver)
{
    g_resolver = resolver;
}

IZkFileLocationResolver* GetFileLocationResolver()
{
    return g_resolver;
}

ZKRESULT SetCurrentLanguage(const wchar_t* languageName)
{
    if (!languageName)
        return ZK_Fail;
    const size_t length = std::wcslen(languageName);
    if (length >= ZK_MaxLanguageChars)
        return ZK_Fail;
    // The language names a folder: a trailing separator would double the one the path adds.
    if (length > 0 && (languageName[length - 1] == L'/' || languageName[length - 1] == L'\\'))
        return ZK_Fail;
    SafeWideStrCopy(g_currentLanguage, languageName, ZK_MaxLanguageChars);
    for (uint32_t index = g_observers.Count(); index-- > 0;)
        g_observers[index].callback(g_currentLanguage, g_observers[index].cookie);
    return ZK_Success;
}

const wchar_t* GetCurrentLanguage()
{
    return g_currentLanguage;
}

ZKRESULT AddLanguageChangeObserver(LanguageChangeCallback callback, void* cookie)
{
    return g_observers.Append({callback, cookie}) ? ZK_Success : ZK_Fail;
}

void RemoveLanguageChangeObserver(void* cookie)
{
    for (uint32_t index = 0; index < g_observers.Count();)
    {
        if (g_observers[index].cookie == cookie)
            g_observers.RemoveAt(index);
        else
            ++index;
    }
}
} // namespace ZK::StreamMgr
