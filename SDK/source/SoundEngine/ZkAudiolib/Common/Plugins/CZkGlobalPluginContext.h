// CZkGlobalPluginContext: the engine's one global plug-in context (ZK::IZkGlobalPluginContext), the
// services plug-ins and engine parts reach through it: the engine's format and timing, random
// numbers, registration of plug-ins, codecs and global callbacks, game parameters, the ambisonic
// and direct-routing helpers of the panning code, Init banks' settings records, capture files, and
// events posted at once. Each operation forwards to the part that owns the service.
//
// Threading: the operations run on the caller's thread; the immediate posts (PostEventSync and its
// MIDI forms) and SetRTPCValueSync are for callbacks on the engine thread, the posts taking the
// global engine lock themselves. Ownership: one static object, made on first use (thread-safe) and
// destroyed at process exit; it owns nothing.
#pragma once

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>

namespace ZK::SoundEngine
{
class CZkGlobalPluginContext final : public ZK::IZkGlobalPluginContext
{
public:
    static CZkGlobalPluginContext& Instance();

    ZK::IZkStreamMgr* GetStreamMgr() const override;
    uint16_t GetMaxBufferLength() const override;
    bool IsRenderingOffline() const override;
    uint32_t GetSampleRate() const override;
    ZKRESULT PostMonitorData(void* data, uint32_t size) override;
    ZKRESULT RegisterPlugin(ZK::ZkPluginType type, uint32_t companyID, uint32_t pluginID,
                            ZK::ZkCreatePluginCallback createFunc, ZK::ZkCreateParamCallback createParamFunc) override;
    ZKRESULT RegisterCodec(uint32_t companyID, uint32_t pluginID, ZK::ZkCreateCodecCallback fileCreateFunc,
                           ZK::ZkCreateCodecCallback bankCreateFunc) override;
    ZKRESULT RegisterGlobalCallback(ZK::ZkPluginType type, uint32_t companyID, uint32_t pluginID,
                                    ZK::ZkGlobalCallbackFunc callback, uint32_t locations, void* cookie) override;
    ZKRESULT UnregisterGlobalCallback(ZK::ZkGlobalCallbackFunc callback, uint32_t locations) override;
    const void* GetGlobalPanningRecord() const override;
    ZKRESULT SetRTPCValue(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                          ZkCurveInterpolation curve, bool bypassInternalInterpolation) override;
    ZKRESULT SendPluginCustomGameData(ZkUniqueID busID, ZkGameObjectID gameObject, ZK::ZkPluginType type,
                                      uint32_t companyID, uint32_t pluginID, const void* data, uint32_t size) override;
    ZKRESULT ComputeAmbisonicsEncoding(float azimuth, float elevation, ZkChannelConfig config,
                                       float* coefficients) const override;
    ZKRESULT ComputeWeightedAmbisonicsDecodingFromSampledSphere(const ZkVector* directions, uint32_t count,
                                                                ZkChannelConfig config, float* matrix) const override;
    const ZkGroupEntryRecord* FindGroupEntry(ZkUniqueID id) override;
    ZKRESULT ComputeSphericalCoordinates(ZkGameObjectID gameObject, const ZkVector& position, float& azimuth,
                                         float& elevation) const override;
    const ZkPlatformInitSettings* GetPlatformInitSettings() const override;
    const ZkInitSettings* GetInitSettings() const override;
    ZKRESULT GetAudioSettings(::ZkAudioSettings& settings) const override;
    ZkUniqueID GetIDFromString(const char* name) const override;
    ZkPlayingID PostEventSync(ZkUniqueID eventID, ZkGameObjectID gameObject, uint32_t flags, ZkCallbackFunc callback,
                              void* cookie, uint32_t externalSourceCount,
                              ZkExternalSourceInfo* externalSources) override;
    ZkPlayingID PostMIDIOnEventSync(ZkUniqueID eventID, ZkGameObjectID gameObject, ZkMIDIPost* posts, uint16_t count,
                                    bool absoluteOffsets, uint32_t flags, ZkCallbackFunc callback, void* cookie,
                                    ZkPlayingID playingID) override;
    ZKRESULT StopMIDIOnEventSync(ZkUniqueID eventID, ZkGameObjectID gameObject, ZkPlayingID playingID) override;
    void* GetEndpointNotificationFactory() const override;
    ZK::ZkMixerService* GetMixerService(uint32_t which) const override;
    uint32_t GetBufferTick() const override;
    uint32_t GetRandomValue() override;
    ZKRESULT PassSampleData(CaptureFileWriter* writer, const void* samples, uint32_t byteCount) override;
    ZKRESULT CreateCaptureWriter(const wchar_t* fileName, uint32_t sampleRate, uint32_t sampleFormat,
                                 ZkChannelConfig config, CaptureFileWriter*& writer) override;
    ZKRESULT CloseCaptureWriter(CaptureFileWriter*& writer) override;
    uint32_t GetFrameTimingValue() const override;
    uint32_t GetOutputSampleRate() const override;
    uint32_t GetSamplesPerFrame() const override;
    ZKRESULT ComputeSpeakerVolumesDirect(ZkChannelConfig input, ZkChannelConfig output, float centrePercentage,
                                         float* matrix) const override;
    ZKRESULT SetRTPCValueSync(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                              ZkCurveInterpolation curve, bool bypassInternalInterpolation) override;

private:
    CZkGlobalPluginContext() = default;
};
} // namespace ZK::SoundEngine
