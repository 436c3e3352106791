// The instance tree of a modulator: slots by key, visits by pattern (a wildcard part visits every
// child; the global slot only for the global pattern), removals that prune the emptied nodes, the
// order of visits, and insertions that find no memory.
#include "ModulatorFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <map>

namespace
{
using namespace ZkModulatorTest;

CZkRegisteredObj* Object(uintptr_t n) { return reinterpret_cast<CZkRegisteredObj*>(n * 0x100); }
CZkPlayingInstance* const kVoice = reinterpret_cast<CZkPlayingInstance*>(uintptr_t{0x7700});

class ModulatorInstanceTree : public ModulatorTest
{
protected:
    void SetUp() override
    {
        ModulatorTest::SetUp();
        LoadItems(R"({"type": "lfo", "id": 1})");
        m_lfo = Modulator(1);
    }

    // Stores a new instance in the slot of key; returns it.
    CZkModulatorInstance* Put(const ZkRTPCKey& key)
    {
        ZkModulatorInstanceTree::Slot* slot = m_lfo->Instances().FindOrInsertSlot(key);
        EXPECT_NE(slot, nullptr);
        CZkModulatorInstance* instance = NewInstance(m_lfo, PlayTrigger(), ZkModulatorScope_Global);
        m_lfo->Instances().Store(*slot, instance);
        m_names[instance] = m_names.size();
        return instance;
    }
    std::vector<size_t> Visit(const ZkRTPCKey& pattern)
    {
        std::vector<size_t> visited;
        m_lfo->Instances().VisitMatching(pattern, [&](CZkModulatorInstance* instance) {
            visited.push_back(m_names[instance]);
        });
        return visited;
    }

    CZkModulator* m_lfo = nullptr;
    std::map<CZkModulatorInstance*, size_t> m_names;
};

TEST_F(ModulatorInstanceTree, PatternsVisitTheInstancesOnTheirPaths)
{
    const ZkRTPCKey keys[] = {
        ZkRTPCKey::Global(),                                   // 0
        ZkRTPCKey::ForObject(Object(2)),                       // 1
        ZkRTPCKey::ForObject(Object(2), 5),                    // 2
        ZkRTPCKey{Object(2), 5, 0, 3, kZkMidiAny, nullptr},    // 3
        ZkRTPCKey{Object(2), 0, 0, 3, kZkMidiAny, nullptr},    // 4
        ZkRTPCKey::ForObject(Object(1)),                       // 5
        ZkRTPCKey{Object(1), 0, 0, kZkMidiAny, kZkMidiAny, kVoice}, // 6
    };
    for (const ZkRTPCKey& key : keys)
        Put(key);
    for (size_t index = 0; index < std::size(keys); ++index)
        EXPECT_EQ(m_names[m_lfo->Instances().FindInstance(keys[index])], index);

    struct Case
    {
        const char* what;
        ZkRTPCKey pattern;
        std::vector<size_t> visited;
    };
    const Case cases[] = {
        {"global: everything, global slot first, objects in address order", ZkRTPCKey::Global(), {0, 5, 6, 1, 4, 2, 3}},
        {"one object's branch", ZkRTPCKey::ForObject(Object(2)), {1, 4, 2, 3}},
        {"a playing id", ZkRTPCKey::ForObject(Object(2), 5), {2, 3}},
        {"a channel under every playing id", ZkRTPCKey{Object(2), 0, 0, 3, kZkMidiAny, nullptr}, {4, 3}},
        {"a voice", ZkRTPCKey{nullptr, 0, 0, kZkMidiAny, kZkMidiAny, kVoice}, {6}},
        {"an object with none", ZkRTPCKey::ForObject(Object(3)), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Visit(c.pattern), c.visited) << c.what;

    // Removal: the visited instances that the visitor takes leave; emptied nodes go.
    m_lfo->Instances().VisitMatchingWithRemoval(ZkRTPCKey::ForObject(Object(2)), [&](CZkModulatorInstance* instance) {
        if (m_names[instance] == 1)
            return false;
        instance->Release();
        return true;
    });
    EXPECT_EQ(Visit(ZkRTPCKey::Global()), (std::vector<size_t>{0, 5, 6, 1}));
    m_lfo->Instances().RemoveKey(keys[6]);
    m_lfo->Instances().RemoveKey(keys[1]);
    m_lfo->Instances().RemoveKey(keys[0]);
    EXPECT_EQ(Visit(ZkRTPCKey::Global()), (std::vector<size_t>{5}));
    m_lfo->Instances().RemoveKey(keys[5]);
    EXPECT_TRUE(m_lfo->Instances().IsEmpty());
}

TEST_F(ModulatorInstanceTree, ArraysGrowSortedAndAnInsertionWithoutMemoryLeavesNothing)
{
    for (uintptr_t n = 40; n > 0; --n)
        Put(ZkRTPCKey::ForObject(Object(n)));
    std::vector<size_t> visited = Visit(ZkRTPCKey::Global());
    ASSERT_EQ(visited.size(), 40u);
    for (size_t index = 0; index < visited.size(); ++index)
        EXPECT_EQ(visited[index], 39 - index) << "sorted by game object";

    m_lfo->Instances().Term();
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkModulatorInstanceTree::kPool, 3);
    EXPECT_EQ(m_lfo->Instances().FindOrInsertSlot(ZkRTPCKey{Object(1), 5, 7, kZkMidiAny, kZkMidiAny, nullptr}), nullptr);
    EXPECT_TRUE(m_lfo->Instances().IsEmpty()) << "the path made before the failure is gone";
}
} // namespace
