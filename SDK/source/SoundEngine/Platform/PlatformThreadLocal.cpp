// Thread-local storage slots over pthread keys. A new key reads null in every thread, also when
// it reuses the number of a freed one.
#include "Platform/PlatformThreadLocal.h"

#include <pthread.h>

namespace ZK::Platform
{
uint32_t AllocateTlsSlot()
{
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0)
    {
        return kInvalidTlsSlot;
    }
    return static_cast<uint32_t>(key);
}

void FreeTlsSlot(uint32_t slot)
{
    if (slot != kInvalidTlsSlot)
    {
        pthread_key_delete(static_cast<pthread_key_t>(slot));
    }
}

void* GetTlsValue(uint32_t slot)
{
    if (slot == kInvalidTlsSlot)
    {
        return nullptr;
    }
    return pthread_getspecific(static_cast<pthread_key_t>(slot));
}

bool SetTlsValue(uint32_t slot, void* value)
{
    if (slot == kInvalidTlsSlot)
    {
        return false;
    }
    return pthread_setspecific(static_cast<pthread_key_t>(slot), value) == 0;
}
} // namespace ZK::Platform
