// The interface calls of output capture (to a file, to a marker, to a callback) and the callbacks
// registered on outputs and buses: the capture file and markers travel as messages with a copy of
// their text; the registrations act at once under the global engine lock.
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/MainOutputGate.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkOutputCalls.h>

#include <cstring>
#include <cwchar>

namespace ZK::SoundEngine
{
using namespace MessagePosting;

namespace
{
constexpr ZkMemoryId kCopiesPool = ZkMemID_Default;

// Runs change(device) under the global engine lock on the device of the id: 92 before the engine's
// initialisation, 2 for no such device.
template <typename Change>
ZKRESULT WithCaptureDevice(ZkCaptureCallback callback, ZkOutputDeviceID outputID, Change change)
{
    if (callback == nullptr)
        return ZK_InvalidParameter;
    if (!IsInitialized())
        return ZK_MainOutputNotReady;
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    CZkOutputDevice* device = CZkOutputDeviceMgr::GetDevice(outputID);
    return device != nullptr ? change(*device) : ZK_Fail;
}
} // namespace

ZKRESULT StartOutputCapture(const wchar_t* fileName)
{
    if (fileName == nullptr || fileName[0] == L'\0')
        return ZK_InvalidParameter;
    const size_t bytes = (std::wcslen(fileName) + 1) * sizeof(wchar_t);
    return PostWithCopy(ZkMessage_OutputCapture, ZkOutputCaptureMessage{nullptr}, &ZkOutputCaptureMessage::fileName,
                        fileName, bytes, kCopiesPool);
}

ZKRESULT StopOutputCapture()
{
    return PostFixed(ZkMessage_OutputCapture, ZkOutputCaptureMessage{nullptr});
}

ZKRESULT AddOutputCaptureMarker(const char* text)
{
    if (g_pEventMgr == nullptr)
        return ZK_Fail;
    if (text == nullptr || text[0] == '\0')
        return ZK_InvalidParameter;
    return PostWithCopy(ZkMessage_OutputCaptureMarker, ZkCaptureMarkerMessage{nullptr},
                        &ZkCaptureMarkerMessage::text, text, std::strlen(text) + 1, kCopiesPool);
}

ZKRESULT RegisterCaptureCallback(ZkCaptureCallback callback, ZkOutputDeviceID outputID, void* cookie)
{
    return WithCaptureDevice(callback, outputID, [&](CZkOutputDevice& device) {
        if (device.MatchesCaptureCallback(callback, cookie))
            return ZK_Success;
        CaptureCallbackNode* node = device.CreateCaptureCallback(callback, cookie);
        return node != nullptr ? device.AddCaptureCallback(node) : ZK_InsufficientMemory;
    });
}

ZKRESULT UnregisterCaptureCallback(ZkCaptureCallback callback, ZkOutputDeviceID outputID, void* cookie)
{
    return WithCaptureDevice(callback, outputID, [&](CZkOutputDevice& device) {
        if (CaptureCallbackNode* node = device.FindCaptureCallback(callback, cookie))
            device.RemoveCaptureNode(node);
        return ZK_Success;
    });
}

ZKRESULT RegisterOutputDeviceMeteringCallback(ZkOutputDeviceID outputID, ZkOutputDeviceMeteringCallbackFunc callback,
                                              ZkMeteringFlags flags, void* cookie)
{
    if (WaitForMainOutput() != ZK_Success)
        return ZK_Fail;
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    if (outputID == 0)
    {
        const CZkOutputDevice* main = CZkOutputDeviceMgr::GetMainDevice();
        outputID = main != nullptr ? main->OutputID() : 0;
    }
    // Without a playing manager or a main device there is nothing to store the callback for.
    if (g_pPlayingMgr == nullptr || outputID == 0)
        return ZK_Success;
    return g_pPlayingMgr->SetOutputDeviceMeteringCallback(outputID, callback, flags, cookie);
}

ZKRESULT RegisterBusMeteringCallback(ZkUniqueID busID, ZkBusMeteringCallbackFunc callback, ZkMeteringFlags flags,
                                     void* cookie)
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    if (g_pPlayingMgr == nullptr)
        return ZK_Fail;
    return g_pPlayingMgr->SetBusMeteringCallback(busID, callback, flags, cookie);
}

ZKRESULT RegisterBusVolumeCallback(ZkUniqueID busID, ZkBusVolumeCallbackFunc callback, void* cookie)
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    if (g_pPlayingMgr == nullptr)
        return ZK_Fail;
    return g_pPlayingMgr->SetBusVolumeCallback(busID, callback, cookie);
}

ZKRESULT RegisterAudioDeviceStatusCallback(ZkAudioDeviceStatusCallback callback)
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    CZkOutputDeviceMgr::SetAudioDeviceStatusCallback(callback);
    return ZK_Success;
}

ZKRESULT UnregisterAudioDeviceStatusCallback()
{
    return RegisterAudioDeviceStatusCallback(nullptr);
}
} // namespace ZK::SoundEngine
