#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/ZkMusicChainItem.h"

#include <algorithm>
#include <new>

namespace ZK::MusicEngine
{
CZkMusicSegmentContext* CZkMusicSegmentContext::Create(CZkMusicContext* parentContext, CZkMusicSegment& segment)
{
    if (segment.MarkerCount() == 0)
        return nullptr;
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkMusicSegmentContext));
    if (memory == nullptr)
        return nullptr;
    auto* context = new (memory) CZkMusicSegmentContext(parentContext, segment);
    context->AddRef();
    // Switch tracks keep no subscriber yet (they stay silent), so there is nothing to fail here.
    context->AttachToParent();
    return context;
}

CZkMusicSegmentContext::CZkMusicSegmentContext(CZkMusicContext* parentContext, CZkMusicSegment& segment)
    : CZkMusicContext(parentContext), m_segment(segment)
{
    m_segment.AddRef();
}

CZkMusicSegmentContext::~CZkMusicSegmentContext()
{
    m_actions.Clear();
    m_segment.Release();
}

void CZkMusicSegmentContext::OnPlay()
{
    CZkMusicContext::OnPlay();
    // Track contexts come with the clip instances; until then a playing segment schedules nothing.
    m_scheduled = true;
}

void CZkMusicSegmentContext::OnStopped()
{
    AddRef();
    m_actions.Clear();
    if (ZkMusicChainItem* item = chainItem; item != nullptr)
    {
        item->segmentContext = nullptr;
        chainItem = nullptr;
        Release(); // the item's reference
    }
    CZkMusicContext::OnStopped();
    Release();
}

int32_t CZkMusicSegmentContext::SetStart(int32_t segmentTime)
{
    m_startOffset = segmentTime;
    const int32_t trackTime = segmentTime + m_segment.PreEntryLength();
    int32_t lookAhead = 0;
    for (uint32_t index = 0; index < m_segment.ChildCount(); ++index)
    {
        const auto* track = static_cast<const CZkMusicTrack*>(m_segment.ChildAt(static_cast<uint16_t>(index)));
        lookAhead = std::max(lookAhead, track->LookAheadAt(trackTime));
    }
    return lookAhead;
}

void CZkMusicSegmentContext::ProcessSegment(int32_t, uint32_t, float)
{
    // The track contexts this forwards the frame to come with the clip instances.
}

int32_t CZkMusicSegmentContext::NowInSegment() const
{
    if (chainItem == nullptr)
        return 0;
    // The chain item's owner is the parent context (a chain context).
    return static_cast<CZkMusicChainContext*>(parent)->ItemLocalNow(*chainItem);
}
} // namespace ZK::MusicEngine
