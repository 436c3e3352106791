// The scheduling passes of a stream device: which stream the next transfer serves.
#include "StreamMgr/CZkStreamDevice.h"

#include "Platform/PlatformClock.h"
#include "StreamMgr/CZkStreamTask.h"

#include <utility>

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

namespace
{
// What a pass compares of one ready stream, read under the stream's lock.
struct Candidate
{
    CZkStreamTask* stream = nullptr;
    float deadlineMs = 0.0f;
    bool needsIO = false;
    uint8_t priority = 0;
    double waitedMs = 0.0; // since the stream's last request or transfer
};

bool ReadCandidate(CZkStreamTask* stream, int64_t passTime, Candidate& out)
{
    ZkScopedLock lock(stream->Lock());
    if (!stream->IsReady())
        return false;
    out.stream = stream;
    out.deadlineMs = stream->EffectiveDeadline();
    out.needsIO = stream->IsRegisteredForIO();
    out.priority = stream->Priority();
    const double countsPerMs = static_cast<double>(Platform::PerformanceFrequency()) / 1000.0;
    out.waitedMs = static_cast<double>(passTime - stream->RequestTime()) / countsPerMs;
    return true;
}

// Between two streams of the same class: does the later one (r) take the place of the choice (c)?
// A starving stream (deadline 0) wins over one that is not, then by priority, then by waiting
// longer; otherwise the nearer deadline wins. Ties keep the earlier stream of the list.
bool ReplacesChoice(const Candidate& c, const Candidate& r)
{
    if (r.deadlineMs != 0.0f)
        return r.deadlineMs < c.deadlineMs;
    if (r.priority > c.priority || c.deadlineMs > 0.0f)
        return true;
    return c.deadlineMs == 0.0f && r.priority == c.priority && r.waitedMs > c.waitedMs;
}
} // namespace

ZkScheduledStream::ZkScheduledStream(CZkStreamTask* stream, float deadlineMs) : m_stream(stream), m_deadlineMs(deadlineMs)
{
    if (m_stream)
        m_stream->SetInService(true);
}

ZkScheduledStream::ZkScheduledStream(ZkScheduledStream&& other) noexcept
    : m_stream(std::exchange(other.m_stream, nullptr)), m_deadlineMs(other.m_deadlineMs)
{
}

ZkScheduledStream& ZkScheduledStream::operator=(ZkScheduledStream&& other) noexcept
{
    if (this != &other)
    {
        EndService();
        m_stream = std::exchange(other.m_stream, nullptr);
        m_deadlineMs = other.m_deadlineMs;
    }
    return *this;
}

void ZkScheduledStream::EndService()
{
    // The last touch of the stream by its server: from here on a reclaiming pass may free it.
    if (m_stream)
        m_stream->SetInService(false);
    m_stream = nullptr;
}

ZkScheduledStream CZkStreamDevice::ScheduleNext()
{
    ZkScopedLock lock(m_streamListLock);
    m_passTime.store(Platform::PerformanceCounter(), std::memory_order_relaxed);
    Choice chosen;
    if (AutomaticStreamsPaused())
        chosen = ChooseAmongStreams(true);
    else
    {
        chosen = ChooseAmongStreams(false);
        if (!chosen.stream)
            chosen = ChooseCachingStream();
    }
    return ZkScheduledStream(chosen.stream, chosen.deadlineMs);
}

// Walks the stream list (reclaiming destroyed streams on the way). With standardOnly (automatic
// streams paused for lack of I/O memory) automatic streams are passed over and the first ready
// standard stream may be chosen; otherwise a stream is returned only when it needs I/O.
CZkStreamDevice::Choice CZkStreamDevice::ChooseAmongStreams(bool standardOnly)
{
    Candidate choice;
    CZkStreamTask* previous = nullptr;
    CZkStreamTask* stream = m_streams;
    while (stream)
    {
        CZkStreamTask* next = stream->Next();
        if (ReclaimIfDestroyed(m_streams, previous, stream))
        {
            stream = next;
            continue;
        }
        previous = stream;
        Candidate candidate;
        if ((standardOnly && stream->IsAutomatic()) || !ReadCandidate(stream, PassTime(), candidate))
        {
            stream = next;
            continue;
        }
        if (!choice.stream)
            choice = candidate;
        else if (!standardOnly && candidate.needsIO != choice.needsIO)
        {
            if (candidate.needsIO)
                choice = candidate; // a stream that needs I/O wins over one that does not
        }
        else if (ReplacesChoice(choice, candidate))
            choice = candidate;
        stream = next;
    }
    if (!choice.stream || (!standardOnly && !choice.needsIO))
        return {};
    return {choice.stream, choice.deadlineMs};
}

// Pinned files are cached only when no ordinary stream needs I/O. Keeps the bytes that caching
// streams hold within the device's pinnedBytesLimit by stopping those of lower priority.
CZkStreamDevice::Choice CZkStreamDevice::ChooseCachingStream()
{
    uint64_t held = 0;
    bool removedAny = false;
    CZkStreamTask* previous = nullptr;
    CZkStreamTask* stream = m_cachingStreams;
    while (stream)
    {
        CZkStreamTask* next = stream->Next();
        if (ReclaimIfDestroyed(m_cachingStreams, previous, stream))
            removedAny = true;
        else
        {
            held += stream->GetBufferedBytes();
            previous = stream;
        }
        stream = next;
    }
    if (removedAny)
        ResumeAllCaching();

    CZkStreamTask* candidate = nullptr;
    for (stream = m_cachingStreams; stream; stream = stream->Next())
    {
        if (stream->IsRegisteredForIO() && (!candidate || stream->Priority() > candidate->Priority()))
            candidate = stream;
    }

    if (candidate)
    {
        const int64_t buffered = candidate->GetBufferedBytes();
        const int64_t cacheSize = candidate->GetNominalBuffering();
        const int64_t missing = cacheSize - buffered;
        const auto exceeded = [&] { return static_cast<int64_t>(m_pinnedBytesLimit) < static_cast<int64_t>(held) + missing; };
        while (exceeded())
        {
            CZkStreamTask* victim = nullptr;
            for (stream = m_cachingStreams; stream; stream = stream->Next())
            {
                if (stream->GetBufferedBytes() == 0 || stream->Priority() >= candidate->Priority())
                    continue;
                if (!victim || stream->Priority() < victim->Priority())
                    victim = stream;
            }
            if (!victim)
                break;
            const uint32_t released = victim->StopCaching(missing > 0 ? static_cast<uint32_t>(missing) : 0u);
            held -= released < held ? released : held;
            // A stream that gives nothing back would be chosen again and again.
            if (released == 0)
                break;
        }
        if (exceeded())
        {
            candidate->StopCaching(0);
            candidate = nullptr;
        }
    }

    m_pinnedBytesInUse = held > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(held);
    if (!candidate)
        return {};
    return {candidate, candidate->EffectiveDeadline()};
}
} // namespace ZK::StreamMgr
