// A stream manager of the tests' own whose every operation fails: test doubles derive from it and
// answer the few operations their code under test calls.
#pragma once

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

namespace ZkEngineTest
{
class StubStreamMgr : public ZK::IZkStreamMgr
{
public:
    void Destroy() override {}
    void* GetStreamMgrProfile() override { return nullptr; }
    ZKRESULT CreateStandardStreamByID(uint32_t, ZkFileOpenFlags*, uint32_t, IZkStandardStream*&, bool) override
    {
        return ZK_Fail;
    }
    ZKRESULT CreateStandardStreamByName(const wchar_t*, ZkFileOpenFlags*, uint32_t, IZkStandardStream*&, bool) override
    {
        return ZK_Fail;
    }
    ZKRESULT CreateAutomaticStreamOnMemory(void*, uint64_t, const ZkAutomaticStreamHeuristics&,
                                           IZkAutomaticStream*&) override
    {
        return ZK_Fail;
    }
    ZKRESULT CreateAutomaticStreamByID(uint32_t, ZkFileOpenFlags*, const ZkAutomaticStreamHeuristics&,
                                       const ZkAutomaticStreamBufferSettings*, IZkAutomaticStream*&, bool) override
    {
        return ZK_Fail;
    }
    ZKRESULT CreateAutomaticStreamByName(const wchar_t*, ZkFileOpenFlags*, const ZkAutomaticStreamHeuristics&,
                                         const ZkAutomaticStreamBufferSettings*, IZkAutomaticStream*&, bool) override
    {
        return ZK_Fail;
    }
    ZKRESULT PinFileInCache(uint32_t, ZkFileOpenFlags*, int8_t) override { return ZK_Fail; }
    ZKRESULT UnpinFileInCache(uint32_t, int8_t) override { return ZK_Fail; }
    ZKRESULT UpdateCachingPriority(uint32_t, int8_t, int8_t) override { return ZK_Fail; }
    ZKRESULT GetBufferStatusForPinnedFile(uint32_t, float&, bool&) override { return ZK_Fail; }
    ZKRESULT SetMemoryStreamAddress(IZkAutomaticStream*, void*) override { return ZK_Fail; }
    ZKRESULT CreateCachingStream(uint32_t, ZkFileOpenFlags*, int8_t, IZkAutomaticStream*&) override { return ZK_Fail; }
};
} // namespace ZkEngineTest
