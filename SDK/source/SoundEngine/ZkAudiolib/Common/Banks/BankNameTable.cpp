#include "ZkAudiolib/Common/Banks/BankNameTable.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr char kBankExtension[] = ".bnk";
constexpr uint32_t kExtensionBytes = sizeof(kBankExtension); // with the terminator
} // namespace

ZKRESULT BankNameTable::Add(ZkBankID id, const char* name, uint32_t length)
{
    if (m_table.Find(id) != nullptr)
        return ZK_Success;
    auto* fileName = static_cast<char*>(ZK::MemoryMgr::Malloc(kPool, size_t{length} + kExtensionBytes));
    if (fileName == nullptr)
        return ZK_InsufficientMemory;
    std::memcpy(fileName, name, length);
    std::memcpy(fileName + length, kBankExtension, kExtensionBytes);
    ZkBankNameEntry* entry = ZK::ZkNew<ZkBankNameEntry>(kPool);
    if (entry == nullptr)
    {
        ZK::MemoryMgr::Free(kPool, fileName);
        return ZK_InsufficientMemory;
    }
    entry->id = id;
    entry->fileName = fileName;
    if (m_table.Insert(entry) != ZK_Success)
    {
        ZK::MemoryMgr::Free(kPool, fileName);
        ZK::ZkDelete(kPool, entry);
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

const char* BankNameTable::Find(ZkBankID id) const
{
    const ZkBankNameEntry* entry = m_table.Find(id);
    return entry != nullptr ? entry->fileName : nullptr;
}

void BankNameTable::Term()
{
    for (uint32_t bucket = 0; bucket < m_table.BucketCount(); ++bucket)
    {
        ZkBankNameEntry* entry = m_table.Bucket(bucket);
        while (entry != nullptr)
        {
            ZkBankNameEntry* next = entry->pNextItem;
            ZK::MemoryMgr::Free(kPool, entry->fileName);
            ZK::ZkDelete(kPool, entry);
            entry = next;
        }
    }
    m_table.Term();
}
} // namespace ZK::SoundEngine
