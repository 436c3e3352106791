#include "StreamMgr/CZkDeferredStreamDevice.h"

namespace ZK::StreamMgr
{
ZKRESULT CZkDeferredStreamDevice::Init(const ZkDeviceSettings& /*settings*/, uint32_t /*deviceId*/)
{
    return ZK_NotImplemented;
}

void CZkDeferredStreamDevice::PerformIO()
{
    // Not built yet; never started (Init refuses).
}

CZkStreamTask* CZkDeferredStreamDevice::NewStandardStream(ZkFileDescriptor* /*fileDesc*/, uint32_t /*openMode*/,
                                                          IZkStandardStream*& outStream)
{
    outStream = nullptr;
    return nullptr;
}

CZkStreamTask* CZkDeferredStreamDevice::NewAutomaticStream(ZkFileDescriptor* /*fileDesc*/, uint32_t /*cacheId*/,
                                                           const ZkAutomaticStreamHeuristics& /*heuristics*/,
                                                           const ZkAutomaticStreamBufferSettings* /*bufferSettings*/,
                                                           IZkAutomaticStream*& outStream)
{
    outStream = nullptr;
    return nullptr;
}
} // namespace ZK::StreamMgr
