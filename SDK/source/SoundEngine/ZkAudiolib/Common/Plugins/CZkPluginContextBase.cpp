#include "ZkAudiolib/Common/Plugins/CZkPluginContextBase.h"

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamRef.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
// Media of the media index by id: a reference on the media and on the bank holding the copy.
ZkMediaRef MediaOfID(ZkUniqueID mediaID)
{
    ZkMediaRef media;
    media.Init();
    media.mediaID = mediaID;
    return media;
}

bool Acquire(ZkUniqueID mediaID, const uint8_t*& data, uint32_t& size, LoadedBank*& bank)
{
    return ZkStreamRef::Acquire(MediaOfID(mediaID), data, size, bank) == ZK_Success && data != nullptr;
}

void Release(ZkUniqueID mediaID, LoadedBank* bank) { ZkStreamRef::Release(MediaOfID(mediaID), bank); }
} // namespace

bool CZkPluginContextBase::GrowTable()
{
    // Capacity 0 becomes 1, else it grows by half (at least by one).
    const uint32_t capacity = m_capacity == 0 ? 1u : std::max(m_capacity + m_capacity / 2, m_capacity + 1);
    void* grown = ZK::MemoryMgr::Realloc(kTablePool, m_entries, sizeof(ZkPluginMediaEntry) * capacity);
    if (grown == nullptr)
        return false;
    m_entries = static_cast<ZkPluginMediaEntry*>(grown);
    m_capacity = capacity;
    return true;
}

void CZkPluginContextBase::FindMedia(uint32_t mediaIndex, const uint8_t*& data, uint32_t& size)
{
    data = nullptr;
    size = 0;
    for (uint32_t i = 0; i < m_count; ++i)
        if (m_entries[i].mediaIndex == mediaIndex)
        {
            data = m_entries[i].data;
            size = m_entries[i].size;
            return;
        }
    const ZkUniqueID mediaID = m_mediaProvider != nullptr ? m_mediaProvider->GetMediaID(mediaIndex) : kNoMediaID;
    if (mediaID == kNoMediaID)
        return;
    LoadedBank* bank = nullptr;
    const uint8_t* media = nullptr;
    uint32_t mediaSize = 0;
    if (!Acquire(mediaID, media, mediaSize, bank))
        return;
    if (m_count == m_capacity && !GrowTable())
    {
        Release(mediaID, bank);
        return;
    }
    m_entries[m_count++] = ZkPluginMediaEntry{mediaIndex, media, mediaSize, mediaID, bank};
    data = media;
    size = mediaSize;
}

void CZkPluginContextBase::RefreshMedia(ZkUniqueID mediaID, ZK::IZkEffectPlugin& plugin)
{
    for (uint32_t i = 0; i < m_count; ++i)
    {
        ZkPluginMediaEntry& entry = m_entries[i];
        if (entry.mediaID != mediaID || !plugin.TakesNewMedia(entry.mediaIndex))
            continue;
        LoadedBank* bank = nullptr;
        const uint8_t* media = nullptr;
        uint32_t mediaSize = 0;
        if (!Acquire(mediaID, media, mediaSize, bank))
            continue;
        if (plugin.SetNewMedia(entry.mediaIndex, media, mediaSize, entry.data) != ZK_Success)
        {
            Release(mediaID, bank);
            continue;
        }
        Release(entry.mediaID, entry.bank);
        entry.data = media;
        entry.size = mediaSize;
        entry.bank = bank;
    }
}

void CZkPluginContextBase::ReleaseAllMedia()
{
    for (uint32_t i = 0; i < m_count; ++i)
        if (m_entries[i].data != nullptr && m_entries[i].mediaID != kNoMediaID)
            Release(m_entries[i].mediaID, m_entries[i].bank);
    if (m_entries != nullptr)
        ZK::MemoryMgr::Free(kTablePool, m_entries);
    m_entries = nullptr;
    m_count = 0;
    m_capacity = 0;
}

ZK::IZkGlobalPluginContext* CZkPluginContextBase::GetGlobalContext() const { return GetGlobalPluginContext(); }

ZK::IZkRuntimeEnvironment* CZkPluginContextBase::GetRuntimeEnvironment() const
{
    return ZK::ZkRuntimeEnvironmentMgr::Instance();
}

ZK::IZkStreamMgr* CZkPluginContextBase::GetStreamMgr() const { return ZK::IZkStreamMgr::m_pStreamMgr; }

float CZkPluginContextBase::GetOwnerGain() const
{
    return m_owner != nullptr ? ZkDecibelsToLinear(m_owner->LoudestLevelDb()) : 0.0f;
}

ZKRESULT CZkPluginContextBase::GetOutputConfig(ZkChannelConfig& config) const
{
    if (m_owner != nullptr)
        for (const CZkMixerInputContext* c = m_owner->FirstOutput(); c != nullptr; c = c->nextOutput)
            if (c->connectionType == kConnectionDirect)
            {
                config = c->GetOutputConfig();
                return ZK_Success;
            }
    config = ZkChannelConfig();
    return ZK_Fail;
}

ZkUniqueID CZkPluginContextBase::GetNodeID() const { return m_owner != nullptr ? m_owner->View().nodeID : 0; }
} // namespace ZK::SoundEngine
