// CZkMemoryAutomaticStream: the automatic-stream interface over a block of memory the caller owns
// (media already in memory). Every GetBuffer hands out the whole rest of the block from the
// current position, which does not move; no device, no I/O.
//
// Threading: used by one client thread at a time; no other party, so no lock.
// Ownership: created by the stream manager (memory id 7) and freed by Destroy; the block stays the
// caller's and must outlive the stream (SetMemoryStreamAddress replaces it when it moves).
#pragma once

#include <ZK/SoundEngine/Common/IZkAutomaticStream.h>

#include <cstdint>

namespace ZK::StreamMgr
{
class CZkMemoryAutomaticStream final : public IZkAutomaticStream
{
public:
    CZkMemoryAutomaticStream(void* memory, uint64_t size, const ZkAutomaticStreamHeuristics& heuristics);
    ~CZkMemoryAutomaticStream() override = default;

    void SetMemory(void* memory) { m_memory = static_cast<char*>(memory); }

    void Destroy() override;
    void GetInfo(ZkStreamInfo& info) override;
    ZkFileDescriptor* GetFileDescriptor() override { return nullptr; }
    void GetHeuristics(ZkAutomaticStreamHeuristics& heuristics) override { heuristics = m_heuristics; }
    ZKRESULT SetHeuristics(const ZkAutomaticStreamHeuristics& heuristics) override;
    ZKRESULT SetMinimalBufferSize(uint32_t bytes) override;
    ZKRESULT SetMinTargetBufferSize(uint32_t bytes) override;
    ZKRESULT SetStreamName(const wchar_t* name) override;
    uint32_t GetBlockSize() override { return 1; }
    ZKRESULT QueryBufferingStatus(uint32_t& bufferedBytes) override;
    uint32_t GetNominalBuffering() override;
    ZKRESULT Start() override { return ZK_Success; }
    ZKRESULT Stop() override { return ZK_Success; }
    uint64_t GetPosition(bool* endOfFile) override;
    ZKRESULT SetPosition(int64_t offset, uint32_t moveMethod, int64_t* realOffset) override;
    ZKRESULT GetBuffer(void*& buffer, uint32_t& size, bool wait) override;
    ZKRESULT ReleaseBuffer() override;

private:
    uint64_t Remaining() const { return m_position < m_size ? m_size - m_position : 0; }

    ZkAutomaticStreamHeuristics m_heuristics;
    uint32_t m_minBufferSize = 1;
    uint32_t m_minTargetBuffering = 1;
    char* m_memory;
    uint64_t m_size;
    uint64_t m_position = 0;
    uint16_t m_handedOut = 0;
    wchar_t* m_name = nullptr;
};
} // namespace ZK::StreamMgr
