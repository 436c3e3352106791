#include "ZkAudiolib/Common/Banks/ZkCallbackCookieList.h"

namespace ZK::SoundEngine
{
void ZkCallbackCookieList::Init()
{
    // Without memory the list simply starts with fewer cells; Add allocates when it needs one.
    ZkLockFreeSlotList::Init(m_head, kInitialCells, kPool);
}

void ZkCallbackCookieList::Term()
{
    ZkLockFreeSlotList::Term(m_head, kPool);
}

ZKRESULT ZkCallbackCookieList::Add(void* cookie)
{
    return ZkLockFreeSlotList::Add(m_head, cookie, kPool);
}

void ZkCallbackCookieList::Cancel(void* cookie)
{
    ZkLockFreeSlotList::Remove(m_head, cookie);
}

void ZkCallbackCookieList::Notify(ZkBankCallbackFunc callback, ZkBankID bankID, const void* memory, ZKRESULT result,
                                  void* cookie)
{
    if (callback == nullptr)
        return;
    // One registration is consumed before the call: once the callback has run, its caller may let
    // the cookie go and a new registration may reuse its address, which a consumption after the call
    // could take instead. Another thread may cancel the cookie or take the cell found meanwhile:
    // look again each time.
    for (;;)
    {
        ZkLockFreeSlotList::Cell* cell = ZkLockFreeSlotList::Find(m_head, cookie);
        if (cell == nullptr)
            return; // not registered (cancelled, or consumed already)
        if (ZkLockFreeSlotList::Release(*cell, cookie))
            break;
    }
    callback(bankID, memory, result, cookie);
}
} // namespace ZK::SoundEngine
