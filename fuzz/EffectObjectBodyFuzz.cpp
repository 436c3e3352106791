// The body of a bank's effect object (item types 16, 17 and 21) over arbitrary bytes: the first
// byte chooses the type (0: share set, 1: custom effect, else audio-device share set), the rest is
// the body. It is read within its size or refused (7; 2, 16 from the state chunk; 31 for a slot
// above 3; 52 out of memory; an unregistered plug-in is no refusal), and an object that was read
// fills a context, which is told a state and a game-parameter change and ended.
#include "support/GameSyncScope.h"

#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"

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
    CZkEffectObject* object = data[0] == 0   ? CZkEffectObject::CreateShared(1)
                              : data[0] == 1 ? CZkEffectObject::CreateCustom(1)
                                             : CZkEffectObject::CreateDevice(1);
    Check(object != nullptr);
    const ZKRESULT result = object->ReadFromBank(data + 1, static_cast<uint32_t>(size - 1));
    Check(result == ZK_Success || result == ZK_InvalidFile || result == ZK_Fail || result == ZK_InvalidParameter ||
          result == ZK_InsufficientMemory || result == ZK_StateObjectNotLoaded);
    if (result == ZK_Success)
    {
        CZkEffectContext context;
        if (object->CreatePluginInstance(context, ZkRTPCKey::Global()))
        {
            for (const ZkEffectSubscription& subscription : object->Subscriptions())
                g_pRTPCMgr->SetRTPCImmediate(subscription.gameParamID, 50.0f, ZkRTPCKey::Global());
            object->StateProperties().ApplyCurrentStates();
        }
        context.Term();
        Check(object->FirstContext() == nullptr);
    }
    object->Release();
    return 0;
}
