// CZkPluginContextBase: what the host contexts of effect and mixer plug-ins share: the slot they
// serve, the mix context (voice or bus) the plug-in runs in, the table of media the plug-in asked
// for by index, and the services every context offers alike (the global plug-in context, the
// owner's gain and output configuration, the node it plays for, the runtime environment and the
// stream manager; monitoring is not kept in this system).
//
// A media index is looked up once: the first request maps it to a media id (through the media
// provider, the effect object whose node knows the plug-in's media), takes the media and a
// reference on the bank that holds it, and keeps both until the context is destroyed.
//
// Threading: the thread rendering the owner (the engine thread or a job of the render pass); the
// table belongs to one context. The bank manager takes its own locks.
// Ownership: the table (memory pool 0) and the media and bank references in it.
#pragma once

#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEffectObject;
class CZkMixContext;
struct LoadedBank;

struct ZkPluginMediaEntry
{
    uint32_t mediaIndex;
    const uint8_t* data;
    uint32_t size;
    ZkUniqueID mediaID; // kNoMediaID when none
    LoadedBank* bank;   // holds a load reference while the entry holds data
};

class CZkPluginContextBase : public ZK::IZkEffectPluginContext
{
public:
    static constexpr ZkMemoryId kTablePool = ZkMemID_Default;
    static constexpr ZkUniqueID kNoMediaID = 0xFFFFFFFFu;

    CZkPluginContextBase() = default;
    ~CZkPluginContextBase() override { ReleaseAllMedia(); }
    CZkPluginContextBase(const CZkPluginContextBase&) = delete;
    CZkPluginContextBase& operator=(const CZkPluginContextBase&) = delete;

    void Bind(CZkMixContext* owner, uint32_t slot, const CZkEffectObject* mediaProvider)
    {
        m_owner = owner;
        m_slot = slot;
        m_mediaProvider = mediaProvider;
    }
    CZkMixContext* Owner() const { return m_owner; }
    uint32_t Slot() const { return m_slot; }

    // --- The plug-in's view ---
    ZK::IZkGlobalPluginContext* GetGlobalContext() const override;
    ZKRESULT PostMonitoring(const void*, uint32_t) override { return ZK_NotImplemented; }
    // The media of the plug-in's index: null and 0 when the index has no media, the media is not
    // loaded, or the table cannot grow.
    void FindMedia(uint32_t mediaIndex, const uint8_t*& data, uint32_t& size) override;
    // The owner's loudest connection level as a linear gain (0 below -740 dB).
    float GetOwnerGain() const override;
    // The configuration of the bus the owner's first dry connection feeds; 2 and a zero
    // configuration without one.
    ZKRESULT GetOutputConfig(ZkChannelConfig& config) const override;
    ZK::IZkRuntimeEnvironment* GetRuntimeEnvironment() const override;
    ZkUniqueID GetNodeID() const override;
    bool IsActive() const override { return true; }
    void GetMediaCount(uint32_t& count) const override { count = 0; }
    ZK::IZkStreamMgr* GetStreamMgr() const override;
    // Monitors are not kept: attaching and detaching answer 2; monitoring counts as allowed.
    ZKRESULT AttachMonitor() const { return ZK_Fail; }
    bool IsMonitoringAllowed() const { return true; }
    ZKRESULT DetachMonitor() const { return ZK_Fail; }

    // --- Media table ---
    // Media mediaID changed (a bank was loaded or unloaded): every entry holding it is offered the
    // new version, which the plug-in takes or refuses.
    void RefreshMedia(ZkUniqueID mediaID, ZK::IZkEffectPlugin& plugin);
    // Drops every media and bank reference and frees the table.
    void ReleaseAllMedia();
    uint32_t MediaEntryCount() const { return m_count; }

private:
    bool GrowTable();

    CZkMixContext* m_owner = nullptr;
    uint32_t m_slot = 0;
    const CZkEffectObject* m_mediaProvider = nullptr;
    ZkPluginMediaEntry* m_entries = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};
} // namespace ZK::SoundEngine
