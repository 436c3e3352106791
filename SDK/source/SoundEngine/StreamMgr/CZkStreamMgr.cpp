#include "StreamMgr/CZkStreamMgr.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include "StreamMgr/CZkMemoryAutomaticStream.h"
#include "StreamMgr/CZkStreamTask.h"
#include "StreamMgr/StreamMgrAlloc.h"
#include "StreamMgr/StreamMgrDevices.h"
#include "StreamMgr/StreamMgrState.h"

namespace ZK
{
IZkStreamMgr* IZkStreamMgr::m_pStreamMgr = nullptr;
}

namespace ZK::StreamMgr
{
CZkStreamMgr::CZkStreamMgr() : m_pinnedFiles(ZkMemID_StreamMgr) {}

CZkStreamMgr::~CZkStreamMgr()
{
    ReleasePinnedFiles();
    if (IZkStreamMgr::m_pStreamMgr == this)
        IZkStreamMgr::m_pStreamMgr = nullptr;
}

void CZkStreamMgr::Destroy()
{
    SetFileLocationResolver(nullptr);
    // Pinned files first: a device waits, while it is destroyed, until every stream it owns was
    // destroyed, and the caching streams of pinned files are owned by this manager.
    ReleasePinnedFiles();
    DestroyAllDevices();
    FreeLanguageObservers();
    ZkDeleteObject(ZkMemID_StreamMgr, this);
}

ZKRESULT CZkStreamMgr::CreateAutomaticStreamOnMemory(void* memory, uint64_t size,
                                                     const ZkAutomaticStreamHeuristics& heuristics,
                                                     IZkAutomaticStream*& outStream)
{
    outStream = nullptr;
    if (!(heuristics.throughput >= 0.0f) || heuristics.priority > kMaxStreamPriority)
        return ZK_InvalidParameter;
    auto* stream = ZkNewObject<CZkMemoryAutomaticStream>(ZkMemID_StreamMgr, memory, size, heuristics);
    if (!stream)
        return ZK_InsufficientMemory;
    outStream = stream;
    return ZK_Success;
}

ZKRESULT CZkStreamMgr::SetMemoryStreamAddress(IZkAutomaticStream* memoryStream, void* memory)
{
    // Only a stream over memory has an address to replace.
    auto* stream = dynamic_cast<CZkMemoryAutomaticStream*>(memoryStream);
    if (!stream)
        return ZK_InvalidParameter;
    stream->SetMemory(memory);
    return ZK_Success;
}
} // namespace ZK::StreamMgr
