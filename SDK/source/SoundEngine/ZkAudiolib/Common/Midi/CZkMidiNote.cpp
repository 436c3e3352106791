#include "ZkAudiolib/Common/Midi/CZkMidiNote.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

namespace ZK::SoundEngine
{
CZkMidiNote* CZkMidiNote::Create(const ZkMIDIEvent& event, CZkGameObject* gameObject)
{
    CZkMidiNote* note = ZK::ZkNew<CZkMidiNote>(kPool, event, gameObject);
    if (note == nullptr)
        return nullptr;
    if (note->m_voices.Init() != ZK_Success || note->m_actions.Init() != ZK_Success)
    {
        ZK::ZkDelete(kPool, note);
        return nullptr;
    }
    return note;
}

uint32_t CZkMidiNote::Release()
{
    const uint32_t count = --m_refCount;
    if (count == 0)
        ZK::ZkDelete(kPool, this); // the lists free their nodes and blocks
    return count;
}

bool CZkMidiNote::AddVoice(CZkPlayingInstance* instance, uint8_t kind)
{
    if (!m_voices.Add(Voice{kind, instance}))
        return false;
    AddRef();
    return true;
}

void CZkMidiNote::RemoveVoice(const CZkPlayingInstance* instance)
{
    if (m_voices.Remove([instance](const Voice& voice) { return voice.instance == instance; }))
        Release();
}

bool CZkMidiNote::AddAction(CZkEventAction* action)
{
    if (!m_actions.Add(Action{action}))
        return false;
    AddRef();
    return true;
}

void CZkMidiNote::RemoveAction(const CZkEventAction* action)
{
    if (m_actions.Remove([action](const Action& entry) { return entry.action == action; }))
        Release();
}

void CZkMidiNote::SetVoiceKind(const CZkPlayingInstance* instance, uint8_t kind)
{
    m_voices.ForEach([&](Voice& voice) {
        if (voice.instance == instance)
            voice.kind = kind;
    });
}
} // namespace ZK::SoundEngine
