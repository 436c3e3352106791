// CZkMixBus: the mixer plug-in of a channel-based bus whose node names one. It is made when the
// first input is connected, hears of every input that comes and goes, and mixes the inputs itself.
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/MixGraph/IZkMixerPlugin.h"
#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Plugins/CZkBusPluginContext.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

#include <cstring>

namespace ZK::SoundEngine
{
struct CZkMixBus::MixerRecord
{
    static constexpr uint32_t kNoPlugin = 0xFFFFFFFFu;

    IZkMixerPlugin* plugin = nullptr;
    uint32_t pluginID = kNoPlugin;
    CZkBusPluginContext context;
    const CZkIndexedObject* effect = nullptr; // which effect object the plug-in was made from
    CZkEffectContext parameters;              // the mixer's parameters, kept current by the effect object
};

ZKRESULT CZkMixBus::CreateMixerRecord()
{
    m_mixer = ZK::ZkNew<MixerRecord>(kPool);
    return m_mixer != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

IZkMixerPlugin* CZkMixBus::MixerPlugin() const { return m_mixer != nullptr ? m_mixer->plugin : nullptr; }

bool CZkMixBus::MixerUsesEffect(const CZkIndexedObject* effect) const
{
    return m_mixer != nullptr && m_mixer->plugin != nullptr && m_mixer->effect == effect;
}

void CZkMixBus::DestroyMixerRecord()
{
    if (m_mixer == nullptr)
        return;
    if (m_mixer->plugin != nullptr)
        m_mixer->plugin->Term(&CZkPluginMemAlloc::ForInstances());
    m_mixer->plugin = nullptr;
    m_mixer->pluginID = MixerRecord::kNoPlugin;
    m_mixer->effect = nullptr;
    m_mixer->context.ReleaseAllMedia();
    ZK::ZkDelete(kPool, m_mixer);
    m_mixer = nullptr;
}

void CZkMixBus::CreateMixerPlugin()
{
    MixerRecord& record = *m_mixer;
    if (record.plugin != nullptr)
        record.plugin->Term(&CZkPluginMemAlloc::ForInstances());
    record.plugin = nullptr;
    record.parameters.Term();
    record.pluginID = MixerRecord::kNoPlugin;
    CZkIndexedObject* found = m_key.Bus() != nullptr ? m_key.Bus()->MixerEffect() : nullptr;
    if (found == nullptr)
        return;
    auto* effect = static_cast<CZkEffectObject*>(found);
    record.pluginID = effect->pluginID;
    ZK::IZkPlugin* plugin = nullptr;
    ZK::ZkPluginInfo info;
    if (PluginRegistry::CreatePlugin(effect->pluginID, plugin, &CZkPluginMemAlloc::ForInstances(), info) == ZK_Success)
    {
        const ZKRESULT check = PluginRegistry::CheckPluginInfo(ZK::ZkPluginTypeMixer, info);
        auto* mixer = dynamic_cast<IZkMixerPlugin*>(plugin);
        if (check != 0 || mixer == nullptr)
        {
            // Another build version or another type: the new instance goes at once.
            plugin->Term(&CZkPluginMemAlloc::ForInstances());
        }
        else
        {
            record.context.BindBus(this, 0, effect->pluginID, effect);
            ZK::ZkEffectFormat format;
            format.sampleRate = ZkAudioSettings::SampleRate();
            format.channelConfig = m_config;
            if (effect->CreatePluginInstance(record.parameters, ZkRTPCKey::Global()) &&
                mixer->Init(&CZkPluginMemAlloc::ForInstances(), &record.context, record.parameters.Params(), format) ==
                    ZK_Success &&
                mixer->Reset() == ZK_Success)
            {
                record.plugin = mixer;
                record.effect = found;
            }
            else
            {
                mixer->Term(&CZkPluginMemAlloc::ForInstances());
                record.parameters.Term();
                record.pluginID = MixerRecord::kNoPlugin;
            }
        }
    }
    found->Release();
}

void CZkMixBus::RegisterInput(CZkMixerInputContext* connection)
{
    if (m_mixer == nullptr || m_nodeInstance == nullptr || m_config.Type() == ZkChannelConfigType_Objects)
        return;
    if (m_mixer->plugin == nullptr)
    {
        CreateMixerPlugin();
        if (m_mixer->plugin == nullptr)
            return;
        // The inputs connected before it.
        for (CZkMixerInputContext* c = FirstInput(); c != nullptr; c = c->nextInput)
            m_mixer->plugin->OnInputConnected(c);
    }
    m_mixer->plugin->OnInputConnected(connection);
}

void CZkMixBus::UnregisterInput(CZkMixerInputContext* connection)
{
    if (IZkMixerPlugin* plugin = MixerPlugin())
        plugin->OnInputDisconnected(connection);
}

void CZkMixBus::MixThroughPlugin(CZkMixerInputContext& connection)
{
    if (connection.EntryCount() == 0)
        return;
    ZkMixInputEntry& entry = connection.Entry(0);
    if (entry.buffer == nullptr || entry.buffer->validFrames == 0)
        return;
    ZkBusObject* first = EnsureFirstObject();
    if (first == nullptr)
        return;
    first->buffer.status = ZK_DataReady;
    first->buffer.validFrames = first->buffer.maxFrames;
    m_activity = kActive;

    ZkPipelineBuffer& input = *entry.buffer;
    for (uint32_t c = 0; c < input.NumChannels(); ++c)
        std::memset(input.GetChannel(c) + input.validFrames, 0, sizeof(float) * (input.maxFrames - input.validFrames));
    input.validFrames = input.maxFrames;

    // The plug-in gets a filtered copy; without a pool block, the input itself.
    ZkAudioBuffer copy;
    copy.channelConfig = input.channelConfig;
    copy.maxFrames = input.maxFrames;
    const bool pooled = AudioBufferPool::GetCachedBuffer(copy) == ZK_Success && copy.maxFrames == input.maxFrames;
    ZkAudioBuffer* block = &input;
    if (pooled)
    {
        for (uint32_t c = 0; c < input.NumChannels(); ++c)
            std::memcpy(copy.GetChannel(c), input.GetChannel(c), sizeof(float) * input.maxFrames);
        copy.validFrames = input.maxFrames;
        if (!entry.filter.IsBypassed())
            entry.filter.Process(&copy);
        block = &copy;
    }
    m_mixer->plugin->ConsumeInput(&connection, block, &first->buffer);
    if (copy.data != nullptr)
        AudioBufferPool::ReleaseCachedBuffer(copy);
}
} // namespace ZK::SoundEngine
