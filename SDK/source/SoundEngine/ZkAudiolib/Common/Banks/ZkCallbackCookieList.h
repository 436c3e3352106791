// ZkCallbackCookieList: the bank manager's registry of callback cookies. A bank request that carries
// a completion callback registers its cookie when it is submitted; at completion its callback is
// called only while the cookie is still registered, and the call consumes one registration.
// Cancelling a cookie drops all its registrations, so none of its pending callbacks is ever called.
// A cookie registered by two requests is registered twice and notified twice.
//
// Built on ZkLockFreeSlotList (cells from memory pool 16, two made at Init, reused, freed only by
// Term). Notify consumes the registration, then calls: a Cancel that runs while the callback is
// being called does not stop that call, and the callback may free or reuse its cookie at once.
//
// Threading: Add, Cancel and Notify may run at the same time on any threads (game thread, bank
// thread, audio thread); Init and Term run while no other thread uses the list.
// Ownership: the list owns its cells; cookies belong to the callers.
#pragma once

#include "ZkAudiolib/Common/Voice/ZkLockFreeSlotList.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkCallbackCookieList
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    static constexpr uint32_t kInitialCells = 2;

    ZkCallbackCookieList() = default;
    ~ZkCallbackCookieList() { Term(); }
    ZkCallbackCookieList(const ZkCallbackCookieList&) = delete;
    ZkCallbackCookieList& operator=(const ZkCallbackCookieList&) = delete;

    // Makes the two free cells (a failed allocation stops that silently: Add allocates later).
    void Init();
    void Term();

    // Registers the cookie once more. 1, or 52 when no cell is free and none can be allocated.
    ZKRESULT Add(void* cookie);
    // Drops every registration of the cookie.
    void Cancel(void* cookie);
    // Nothing for a null callback (the cookie stays registered). Otherwise, when the cookie is
    // registered: consumes one registration, then calls callback(bankID, memory, result, cookie).
    void Notify(ZkBankCallbackFunc callback, ZkBankID bankID, const void* memory, ZKRESULT result, void* cookie);

    bool IsRegistered(const void* cookie) { return ZkLockFreeSlotList::Find(m_head, cookie) != nullptr; }
    uint32_t CellCount() const { return ZkLockFreeSlotList::CellCount(m_head); }

private:
    ZkLockFreeSlotList::Head m_head{0};
};
} // namespace ZK::SoundEngine
