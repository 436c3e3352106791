// Shared by the effect-object tests: the managers a game-sync test has (object index, game
// parameters, states, registry, transitions), the plug-in registry with the test gain effect, and
// effect objects read from bodies that tools/bank_writer.py wrote.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Effects/TestEffectPlugins.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "ZkAudiolib/Common/Effects/CZkEffectContext.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <cstring>
#include <string>
#include <vector>

namespace ZkEffectTest
{
using namespace ZK::SoundEngine;
using Bytes = std::vector<uint8_t>;

struct Item
{
    uint8_t type;
    Bytes body;
};

// The hierarchy items of a bank that holds "HIRC" after "BKHD", in order.
inline std::vector<Item> ItemsOf(const Bytes& bank)
{
    std::vector<Item> items;
    size_t at = 0;
    while (at + 8 <= bank.size())
    {
        uint32_t size = 0;
        std::memcpy(&size, bank.data() + at + 4, 4);
        if (std::memcmp(bank.data() + at, "HIRC", 4) == 0)
        {
            size_t item = at + 12;
            while (item + 5 <= at + 8 + size)
            {
                uint32_t itemSize = 0;
                std::memcpy(&itemSize, bank.data() + item + 1, 4);
                items.push_back({bank[item], Bytes(bank.begin() + static_cast<std::ptrdiff_t>(item + 5),
                                                   bank.begin() + static_cast<std::ptrdiff_t>(item + 5 + itemSize))});
                item += 5 + itemSize;
            }
        }
        at += 8 + size;
    }
    return items;
}

// The bodies of items written by the bank writer (a JSON list of item descriptions).
inline std::vector<Item> WriteItems(const std::string& items)
{
    return ItemsOf(ZkSoundFixtures::WriteBank(R"({"name": "Effects.bnk", "chunks": [{"tag": "BKHD"},
        {"tag": "HIRC", "order": "as_written", "items": [)" + items + "]}]}"));
}

inline CZkEffectObject* CreateOfType(uint8_t type, ZkUniqueID id)
{
    switch (type)
    {
    case 16: return CZkEffectObject::CreateShared(id);
    case 17: return CZkEffectObject::CreateCustom(id);
    default: return CZkEffectObject::CreateDevice(id);
    }
}

class EffectObjectTest : public ZkGameSyncTest::GameSyncTest
{
protected:
    void SetUp() override
    {
        GameSyncTest::SetUp();
        ASSERT_EQ(StartRegistryWithGain(), ZK_Success);
    }
    void TearDown() override
    {
        for (CZkEffectContext* context : m_contexts)
            delete context;
        m_contexts.clear();
        for (CZkEffectObject* object : m_objects)
            object->Release();
        m_objects.clear();
        EXPECT_EQ(GainParams::live, 0u) << "every parameter object was destroyed";
        PluginRegistry::Term();
        GameSyncTest::TearDown();
    }

    // Reads one item body into a new object of its type; the fixture keeps the creator's reference.
    ZKRESULT Read(const Item& item, CZkEffectObject*& object)
    {
        ZkUniqueID id = 0;
        std::memcpy(&id, item.body.data(), sizeof(id));
        object = CreateOfType(item.type, id);
        EXPECT_NE(object, nullptr);
        if (object == nullptr)
            return ZK_InsufficientMemory;
        m_objects.push_back(object);
        return object->ReadFromBank(item.body.data(), static_cast<uint32_t>(item.body.size()));
    }
    // The object of one item description (read successfully).
    CZkEffectObject* Make(const std::string& itemJson)
    {
        const std::vector<Item> items = WriteItems(itemJson);
        EXPECT_EQ(items.size(), 1u);
        CZkEffectObject* object = nullptr;
        EXPECT_EQ(Read(items.at(0), object), ZK_Success);
        return object;
    }
    // A context of the object for key, owned by the fixture.
    CZkEffectContext* Context(CZkEffectObject* object, const ZkRTPCKey& key = ZkRTPCKey::Global())
    {
        auto* context = new CZkEffectContext;
        m_contexts.push_back(context);
        EXPECT_TRUE(object->CreatePluginInstance(*context, key));
        return context;
    }
    static GainParams& Params(const CZkEffectContext* context) { return *static_cast<GainParams*>(context->Params()); }
    static float Gain(const CZkEffectContext* context) { return Params(context).gain; }

    std::vector<CZkEffectObject*> m_objects;
    std::vector<CZkEffectContext*> m_contexts;
};
} // namespace ZkEffectTest
