#include "StreamMgr/ZkDeferredOpen.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cwchar>

namespace ZK::StreamMgr
{
ZkDeferredOpen* CreateDeferredOpen(uint32_t fileId, const wchar_t* fileName, const ZkFileOpenFlags* flags,
                                   uint32_t openMode)
{
    auto* record = static_cast<ZkDeferredOpen*>(ZK::MemoryMgr::Malloc(ZkMemID_StreamMgr, sizeof(ZkDeferredOpen)));
    if (!record)
        return nullptr;
    *record = ZkDeferredOpen{};
    record->fileId = fileId;
    record->openMode = openMode;
    if (flags)
    {
        record->flags = *flags;
        record->flagWord |= kDeferredOpenHasFlags;
    }
    if (fileName)
    {
        const size_t bytes = (std::wcslen(fileName) + 1) * sizeof(wchar_t);
        record->fileName = static_cast<wchar_t*>(ZK::MemoryMgr::Malloc(ZkMemID_StreamMgr, bytes));
        if (!record->fileName)
        {
            ZK::MemoryMgr::Free(ZkMemID_StreamMgr, record);
            return nullptr;
        }
        std::wmemcpy(record->fileName, fileName, bytes / sizeof(wchar_t));
        record->flagWord |= kDeferredOpenHasName;
    }
    return record;
}

void FreeDeferredOpen(ZkDeferredOpen* record)
{
    if (!record)
        return;
    if ((record->flagWord & kDeferredOpenHasName) && record->fileName)
        ZK::MemoryMgr::Free(ZkMemID_StreamMgr, record->fileName);
    ZK::MemoryMgr::Free(ZkMemID_StreamMgr, record);
}
} // namespace ZK::StreamMgr
