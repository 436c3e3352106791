// Random bytes from the system's cryptographic source (getrandom).
// Thread safety: may be called from any thread.
#pragma once

#include <cstddef>

namespace ZK::Platform
{
// Fills the buffer; false when the system source failed.
bool FillRandomBytes(void* buffer, size_t size);
} // namespace ZK::Platform
