// Files pinned in the stream cache: one caching stream per file id, kept while any pin holds it,
// running at the highest priority among the pins.
#include "StreamMgr/CZkStreamMgr.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "StreamMgr/CZkStreamDevice.h"
#include "StreamMgr/CZkStreamTask.h"
#include "StreamMgr/StreamMgrDevices.h"

#include <cwchar>

namespace ZK::StreamMgr
{
namespace
{
constexpr size_t kFileIdNameChars = 11; // "%u" of a 32-bit id and its terminator
constexpr float kPercent = 100.0f;

void FreePinnedFile(ZkPinnedFile* pinned)
{
    pinned->FreePriorities();
    ZK::MemoryMgr::Free(ZkMemID_Default, pinned);
}
} // namespace

int32_t CZkStreamMgr::FindPinnedFile(uint32_t fileId) const
{
    for (uint32_t index = 0; index < m_pinnedFiles.Count(); ++index)
    {
        if (m_pinnedFiles[index].fileId == fileId)
            return static_cast<int32_t>(index);
    }
    return -1;
}

void CZkStreamMgr::ApplyHighestPriority(ZkPinnedFile& pinned)
{
    auto* task = dynamic_cast<CZkStreamTask*>(pinned.cachingStream);
    if (task && task->Device())
        task->Device()->SetCachingStreamPriority(task, static_cast<uint8_t>(pinned.HighestPriority()));
}

ZKRESULT CZkStreamMgr::PinFileInCache(uint32_t fileId, ZkFileOpenFlags* flags, int8_t priority)
{
    const int32_t found = FindPinnedFile(fileId);
    if (found >= 0)
    {
        ZkPinnedFile& pinned = *m_pinnedFiles[static_cast<uint32_t>(found)].pinnedFile;
        if (!pinned.AppendPriority(priority))
            return ZK_Fail;
        ++pinned.pinCount;
        ApplyHighestPriority(pinned);
        return ZK_Success;
    }

    if (!m_pinnedFiles.Append({fileId, nullptr}))
        return ZK_Fail;
    const uint32_t entry = m_pinnedFiles.Count() - 1;
    auto* pinned = static_cast<ZkPinnedFile*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(ZkPinnedFile)));
    if (!pinned)
    {
        m_pinnedFiles.RemoveAt(entry);
        return ZK_Fail;
    }
    *pinned = ZkPinnedFile{};
    m_pinnedFiles[entry].pinnedFile = pinned;

    IZkAutomaticStream* stream = nullptr;
    if (CreateCachingStream(fileId, flags, priority, stream) != ZK_Success)
    {
        FreePinnedFile(pinned);
        m_pinnedFiles.RemoveAt(entry);
        return ZK_Fail;
    }
    pinned->cachingStream = stream;
    pinned->AppendPriority(priority); // the record has room for its first priority
    pinned->pinCount = 1;
    wchar_t name[kFileIdNameChars];
    std::swprintf(name, kFileIdNameChars, L"%u", fileId);
    stream->SetStreamName(name);
    stream->Start();
    return ZK_Success;
}

ZKRESULT CZkStreamMgr::UnpinFileInCache(uint32_t fileId, int8_t priority)
{
    const int32_t found = FindPinnedFile(fileId);
    if (found < 0)
        return ZK_Fail;
    const auto entry = static_cast<uint32_t>(found);
    ZkPinnedFile* pinned = m_pinnedFiles[entry].pinnedFile;
    pinned->RemoveFirstPriority(priority);
    if (pinned->pinCount-- == 1)
    {
        pinned->cachingStream->Destroy();
        FreePinnedFile(pinned);
        m_pinnedFiles.RemoveAt(entry);
        return ZK_Success;
    }
    ApplyHighestPriority(*pinned);
    return ZK_Fail; // still pinned by others
}

ZKRESULT CZkStreamMgr::UpdateCachingPriority(uint32_t fileId, int8_t newPriority, int8_t oldPriority)
{
    const int32_t found = FindPinnedFile(fileId);
    if (found < 0)
        return ZK_Fail;
    ZkPinnedFile& pinned = *m_pinnedFiles[static_cast<uint32_t>(found)].pinnedFile;
    if (!pinned.ReplaceFirstPriority(oldPriority, newPriority))
        return ZK_Fail;
    ApplyHighestPriority(pinned);
    return ZK_Success;
}

ZKRESULT CZkStreamMgr::GetBufferStatusForPinnedFile(uint32_t fileId, float& percentBuffered, bool& cacheFull)
{
    percentBuffered = 0.0f;
    cacheFull = false;
    const int32_t found = FindPinnedFile(fileId);
    if (found < 0)
        return ZK_Fail;
    IZkAutomaticStream* stream = m_pinnedFiles[static_cast<uint32_t>(found)].pinnedFile->cachingStream;

    uint32_t buffered = 0;
    const ZKRESULT status = stream->QueryBufferingStatus(buffered);
    if (status == ZK_Fail)
        return ZK_Fail;
    uint64_t wanted = stream->GetNominalBuffering();
    if (wanted == 0)
        return ZK_Success;
    ZkStreamInfo info{};
    stream->GetInfo(info);
    if (info.size > 0 && wanted > static_cast<uint64_t>(info.size))
        wanted = static_cast<uint64_t>(info.size);
    percentBuffered = static_cast<float>(buffered) / static_cast<float>(wanted) * kPercent;
    if (buffered < wanted)
    {
        auto* task = dynamic_cast<CZkStreamTask*>(stream);
        if (CZkStreamDevice* device = task ? task->Device() : nullptr)
        {
            const int64_t room = static_cast<int64_t>(device->PinnedBytesLimit()) - device->PinnedBytesInUse();
            cacheFull = room < static_cast<int64_t>(wanted - buffered);
        }
    }
    return ZK_Success;
}

void CZkStreamMgr::ReleasePinnedFiles()
{
    for (uint32_t index = 0; index < m_pinnedFiles.Count(); ++index)
    {
        ZkPinnedFile* pinned = m_pinnedFiles[index].pinnedFile;
        if (pinned->cachingStream)
            pinned->cachingStream->Destroy();
        FreePinnedFile(pinned);
    }
    m_pinnedFiles.Term();
}
} // namespace ZK::StreamMgr
