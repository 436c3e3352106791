#include "ZkAudiolib/Common/FrontEnd/BankIdentification.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
char* g_identification = nullptr;
} // namespace

ZKRESULT CheckBankIdentification(const char* name)
{
    if (name == nullptr || name[0] == '\0')
        return ZK_Success;
    if (g_identification != nullptr)
        return std::strcmp(g_identification, name) == 0 ? ZK_Success : ZK_PlatformMismatch;
    const size_t size = std::strlen(name) + 1;
    auto* copy = static_cast<char*>(ZK::MemoryMgr::Malloc(kPool, size));
    if (copy == nullptr)
        return ZK_InsufficientMemory;
    std::memcpy(copy, name, size);
    g_identification = copy;
    return ZK_Success;
}

const char* GetBankIdentification()
{
    return g_identification;
}

void FreeBankIdentification()
{
    if (g_identification != nullptr)
        ZK::MemoryMgr::Free(kPool, g_identification);
    g_identification = nullptr;
}

void ForgetBankIdentification()
{
    g_identification = nullptr;
}
} // namespace ZK::SoundEngine
