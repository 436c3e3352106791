#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <cmath>

namespace ZK::MusicEngine
{
CZkMusicSegmentSequenceContext::CZkMusicSegmentSequenceContext(CZkMusicContext* parentContext, CZkMusicSegment& segment)
    : CZkMusicChainContext(parentContext), m_segment(segment)
{
    m_segment.AddRef();
}

CZkMusicSegmentSequenceContext::~CZkMusicSegmentSequenceContext()
{
    ClearChain();
    m_segment.Release();
}

CZkMusicNode* CZkMusicSegmentSequenceContext::GetNode() const
{
    return &m_segment;
}

ZKRESULT CZkMusicSegmentSequenceContext::Start(CZkRegisteredObj* gameObject, const ZkMusicPlayInfo& playInfo, uint8_t option)
{
    const ZKRESULT attached = Attach(gameObject, playInfo, option);
    if (attached != ZK_Success)
        return attached;
    int32_t lookAhead = 0;
    const ZKRESULT built = BuildChain(-m_segment.PreEntryLength(), lookAhead);
    timeOffset = static_cast<uint64_t>(std::max(lookAhead, 0));
    return built;
}

ZKRESULT CZkMusicSegmentSequenceContext::BuildChain(int32_t start, int32_t& lookAhead)
{
    const int32_t end = m_segment.ActiveLength() + m_segment.PostExitLength();
    if (start >= end)
        return ZK_Fail;
    CZkMusicSegmentContext* context = CZkMusicSegmentContext::Create(this, m_segment);
    if (context == nullptr)
        return ZK_Fail;
    ZkMusicChainItem* item = AppendItem(0, context);
    context->Release(); // the item's reference keeps it, or it goes
    if (item == nullptr)
        return ZK_Fail;
    lookAhead = PrepareFrom(start);
    item->stopFade = ZkMusicFadeParams{0, 4, 0};
    item->stopOffset = static_cast<uint32_t>(end);
    item->flags |= ZkMusicChainItem::kStopPending;
    return AppendItem(static_cast<uint64_t>(m_segment.ActiveLength()), nullptr) != nullptr ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkMusicSegmentSequenceContext::SeekTo(int32_t position)
{
    if (PlayState() > kPlaying)
        return ZK_Fail;
    ForEachChild([](CZkMusicChild& child) { child.Stop(0); });
    ClearChain();
    int32_t lookAhead = 0;
    if (BuildChain(position, lookAhead) != ZK_Success)
    {
        StopWithFade(ZkMusicFadeParams{0, 4, 0}, 0);
        return ZK_Fail;
    }
    const uint64_t clock = playRecord != nullptr ? playRecord->clock : 0;
    const uint64_t parentOffset = parent != nullptr ? static_cast<CZkMusicTimelineContext*>(parent)->AbsoluteOffset() : 0;
    timeOffset = clock - parentOffset + static_cast<uint64_t>(std::max(lookAhead, 0));
    return ZK_Success;
}

ZKRESULT CZkMusicSegmentSequenceContext::SeekByPercent(float& fraction, bool snap)
{
    const int32_t active = m_segment.ActiveLength();
    int32_t position = static_cast<int32_t>(static_cast<float>(active) * fraction);
    if (snap)
    {
        position = m_segment.NearestCue(position);
        fraction = active != 0 ? static_cast<float>(position) / static_cast<float>(active) : 0.0f;
    }
    return SeekTo(position);
}

ZKRESULT CZkMusicSegmentSequenceContext::SeekByTime(int32_t& ms, bool snap)
{
    const auto rate = static_cast<int64_t>(SoundEngine::ZkAudioSettings::SampleRate());
    auto position = static_cast<int32_t>(int64_t{ms} * rate / 1000);
    position = std::max(position, -m_segment.PreEntryLength());
    if (snap)
    {
        position = m_segment.NearestCue(position);
        ms = static_cast<int32_t>(std::lround(static_cast<double>(position) * 1000.0 / static_cast<double>(rate)));
    }
    return SeekTo(position);
}
} // namespace ZK::MusicEngine
