// The bank reader's reads: the double buffer over a stream, direct reads of large blocks, skips and
// whole item bodies.
#include "ZkAudiolib/Common/Banks/BankReader.h"

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
void BankReader::Consume(uint32_t count)
{
    if (m_memory != nullptr)
        m_memory += count;
    else
        m_cursor += count;
    m_remaining[m_current] -= count;
    m_consumed += count;
}

bool BankReader::SwitchToOtherBuffer()
{
    const uint32_t other = 1 - m_current;
    if (m_stream->WaitForPendingOperation() == ZK_StreamStatusError)
        return false;
    // Count only the bytes the read moved: the file may have become shorter since it was opened.
    const uint64_t moved = m_stream->GetPosition(nullptr) - m_issuePosition;
    if (moved < m_remaining[other])
    {
        m_remaining[other] = static_cast<uint32_t>(moved);
        m_fileEnded = true;
    }
    m_current = other;
    m_cursor = m_buffers[other];
    return true;
}

bool BankReader::IssueRead()
{
    const uint32_t other = 1 - m_current;
    if (m_fileEnded)
    {
        m_remaining[other] = 0;
        return true;
    }
    const uint32_t size = m_bufferSize / m_blockSize * m_blockSize;
    m_issuePosition = m_stream->GetPosition(nullptr);
    uint32_t reported = 0;
    const float deadlineMs = static_cast<float>(size) / m_throughput;
    if (m_stream->Read(m_buffers[other], size, false, m_priority, deadlineMs, reported) != ZK_Success)
    {
        m_remaining[other] = 0;
        return false;
    }
    m_remaining[other] = reported;
    return true;
}

ZKRESULT BankReader::Read(void* destination, uint32_t n, uint32_t& bytesRead)
{
    bytesRead = 0;
    auto* out = static_cast<uint8_t*>(destination);
    while (bytesRead < n)
    {
        if (m_remaining[m_current] > 0)
        {
            const uint32_t count = std::min(m_remaining[m_current], n - bytesRead);
            std::memcpy(out + bytesRead, m_memory != nullptr ? m_memory : m_cursor, count);
            Consume(count);
            bytesRead += count;
            continue;
        }
        if (m_stream == nullptr)
            break;
        if (m_remaining[1 - m_current] > 0 && !SwitchToOtherBuffer())
            return ZK_ShortBankRead;
        const uint32_t wanted = n - bytesRead;
        uint32_t added = 0;
        if (wanted < m_bufferSize)
        {
            // Refill the free buffer while the current one (if it just became current) is consumed.
            if (!IssueRead())
                return ZK_ShortBankRead;
            added = m_remaining[1 - m_current];
        }
        else if (m_remaining[m_current] == 0)
        {
            // A large request goes straight into the destination, whole blocks at a time.
            const uint32_t direct = wanted / m_blockSize * m_blockSize;
            uint32_t got = 0;
            if (!m_fileEnded)
            {
                const float deadlineMs = static_cast<float>(direct) / m_throughput;
                if (m_stream->Read(out + bytesRead, direct, true, m_priority, deadlineMs, got) != ZK_Success ||
                    m_stream->GetStatus() != ZK_StreamStatusCompleted)
                    return ZK_ShortBankRead;
                m_fileEnded = uint64_t{got} < std::min<uint64_t>(direct, BytesLeft());
            }
            bytesRead += got;
            m_consumed += got;
            added = got;
        }
        if (added == 0 && m_remaining[m_current] == 0)
            break;
    }
    return ZK_Success;
}

ZKRESULT BankReader::ReadExact(void* destination, uint32_t n)
{
    uint32_t bytesRead = 0;
    const ZKRESULT result = Read(destination, n, bytesRead);
    if (result != ZK_Success)
        return result;
    return bytesRead == n ? ZK_Success : ZK_ShortBankRead;
}

ZKRESULT BankReader::Skip(uint32_t n, uint32_t& bytesSkipped)
{
    bytesSkipped = 0;
    while (bytesSkipped < n)
    {
        if (m_remaining[m_current] > 0)
        {
            const uint32_t count = std::min(m_remaining[m_current], n - bytesSkipped);
            Consume(count);
            bytesSkipped += count;
            continue;
        }
        if (m_stream == nullptr)
            break;
        if (m_stream->WaitForPendingOperation() == ZK_StreamStatusError)
            return ZK_ShortBankRead;
        if (m_remaining[1 - m_current] > 0)
        {
            if (!SwitchToOtherBuffer())
                return ZK_ShortBankRead;
            continue;
        }
        // Move the stream itself, whole blocks at a time, never past the end of the file.
        const uint64_t fileLeft = BytesLeft();
        const uint64_t still = std::min<uint64_t>(n - bytesSkipped, fileLeft);
        int64_t moved = 0;
        if (still >= m_blockSize &&
            m_stream->SetPosition(static_cast<int64_t>(still), ZK_MoveCurrent, &moved) != ZK_Success)
            return ZK_ShortBankRead;
        if (moved > 0)
        {
            bytesSkipped += static_cast<uint32_t>(moved);
            m_consumed += static_cast<uint64_t>(moved);
            continue;
        }
        if (fileLeft == 0)
            break;
        // Less than a block to skip: read a buffer and skip inside it.
        if (!IssueRead())
            return ZK_ShortBankRead;
        if (m_remaining[1 - m_current] == 0)
            break;
    }
    return ZK_Success;
}

const uint8_t* BankReader::GetData(uint32_t n)
{
    // An item that begins the buffer read in the background is handed out from there.
    if (m_stream != nullptr && m_remaining[m_current] == 0 && m_remaining[1 - m_current] > 0 &&
        !SwitchToOtherBuffer())
        return nullptr;
    if (m_remaining[m_current] >= n)
    {
        const uint8_t* data = m_memory != nullptr ? m_memory : m_cursor;
        Consume(n);
        return data;
    }
    // A memory bank holds nothing more; a file cannot give more than it has left.
    if (m_memory != nullptr || BytesLeft() < n)
        return nullptr;
    // The bytes that come from the next buffer land on a 32-byte boundary.
    const uint32_t head = m_remaining[m_current] % kBufferAlignment;
    const uint32_t lead = head == 0 ? 0 : kBufferAlignment - head;
    auto* block = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(kPool, size_t{n} + lead, kBufferAlignment));
    if (block == nullptr)
        return nullptr;
    uint32_t bytesRead = 0;
    if (Read(block + lead, n, bytesRead) != ZK_Success || bytesRead != n)
    {
        ZK::MemoryMgr::Free(kPool, block);
        return nullptr;
    }
    ReleaseData();
    m_temporary = block;
    return block + lead;
}

void BankReader::ReleaseData()
{
    if (m_temporary != nullptr)
        ZK::MemoryMgr::Free(kPool, m_temporary);
    m_temporary = nullptr;
}
} // namespace ZK::SoundEngine
