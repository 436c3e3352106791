#include "MusicEngine/Contexts/CZkMusicTimelineContext.h"

#include "MusicEngine/Contexts/MusicPlays.h"

namespace ZK::MusicEngine
{
void CZkMusicTimelineContext::OnStopped()
{
    CZkMusicContext::OnStopped();
    if (parent == nullptr && playRecord != nullptr)
        playRecord->DiscardStingers();
}

ZKRESULT CZkMusicTimelineContext::SeekByTime(int32_t&, bool)
{
    return ZK_Fail;
}

ZKRESULT CZkMusicTimelineContext::SeekByPercent(float&, bool)
{
    return ZK_Fail;
}

ZKRESULT CZkMusicTimelineContext::GetSegmentInfo(ZkSegmentInfo&)
{
    return ZK_NotImplemented;
}

ZKRESULT CZkMusicTimelineContext::Attach(CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option)
{
    AttachToParent();
    if (parent == nullptr)
        return StartPlay(*this, playInfo, gameObject, option);
    // Only timeline contexts stand above a timeline context.
    playRecord = static_cast<CZkMusicTimelineContext*>(parent)->playRecord;
    return ZK_Success;
}

uint64_t CZkMusicTimelineContext::AbsoluteOffset() const
{
    uint64_t offset = timeOffset;
    if (parent != nullptr)
        offset += static_cast<const CZkMusicTimelineContext*>(parent)->AbsoluteOffset();
    return offset;
}

void CZkMusicTimelineContext::FinishFrame(uint64_t time, uint32_t length)
{
    // The stingers sound in the frame before its music callbacks are reported.
    if (parent == nullptr && playRecord != nullptr)
        playRecord->ProcessStingers(time, length);
    const uint32_t callbackTypes = callbackFlags & kPerFrameCallbackTypes;
    if (parent == nullptr && playRecord != nullptr && callbackTypes != 0)
        NotifyMusicCallbacks(time, length, callbackTypes);
    Release();
}

void CZkMusicTimelineContext::OnLastRelease()
{
    if (parent != nullptr)
    {
        CZkMusicContext::OnLastRelease();
        return;
    }
    EndPlay(*this);
}
} // namespace ZK::MusicEngine
