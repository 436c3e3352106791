// The writers' side of the message ring: reservation (lock-free, then under the global engine lock
// with a drain when the ring is full), the end of a batch, and the wait for writers.
#include "ZkAudiolib/Common/FrontEnd/CZkMessageRing.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include "Platform/PlatformThread.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
// Waits counted from 0: wait i sleeps i / 128 ms (128 yields, then 128 waits of 1 ms, ...).
constexpr uint32_t kWaitsPerMillisecond = 128;
} // namespace

uint32_t CZkMessageRing::LargestMessageFor(uint32_t capacity)
{
    // The largest multiple of 4, s, with 4 x (s + 4) < capacity, that is s + 4 <= (capacity - 1) / 4
    // (see kMinimumCapacityBytes).
    const uint32_t quarter = capacity > 0 ? (capacity - 1) / 4 : 0;
    if (quarter < kMessageHeaderBytes)
        return 0;
    return std::min((quarter - kMessageHeaderBytes) & ~(kMessageAlignmentBytes - 1), kLargestMessageBytes);
}

uint8_t* CZkMessageRing::AttemptReservation(uint32_t s)
{
    // "s + 4 < room", strictly: one free word stays between writers and the reader, and there is
    // always room for a wrap marker before the buffer end.
    for (;;)
    {
        uint8_t* w = m_write.load(std::memory_order_acquire);
        uint8_t* r = m_read.load(std::memory_order_acquire);
        if (r > w)
        {
            // The writers have wrapped and are behind the reader.
            if (!(s + kMessageHeaderBytes < static_cast<uint64_t>(r - w)))
                return nullptr;
            if (m_write.compare_exchange_weak(w, w + s, std::memory_order_acq_rel))
                return w;
            continue;
        }
        if (s + kMessageHeaderBytes < static_cast<uint64_t>(m_end - w))
        {
            if (m_write.compare_exchange_weak(w, w + s, std::memory_order_acq_rel))
                return w;
            continue;
        }
        // No room before the buffer end: try the buffer start.
        if (!(s + kMessageHeaderBytes < static_cast<uint64_t>(r - m_start)))
            return nullptr;
        if (m_write.compare_exchange_weak(w, m_start + s, std::memory_order_acq_rel))
        {
            if (w + kMessageHeaderBytes <= m_end)
                WriteMessageHeader(w, static_cast<uint32_t>(m_end - w), kMessageWrapMarker);
            return m_start;
        }
    }
}

uint8_t* CZkMessageRing::TryReserveMessage(uint32_t& size)
{
    if (!IsInitialized() || !Accepts(size))
        return nullptr;
    m_writerCount.fetch_add(1, std::memory_order_acq_rel);
    size = RoundMessageSize(size);
    uint8_t* message = AttemptReservation(size);
    if (message == nullptr)
        m_writerCount.fetch_sub(1, std::memory_order_release);
    return message;
}

uint8_t* CZkMessageRing::ReserveUnderEngineLock(uint32_t s)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    m_writerCount.fetch_add(1, std::memory_order_acq_rel);
    if (uint8_t* message = AttemptReservation(s))
        return message;
    m_writerCount.fetch_sub(1, std::memory_order_release);

    // Every message reserved before this point is complete once no writer is left filling one;
    // messages reserved later may still be half-written, so the drain stops here.
    uint8_t* completeUpTo = m_write.load(std::memory_order_acquire);
    WaitForWriters();
    bool deviceChanged = false;
    Process(true, completeUpTo, deviceChanged);

    m_writerCount.fetch_add(1, std::memory_order_acq_rel);
    if (uint8_t* message = AttemptReservation(s))
        return message;
    m_writerCount.fetch_sub(1, std::memory_order_release);
    return nullptr; // leave the lock so that the engine tick can consume a frame, then retry
}

uint8_t* CZkMessageRing::ReserveMessage(uint16_t type, uint32_t size)
{
    if (!IsInitialized() || !Accepts(size))
        return nullptr;
    uint32_t rounded = size;
    uint8_t* message = TryReserveMessage(rounded);
    while (message == nullptr)
        message = ReserveUnderEngineLock(rounded);
    WriteMessageHeader(message, rounded, type);
    return message;
}

void CZkMessageRing::AbandonMessage(uint8_t* message)
{
    const ZkMessageHeader header = ReadMessageHeader(message);
    WriteMessageHeader(message, header.size, kMessageAbandoned);
    FinishMessage();
}

void CZkMessageRing::WaitForWriters()
{
    for (uint32_t wait = 0; m_writerCount.load(std::memory_order_acquire) != 0; ++wait)
    {
        const uint32_t milliseconds = wait / kWaitsPerMillisecond;
        if (milliseconds == 0)
            ZK::Platform::YieldProcessor();
        else
            ZK::Platform::SleepMilliseconds(milliseconds);
    }
    FullFence(m_writerCount);
}

bool CZkMessageRing::EndFrame(ZK::Platform::ZkEvent* wakeEvent)
{
    if (!IsInitialized() || m_read.load(std::memory_order_acquire) == m_write.load(std::memory_order_acquire))
        return false;
    // Cannot fail: every ring takes a message of kLargestMessageEveryRingTakes.
    ReserveMessage(kMessageFrameMarker, kMessageHeaderBytes);
    FinishMessage();
    // The frame counts only once every message reserved before its marker is filled.
    WaitForWriters();
    m_pendingFrames.fetch_add(1, std::memory_order_acq_rel);
    if (wakeEvent != nullptr)
        wakeEvent->Set();
    return true;
}
} // namespace ZK::SoundEngine
