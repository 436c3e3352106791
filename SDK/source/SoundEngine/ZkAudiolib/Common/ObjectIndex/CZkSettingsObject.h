// CZkSettingsObject: one record of six values from a bank's settings chunk, kept in the object
// index's settings-group table, where effect and source plug-ins find it by id through the global
// plug-in context (ObjectIndex::FindGroupEntry). It lives as long as a bank or a plug-in holds it.
//
// Threading: the reference count and the table link change under the table's lock; SetValue is
// called by the plug-in that holds the object.
// Ownership: its references (memory pool 2).
#pragma once

#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkSettingsObject final : public CZkIndexedObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;
    static constexpr uint32_t kValueCount = 6;

    CZkSettingsObject(ZkIndexTable& table, const ZkGroupEntryRecord& record)
        : CZkIndexedObject(record.id), m_table(table), m_record(record)
    {
    }

    uint32_t AddRef() override { return m_table.AddRef(this); }
    uint32_t Release() override { return m_table.Release(this); }
    void Destroy() override;

    // Stores value at index 0 to 5; other indexes are ignored.
    void SetValue(uint32_t index, float value)
    {
        if (index < kValueCount)
            m_record.values[index] = value;
    }
    const ZkGroupEntryRecord& Record() const { return m_record; }

private:
    ZkIndexTable& m_table;
    ZkGroupEntryRecord m_record;
};
} // namespace ZK::SoundEngine
