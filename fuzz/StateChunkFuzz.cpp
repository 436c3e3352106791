// The state chunk of a node's bank body over arbitrary bytes, against two known state groups and
// four loaded state objects: the chunk is applied, refused at a missing part (2, 16) or refused with
// 7 when it runs past its bytes, in which case the owner is linked to nothing.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/StateProperties/CZkState.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateProperties.h"

#include <cstddef>
#include <cstdint>

using kp::fuzz::Check;

namespace
{
using namespace ZK::SoundEngine;

class Owner : public CZkStateProperties
{
public:
    ~Owner() override
    {
        ClearTransitions();
        RemoveAllStateGroups(false);
    }
    bool OnStateTransitionStarted(uint16_t) override { return true; }
    void OnStateTransitionEnded() override {}
    bool EnsureStateStorage() override
    {
        m_hasStorage = true;
        return true;
    }
    ZkStateStorage* StateStorage() const override { return m_hasStorage ? &m_storage : nullptr; }

private:
    bool m_hasStorage = false;
    mutable ZkStateStorage m_storage;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    kp::fuzz::StartSoundMemory();
    kp::fuzz::GameSyncScope scope;
    g_pStateMgr->AddStateGroup(1);
    g_pStateMgr->AddStateGroup(2);
    CZkState* states[4] = {};
    for (ZkUniqueID id = 1; id <= 4; ++id)
        states[id - 1] = CZkState::Create(id);
    {
        Owner owner;
        ZK::ZkByteCursor cursor(data, size);
        const ZKRESULT result = owner.ReadStateChunk(cursor);
        if (result == ZK_InvalidFile)
            Check(owner.FindLink(1) == nullptr && owner.FindLink(2) == nullptr);
        else
            Check(result == ZK_Success || result == ZK_Fail || result == ZK_StateObjectNotLoaded ||
                  result == ZK_InsufficientMemory);
        // The links follow a state change through to the end of its transitions.
        g_pStateMgr->SetStateInternal(1, 1, false, false);
        g_pTransitionMgr->ProcessTransitions(1000);
    }
    for (CZkState* state : states)
    {
        if (state != nullptr)
            state->Release();
    }
    return 0;
}
