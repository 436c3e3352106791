// The bank identification check: every bank that names a platform ("PLAT" chunk) must name the same
// one. The first non-empty name is kept (a copy, memory pool 16) until the engine terminates.
//
// Threading: called by the bank parser on the bank thread; Free runs at the engine's termination,
// when no bank is being parsed. Ownership: the kept copy belongs to this module.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
// Keeps a copy of the first name (52 when it cannot be copied) and answers 1; afterwards 1 for the
// same name and 83 for another. A null or empty name is accepted without a check.
ZKRESULT CheckBankIdentification(const char* name);
// The kept name, or null.
const char* GetBankIdentification();
// Frees the kept name: the next name is kept again.
void FreeBankIdentification();
// Forgets the kept name without freeing it (the engine's start: a name left by an earlier memory
// manager is not this one's to free).
void ForgetBankIdentification();
} // namespace ZK::SoundEngine
