// The exported thread-local-storage functions, over the platform's slots.
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "Platform/PlatformThreadLocal.h"

extern "C"
{
int32_t ZkTlsAllocateSlot(uint32_t* slot)
{
    const uint32_t index = ZK::Platform::AllocateTlsSlot();
    *slot = index;
    return index == ZK::Platform::kInvalidTlsSlot ? -1 : 0;
}

void ZkTlsFreeSlot(uint32_t slot) { ZK::Platform::FreeTlsSlot(slot); }

void* ZkTlsGetValue(uint32_t slot) { return ZK::Platform::GetTlsValue(slot); }

void ZkTlsSetValue(uint32_t slot, void* value) { ZK::Platform::SetTlsValue(slot, value); }
}
