// Ids from names: the 32-bit id of a sound object's name, as the bank-building tools compute it, so
// that the game and the banks agree without sharing a table. The id is the 32-bit FNV-1 hash
// (multiply, then XOR) of the name's bytes with only the ASCII capitals 'A'..'Z' folded to lower
// case; every other byte, including UTF-8 bytes of non-ASCII text, is hashed as it is.
//
// Wide names are converted to UTF-8 first, so a wide name and its UTF-8 text give one id. Only the
// first 258 wide characters are used, and a name whose UTF-8 form needs more than 259 bytes is
// hashed as the empty name. (On Linux a wide character is one code point.)
//
// Threading: pure functions, callable from any thread, before Init and after Term.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
// FNV-1 offset basis: the id of the empty name.
constexpr ZkUniqueID kIdOfEmptyName = 0x811C9DC5u;

// A null name gives 0 (none).
ZkUniqueID GetIDFromString(const char* name);
ZkUniqueID GetIDFromString(const wchar_t* name);
} // namespace ZK::SoundEngine
