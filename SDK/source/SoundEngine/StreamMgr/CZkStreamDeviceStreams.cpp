// Making the stream objects of a device: allocation with a second chance under memory pressure,
// then the stream's own set-up.
#include "StreamMgr/CZkAutomaticStream.h"
#include "StreamMgr/CZkStandardStream.h"
#include "StreamMgr/CZkStreamDevice.h"
#include "StreamMgr/StreamMgrAlloc.h"
#include "StreamMgr/StreamMgrDevices.h"

namespace ZK::StreamMgr
{
namespace
{
// Standard streams ask with the highest priority: a caller is waiting for their data.
constexpr uint8_t kStandardStreamPriority = kMaxStreamPriority;

template <typename T>
T* AllocateStream(CZkStreamDevice* device, ZkFileDescriptor* fileDesc, uint8_t priority)
{
    T* stream = ZkNewObject<T>(ZkMemID_StreamMgr, device, fileDesc);
    if (stream)
        return stream;
    ReleaseMemoryForStream(device, priority);
    return ZkNewObject<T>(ZkMemID_StreamMgr, device, fileDesc);
}
} // namespace

CZkStreamTask* CZkStreamDevice::MakeStandardStream(ZkFileDescriptor* fileDesc, IZkStandardStream*& outStream)
{
    outStream = nullptr;
    auto* stream = AllocateStream<CZkStandardStream>(this, fileDesc, kStandardStreamPriority);
    if (!stream)
        return nullptr;
    if (stream->Setup() != ZK_Success)
    {
        ZkDeleteObject(ZkMemID_StreamMgr, stream);
        return nullptr;
    }
    outStream = stream;
    return stream;
}

CZkStreamTask* CZkStreamDevice::MakeAutomaticStream(ZkFileDescriptor* fileDesc, uint32_t cacheId,
                                                    const ZkAutomaticStreamHeuristics& heuristics,
                                                    const ZkAutomaticStreamBufferSettings* bufferSettings,
                                                    IZkAutomaticStream*& outStream)
{
    outStream = nullptr;
    auto* stream = AllocateStream<CZkAutomaticStream>(this, fileDesc, heuristics.priority);
    if (!stream)
        return nullptr;
    if (stream->Setup(cacheId, heuristics, bufferSettings) != ZK_Success)
    {
        ZkDeleteObject(ZkMemID_StreamMgr, stream);
        return nullptr;
    }
    outStream = stream;
    return stream;
}
} // namespace ZK::StreamMgr
