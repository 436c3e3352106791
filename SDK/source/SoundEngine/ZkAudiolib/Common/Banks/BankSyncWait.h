// BankSyncWait: what a synchronous bank call waits on: the result its request ends with and the
// event that says it has ended. The record lives on the waiting caller's stack and is the request's
// cookie; BankSyncWait::Callback, the request's callback, stores the result and signals the event.
//
// Life cycle: Prepare (the event), the request runs, Await, the record goes out of scope.
// Threading: Callback runs on the thread that finishes the request (the bank thread, or the engine
// thread for an unload), Await on the waiting one. Ownership: the caller's record and event.
#pragma once

#include "Platform/PlatformEvent.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
struct BankSyncWait
{
    ZKRESULT result = ZK_Fail;
    ZK::Platform::ZkEvent event;

    // The event, not signalled. 2 when the system refuses it.
    ZKRESULT Prepare() { return event.IsInitialized() || event.Init(ZK::Platform::EventReset::Auto) ? ZK_Success : ZK_Fail; }
    // Waits for the callback and returns the result it stored.
    ZKRESULT Await()
    {
        event.Wait();
        return result;
    }

    // A bank completion callback whose cookie is the wait record.
    static void Callback(ZkBankID, const void*, ZKRESULT requestResult, void* cookie)
    {
        auto* wait = static_cast<BankSyncWait*>(cookie);
        wait->result = requestResult;
        wait->event.Set();
    }
};
} // namespace ZK::SoundEngine
