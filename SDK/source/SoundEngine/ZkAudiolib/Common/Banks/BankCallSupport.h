// The steps the bank interface calls share: making a request's file name (".bnk" appended) and its
// bank id from a name, checking a bank in memory, and handing a request to the engine's bank manager
// in the synchronous form (waiting for its result) or the asynchronous one (its callback reports).
//
// Threading: any thread but the bank thread. Ownership: a request given to Submit or SubmitAndWait
// belongs to the bank manager from then on (its name and id arrays are freed whatever happens).
#pragma once

#include "ZkAudiolib/Common/Banks/BankRequest.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine::BankCalls
{
constexpr ZkMemoryId kPool = ZkMemID_Default;

// A copy of the name (memory pool 0) that ends with ".bnk", or null when out of memory (or for a
// null name). A wide name is converted to UTF-8.
char* CopyFileName(const char* name);
char* CopyFileName(const wchar_t* name);
// Whether the name already ends with ".bnk" (byte-wise; a name of 4 bytes or fewer never does).
bool HasBankExtension(const char* name);

// The bank id of a bank in memory, written to bankID. 31 for a block smaller than the bank's
// headers (or none); with the alignment test, 89 for a block not aligned as the header asks.
ZKRESULT CheckMemoryBank(const void* memory, uint32_t size, bool testAlignment, ZkBankID& bankID);

// 2 without a bank manager; else the request's result.
ZKRESULT SubmitAndWait(BankRequest request);
// 2 without a bank manager; else the submit result.
ZKRESULT Submit(BankRequest request, ZkBankCallbackFunc callback, void* cookie);

// Makes a request (make(request) answers 1, or the call's refusal, which is returned) and submits
// it: synchronously, or with the callback and cookie.
template <typename Make>
ZKRESULT SubmitMade(Make&& make)
{
    BankRequest request;
    const ZKRESULT made = make(request);
    return made == ZK_Success ? SubmitAndWait(request) : made;
}

template <typename Make>
ZKRESULT SubmitMade(Make&& make, ZkBankCallbackFunc callback, void* cookie)
{
    BankRequest request;
    const ZKRESULT made = make(request);
    return made == ZK_Success ? Submit(request, callback, cookie) : made;
}
} // namespace ZK::SoundEngine::BankCalls
