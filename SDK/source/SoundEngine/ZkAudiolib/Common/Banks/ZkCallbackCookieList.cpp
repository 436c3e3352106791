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
    if (callback == nullptr || ZkLockFreeSlotList::Find(m_head, cookie) == nullptr)
        return;
    callback(bankID, memory, result, cookie);
    // One registration is consumed after the call. Another thread may have cancelled the cookie
    // (nothing left to consume) or freed the cell found above and reused it: look again each time.
    while (ZkLockFreeSlotList::Cell* cell = ZkLockFreeSlotList::Find(m_head, cookie))
    {
        if (ZkLockFreeSlotList::Release(*cell, cookie))
            break;
    }
}
} // namespace ZK::SoundEngine
