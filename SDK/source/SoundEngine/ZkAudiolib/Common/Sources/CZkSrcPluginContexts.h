// CZkSrcPluginContexts: the three context interfaces a source plug-in talks to the engine through
// (source, game object, voice), answered from the host's playing instance, its node instance and
// game object, and the engine's globals. The source context also keeps the plug-in's media table:
// a media index is looked up once through the effect object's media ids and the bank manager, and
// the media and bank references are held until ReleaseMedia (the host's StopStream).
//
// Threading: the thread rendering the host's voice. Ownership: a member of the host; the playing
// instance and the effect object are borrowed; the media table (pool 0) is its own.
#pragma once

#include "ZkAudiolib/Common/Plugins/CZkPluginContextBase.h"

#include <ZK/SoundEngine/Common/IZkSourcePlugin.h>

namespace ZK::SoundEngine
{
class CZkEffectObject;
class CZkGameObject;
class CZkPlayingInstance;

class CZkSrcPluginContexts : public ZK::IZkSourcePluginContext,
                                   public ZK::IZkGameObjectPluginContext,
                                   public ZK::IZkVoicePluginContext
{
public:
    // Key of the codec the source context hands out (GetCodec).
    static constexpr uint32_t kCodecQueryKey = 0x40001;

    explicit CZkSrcPluginContexts(CZkPlayingInstance* instance) : m_instance(instance) {}

    // The effect object whose media ids the plug-in's media indexes name (null: none).
    void SetMediaProvider(const CZkEffectObject* effect) { m_media.Bind(nullptr, 0, effect); }
    // Drops every media and bank reference the plug-in's look-ups took.
    void ReleaseMedia() { m_media.ReleaseAllMedia(); }
    uint32_t MediaEntryCount() const { return m_media.MediaEntryCount(); }

    // --- Source context ---
    ZK::IZkGlobalPluginContext* GetGlobalContext() const override;
    ZK::IZkGameObjectPluginContext* GetGameObjectInfo() override { return this; }
    ZKRESULT PostMonitorData(const void*, uint32_t) override { return ZK_NotImplemented; }
    void GetPluginMedia(uint32_t index, const uint8_t*& data, uint32_t& size) override;
    uint32_t GetPluginCustomData(const void*& data, uint32_t& size) override;
    ZKRESULT GetOutputID(ZkUniqueID&) const override { return ZK_Fail; }
    bool CanPostMonitorData() const override { return false; }
    ZKRESULT GetParentChannelInfo(uint32_t&) const override { return ZK_Fail; }
    float GetDownstreamGain() const override { return 1.0f; }
    ZKRESULT GetParentChannelConfig(ZkChannelConfig& config) const override;
    ZK::IZkRuntimeEnvironment* GetRuntimeEnvironment() const override;
    ZkGameObjectID GetGameObjectID() const override;
    uint16_t GetNumLoops() const override;
    ZK::IZkVoicePluginContext* GetVoiceInfo() override { return this; }
    ZkUniqueID GetNodeID() const override;
    void* GetCookie() const override;
    const void* GetMidiEvent() const override;
    void* GetCodec() override;
    void DestroyCodec(void* codec) override;

    // --- Game-object context ---
    const void* GetListenerDataPointer() const override;
    uint32_t GetRayCount() const override;
    ZKRESULT GetEmitterPosition(uint32_t index, ZkTransform& position) const override;
    uint32_t GetEmitterPositionCount() const override;
    ZKRESULT GetPositionRecord(uint32_t index, ZkChannelEmitter& record) const override;
    uint32_t GetPositioningMode() const override;
    float GetPositioningValue() const override;
    bool GetListeners(ZkGameObjectID* ids, uint32_t& count) const override;
    ZKRESULT GetListenerData(ZkGameObjectID listener, ZkTransform& position) const override;

    // --- Voice context ---
    ZkPlayingID GetPlayingID() const override;
    int8_t GetPriority() const override;
    float GetPitchRatio(float value) const override;

private:
    // The plug-in's media table: the effect plug-ins' look-up, without their other services.
    class MediaTable final : public CZkPluginContextBase
    {
    public:
        uint32_t GetCustomData(const void*& data, uint32_t& size) override
        {
            data = nullptr;
            size = 0;
            return 0;
        }
    };

    CZkGameObject* GameObject() const;
    const ZkChannelEmitter* Emitter(uint32_t index) const;

    CZkPlayingInstance* m_instance;
    MediaTable m_media;
};
} // namespace ZK::SoundEngine
