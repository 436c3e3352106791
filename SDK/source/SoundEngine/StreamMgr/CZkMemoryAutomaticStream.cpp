#include "StreamMgr/CZkMemoryAutomaticStream.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>


#include <cwchar>
#include <limits>

namespace ZK::StreamMgr
{
namespace
{
constexpr uint64_t kMaxU32 = std::numeric_limits<uint32_t>::max();

uint32_t ClampToU32(uint64_t value)
{
    return value > kMaxU32 ? static_cast<uint32_t>(kMaxU32) : static_cast<uint32_t>(value);
}
} // namespace

CZkMemoryAutomaticStream::CZkMemoryAutomaticStream(void* memory, uint64_t size,
                                                   const ZkAutomaticStreamHeuristics& heuristics)
    : m_heuristics(heuristics), m_memory(static_cast<char*>(memory)), m_size(size)
{
}

void CZkMemoryAutomaticStream::Destroy()
{
    if (m_name)
        ZK::MemoryMgr::Free(ZkMemID_StreamMgr, m_name);
    m_name = nullptr;
    void* memory = this;
    this->~CZkMemoryAutomaticStream();
    ZK::MemoryMgr::Free(ZkMemID_StreamMgr, memory);
}

void CZkMemoryAutomaticStream::GetInfo(ZkStreamInfo& info)
{
    info.deviceId = ZK_InvalidDeviceID;
    info.name = m_name;
    info.size = static_cast<int64_t>(m_size);
    info.isOpen = true;
}

ZKRESULT CZkMemoryAutomaticStream::SetHeuristics(const ZkAutomaticStreamHeuristics& heuristics)
{
    m_heuristics = heuristics;
    return ZK_Success;
}

ZKRESULT CZkMemoryAutomaticStream::SetMinimalBufferSize(uint32_t bytes)
{
    m_minBufferSize = bytes;
    return ZK_Success;
}

ZKRESULT CZkMemoryAutomaticStream::SetMinTargetBufferSize(uint32_t bytes)
{
    m_minTargetBuffering = bytes;
    return ZK_Success;
}

ZKRESULT CZkMemoryAutomaticStream::SetStreamName(const wchar_t* name)
{
    wchar_t* copy = nullptr;
    if (name)
    {
        const size_t characters = std::wcslen(name) + 1;
        copy = static_cast<wchar_t*>(ZK::MemoryMgr::Malloc(ZkMemID_StreamMgr, characters * sizeof(wchar_t)));
        if (!copy)
            return ZK_InsufficientMemory;
        std::wmemcpy(copy, name, characters);
    }
    if (m_name)
        ZK::MemoryMgr::Free(ZkMemID_StreamMgr, m_name);
    m_name = copy;
    return ZK_Success;
}

ZKRESULT CZkMemoryAutomaticStream::QueryBufferingStatus(uint32_t& bufferedBytes)
{
    bufferedBytes = ClampToU32(Remaining());
    return ZK_NoMoreData;
}

uint32_t CZkMemoryAutomaticStream::GetNominalBuffering()
{
    return ClampToU32(Remaining());
}

uint64_t CZkMemoryAutomaticStream::GetPosition(bool* /*endOfFile*/)
{
    return m_position;
}

ZKRESULT CZkMemoryAutomaticStream::SetPosition(int64_t offset, uint32_t moveMethod, int64_t* realOffset)
{
    if (realOffset)
        *realOffset = 0;
    int64_t origin;
    switch (moveMethod)
    {
    case ZK_MoveBegin: origin = 0; break;
    case ZK_MoveCurrent: origin = static_cast<int64_t>(m_position); break;
    case ZK_MoveEnd: origin = static_cast<int64_t>(m_size); break;
    default: return ZK_InvalidParameter;
    }
    int64_t target;
    if (__builtin_add_overflow(origin, offset, &target) || target < 0)
        return ZK_InvalidParameter;
    m_position = static_cast<uint64_t>(target);
    if (realOffset)
        *realOffset = offset;
    return ZK_Success;
}

ZKRESULT CZkMemoryAutomaticStream::GetBuffer(void*& buffer, uint32_t& size, bool /*wait*/)
{
    // A position beyond the block hands out nothing rather than memory that is not the caller's.
    const uint64_t remaining = Remaining();
    buffer = remaining > 0 ? m_memory + m_position : nullptr;
    size = ClampToU32(remaining);
    ++m_handedOut;
    return ZK_NoMoreData;
}

ZKRESULT CZkMemoryAutomaticStream::ReleaseBuffer()
{
    if (m_handedOut == 0)
        return ZK_Fail;
    --m_handedOut;
    return ZK_Success;
}
} // namespace ZK::StreamMgr
