#include "ZkAudiolib/Common/Banks/BankCallSupport.h"

#include "ZkAudiolib/Common/Banks/BankHeaderKey.h"
#include "ZkAudiolib/Common/Banks/BankManager.h"

#include "Platform/PlatformText.h"

#include <cstring>

namespace ZK::SoundEngine::BankCalls
{
namespace
{
constexpr char kExtension[] = ".bnk";
constexpr size_t kExtensionBytes = sizeof(kExtension) - 1;
constexpr uint32_t kHeaderOffset = 8; // the bank header follows the first chunk's header

bool EndsWithExtension(const char* name, size_t length)
{
    return length > kExtensionBytes && std::memcmp(name + length - kExtensionBytes, kExtension, kExtensionBytes) == 0;
}

// A block with room for length bytes, ".bnk" and the NUL; write(block) puts the name's length bytes
// in, and the extension follows unless the name ends with it.
template <typename Write>
char* MakeFileName(size_t length, Write&& write)
{
    auto* copy = static_cast<char*>(ZK::MemoryMgr::Malloc(kPool, length + kExtensionBytes + 1));
    if (copy == nullptr)
        return nullptr;
    write(copy);
    if (!EndsWithExtension(copy, length))
    {
        std::memcpy(copy + length, kExtension, kExtensionBytes);
        length += kExtensionBytes;
    }
    copy[length] = '\0';
    return copy;
}
} // namespace

bool HasBankExtension(const char* name)
{
    return EndsWithExtension(name, std::strlen(name));
}

char* CopyFileName(const char* name)
{
    if (name == nullptr)
        return nullptr;
    const size_t length = std::strlen(name);
    return MakeFileName(length, [&](char* copy) { std::memcpy(copy, name, length); });
}

char* CopyFileName(const wchar_t* name)
{
    if (name == nullptr)
        return nullptr;
    const size_t length = ZK::Platform::WideToUtf8(name, nullptr, 0);
    return MakeFileName(length, [&](char* copy) { ZK::Platform::WideToUtf8(name, copy, length + 1); });
}

ZKRESULT CheckMemoryBank(const void* memory, uint32_t size, bool testAlignment, ZkBankID& bankID)
{
    if (memory == nullptr || size < ZK_MinimumMemoryBankBytes)
        return ZK_InvalidParameter;
    ZkBankHeader header;
    std::memcpy(&header, static_cast<const uint8_t*>(memory) + kHeaderOffset, sizeof(header));
    ApplyBankHeaderKey(header);
    if (testAlignment)
    {
        // A header alignment of 0 asks for the default, as the parse reads it.
        uint32_t alignment = header.version < kFirstVersionWithAlignment ? kDefaultMediaAlignment : header.alignment;
        if (alignment == 0)
            alignment = kDefaultMediaAlignment;
        if (reinterpret_cast<uintptr_t>(memory) % alignment != 0)
            return ZK_BankMisaligned;
    }
    bankID = header.bankID;
    return ZK_Success;
}

ZKRESULT SubmitAndWait(BankRequest request)
{
    BankManager* manager = g_pBankManager;
    if (manager == nullptr)
    {
        BankManager::FreeRequestHoldings(request);
        return ZK_Fail;
    }
    BankSyncWait wait;
    const ZKRESULT prepared = manager->PrepareWait(wait);
    if (prepared != ZK_Success)
    {
        BankManager::FreeRequestHoldings(request);
        return prepared;
    }
    request.callback = manager->SyncCallback();
    request.cookie = &wait;
    return manager->Wait(wait, manager->SubmitRequest(request));
}

ZKRESULT Submit(BankRequest request, ZkBankCallbackFunc callback, void* cookie)
{
    BankManager* manager = g_pBankManager;
    if (manager == nullptr)
    {
        BankManager::FreeRequestHoldings(request);
        return ZK_Fail;
    }
    request.callback = callback;
    request.cookie = cookie;
    return manager->SubmitRequest(request);
}
} // namespace ZK::SoundEngine::BankCalls
