#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <cstring>
#include <cwchar>

namespace ZK::SoundEngine
{
namespace
{
// A terminated copy of name in pool 0; null when out of memory.
wchar_t* CopyName(const wchar_t* name)
{
    const size_t bytes = (std::wcslen(name) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(ZK::MemoryMgr::Malloc(ZkMediaRef::kPool, bytes));
    if (copy != nullptr)
        std::memcpy(copy, name, bytes);
    return copy;
}
} // namespace

void ZkMediaRef::FreeOwnedData()
{
    if (Kind() == kMediaKindOwned && data != nullptr)
        ZK::MemoryMgr::Free(kPool, data);
    data = nullptr;
}

void ZkMediaRef::Init()
{
    flags &= ~kMediaResetMask;
    data = nullptr;
    mediaID = 0;
    fileID = kNoFileID;
    mediaSize = 0;
    sourceType = kNoSourceType;
}

void ZkMediaRef::Free()
{
    FreeOwnedData();
    const int32_t keptType = sourceType;
    Init();
    sourceType = keptType;
}

ZkMediaRef* ZkMediaRef::Clone() const
{
    auto* copy = ZK::ZkNew<ZkMediaRef>(kPool, *this);
    if (copy == nullptr || Kind() != kMediaKindOwned || data == nullptr)
        return copy;
    copy->data = CopyName(static_cast<const wchar_t*>(data));
    if (copy->data == nullptr)
        copy->flags &= ~kMediaFlagResident; // out of memory: the copy has no name
    return copy;
}

void ZkMediaRef::SetMedia(ZkUniqueID id)
{
    FreeOwnedData();
    mediaID = id;
    SetKind(kMediaKindByID);
    // No data any more: a resident mark left from earlier media would hand out a null pointer.
    flags &= ~kMediaFlagResident;
    fileID = kNoFileID;
    mediaSize = 0;
    sourceType = kNoSourceType;
}

void ZkMediaRef::SetExternal(ZkUniqueID id, int32_t typeWord, const wchar_t* fileName, int32_t newFileID, bool byName,
                             bool instanceOwned)
{
    FreeOwnedData();
    mediaID = id;
    sourceType = typeWord;
    fileID = newFileID;
    SetKind(kMediaKindOwned);
    flags |= kMediaFlagResident;
    flags = byName ? flags | kMediaFlagByName : flags & ~kMediaFlagByName;
    flags = instanceOwned ? flags | kMediaFlagInstanceOwned : flags & ~kMediaFlagInstanceOwned;
    if (fileName != nullptr)
        data = CopyName(fileName);
}

void ZkMediaRef::SetInMemory(int32_t typeWord, void* memory, const ZkMediaInfo& info)
{
    FreeOwnedData();
    sourceType = typeWord;
    mediaID = info.mediaID;
    fileID = info.fileID;
    mediaSize = info.size;
    flags = info.flags | kMediaFlagResident;
    data = memory;
}

ZKRESULT ZkMediaRef::Prepare() const
{
    if (mediaSize == 0 || IsResident())
        return ZK_Success;
    if (g_pBankManager == nullptr)
        return ZK_Fail;
    return g_pBankManager->SetMediaEntry(*this);
}

void ZkMediaRef::Unprepare() const
{
    // Only what Prepare kept a reference for: a media streamed as it plays took none.
    if (IsResident() || g_pBankManager == nullptr || !BankManager::KeepsPreparedCopy(BankManager::PreparationOf(*this)))
        return;
    g_pBankManager->ReleaseMediaEntry(mediaID);
}
} // namespace ZK::SoundEngine
