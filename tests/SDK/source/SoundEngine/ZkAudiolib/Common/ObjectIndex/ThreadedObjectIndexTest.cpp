// The object index under concurrency: readers look objects up and release them while a bank
// thread inserts new objects (growing the table) and drops the old ones. No reader may ever get a
// destroyed object, and every object is destroyed exactly once.
#include "IndexTestObject.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace ZK::SoundEngine;
using ZkEngineTest::EngineMemoryTest;
using ZkIndexTest::TestObject;

using ThreadedObjectIndex = EngineMemoryTest;

TEST_F(ThreadedObjectIndex, ReadersAndTheLastReleaseNeverMeetADeadObject)
{
    constexpr uint32_t kObjects = 3000;
    constexpr uint32_t kReaders = 3;
    ObjectIndex index;
    ASSERT_TRUE(index.InitTables());
    ZkIndexTable& table = index.Table(ZkIndexKind::Events);
    ZkIndexTest::g_destroyed = 0;

    std::atomic<uint32_t> published{0}; // ids 1..published have been inserted
    std::atomic<bool> bankDone{false};
    std::atomic<uint32_t> found{0};
    std::atomic<uint32_t> faults{0};

    std::thread bank([&] {
        ZK::MemoryMgr::InitForThread();
        std::vector<TestObject*> objects;
        for (ZkUniqueID id = 1; id <= kObjects; ++id)
        {
            objects.push_back(TestObject::Create(table, id));
            published.store(id, std::memory_order_release);
            if (id > 100)
                objects[id - 101]->Release(); // the bank drops its reference of an older object
        }
        // The readers must meet live objects at least once, however the threads were scheduled:
        // the last hundred stay alive until the readers have found a few.
        while (found.load(std::memory_order_acquire) < kReaders)
            std::this_thread::yield();
        for (uint32_t i = kObjects - 100; i < kObjects; ++i)
            objects[i]->Release();
        bankDone.store(true, std::memory_order_release);
        ZK::MemoryMgr::TermForThread();
    });
    std::vector<std::thread> readers;
    for (uint32_t reader = 0; reader < kReaders; ++reader)
    {
        readers.emplace_back([&, reader] {
            uint32_t probe = reader;
            while (!bankDone.load(std::memory_order_acquire))
            {
                const uint32_t last = published.load(std::memory_order_acquire);
                if (last == 0)
                    continue;
                probe = probe * 1103515245u + 12345u;
                const ZkUniqueID id = 1 + probe % last;
                CZkIndexedObject* object = table.GetPtrAndAddRef(id);
                if (object == nullptr)
                    continue; // already dropped by the bank
                if (object->ID() != id || static_cast<TestObject*>(object)->payload != 0xC0FFEE)
                    faults.fetch_add(1);
                found.fetch_add(1);
                object->Release(); // may be the last reference: the reader destroys it
            }
        });
    }
    bank.join();
    for (std::thread& reader : readers)
        reader.join();

    EXPECT_EQ(faults.load(), 0u);
    EXPECT_GT(found.load(), 0u);
    EXPECT_EQ(ZkIndexTest::g_destroyed.load(), kObjects);
    EXPECT_EQ(table.Length(), 0u);
    index.FreeTables();
}
