// A stream manager of the tests' own whose automatic streams hand a media's bytes out in buffers of
// the sizes a test chooses (cycling through them), moving only to multiples of a block size and
// looping from the loop end of their heuristics back to its start, as the stream manager's own
// streams do. A chunk size of 0 stands for a call that finds nothing ready (46). Streams by id
// serve the bytes registered for that id; a stream may also be told to have no data ready for a
// number of calls. A stream reports every byte it has not handed out as buffered; it holds its
// nominal buffering once those reach the nominal size the test gave; its buffering status can be
// forced, and a read can be made to fail. The manager counts the streams alive.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/StubStreamMgr.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ZkSourceTest
{
class ChunkedStream final : public IZkAutomaticStream
{
public:
    ChunkedStream(const uint8_t* bytes, uint64_t size, std::vector<uint32_t> chunks, uint32_t blockSize, int& alive)
        : m_bytes(bytes), m_size(size), m_chunks(std::move(chunks)), m_blockSize(blockSize), m_alive(alive)
    {
        ++m_alive;
    }

    void Destroy() override
    {
        --m_alive;
        delete this;
    }
    void GetInfo(ZkStreamInfo& info) override { info = ZkStreamInfo{0, nullptr, static_cast<int64_t>(m_size), true}; }
    ZkFileDescriptor* GetFileDescriptor() override { return nullptr; }
    void GetHeuristics(ZkAutomaticStreamHeuristics& heuristics) override { heuristics = m_heuristics; }
    ZKRESULT SetHeuristics(const ZkAutomaticStreamHeuristics& heuristics) override
    {
        m_heuristics = heuristics;
        ++heuristicsSet;
        return ZK_Success;
    }
    ZKRESULT SetMinimalBufferSize(uint32_t bytes) override
    {
        minimalBuffer = bytes;
        return ZK_Success;
    }
    ZKRESULT SetMinTargetBufferSize(uint32_t) override { return ZK_Success; }
    ZKRESULT SetStreamName(const wchar_t*) override { return ZK_Success; }
    uint32_t GetBlockSize() override { return m_blockSize; }
    ZKRESULT QueryBufferingStatus(uint32_t& bufferedBytes) override
    {
        bufferedBytes = static_cast<uint32_t>(m_size - std::min(m_size, m_position));
        return bufferingStatus;
    }
    uint32_t GetNominalBuffering() override { return nominalBuffering; }
    ZKRESULT Start() override
    {
        ++starts;
        return ZK_Success;
    }
    ZKRESULT Stop() override { return ZK_Success; }
    uint64_t GetPosition(bool* endOfFile) override
    {
        if (endOfFile != nullptr)
            *endOfFile = m_position >= m_size;
        return m_position;
    }
    ZKRESULT SetPosition(int64_t offset, uint32_t, int64_t* realOffset) override
    {
        m_position = static_cast<uint64_t>(offset) / m_blockSize * m_blockSize;
        if (realOffset != nullptr)
            *realOffset = static_cast<int64_t>(m_position);
        ++positionsSet;
        return ZK_Success;
    }
    ZKRESULT GetBuffer(void*& buffer, uint32_t& size, bool wait) override
    {
        buffer = nullptr;
        size = 0;
        lastWait = wait;
        ++reads;
        if (failingRead != 0 && reads == failingRead)
            return ZK_Fail;
        if (notReadyCalls > 0)
        {
            --notReadyCalls;
            return ZK_NoDataReady;
        }
        if (m_position >= m_size)
            return ZK_NoMoreData;
        const uint32_t chunk = m_chunks[m_next++ % m_chunks.size()];
        if (chunk == 0)
            return ZK_NoDataReady;
        size = static_cast<uint32_t>(std::min<uint64_t>(chunk, m_size - m_position));
        buffer = const_cast<uint8_t*>(m_bytes + m_position);
        m_position += size;
        ++handedOut;
        if (m_heuristics.loopEnd != 0 && m_position >= m_heuristics.loopEnd)
            m_position = m_heuristics.loopStart / m_blockSize * m_blockSize;
        return m_position >= m_size ? ZK_NoMoreData : ZK_DataReady;
    }
    ZKRESULT ReleaseBuffer() override
    {
        if (handedOut == 0)
            return ZK_Fail;
        --handedOut;
        ++released;
        return ZK_Success;
    }

    uint32_t handedOut = 0;
    uint32_t released = 0;
    uint32_t starts = 0;
    uint32_t positionsSet = 0;
    uint32_t heuristicsSet = 0;
    uint32_t minimalBuffer = 0;
    // The bytes the stream holds once it has filled up; 0: as soon as it is open.
    uint32_t nominalBuffering = 0;
    uint32_t notReadyCalls = 0;
    ZKRESULT bufferingStatus = ZK_DataReady;
    uint32_t reads = 0;
    uint32_t failingRead = 0; // the read (counted from 1) that fails with 2; 0: none
    bool lastWait = false;

private:
    const uint8_t* m_bytes;
    uint64_t m_size;
    std::vector<uint32_t> m_chunks;
    uint32_t m_blockSize;
    int& m_alive;
    uint64_t m_position = 0;
    uint32_t m_next = 0;
    ZkAutomaticStreamHeuristics m_heuristics{};
};

class ChunkedStreamMgr final : public ZkEngineTest::StubStreamMgr
{
public:
    ChunkedStreamMgr() : m_saved(ZK::IZkStreamMgr::m_pStreamMgr) { ZK::IZkStreamMgr::m_pStreamMgr = this; }
    ~ChunkedStreamMgr() override { ZK::IZkStreamMgr::m_pStreamMgr = m_saved; }

    ZKRESULT CreateAutomaticStreamOnMemory(void* memory, uint64_t size, const ZkAutomaticStreamHeuristics&,
                                           IZkAutomaticStream*& stream) override
    {
        last = new ChunkedStream(static_cast<const uint8_t*>(memory), size, chunks, 1, alive);
        last->nominalBuffering = 0; // media in memory are there at once
        stream = last;
        return ZK_Success;
    }
    ZKRESULT CreateAutomaticStreamByID(uint32_t fileId, ZkFileOpenFlags* flags, const ZkAutomaticStreamHeuristics&,
                                       const ZkAutomaticStreamBufferSettings*, IZkAutomaticStream*& stream,
                                       bool) override
    {
        lastFileType = flags != nullptr ? flags->fileType : 0;
        const auto found = files.find(fileId);
        if (found == files.end())
            return ZK_FileNotFound;
        last = new ChunkedStream(found->second.data(), found->second.size(), chunks, blockSize, alive);
        last->nominalBuffering = nominalBuffering;
        stream = last;
        return ZK_Success;
    }
    ZKRESULT CreateAutomaticStreamByName(const wchar_t* fileName, ZkFileOpenFlags* flags,
                                         const ZkAutomaticStreamHeuristics&, const ZkAutomaticStreamBufferSettings*,
                                         IZkAutomaticStream*& stream, bool) override
    {
        lastFileType = flags != nullptr ? flags->fileType : 0;
        const auto found = named.find(fileName != nullptr ? fileName : L"");
        if (found == named.end())
            return ZK_FileNotFound;
        last = new ChunkedStream(found->second.data(), found->second.size(), chunks, blockSize, alive);
        last->nominalBuffering = nominalBuffering;
        stream = last;
        return ZK_Success;
    }
    ZKRESULT SetMemoryStreamAddress(IZkAutomaticStream*, void*) override { return ZK_Success; }

    std::map<uint32_t, std::vector<uint8_t>> files;
    std::map<std::wstring, std::vector<uint8_t>> named;
    std::vector<uint32_t> chunks{1u << 20};
    uint32_t blockSize = 1;
    uint32_t nominalBuffering = 0; // given to the streams of files it makes
    uint32_t lastFileType = 0;
    ChunkedStream* last = nullptr;
    int alive = 0;

private:
    ZK::IZkStreamMgr* m_saved = nullptr;
};
} // namespace ZkSourceTest
