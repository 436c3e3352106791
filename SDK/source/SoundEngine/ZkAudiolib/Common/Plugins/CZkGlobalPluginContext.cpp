// The global plug-in context's services that answer from engine state: the format and timing, the
// registrations, the engine's settings, random numbers, the mixing service and capture files.
#include "ZkAudiolib/Common/Plugins/CZkGlobalPluginContext.h"

#include "ZkAudiolib/Common/Capture/CaptureFileWriter.h"
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkMixerService.h>
#include <ZK/SoundEngine/Common/ZkPluginCalls.h>

namespace ZK::SoundEngine
{
CZkGlobalPluginContext& CZkGlobalPluginContext::Instance()
{
    static CZkGlobalPluginContext context;
    return context;
}

ZK::IZkGlobalPluginContext* GetGlobalPluginContext()
{
    return &CZkGlobalPluginContext::Instance();
}

ZK::IZkStreamMgr* CZkGlobalPluginContext::GetStreamMgr() const
{
    return ZK::IZkStreamMgr::m_pStreamMgr;
}

uint16_t CZkGlobalPluginContext::GetMaxBufferLength() const
{
    return ZkAudioSettings::FramesPerBuffer();
}

bool CZkGlobalPluginContext::IsRenderingOffline() const
{
    return SoundEngine::IsOfflineRendering();
}

uint32_t CZkGlobalPluginContext::GetSampleRate() const
{
    return ZkAudioSettings::SampleRate();
}

ZKRESULT CZkGlobalPluginContext::PostMonitorData(void*, uint32_t)
{
    return ZK_NotImplemented; // the engine keeps no monitoring stream
}

ZKRESULT CZkGlobalPluginContext::RegisterPlugin(ZK::ZkPluginType type, uint32_t companyID, uint32_t pluginID,
                                                ZK::ZkCreatePluginCallback createFunc,
                                                ZK::ZkCreateParamCallback createParamFunc)
{
    return SoundEngine::RegisterPlugin(type, companyID, pluginID, createFunc, createParamFunc);
}

ZKRESULT CZkGlobalPluginContext::RegisterCodec(uint32_t companyID, uint32_t pluginID,
                                               ZK::ZkCreateCodecCallback fileCreateFunc,
                                               ZK::ZkCreateCodecCallback bankCreateFunc)
{
    return SoundEngine::RegisterCodec(companyID, pluginID, fileCreateFunc, bankCreateFunc);
}

ZKRESULT CZkGlobalPluginContext::RegisterGlobalCallback(ZK::ZkPluginType type, uint32_t companyID, uint32_t pluginID,
                                                        ZK::ZkGlobalCallbackFunc callback, uint32_t locations,
                                                        void* cookie)
{
    // A plug-in names itself: a callback without a plug-in type is refused.
    if (type == ZK::ZkPluginTypeNone)
        return ZK_InvalidParameter;
    return SoundEngine::RegisterGlobalCallback(callback, locations, cookie, type, companyID, pluginID);
}

ZKRESULT CZkGlobalPluginContext::UnregisterGlobalCallback(ZK::ZkGlobalCallbackFunc callback, uint32_t locations)
{
    return SoundEngine::UnregisterGlobalCallback(callback, locations);
}

const ZkGroupEntryRecord* CZkGlobalPluginContext::FindGroupEntry(ZkUniqueID id)
{
    return g_pObjectIndex != nullptr ? g_pObjectIndex->FindGroupEntry(id) : nullptr;
}

const ZkPlatformInitSettings* CZkGlobalPluginContext::GetPlatformInitSettings() const
{
    return &SoundEngine::GetPlatformInitSettings();
}

const ZkInitSettings* CZkGlobalPluginContext::GetInitSettings() const
{
    return &GetEngineSettings();
}

ZKRESULT CZkGlobalPluginContext::GetAudioSettings(::ZkAudioSettings& settings) const
{
    if (!SoundEngine::IsInitialized())
        return ZK_Fail;
    settings.samplesPerFrame = GetSamplesPerFrame();
    settings.sampleRate = GetSampleRate();
    return ZK_Success;
}

ZkUniqueID CZkGlobalPluginContext::GetIDFromString(const char* name) const
{
    return SoundEngine::GetIDFromString(name);
}

void* CZkGlobalPluginContext::GetEndpointNotificationFactory() const
{
    return CZkMMDeviceNotifier::Factory();
}

ZK::ZkMixerService* CZkGlobalPluginContext::GetMixerService(uint32_t which) const
{
    return which == 0 ? ZK::ZkMixerService::Get() : nullptr;
}

uint32_t CZkGlobalPluginContext::GetBufferTick() const
{
    return g_pEventMgr != nullptr ? g_pEventMgr->frameCounter : 0;
}

uint32_t CZkGlobalPluginContext::GetRandomValue()
{
    return ZK::ZkLcg64::Engine().Draw();
}

ZKRESULT CZkGlobalPluginContext::PassSampleData(CaptureFileWriter* writer, const void* samples, uint32_t byteCount)
{
    return writer != nullptr ? writer->PassSamples(samples, byteCount) : ZK_Fail;
}

ZKRESULT CZkGlobalPluginContext::CreateCaptureWriter(const wchar_t* fileName, uint32_t sampleRate,
                                                     uint32_t sampleFormat, ZkChannelConfig config,
                                                     CaptureFileWriter*& writer)
{
    writer = CaptureFileWriter::Create(nullptr, fileName, sampleRate, sampleFormat, config);
    return writer != nullptr ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkGlobalPluginContext::CloseCaptureWriter(CaptureFileWriter*& writer)
{
    if (writer == nullptr)
        return ZK_Fail;
    const ZKRESULT result = writer->Close();
    writer = nullptr;
    return result;
}

uint32_t CZkGlobalPluginContext::GetFrameTimingValue() const
{
    return ZkAudioSettings::BufferDurationMs();
}

uint32_t CZkGlobalPluginContext::GetOutputSampleRate() const
{
    return GetSampleRate();
}

uint32_t CZkGlobalPluginContext::GetSamplesPerFrame() const
{
    return GetMaxBufferLength();
}
} // namespace ZK::SoundEngine
