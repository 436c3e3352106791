// CZkVoice: building the chain of stages (resampling, effect inserts, filter, modulation) on the
// first frame that renders, rebuilding effects, and releasing it all.
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/CZkInPlaceEffectStage.h"
#include "ZkAudiolib/Common/Voice/CZkOutOfPlaceEffectStage.h"
#include "ZkAudiolib/Common/Voice/CZkResamplingStage.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

#include <new>

namespace ZK::SoundEngine
{
namespace
{
// The flag bytes of an effect's plug-in info after the first (in place): byte 9 refuses running in
// place, 11 processes audio objects, 12 refuses running on a voice.
constexpr uint32_t kInfoRefusesInPlace = 0;
constexpr uint32_t kInfoProcessesObjects = 2;
constexpr uint32_t kInfoRefusesVoices = 3;
constexpr uint32_t kInfoPresetByte = 4;
constexpr uint32_t kEffectPluginType = ZK::ZkPluginTypeEffect;

CZkEffectObject* FindEffectObject(ZkUniqueID effectID)
{
    if (g_pObjectIndex == nullptr || effectID == 0)
        return nullptr;
    auto* effect = static_cast<CZkEffectObject*>(g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::SharedEffects, effectID));
    if (effect == nullptr)
        effect = static_cast<CZkEffectObject*>(g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::CustomEffects, effectID));
    return effect;
}

template <typename Stage, typename... Args>
Stage* NewStage(Args... args)
{
    void* memory = ZK::MemoryMgr::Malloc(CZkEffectStage::kPool, sizeof(Stage));
    return memory != nullptr ? new (memory) Stage(args...) : nullptr;
}
} // namespace

ZKRESULT CZkVoice::BuildEffect(uint32_t slot, ZK::ZkEffectFormat& format)
{
    CZkPlayingInstance* playing = Instance();
    ZkEffectDescription description;
    if (playing == nullptr || !playing->ForwardSlot54(slot, description))
        return ZK_Success;
    CZkEffectObject* effect = FindEffectObject(description.effectID);
    if (effect == nullptr)
        return ZK_Success;
    ZK::IZkPlugin* plugin = nullptr;
    ZK::ZkPluginInfo info;
    info.processesInPlace = 1;
    info.flags[kInfoPresetByte] = 1;
    ZKRESULT result = ZK_Success;
    if (PluginRegistry::CreatePlugin(effect->pluginID, plugin, &CZkPluginMemAlloc::ForInstances(), info) != ZK_Success)
    {
        effect->Release();
        return ZK_Success; // the slot stays empty
    }
    const bool inPlace = info.processesInPlace != 0;
    const bool objects = info.flags[kInfoProcessesObjects] != 0;
    CZkEffectStage* stage = nullptr;
    if (PluginRegistry::CheckPluginInfo(kEffectPluginType, info) != ZK_NothingToReport ||
        (inPlace && info.flags[kInfoRefusesInPlace] != 0) || info.flags[kInfoRefusesVoices] != 0)
        stage = nullptr; // refused: the slot stays empty
    else if (objects && !inPlace)
        result = ZK_Fail;
    else if (inPlace)
    {
        stage = NewStage<CZkInPlaceEffectStage>(objects);
        result = stage == nullptr ? ZK_Fail : ZK_Success;
    }
    else
    {
        stage = NewStage<CZkOutOfPlaceEffectStage>();
        result = stage == nullptr ? ZK_Fail : ZK_Success;
    }
    if (stage == nullptr)
    {
        plugin->Term(&CZkPluginMemAlloc::ForInstances());
        effect->Release();
        return result;
    }
    const ZKRESULT initialised = stage->Init(static_cast<ZK::IZkEffectPlugin*>(plugin), *effect, slot, *this,
                                             playing->GameObjectOf(), format);
    effect->Release();
    if (initialised != ZK_Success)
    {
        stage->Destroy();
        stage->~CZkEffectStage();
        ZK::MemoryMgr::Free(CZkEffectStage::kPool, stage);
        return ZK_Success;
    }
    stage->bypass = description.bypassed ? 1 : 0;
    m_effects[slot] = stage;
    return ZK_Success;
}

void CZkVoice::DestroyEffect(uint32_t slot)
{
    CZkEffectStage* stage = m_effects[slot];
    if (stage == nullptr)
        return;
    stage->Destroy();
    stage->~CZkEffectStage();
    ZK::MemoryMgr::Free(CZkEffectStage::kPool, stage);
    m_effects[slot] = nullptr;
}

void CZkVoice::LinkChain()
{
    // From the end: each stage reads the one before it.
    CZkVoicePipelineStage* previous = m_main;
    if (m_resampling != nullptr)
    {
        m_resampling->SetInput(previous);
        previous = m_resampling;
    }
    for (CZkEffectStage* effect : m_effects)
    {
        if (effect == nullptr)
            continue;
        effect->SetInput(previous);
        previous = effect;
    }
    m_filterStage.SetInput(previous);
    m_modulation.SetInput(&m_filterStage);
    RefreshMarkerPointers();
}

void CZkVoice::RefreshMarkerPointers()
{
    // The marker array may have moved since the last frame (it grows with the markers).
    if (m_resampling != nullptr)
        m_resampling->markers = m_markers.Data();
    for (CZkEffectStage* effect : m_effects)
    {
        if (effect != nullptr)
            effect->markers = m_markers.Data();
    }
}

ZKRESULT CZkVoice::BuildPipeline()
{
    if (m_main == nullptr)
        return ZK_Fail;
    if (m_markers.Init() != ZK_Success)
        return ZK_InsufficientMemory;
    CZkPlayingInstance* playing = Instance();
    const ZkAudioFormat& format = m_main->Format();
    ZK::ZkEffectFormat running{ZkAudioSettings::SampleRate(), format.channelConfig};
    if (!m_main->HandlesPitch())
    {
        void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkResamplingStage));
        if (memory == nullptr)
            return ZK_InsufficientMemory;
        m_resampling = new (memory) CZkResamplingStage();
        m_resampling->SetInput(m_main);
        if (m_resampling->Setup(format, playing != nullptr ? playing->StartDelayCounter() : nullptr) != ZK_Success)
            return ZK_Fail;
    }
    for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
    {
        const ZKRESULT built = BuildEffect(slot, running);
        if (built != ZK_Success)
            return built;
        if (m_effects[slot] != nullptr)
            running.channelConfig = m_effects[slot]->GetOutputConfig();
    }
    m_outputConfig = running.channelConfig;
    const ZKRESULT filtered = m_filterStage.Filter().Setup(m_outputConfig);
    if (filtered != ZK_Success)
        return filtered;
    const ZKRESULT bound = m_modulation.SetOwner(this);
    if (bound != ZK_Success)
        return bound;
    LinkChain();
    if (m_resampling != nullptr)
        m_resampling->SetConverter(m_main->GetConverter());
    RefreshEffectBypass();
    m_pipelineFlags |= kPipelineBuilt;
    return ZK_Success;
}

ZKRESULT CZkVoice::RebuildEffectsFrom(uint32_t slot)
{
    if (slot >= kEffectSlots || !IsPipelineBuilt())
        return ZK_Fail;
    ReleaseFrameBuffers();
    const ZkChannelConfig before = m_effects[slot] != nullptr ? m_effects[slot]->GetOutputConfig() : ZkChannelConfig{};
    ZK::ZkEffectFormat running{ZkAudioSettings::SampleRate(), m_main->Format().channelConfig};
    for (uint32_t earlier = 0; earlier < slot; ++earlier)
    {
        if (m_effects[earlier] != nullptr)
            running.channelConfig = m_effects[earlier]->GetOutputConfig();
    }
    const ZkChannelConfig input = running.channelConfig;
    DestroyEffect(slot);
    ZKRESULT result = BuildEffect(slot, running);
    const ZkChannelConfig after = m_effects[slot] != nullptr ? m_effects[slot]->GetOutputConfig() : input;
    // A new configuration changes what every later slot runs on.
    if (result == ZK_Success && after != before)
    {
        for (uint32_t later = slot + 1; later < kEffectSlots && result == ZK_Success; ++later)
        {
            if (m_effects[later] == nullptr)
                continue;
            DestroyEffect(later);
            result = BuildEffect(later, running);
            if (m_effects[later] != nullptr)
                running.channelConfig = m_effects[later]->GetOutputConfig();
        }
        if (running.channelConfig != m_outputConfig)
        {
            m_outputConfig = running.channelConfig;
            m_filterStage.Filter().Reinit(m_outputConfig);
        }
    }
    LinkChain();
    return result == ZK_Success ? ZK_Success : ZK_Fail;
}

void CZkVoice::ReleasePipeline()
{
    if (IsPipelineBuilt())
        ReleaseFrameBuffers();
    for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
        DestroyEffect(slot);
    if (m_resampling != nullptr)
    {
        m_resampling->~CZkResamplingStage();
        ZK::MemoryMgr::Free(kPool, m_resampling);
        m_resampling = nullptr;
    }
    m_filterStage.Filter().Term();
    m_filterStage.SetInput(nullptr);
    m_modulation.SetInput(nullptr);
    m_markers.Term();
    m_pipelineFlags &= static_cast<uint8_t>(~kPipelineBuilt);
}
} // namespace ZK::SoundEngine
