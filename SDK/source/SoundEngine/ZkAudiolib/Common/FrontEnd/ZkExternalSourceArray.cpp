// The copy and the last release of a posted event's external sources.
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"

#include <cstring>
#include <cwchar>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
wchar_t* DuplicateName(const wchar_t* name)
{
    const size_t bytes = (std::wcslen(name) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(ZK::MemoryMgr::Malloc(ZkExternalSourceArray::kPool, bytes));
    if (copy != nullptr)
        std::memcpy(copy, name, bytes);
    return copy;
}
} // namespace

ZkExternalSourceArray* ZkExternalSourceArray::Create(const ZkExternalSourceInfo* records, uint32_t count)
{
    if (records == nullptr || count == 0)
        return nullptr;
    void* block = ZK::MemoryMgr::Malloc(kPool, sizeof(ZkExternalSourceArray) + size_t{count} * sizeof(ZkExternalSourceInfo));
    if (block == nullptr)
        return nullptr;
    auto* array = new (block) ZkExternalSourceArray();
    array->m_count = count;
    ZkExternalSourceInfo* copies = array->Records();
    std::memcpy(static_cast<void*>(copies), records, size_t{count} * sizeof(ZkExternalSourceInfo));
    for (uint32_t index = 0; index < count; ++index)
    {
        if (copies[index].fileName == nullptr)
            continue;
        copies[index].fileName = DuplicateName(records[index].fileName);
        if (copies[index].fileName == nullptr)
        {
            array->Free(index);
            return nullptr;
        }
    }
    return array;
}

void ZkExternalSourceArray::Release()
{
    if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
        Free(m_count);
}

void ZkExternalSourceArray::Free(uint32_t namedRecords)
{
    ZkExternalSourceInfo* copies = Records();
    for (uint32_t index = 0; index < namedRecords; ++index)
    {
        if (copies[index].fileName != nullptr)
            ZK::MemoryMgr::Free(kPool, const_cast<wchar_t*>(copies[index].fileName));
    }
    this->~ZkExternalSourceArray();
    ZK::MemoryMgr::Free(kPool, this);
}
} // namespace ZK::SoundEngine
