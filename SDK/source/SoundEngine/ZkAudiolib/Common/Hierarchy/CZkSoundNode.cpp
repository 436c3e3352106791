#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"

#include "ZkAudiolib/Common/Banks/SourceMediaRef.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamedMediaRequest.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kConcertPitchHz = 440.0f;
constexpr int32_t kConcertPitchNote = 69;
constexpr int32_t kMidiPlayModeNormal = 1;
} // namespace

CZkSoundNode::CZkSoundNode(ZkUniqueID id) : CZkSourceNode(id)
{
    m_media.Init();
    SetBusFlag(false);
}

CZkSoundNode::~CZkSoundNode() { m_media.Free(); }

CZkSoundNode* CZkSoundNode::Create(ZkUniqueID id)
{
    auto* sound = ZK::ZkNew<CZkSoundNode>(kPool, id);
    if (sound == nullptr)
        return nullptr;
    if (sound->AddToIndex() != ZK_Success)
    {
        ZK::ZkDelete(kPool, sound);
        return nullptr;
    }
    return sound;
}

ZKRESULT CZkSoundNode::ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial)
{
    if (node->Category() != ZkNodeCategory_Sound)
        return ZK_AlreadyExists; // the id is another class's node: it stays as it is
    auto* sound = static_cast<CZkSoundNode*>(node);
    ZK::ZkByteCursor cursor(body, size);
    if (!cursor.Skip(sizeof(ZkUniqueID)))
        return ZK_InvalidFile;
    ZkSourceMediaRecord source;
    const ZKRESULT read = SourceMediaRef::ReadFromBank(cursor, source);
    if (read != ZK_Success)
        return read;
    SourceMediaRef::ApplyTo(source, sound->m_media);
    sound->m_pluginID = source.pluginID;
    return sound->SetBaseFromBank(cursor, partial);
}

void CZkSoundNode::SetSourcePlugin(uint32_t pluginID, ZkUniqueID sourceID)
{
    ZkSourceMediaRecord source;
    source.pluginID = pluginID;
    source.sourceID = sourceID;
    SourceMediaRef::ApplyTo(source, m_media);
    m_pluginID = pluginID;
}

ZKRESULT CZkSoundNode::Play(PlayLaunchParams& params)
{
    const ZkMidiEvent& event = params.midiEvent;
    if (event.IsNoteOnWithVelocity())
    {
        if (g_pRTPCMgr != nullptr)
        {
            ZkRTPCKey key = ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(params.gameObject), params.playingID);
            key.midiChannel = event.channel;
            key.midiNote = event.note;
            const float frequency =
                kConcertPitchHz * std::exp2(static_cast<float>(event.note - kConcertPitchNote) / 12.0f);
            g_pRTPCMgr->SetRTPCImmediate(kMidiNoteParam, static_cast<float>(event.note), key);
            g_pRTPCMgr->SetRTPCImmediate(kMidiFrequencyParam, frequency, key);
        }
        if (MidiPlayMode() != kMidiPlayModeNormal)
            return ZK_MidiEventFiltered;
    }
    return CZkPlayingInstance::PlaySoundNode(this, m_media, params);
}

bool CZkSoundNode::IsInfiniteLoop(const CZkHierarchyNode* upTo) const
{
    return GetIntProperty(ZkProp_LoopCount) == 0 || CZkSourceNode::IsInfiniteLoop(upTo);
}

void CZkSoundNode::CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const
{
    if (m_media.Kind() != kMediaKindOwned)
        return;
    (active ? request.active : request.inactive).AddLast(&m_media);
}
} // namespace ZK::SoundEngine
