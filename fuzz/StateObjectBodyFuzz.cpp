// The body of a bank's state object (item type 1) over arbitrary bytes: it is read within its size
// or refused with 7, and a bundle that was read holds exactly the count the body gave.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/StateProperties/CZkState.h"

#include <cstddef>
#include <cstdint>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    CZkState* state = CZkState::Create(1);
    Check(state != nullptr);
    const ZKRESULT result = CZkState::ReadFromBank(state, data, static_cast<uint32_t>(size));
    if (result == ZK_Success)
        Check(state->Values().Length() == ZK::LoadLittleEndian<uint16_t>(data + 4));
    else
        Check(result == ZK_InvalidFile || result == ZK_InsufficientMemory);
    state->Release();
    return 0;
}
