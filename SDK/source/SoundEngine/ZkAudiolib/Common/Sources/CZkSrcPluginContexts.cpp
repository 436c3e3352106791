#include "ZkAudiolib/Common/Sources/CZkSrcPluginContexts.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkGameObjectID kNoGameObject = ~ZkGameObjectID{0};
}

ZK::IZkGlobalPluginContext* CZkSrcPluginContexts::GetGlobalContext() const { return GetGlobalPluginContext(); }

void CZkSrcPluginContexts::GetPluginMedia(uint32_t index, const uint8_t*& data, uint32_t& size)
{
    m_media.FindMedia(index, data, size);
}

uint32_t CZkSrcPluginContexts::GetPluginCustomData(const void*& data, uint32_t& size)
{
    return m_media.GetCustomData(data, size);
}

ZKRESULT CZkSrcPluginContexts::GetParentChannelConfig(ZkChannelConfig& config) const
{
    config = ZkChannelConfig{};
    return ZK_Fail;
}

ZK::IZkRuntimeEnvironment* CZkSrcPluginContexts::GetRuntimeEnvironment() const
{
    return ZK::ZkRuntimeEnvironmentMgr::Instance();
}

CZkGameObject* CZkSrcPluginContexts::GameObject() const
{
    return m_instance != nullptr ? m_instance->GameObjectOf() : nullptr;
}

ZkGameObjectID CZkSrcPluginContexts::GetGameObjectID() const
{
    const CZkGameObject* object = GameObject();
    return object != nullptr ? object->ID() : kNoGameObject;
}

uint16_t CZkSrcPluginContexts::GetNumLoops() const { return m_instance != nullptr ? m_instance->LoopCount() : 1; }

ZkUniqueID CZkSrcPluginContexts::GetNodeID() const { return m_instance != nullptr ? m_instance->GetNodeID() : 0; }

void* CZkSrcPluginContexts::GetCookie() const
{
    return m_instance != nullptr && g_pPlayingMgr != nullptr ? g_pPlayingMgr->GetPlayingIDUserData(m_instance->PlayingID())
                                                             : nullptr;
}

const void* CZkSrcPluginContexts::GetMidiEvent() const
{
    // An instance carries one MIDI event: it still sounds while it is a note-on with velocity.
    if (m_instance == nullptr || !m_instance->MidiEvent().IsNoteOnWithVelocity())
        return nullptr;
    return &m_instance->MidiEvent();
}

void* CZkSrcPluginContexts::GetCodec() { return PluginRegistry::QueryCodec(kCodecQueryKey); }

void CZkSrcPluginContexts::DestroyCodec(void* codec)
{
    PluginRegistry::DestroyCodec(static_cast<CZkVoiceSource*>(codec));
}

const void* CZkSrcPluginContexts::GetListenerDataPointer() const
{
    const CZkGameObject* object = GameObject();
    return object != nullptr ? &object->GetListenerSet() : nullptr;
}

uint32_t CZkSrcPluginContexts::GetRayCount() const
{
    const CZkGameObject* object = GameObject();
    return object != nullptr ? object->GetRayCount() : 0;
}

const ZkChannelEmitter* CZkSrcPluginContexts::Emitter(uint32_t index) const
{
    const CZkGameObject* object = GameObject();
    const CZkEmitter* emitter = object != nullptr ? object->Emitter() : nullptr;
    if (emitter == nullptr || index >= emitter->PositionCount())
        return nullptr;
    return &emitter->Positions()[index];
}

ZKRESULT CZkSrcPluginContexts::GetEmitterPosition(uint32_t index, ZkTransform& position) const
{
    const ZkChannelEmitter* record = Emitter(index);
    if (record == nullptr)
        return ZK_Fail;
    position = record->transform;
    return ZK_Success;
}

uint32_t CZkSrcPluginContexts::GetEmitterPositionCount() const
{
    const CZkGameObject* object = GameObject();
    const CZkEmitter* emitter = object != nullptr ? object->Emitter() : nullptr;
    return emitter != nullptr ? emitter->PositionCount() : 0;
}

ZKRESULT CZkSrcPluginContexts::GetPositionRecord(uint32_t index, ZkChannelEmitter& record) const
{
    const ZkChannelEmitter* found = Emitter(index);
    if (found == nullptr)
        return ZK_Fail;
    record = *found;
    return ZK_Success;
}

uint32_t CZkSrcPluginContexts::GetPositioningMode() const
{
    const CZkGameObject* object = GameObject();
    const CZkEmitter* emitter = object != nullptr ? object->Emitter() : nullptr;
    return emitter != nullptr ? emitter->MultiPositionMode() : 0;
}

float CZkSrcPluginContexts::GetPositioningValue() const
{
    const CZkGameObject* object = GameObject();
    const CZkEmitter* emitter = object != nullptr ? object->Emitter() : nullptr;
    return emitter != nullptr ? emitter->ScalingFactor() : 1.0f;
}

bool CZkSrcPluginContexts::GetListeners(ZkGameObjectID* ids, uint32_t& count) const
{
    const CZkGameObject* object = GameObject();
    if (object == nullptr)
    {
        count = 0;
        return true;
    }
    const ZkSortedIdArray& listeners = object->GetListenerSet();
    uint32_t copied = 0;
    for (ZkGameObjectID id : listeners)
    {
        if (copied == count)
            return false;
        ids[copied++] = id;
    }
    count = copied;
    return true;
}

ZKRESULT CZkSrcPluginContexts::GetListenerData(ZkGameObjectID listener, ZkTransform& position) const
{
    CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(listener) : nullptr;
    const CZkListener* component = object != nullptr ? object->Listener() : nullptr;
    if (component == nullptr)
        return ZK_Fail;
    position = component->Transform();
    return ZK_Success;
}

ZkPlayingID CZkSrcPluginContexts::GetPlayingID() const { return m_instance != nullptr ? m_instance->PlayingID() : 0; }

int8_t CZkSrcPluginContexts::GetPriority() const
{
    return m_instance != nullptr ? static_cast<int8_t>(m_instance->IntegerPriority()) : 0;
}

float CZkSrcPluginContexts::GetPitchRatio(float) const { return m_instance != nullptr ? m_instance->GetPitchRatio() : 1.0f; }
} // namespace ZK::SoundEngine
