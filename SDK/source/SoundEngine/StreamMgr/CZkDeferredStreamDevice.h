// CZkDeferredStreamDevice: the stream device that gathers up to its free transfer slots into
// batches for a deferred hook, which completes them later through a callback.
//
// Not built yet: its Init (transfer records), streams and transfers. Init answers 4 (not
// implemented), so CreateDevice refuses a deferred device (0xFFFFFFFF) until they exist.
//
// Threading and ownership: as CZkStreamDevice.
#pragma once

#include "StreamMgr/CZkStreamDevice.h"

namespace ZK::StreamMgr
{
class CZkDeferredStreamDevice final : public CZkStreamDevice
{
public:
    explicit CZkDeferredStreamDevice(IZkLowLevelIOHook* hook) : CZkStreamDevice(hook) {}

    ZKRESULT Init(const ZkDeviceSettings& settings, uint32_t deviceId) override;
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
