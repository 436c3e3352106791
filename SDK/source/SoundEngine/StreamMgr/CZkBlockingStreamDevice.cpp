#include "StreamMgr/CZkBlockingStreamDevice.h"

namespace ZK::StreamMgr
{
void CZkBlockingStreamDevice::PerformIO()
{
    // Not built yet: no stream of this device exists to be served.
}

CZkStreamTask* CZkBlockingStreamDevice::NewStandardStream(ZkFileDescriptor* /*fileDesc*/, uint32_t /*openMode*/,
                                                          IZkStandardStream*& outStream)
{
    // Not built yet: the blocking standard stream.
    outStream = nullptr;
    return nullptr;
}

CZkStreamTask* CZkBlockingStreamDevice::NewAutomaticStream(ZkFileDescriptor* /*fileDesc*/, uint32_t /*cacheId*/,
                                                           const ZkAutomaticStreamHeuristics& /*heuristics*/,
                                                           const ZkAutomaticStreamBufferSettings* /*bufferSettings*/,
                                                           IZkAutomaticStream*& outStream)
{
    // Not built yet: the blocking automatic stream.
    outStream = nullptr;
    return nullptr;
}
} // namespace ZK::StreamMgr
