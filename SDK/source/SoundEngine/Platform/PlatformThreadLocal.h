// Thread-local storage slots: one pointer-sized value per thread and slot, null until set.
// Thread safety: any thread may allocate and free slots and reach its own values; a slot is freed by
// its owner once no thread uses it any more. Values left in a freed slot are not destroyed.
#pragma once

#include <cstdint>

namespace ZK::Platform
{
constexpr uint32_t kInvalidTlsSlot = 0xFFFFFFFFu;

// A new slot, or kInvalidTlsSlot when the system has none left.
uint32_t AllocateTlsSlot();
void FreeTlsSlot(uint32_t slot);
void* GetTlsValue(uint32_t slot);
bool SetTlsValue(uint32_t slot, void* value);
} // namespace ZK::Platform
