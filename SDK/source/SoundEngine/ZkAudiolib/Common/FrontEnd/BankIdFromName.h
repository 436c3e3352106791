// Bank ids from bank names: the id of the name with its last extension cut off, so "Main.bnk",
// "main" and "MAIN.BNK" name one bank. Only the last dot counts ("a.b.bnk" is the bank "a.b").
// At most 259 bytes of the (UTF-8) name are used; wide names are converted as GetIDFromString
// converts them.
//
// Threading: pure functions, callable from any thread.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
// A null name gives 0.
ZkUniqueID GetBankIDFromString(const char* name);
ZkUniqueID GetBankIDFromString(const wchar_t* name);
} // namespace ZK::SoundEngine
