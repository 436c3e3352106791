// The reader's side of the message ring: batches for the engine tick, half-ring drains for a
// writer that found the ring full, and the discarding walk at termination.
#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"

#include "ZkAudiolib/Common/FrontEnd/ProcessedItemCounter.h"

namespace ZK::SoundEngine
{
bool CZkMessageRing::ProcessMessages(bool calledByWriter, bool& deviceChanged)
{
    // A writer that calls this directly cannot tell which messages are complete: drain only up to
    // the write position seen before waiting for the other writers.
    uint8_t* completeUpTo = nullptr;
    if (calledByWriter)
    {
        completeUpTo = m_write.load(std::memory_order_acquire);
        WaitForWriters();
    }
    return Process(calledByWriter, completeUpTo, deviceChanged);
}

bool CZkMessageRing::Process(bool calledByWriter, uint8_t* limit, bool& deviceChanged)
{
    deviceChanged = false;
    if (!IsInitialized())
        return false;
    FullFence(m_pendingFrames);
    uint8_t* read = m_read.load(std::memory_order_relaxed);
    const uint32_t used = Distance(read, limit != nullptr ? limit : m_write.load(std::memory_order_acquire));
    if (used == 0)
        return false;
    if (!calledByWriter && m_pendingFrames.load(std::memory_order_acquire) == 0)
        return false;
    if (calledByWriter && used <= m_capacity / 2)
        return false;

    const uint32_t threshold = used / 2;
    const uint32_t publishEvery = m_capacity / 8;
    uint32_t drained = 0;
    uint32_t unpublished = 0;
    uint8_t* consumed = read; // just past the last message read: the position to publish
    // The write position is read again only when the reader reaches the value it last saw (writers
    // only move it on), so the reader leaves the writers' cache line alone.
    uint8_t* written = limit != nullptr ? limit : m_write.load(std::memory_order_acquire);
    for (;;)
    {
        read = SkipShortTail(read);
        // The engine tick always meets a counted frame marker first; this guards the drain's limit.
        if (read == written && (limit != nullptr || read == (written = m_write.load(std::memory_order_acquire))))
            break;
        const ZkMessageHeader header = ReadMessageHeader(read);
        if (header.size < kMessageHeaderBytes)
            break; // never written by a writer; stopping beats spinning on it
        bool batchEnds = false;
        if (header.type == kMessageFrameMarker)
        {
            // A marker whose EndFrame has not counted it yet: messages before it may be unfinished.
            if (m_pendingFrames.load(std::memory_order_acquire) == 0)
                break;
            batchEnds = m_pendingFrames.fetch_sub(1, std::memory_order_acq_rel) == 1;
        }
        else if (header.type != kMessageWrapMarker && header.type != kMessageAbandoned)
        {
            m_dispatcher->Dispatch(read, deviceChanged);
        }
        read = NextMessage(read, header.size);
        consumed = read;
        unpublished += header.size;
        if (unpublished >= publishEvery)
        {
            m_read.store(consumed, std::memory_order_release);
            unpublished = 0;
        }
        ++g_ProcessedItemCount;
        if (calledByWriter)
        {
            drained += header.size;
            if (drained >= threshold)
                break;
        }
        if (batchEnds)
            break;
    }
    // The batch's room goes back to the writers at once.
    m_read.store(consumed, std::memory_order_release);
    return true;
}

void CZkMessageRing::DiscardMessages()
{
    if (!IsInitialized())
        return;
    uint8_t* read = m_read.load(std::memory_order_acquire);
    uint8_t* const write = m_write.load(std::memory_order_acquire);
    for (;;)
    {
        read = SkipShortTail(read);
        if (read == write)
            break;
        const ZkMessageHeader header = ReadMessageHeader(read);
        if (header.size < kMessageHeaderBytes)
        {
            read = write;
            break;
        }
        if (header.type != kMessageFrameMarker && header.type != kMessageWrapMarker && header.type != kMessageAbandoned)
            m_dispatcher->Discard(read);
        read = NextMessage(read, header.size);
    }
    m_read.store(read, std::memory_order_release);
    m_pendingFrames.store(0, std::memory_order_release);
}
} // namespace ZK::SoundEngine
