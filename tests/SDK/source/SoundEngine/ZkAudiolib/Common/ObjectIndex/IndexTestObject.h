// An indexed object kind of the tests' own, living in one table of an ObjectIndex.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <atomic>

namespace ZkIndexTest
{
inline std::atomic<uint32_t> g_destroyed{0};

class TestObject : public ZK::SoundEngine::CZkIndexedObject
{
public:
    TestObject(ZK::SoundEngine::ZkIndexTable& table, ZkUniqueID id) : CZkIndexedObject(id), m_table(table) {}

    static TestObject* Create(ZK::SoundEngine::ZkIndexTable& table, ZkUniqueID id)
    {
        TestObject* object = ZK::ZkNew<TestObject>(ZkMemID_BankObjects, table, id);
        if (object != nullptr && table.Insert(object) != ZK_Success)
        {
            ZK::ZkDelete(ZkMemID_BankObjects, object);
            return nullptr;
        }
        return object;
    }

    uint32_t AddRef() override { return m_table.AddRef(this); }
    uint32_t Release() override { return m_table.Release(this); }
    void Destroy() override
    {
        g_destroyed.fetch_add(1);
        ZK::ZkDelete(ZkMemID_BankObjects, this);
    }

    uint32_t payload = 0xC0FFEE;

private:
    ZK::SoundEngine::ZkIndexTable& m_table;
};
} // namespace ZkIndexTest
