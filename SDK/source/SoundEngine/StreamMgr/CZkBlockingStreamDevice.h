// CZkBlockingStreamDevice: the stream device that performs one transfer at a time on its I/O thread
// through a blocking hook (IZkIOHookBlocking). The device base gives it its thread, stream lists,
// I/O memory and scheduler.
//
// Not built yet: its standard and automatic stream classes and its transfer (PerformIO). Until they
// exist the device makes no stream (every open on it fails with 2) and, having no stream, is never
// asked for a transfer.
//
// Threading and ownership: as CZkStreamDevice.
#pragma once

#include "StreamMgr/CZkStreamDevice.h"

namespace ZK::StreamMgr
{
class CZkBlockingStreamDevice final : public CZkStreamDevice
{
public:
    explicit CZkBlockingStreamDevice(IZkLowLevelIOHook* hook) : CZkStreamDevice(hook) {}

    void PerformIO() override;

protected:
    CZkStreamTask* NewStandardStream(ZkFileDescriptor* fileDesc, uint32_t openMode,
                                     IZkStandardStream*& outStream) override;
    CZkStreamTask* NewAutomaticStream(ZkFileDescriptor* fileDesc, uint32_t cacheId,
                                      const ZkAutomaticStreamHeuristics& heuristics,
                                      const ZkAutomaticStreamBufferSettings* bufferSettings,
                                      IZkAutomaticStream*& outStream) override;
};
} // namespace ZK::StreamMgr
