// The body of a bank's state object (item type 1) over arbitrary bytes: it is read within its size
// or refused with 7, and a bundle that was read holds exactly the count the body gave.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/StateProperties/CZkState.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kp::fuzz::StartSoundMemory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ZK::SoundEngine;
    kp::fuzz::GameSyncScope scope;
    CZkState* state = CZkState::Create(1);
    if (state == nullptr)
        std::abort();
    const ZKRESULT result = CZkState::ReadFromBank(state, data, static_cast<uint32_t>(size));
    if (result == ZK_Success)
    {
        uint16_t count = 0;
        std::memcpy(&count, data + 4, sizeof(count));
        if (state->Values().Length() != count)
            std::abort();
    }
    else if (result != ZK_InvalidFile && result != ZK_InsufficientMemory)
    {
        std::abort();
    }
    state->Release();
    return 0;
}
