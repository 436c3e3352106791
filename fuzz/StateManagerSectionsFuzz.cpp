// The state-group and switch-group sections of a "STMG" chunk over arbitrary bytes (the first byte
// chooses the section): each is read within its bytes, or refused with 7 having applied nothing.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <cstddef>
#include <cstdint>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    if (size == 0)
        return 0;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    ZK::ZkByteCursor cursor(data + 1, size - 1);
    if ((data[0] & 1) == 0)
    {
        if (g_pStateMgr->ReadStateGroupSection(cursor) == ZK_InvalidFile)
            Check(g_pStateMgr->GroupCount() == 0);
    }
    else if (g_pSwitchMgr->ReadSwitchGroupSection(cursor) == ZK_InvalidFile)
    {
        Check(g_pSwitchMgr->GroupCount() == 0);
    }
    return 0;
}
