#include "MusicEngine/Midi/CZkMidiTrackPlayback.h"

#include "MusicEngine/Midi/CZkMidiTrackPlayerMgr.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamRef.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

namespace ZK::MusicEngine
{
ZKRESULT CZkMidiTrackPlayback::Create(CZkMidiTrackPlayerMgr& manager, const ZkMidiTrackPlayRequest& request,
                                      CZkMidiTrackPlayback*& player)
{
    player = nullptr;
    if (request.nodeID == 0 && request.track == nullptr)
        return ZK_InvalidParameter;
    const ZkMidiTrackPlayRequest settled = WithTrackSettings(request);
    auto* made = ZK::ZkNew<CZkMidiTrackPlayback>(kPool, manager, settled);
    if (made == nullptr)
        return ZK_InsufficientMemory;
    uint32_t size = 0;
    if (made->Init() != ZK_Success || !made->TakeMedia(settled, size) ||
        made->m_schedule.Init(made->m_media, size, settled.tempo, settled.loop, settled.startOffset,
                              settled.firstFrameOffset, SoundEngine::ZkAudioSettings::SampleRate()) != ZK_Success)
    {
        made->Release();
        return ZK_Fail;
    }
    made->AddRef();
    made->m_holdsOwnReference = true;
    manager.Link(*made);
    if (settled.track != nullptr)
        made->JoinTrack(*settled.track, settled.trackContext);
    player = made;
    return ZK_Success;
}

bool CZkMidiTrackPlayback::TakeMedia(const ZkMidiTrackPlayRequest& request, uint32_t& size)
{
    if (request.mediaRef == nullptr)
    {
        size = request.mediaSize;
        return m_media != nullptr && size != 0;
    }
    const uint8_t* data = nullptr;
    if (SoundEngine::ZkStreamRef::Acquire(*request.mediaRef, data, size, m_mediaBank) != ZK_Success)
        return false;
    m_mediaRef = request.mediaRef;
    m_media = data;
    return data != nullptr && size != 0;
}

CZkMidiTrackPlayback::~CZkMidiTrackPlayback()
{
    LeaveTrack();
    if (m_mediaRef != nullptr)
        SoundEngine::ZkStreamRef::Release(*m_mediaRef, m_mediaBank);
}

void CZkMidiTrackPlayback::Free()
{
    ZK::ZkDelete(kPool, this);
}

SoundEngine::CZkMidiDispatcher* CZkMidiTrackPlayback::GetOwner() const
{
    return IsStopped() ? nullptr : m_manager;
}

void CZkMidiTrackPlayback::DropOwnReference()
{
    if (!m_holdsOwnReference)
        return;
    m_holdsOwnReference = false;
    Release();
}

void CZkMidiTrackPlayback::MarkSounding(uint8_t channel, uint8_t note, bool sounding)
{
    if (channel >= 16 || note >= 128)
        return;
    uint64_t& word = m_sounding[channel * 2 + note / 64];
    const uint64_t bit = uint64_t{1} << (note % 64);
    word = sounding ? word | bit : word & ~bit;
}

bool CZkMidiTrackPlayback::IsSounding(uint8_t channel, uint8_t note) const
{
    return channel < 16 && note < 128 && (m_sounding[channel * 2 + note / 64] >> (note % 64) & 1u) != 0;
}

void CZkMidiTrackPlayback::Stop(uint32_t offset)
{
    if (m_schedule.IsStopped())
        return;
    m_schedule.Stop(offset);
    if (offset != ZkMidiTrackSchedule::kStopNow)
        return;
    AddRef(); // the own reference may be the last but the list's
    m_manager->StopTarget(*this);
    DropOwnReference();
    Release();
}

void CZkMidiTrackPlayback::Pause()
{
    if (m_paused)
        return;
    m_paused = true;
    m_manager->PauseTarget(*this);
}

void CZkMidiTrackPlayback::Resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    m_manager->ResumeTarget(*this);
}

void CZkMidiTrackPlayback::ApplyVolumeProduct(float product)
{
    const bool muted = product == 0.0f;
    if (muted == m_muted)
        return;
    m_muted = muted;
    if (muted)
        m_manager->ReleaseNotesOf(*this);
}
} // namespace ZK::MusicEngine
