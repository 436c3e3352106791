// The bank reader's life cycle: opening a file or a memory bank, the buffer set-up, closing.
#include "ZkAudiolib/Common/Banks/BankReader.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"

#include "Platform/PlatformText.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

#include <algorithm>

namespace ZK::SoundEngine
{
ZKRESULT BankReader::Init()
{
    if (m_initialized)
        return ZK_Fail;
    Clear();
    m_throughput = kDefaultThroughput;
    m_priority = kDefaultPriority;
    m_initialized = true;
    return ZK_Success;
}

void BankReader::Term()
{
    Close();
    if (m_block != nullptr)
        ZK::MemoryMgr::Free(kPool, m_block);
    m_block = nullptr;
    m_buffers[0] = nullptr;
    m_buffers[1] = nullptr;
    m_bufferSize = 0;
    m_blockSize = 0;
    m_initialized = false;
}

void BankReader::SetIOSettings(float throughput, uint8_t priority)
{
    m_throughput = throughput;
    m_priority = priority;
}

void BankReader::Clear()
{
    m_cursor = nullptr;
    m_remaining[0] = 0;
    m_remaining[1] = 0;
    m_current = 0;
    m_memory = nullptr;
    m_issuePosition = 0;
    m_streamBytes = 0;
    m_consumed = 0;
    m_fileEnded = false;
}

ZKRESULT BankReader::OpenStream(uint32_t fileID, const wchar_t* name, uint32_t fileType, void*, bool languageSpecific)
{
    ZK::IZkStreamMgr* manager = ZK::IZkStreamMgr::m_pStreamMgr;
    if (manager == nullptr)
        return ZK_StreamMgrNotInitialized;
    // The open flags carry no custom parameter: the low-level I/O of this engine has no use for one.
    ZkFileOpenFlags flags;
    flags.idSpace = ZK_FileIdSpace32;
    flags.fileType = fileType;
    flags.cacheId = ZK_NoCacheID;
    flags.isLanguageSpecific = languageSpecific;
    const auto open = [&]() {
        return name != nullptr ? manager->CreateStandardStreamByName(name, &flags, ZK_OpenModeRead, m_stream, true)
                               : manager->CreateStandardStreamByID(fileID, &flags, ZK_OpenModeRead, m_stream, true);
    };
    ZKRESULT result = open();
    if (result != ZK_Success && languageSpecific)
    {
        flags.isLanguageSpecific = false;
        result = open();
    }
    if (result != ZK_Success)
        m_stream = nullptr;
    return result;
}

ZKRESULT BankReader::OpenByID(uint32_t fileID, uint64_t startOffset, uint32_t fileType, void* customParam,
                              bool languageSpecific)
{
    Close();
    const ZKRESULT opened = OpenStream(fileID, nullptr, fileType, customParam, languageSpecific);
    return opened == ZK_Success ? StartStream(startOffset) : opened;
}

ZKRESULT BankReader::OpenByName(const char* name, uint64_t startOffset, void* customParam)
{
    Close();
    if (name == nullptr)
        return ZK_InvalidParameter;
    wchar_t wideName[kMaxNameChars];
    if (ZK::Platform::Utf8ToWide(name, nullptr, 0) >= kMaxNameChars)
        return ZK_InvalidParameter;
    ZK::Platform::Utf8ToWide(name, wideName, kMaxNameChars);
    const ZKRESULT opened = OpenStream(0, wideName, ZK_FileTypeSoundBank, customParam, true);
    return opened == ZK_Success ? StartStream(startOffset) : opened;
}

ZKRESULT BankReader::StartStream(uint64_t startOffset)
{
    m_blockSize = m_stream->GetBlockSize();
    if (m_blockSize == 0)
        return ZK_Fail;
    if (m_bufferSize < m_blockSize)
    {
        if (m_block != nullptr)
            ZK::MemoryMgr::Free(kPool, m_block);
        m_block = nullptr;
        m_buffers[0] = nullptr;
        m_buffers[1] = nullptr;
        const uint32_t bufferSize = std::max(GetEngineSettings().bankReadBufferSize, m_blockSize);
        m_block = static_cast<uint8_t*>(ZK::MemoryMgr::Malign(kPool, size_t{bufferSize} * 2, kBufferAlignment));
        if (m_block == nullptr)
        {
            m_bufferSize = 0;
            return ZK_InsufficientMemory;
        }
        m_bufferSize = bufferSize;
    }
    m_buffers[0] = m_block;
    m_buffers[1] = m_block + m_bufferSize;

    ZkStreamInfo info{};
    m_stream->GetInfo(info);
    const uint64_t fileSize = info.size > 0 ? static_cast<uint64_t>(info.size) : 0;
    if (startOffset > fileSize)
        return ZK_Fail;
    m_streamBytes = fileSize;
    if (startOffset == 0)
        return ZK_Success;
    // The stream positions at a block boundary; the bytes from there to the offset are skipped.
    int64_t moved = 0;
    if (m_stream->SetPosition(static_cast<int64_t>(startOffset), ZK_MoveBegin, &moved) != ZK_Success)
        return ZK_Fail;
    const uint64_t reached = static_cast<uint64_t>(moved);
    m_streamBytes = fileSize - reached;
    const uint64_t rest = startOffset - reached;
    uint32_t skipped = 0;
    if (Skip(static_cast<uint32_t>(rest), skipped) != ZK_Success || skipped != rest)
        return ZK_Fail;
    m_streamBytes -= rest;
    m_consumed = 0;
    return ZK_Success;
}

ZKRESULT BankReader::SetMemory(const void* memory, uint32_t size)
{
    Close();
    m_memory = static_cast<const uint8_t*>(memory);
    m_remaining[0] = size;
    m_current = 0;
    return ZK_Success;
}

ZKRESULT BankReader::Close()
{
    ReleaseData();
    if (m_stream != nullptr)
    {
        m_stream->Cancel();
        m_stream->Destroy();
        m_stream = nullptr;
    }
    Clear();
    return ZK_Success;
}

uint64_t BankReader::BytesLeft() const
{
    if (m_memory != nullptr)
        return m_remaining[0];
    if (m_stream == nullptr)
        return 0;
    if (m_fileEnded)
        return uint64_t{m_remaining[0]} + m_remaining[1];
    return m_consumed < m_streamBytes ? m_streamBytes - m_consumed : 0;
}
} // namespace ZK::SoundEngine
