// The interface calls that load and unload banks: each builds its request and submits it to the
// bank manager, waiting for the result (synchronous forms) or leaving it to the callback.
#include "ZkAudiolib/Common/Banks/BankCallSupport.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdFromName.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>

namespace ZK::SoundEngine
{
namespace
{
BankRequest LoadRequest(ZkBankID bankID, uint32_t sourceKind)
{
    BankRequest request;
    request.kind = ZkBankRequestLoad;
    request.bankID = bankID;
    request.sourceKind = sourceKind;
    return request;
}

// A load by name: the bank id written first, then the request with its own copy of the file name.
// 31 for a null name; 52 when the name cannot be copied.
template <typename Char>
ZKRESULT MakeNamedLoad(const Char* name, ZkBankID& bankID, BankRequest& request)
{
    bankID = GetBankIDFromString(name);
    if (name == nullptr)
        return ZK_InvalidParameter;
    request = LoadRequest(bankID, ZkBankSourceByName);
    request.fileName = BankCalls::CopyFileName(name);
    request.nameOwned = 1;
    return request.fileName != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

ZKRESULT MakeMemoryLoad(const void* memory, uint32_t size, bool view, ZkBankID& bankID, BankRequest& request)
{
    const ZKRESULT checked = BankCalls::CheckMemoryBank(memory, size, view, bankID);
    if (checked != ZK_Success)
        return checked;
    request = LoadRequest(bankID, view ? ZkBankSourceMemoryView : ZkBankSourceMemoryCopy);
    request.data.bank.memory = memory;
    request.data.bank.memorySize = size;
    return ZK_Success;
}

BankRequest UnloadRequest(ZkBankID bankID, const void* memory)
{
    BankRequest request;
    request.kind = ZkBankRequestUnload;
    request.bankID = bankID;
    request.sourceKind = memory != nullptr ? ZkBankSourceMemoryView : ZkBankSourceByName;
    request.data.bank.memory = memory;
    return request;
}

// An unload by name carries its file name when it can be copied (the bank is found by id).
template <typename Char>
BankRequest NamedUnloadRequest(const Char* name, const void* memory)
{
    BankRequest request = UnloadRequest(GetBankIDFromString(name), memory);
    request.fileName = BankCalls::CopyFileName(name);
    request.nameOwned = 1;
    return request;
}

template <typename Char>
ZKRESULT LoadNamed(const Char* name, ZkBankID& bankID)
{
    BankRequest request;
    const ZKRESULT made = MakeNamedLoad(name, bankID, request);
    return made == ZK_Success ? BankCalls::SubmitAndWait(request) : made;
}

template <typename Char>
ZKRESULT LoadNamed(const Char* name, ZkBankCallbackFunc callback, void* cookie, ZkBankID& bankID)
{
    BankRequest request;
    const ZKRESULT made = MakeNamedLoad(name, bankID, request);
    return made == ZK_Success ? BankCalls::Submit(request, callback, cookie) : made;
}
} // namespace

ZKRESULT LoadBank(ZkBankID bankID)
{
    BankRequest request = LoadRequest(bankID, ZkBankSourceByID);
    return BankCalls::SubmitAndWait(request);
}

ZKRESULT LoadBank(ZkBankID bankID, ZkBankCallbackFunc callback, void* cookie)
{
    BankRequest request = LoadRequest(bankID, ZkBankSourceByID);
    return BankCalls::Submit(request, callback, cookie);
}

ZKRESULT LoadBank(const char* name, ZkBankID& bankID)
{
    if (name != nullptr && BankCalls::HasBankExtension(name))
    {
        // The caller's text outlives the wait: no copy is needed.
        bankID = GetBankIDFromString(name);
        BankRequest request = LoadRequest(bankID, ZkBankSourceByName);
        request.fileName = const_cast<char*>(name);
        return BankCalls::SubmitAndWait(request);
    }
    return LoadNamed(name, bankID);
}

ZKRESULT LoadBank(const char* name, ZkBankCallbackFunc callback, void* cookie, ZkBankID& bankID)
{
    return LoadNamed(name, callback, cookie, bankID);
}

ZKRESULT LoadBank(const wchar_t* name, ZkBankID& bankID)
{
    return LoadNamed(name, bankID);
}

ZKRESULT LoadBank(const wchar_t* name, ZkBankCallbackFunc callback, void* cookie, ZkBankID& bankID)
{
    return LoadNamed(name, callback, cookie, bankID);
}

ZKRESULT LoadBankMemoryView(const void* memory, uint32_t size, ZkBankID& bankID)
{
    BankRequest request;
    const ZKRESULT made = MakeMemoryLoad(memory, size, true, bankID, request);
    return made == ZK_Success ? BankCalls::SubmitAndWait(request) : made;
}

ZKRESULT LoadBankMemoryView(const void* memory, uint32_t size, ZkBankCallbackFunc callback, void* cookie,
                            ZkBankID& bankID)
{
    BankRequest request;
    const ZKRESULT made = MakeMemoryLoad(memory, size, true, bankID, request);
    return made == ZK_Success ? BankCalls::Submit(request, callback, cookie) : made;
}

ZKRESULT LoadBankMemoryCopy(const void* memory, uint32_t size, ZkBankID& bankID)
{
    BankRequest request;
    const ZKRESULT made = MakeMemoryLoad(memory, size, false, bankID, request);
    return made == ZK_Success ? BankCalls::SubmitAndWait(request) : made;
}

ZKRESULT LoadBankMemoryCopy(const void* memory, uint32_t size, ZkBankCallbackFunc callback, void* cookie,
                            ZkBankID& bankID)
{
    BankRequest request;
    const ZKRESULT made = MakeMemoryLoad(memory, size, false, bankID, request);
    return made == ZK_Success ? BankCalls::Submit(request, callback, cookie) : made;
}

ZKRESULT UnloadBank(ZkBankID bankID, const void* memory)
{
    BankRequest request = UnloadRequest(bankID, memory);
    return BankCalls::SubmitAndWait(request);
}

ZKRESULT UnloadBank(ZkBankID bankID, const void* memory, ZkBankCallbackFunc callback, void* cookie)
{
    BankRequest request = UnloadRequest(bankID, memory);
    return BankCalls::Submit(request, callback, cookie);
}

ZKRESULT UnloadBank(const char* name, const void* memory)
{
    BankRequest request = NamedUnloadRequest(name, memory);
    return BankCalls::SubmitAndWait(request);
}

ZKRESULT UnloadBank(const char* name, const void* memory, ZkBankCallbackFunc callback, void* cookie)
{
    BankRequest request = NamedUnloadRequest(name, memory);
    return BankCalls::Submit(request, callback, cookie);
}

ZKRESULT UnloadBank(const wchar_t* name, const void* memory)
{
    BankRequest request = NamedUnloadRequest(name, memory);
    return BankCalls::SubmitAndWait(request);
}

ZKRESULT UnloadBank(const wchar_t* name, const void* memory, ZkBankCallbackFunc callback, void* cookie)
{
    BankRequest request = NamedUnloadRequest(name, memory);
    return BankCalls::Submit(request, callback, cookie);
}
} // namespace ZK::SoundEngine
