#include "ZkAudiolib/Common/ObjectIndex/CZkSettingsObject.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

namespace ZK::SoundEngine
{
void CZkSettingsObject::Destroy() { ZK::ZkDelete(kPool, this); }

ZKRESULT ObjectIndex::FindOrCreateGroupEntry(ZkUniqueID id, const ZkGroupEntryRecord& record)
{
    ZkIndexTable& table = Table(ZkIndexKind::SettingsGroups);
    // Creation holds the bank-loading lock, so that two banks never both create the same entry.
    ZK::Platform::ZkScopedLock loading(g_EngineLock);
    if (table.GetPtrAndAddRef(id) != nullptr)
        return ZK_Success; // the first bank's values stay
    ZkGroupEntryRecord stored = record;
    stored.id = id;
    auto* entry = ZK::ZkNew<CZkSettingsObject>(CZkSettingsObject::kPool, table, stored);
    if (entry == nullptr)
        return ZK_Fail;
    if (table.Insert(entry) != ZK_Success)
    {
        ZK::ZkDelete(CZkSettingsObject::kPool, entry);
        return ZK_Fail;
    }
    return ZK_Success;
}

const ZkGroupEntryRecord* ObjectIndex::FindGroupEntry(ZkUniqueID id)
{
    CZkIndexedObject* entry = Table(ZkIndexKind::SettingsGroups).GetPtrAndAddRef(id);
    return entry != nullptr ? &static_cast<CZkSettingsObject*>(entry)->Record() : nullptr;
}

void ObjectIndex::ReleaseGroupEntries()
{
    ZkIndexTable& table = Table(ZkIndexKind::SettingsGroups);
    table.ReleaseEach([](CZkIndexedObject& entry) {
        // Every reference goes: the banks that read the entry keep no list of it.
        while (entry.RefCount() > 1)
            entry.Release();
        return true;
    });
}
} // namespace ZK::SoundEngine
