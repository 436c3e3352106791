// The state-group and switch-group sections of a "STMG" chunk over arbitrary bytes (the first byte
// chooses the section): each is read within its bytes, or refused with 7 having applied nothing.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kp::fuzz::StartSoundMemory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    if (size == 0)
        return 0;
    kp::fuzz::GameSyncScope scope;
    ZK::ZkByteCursor cursor(data + 1, size - 1);
    if ((data[0] & 1) == 0)
    {
        const ZKRESULT result = g_pStateMgr->ReadStateGroupSection(cursor);
        if (result == ZK_InvalidFile && g_pStateMgr->GroupCount() != 0)
            std::abort();
    }
    else
    {
        const ZKRESULT result = g_pSwitchMgr->ReadSwitchGroupSection(cursor);
        if (result == ZK_InvalidFile && g_pSwitchMgr->GroupCount() != 0)
            std::abort();
    }
    return 0;
}
