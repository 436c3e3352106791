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
} // namespace

ZKRESULT LoadBank(ZkBankID bankID)
{
    return BankCalls::SubmitAndWait(LoadRequest(bankID, ZkBankSourceByID));
}

ZKRESULT LoadBank(ZkBankID bankID, ZkBankCallbackFunc callback, void* cookie)
{
    return BankCalls::Submit(LoadRequest(bankID, ZkBankSourceByID), callback, cookie);
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
    return BankCalls::SubmitMade([&](BankRequest& request) { return MakeNamedLoad(name, bankID, request); });
}

ZKRESULT LoadBank(const char* name, ZkBankCallbackFunc callback, void* cookie, ZkBankID& bankID)
{
    return BankCalls::SubmitMade([&](BankRequest& request) { return MakeNamedLoad(name, bankID, request); }, callback,
                                 cookie);
}

ZKRESULT LoadBank(const wchar_t* name, ZkBankID& bankID)
{
    return BankCalls::SubmitMade([&](BankRequest& request) { return MakeNamedLoad(name, bankID, request); });
}

ZKRESULT LoadBank(const wchar_t* name, ZkBankCallbackFunc callback, void* cookie, ZkBankID& bankID)
{
    return BankCalls::SubmitMade([&](BankRequest& request) { return MakeNamedLoad(name, bankID, request); }, callback,
                                 cookie);
}

ZKRESULT LoadBankMemoryView(const void* memory, uint32_t size, ZkBankID& bankID)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return MakeMemoryLoad(memory, size, true, bankID, request); });
}

ZKRESULT LoadBankMemoryView(const void* memory, uint32_t size, ZkBankCallbackFunc callback, void* cookie,
                            ZkBankID& bankID)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return MakeMemoryLoad(memory, size, true, bankID, request); }, callback, cookie);
}

ZKRESULT LoadBankMemoryCopy(const void* memory, uint32_t size, ZkBankID& bankID)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return MakeMemoryLoad(memory, size, false, bankID, request); });
}

ZKRESULT LoadBankMemoryCopy(const void* memory, uint32_t size, ZkBankCallbackFunc callback, void* cookie,
                            ZkBankID& bankID)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return MakeMemoryLoad(memory, size, false, bankID, request); }, callback, cookie);
}

ZKRESULT UnloadBank(ZkBankID bankID, const void* memory)
{
    return BankCalls::SubmitAndWait(UnloadRequest(bankID, memory));
}

ZKRESULT UnloadBank(ZkBankID bankID, const void* memory, ZkBankCallbackFunc callback, void* cookie)
{
    return BankCalls::Submit(UnloadRequest(bankID, memory), callback, cookie);
}

ZKRESULT UnloadBank(const char* name, const void* memory)
{
    return BankCalls::SubmitAndWait(NamedUnloadRequest(name, memory));
}

ZKRESULT UnloadBank(const char* name, const void* memory, ZkBankCallbackFunc callback, void* cookie)
{
    return BankCalls::Submit(NamedUnloadRequest(name, memory), callback, cookie);
}

ZKRESULT UnloadBank(const wchar_t* name, const void* memory)
{
    return BankCalls::SubmitAndWait(NamedUnloadRequest(name, memory));
}

ZKRESULT UnloadBank(const wchar_t* name, const void* memory, ZkBankCallbackFunc callback, void* cookie)
{
    return BankCalls::Submit(NamedUnloadRequest(name, memory), callback, cookie);
}
} // namespace ZK::SoundEngine
