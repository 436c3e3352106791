#include "MusicEngine/Midi/CZkMidiTrackReader.h"

#include "MusicEngine/Midi/ZkMidiTrackEvent.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace ZK::MusicEngine
{
namespace
{
constexpr float kMsPerMinute = 60000.0f;
// 2^32: the first tick count that does not fit the reader's 32-bit ticks (exact as a float).
constexpr float kTickRange = 4294967296.0f;
constexpr uint32_t kMaxTick = std::numeric_limits<uint32_t>::max();

bool IsUsableTempo(float quarterNotesPerMinute)
{
    return std::isfinite(quarterNotesPerMinute) && quarterNotesPerMinute >= 0.0f;
}

// A tick count from a float: false for negative, non-finite, or 2^32 and more.
bool WholeTicks(float ticks, uint32_t& whole)
{
    if (!(ticks >= 0.0f && ticks < kTickRange))
        return false;
    whole = static_cast<uint32_t>(std::floor(ticks));
    return true;
}
} // namespace

ZKRESULT CZkMidiTrackReader::Init(const uint8_t* data, uint32_t length)
{
    *this = CZkMidiTrackReader{};
    if (data == nullptr || length == 0)
        return ZK_Fail;
    m_flags = kFlagHasData;
    if (length < kHeaderBytes)
        return ZK_Fail;
    const uint16_t ticksPerQuarter = static_cast<uint16_t>((data[0] << 8) | data[1]);
    const uint32_t tempoBits = static_cast<uint32_t>(data[2]) | (static_cast<uint32_t>(data[3]) << 8) |
                               (static_cast<uint32_t>(data[4]) << 16) | (static_cast<uint32_t>(data[5]) << 24);
    float tempo = 0.0f;
    std::memcpy(&tempo, &tempoBits, sizeof(tempo));
    // A tempo of 0 is kept (nothing moves until a tempo property gives one); a negative or
    // non-finite one would make every tick count meaningless.
    if (ticksPerQuarter == 0 || !IsUsableTempo(tempo))
        return ZK_Fail;
    m_data = data;
    m_length = length;
    m_ticksPerQuarter = ticksPerQuarter;
    m_tempo = tempo;
    m_eventsStart = data + kHeaderBytes;
    m_eventsEnd = data + length;
    ComputeTickLengths();
    m_flags |= kFlagValid;
    if (!Restart() && m_eventsStart != m_eventsEnd)
    {
        m_flags &= ~kFlagValid;
        return ZK_Fail;
    }
    return ZK_Success;
}

void CZkMidiTrackReader::ComputeTickLengths()
{
    const float ticksPerMinute = static_cast<float>(m_ticksPerQuarter) * m_tempo;
    // At tempo 0 (or one so large that the product is no number) nothing moves: no offset is ever
    // computed from msPerTick then.
    if (ticksPerMinute > 0.0f && std::isfinite(ticksPerMinute))
    {
        m_msPerTick = kMsPerMinute / ticksPerMinute;
        m_ticksPerMs = ticksPerMinute / kMsPerMinute;
    }
    else
    {
        m_msPerTick = 0.0f;
        m_ticksPerMs = 0.0f;
    }
}

void CZkMidiTrackReader::EndTrack()
{
    m_current = nullptr;
    m_currentDelta = kNoDelta;
    m_currentLength = 0;
}

bool CZkMidiTrackReader::ReadAt(const uint8_t* position)
{
    uint32_t delta = 0;
    ZkMidiTrackEvent event;
    uint8_t runningStatus = m_runningStatus;
    if (!ZkMidiTrackBytes::ReadVariableLength(position, m_eventsEnd, delta) ||
        !ZkMidiTrackBytes::ReadEvent(position, m_eventsEnd, runningStatus, event))
    {
        EndTrack();
        return false;
    }
    m_current = position;
    m_currentDelta = delta;
    m_currentLength = event.length;
    m_currentStatus = event.status;
    m_currentData1 = event.data1;
    m_currentData2 = event.data2;
    m_runningStatus = runningStatus;
    return true;
}

bool CZkMidiTrackReader::Restart()
{
    m_runningStatus = 0;
    m_eventNumber = 0;
    m_currentTick = 0;
    m_passMoved = false;
    if (!IsValid() || !ReadAt(m_eventsStart))
        return false;
    m_currentTick = m_currentDelta;
    m_passMoved = m_currentDelta != 0;
    return true;
}

bool CZkMidiTrackReader::Next()
{
    if (!HasCurrentEvent())
        return false;
    const uint8_t* following = m_current + m_currentLength;
    bool restarted = false;
    if (following == m_eventsEnd)
    {
        // A pass that moved no tick would restart for ever without reaching any target.
        if ((m_flags & kFlagLoop) == 0 || !m_passMoved)
        {
            EndTrack();
            return false;
        }
        m_runningStatus = 0;
        m_passMoved = false;
        following = m_eventsStart;
        restarted = true;
    }
    if (!ReadAt(following))
        return false; // malformed: the track ends here, looping or not
    if (m_currentDelta > kMaxTick - m_currentTick)
    {
        EndTrack(); // past the last tick the reader can count
        return false;
    }
    m_currentTick += m_currentDelta;
    m_passMoved = m_passMoved || m_currentDelta != 0;
    ++m_eventNumber;
    return restarted;
}

ZkMidiChannelMessage CZkMidiTrackReader::CurrentMessage() const
{
    ZkMidiChannelMessage message;
    message.type = m_currentStatus & 0xF0;
    message.channel = m_currentStatus & 0x0F;
    message.data1 = m_currentData1;
    message.data2 = m_currentData2;
    if (message.type == 0x90 && message.data2 == 0)
        message.type = 0x80;
    return message;
}

void CZkMidiTrackReader::Advance(float spanMs, ZkMidiDueList& due)
{
    const float ticks = spanMs * m_ticksPerMs + m_fractionalTick;
    uint32_t whole = 0;
    if (!WholeTicks(ticks, whole) || whole > kMaxTick - m_targetTick)
        return;
    m_fractionalTick = ticks - static_cast<float>(whole);
    const uint32_t spanStart = m_targetTick;
    m_targetTick += whole;
    while (HasCurrentEvent() && m_currentTick < m_targetTick)
    {
        if (m_currentStatus >= 0x80 && m_currentStatus < 0xF0)
        {
            const uint32_t ticksIntoSpan = m_currentTick > spanStart ? m_currentTick - spanStart : 0;
            due.Append(CurrentMessage(), static_cast<float>(ticksIntoSpan) * m_msPerTick, m_eventNumber);
        }
        Next();
    }
}

ZKRESULT CZkMidiTrackReader::Seek(float ms)
{
    uint32_t target = 0;
    if (!IsValid() || !WholeTicks(ms * m_ticksPerMs, target))
        return ZK_Fail;
    Restart();
    m_targetTick = target;
    const uint32_t firstTick = m_currentTick;
    bool passesSkipped = false;
    while (HasCurrentEvent() && m_currentTick < target)
    {
        if (Next() && !passesSkipped)
        {
            // One whole pass is known: its ticks and events. The passes that fit before the target
            // are taken at once, so a far seek into a short loop does not walk every pass.
            passesSkipped = true;
            const uint32_t passTicks = m_currentTick - firstTick;
            if (passTicks > 0 && m_currentTick < target)
            {
                const uint32_t passes = (target - m_currentTick) / passTicks;
                m_currentTick += passes * passTicks;
                m_eventNumber += static_cast<uint32_t>(static_cast<uint64_t>(passes) * m_eventNumber);
            }
        }
    }
    return HasCurrentEvent() ? ZK_Success : ZK_Fail;
}

void CZkMidiTrackReader::Reset()
{
    Restart();
    m_targetTick = 0;
    m_fractionalTick = 0.0f;
}

void CZkMidiTrackReader::SaveState(ZkMidiReaderState& state) const
{
    state.eventNumber = m_eventNumber;
    state.currentTick = m_currentTick;
    state.targetTick = m_targetTick;
    state.fractionalTick = m_fractionalTick;
}

void CZkMidiTrackReader::RestoreState(const ZkMidiReaderState& state)
{
    if (!IsValid())
        return;
    Restart();
    uint32_t remaining = state.eventNumber;
    bool passKnown = false;
    while (remaining > 0 && HasCurrentEvent())
    {
        --remaining;
        // Every pass starts at the first event and reads alike: whole passes change nothing.
        if (Next() && !passKnown)
        {
            passKnown = true;
            remaining %= m_eventNumber;
        }
    }
    m_eventNumber = state.eventNumber;
    m_currentTick = state.currentTick;
    m_targetTick = state.targetTick;
    m_fractionalTick = state.fractionalTick;
}

void CZkMidiTrackReader::SetTempo(float quarterNotesPerMinute)
{
    if (IsUsableTempo(quarterNotesPerMinute) && quarterNotesPerMinute != 0.0f)
        m_tempo = quarterNotesPerMinute;
    ComputeTickLengths();
}

void CZkMidiTrackReader::Relocate(const uint8_t* newData)
{
    if (m_data == nullptr || newData == nullptr || newData == m_data)
        return;
    // Offsets from the old start rather than a difference of unrelated addresses.
    m_eventsStart = newData + (m_eventsStart - m_data);
    m_eventsEnd = newData + (m_eventsEnd - m_data);
    if (m_current != nullptr)
        m_current = newData + (m_current - m_data);
    m_data = newData;
}

void CZkMidiTrackReader::SetLoop(bool loop)
{
    if (loop)
        m_flags |= kFlagLoop;
    else
        m_flags &= ~kFlagLoop;
}

bool CZkMidiTrackReader::GetNextEvent(ZkMidiChannelMessage& message, uint32_t& eventNumber)
{
    bool restartedOnce = false;
    while (HasCurrentEvent())
    {
        if (m_currentStatus >= 0x80 && m_currentStatus < 0xF0)
        {
            message = CurrentMessage();
            eventNumber = m_eventNumber;
            Next();
            return true;
        }
        // A second restart means a whole pass without a channel message: a looping track of
        // system-exclusive and meta events only.
        if (Next())
        {
            if (restartedOnce)
                return false;
            restartedOnce = true;
        }
    }
    return false;
}
} // namespace ZK::MusicEngine
