// The bus tree: adding and removing children with their checks, the sorted child arrays and the
// tree walk; device ids set, propagated and re-pointed; channel configurations through message
// 46; the mixer plug-in record; whether a bus needs a mix stage of its own; and what a bus passes
// on to its children.
#include "BusFixture.h"
#include "HierarchyTestInstances.h"

namespace
{
using namespace ZkHierarchyTest;

using BusTree = BusTest;

TEST_F(BusTree, AddingAChildChecksWhereItRoutesAndKeepsTheArraysSorted)
{
    Load(Bus("Master") + ", " + Bus("Music", R"("parent": "Master")") + ", " + Bus("Other"));
    CZkBus* master = FindBus("Master");
    CZkBus* music = FindBus("Music");
    CZkBus* other = FindBus("Other");
    TestNode* a = AddNode(300);
    TestNode* b = AddNode(100);
    TestNode* c = AddNode(200);
    TestNode* routed = AddNode(400, ZkNodeCategory_Bus, true); // a test bus that does not let children go

    struct Case
    {
        const char* name;
        CZkBus* bus;
        CZkHierarchyNode* child;
        ZKRESULT expected;
    };
    const std::vector<Case> cases = {
        {"a sound", master, a, ZK_Success},
        {"another", master, b, ZK_Success},
        {"the same child again", master, b, ZK_AlreadyAChild},
        {"a third", master, c, ZK_Success},
        {"a child of another bus moves", other, c, ZK_Success},
        {"a bus cannot be its own child", master, master, ZK_BusWouldBeOwnChild},
        {"nor the child of its own child", music, master, ZK_BusWouldBeOwnChild},
    };
    for (const Case& test : cases)
        EXPECT_EQ(test.bus->AddChild(test.child), test.expected) << test.name;
    EXPECT_EQ(c->OutputBus(), other);
    EXPECT_EQ(other->FindChild(200), c);
    EXPECT_EQ(master->FindChild(200), nullptr) << "it left the bus it moved from";
    ASSERT_EQ(master->ChildCount(), 2u);
    EXPECT_EQ(master->ChildAt(0), b) << "sorted by id";
    EXPECT_EQ(master->ChildAt(1), a);

    // A child whose old bus does not let it go stays routed there: 21.
    other->SetParent(routed);
    EXPECT_EQ(master->AddChild(other), ZK_ChildRoutedElsewhere);
    EXPECT_EQ(master->FindChildBus(other->ID()), nullptr);
    other->SetParent(nullptr);

    // The tree below the master bus, depth first.
    ZkBusTreeEntry entries[8] = {};
    ASSERT_EQ(master->EnumerateTree(entries, 8), 3u);
    EXPECT_EQ(entries[0].id, 100u);
    EXPECT_EQ(entries[1].id, 300u);
    EXPECT_EQ(entries[2].id, music->ID());
    EXPECT_EQ(entries[2].parentID, master->ID());
    EXPECT_EQ(entries[2].depth, 1u);
    EXPECT_EQ(master->EnumerateTree(entries, 2), 2u) << "until the array is full";

    // A child released for good leaves the array; removal drops its reference on the bus.
    const uint32_t busReferences = master->RefCount();
    master->RemoveChild(a);
    EXPECT_EQ(a->OutputBus(), nullptr);
    EXPECT_EQ(master->RefCount(), busReferences - 1);
    EXPECT_EQ(master->ChildCount(), 1u);
    b->SetOutputBus(nullptr);
    c->SetOutputBus(nullptr);
    master->RemoveChild(b);
    other->RemoveChild(c);
}

TEST_F(BusTree, DeviceIdsPassDownAndMoveBetweenShareSets)
{
    Load(Bus("Master", R"("device": 5)") + ", " + Bus("Music", R"("parent": "Master")") + ", " +
         Bus("Voices", R"("parent": "Music")") + ", " + Bus("Other", R"("device": 6)"));
    CZkBus* master = FindBus("Master");
    CZkBus* music = FindBus("Music");
    CZkBus* voices = FindBus("Voices");
    CZkBus* other = FindBus("Other");

    CZkAudioRenderer::ClearGraphDirty();
    CZkBus::SetBusDevice(music->ID(), 9);
    EXPECT_EQ(music->DeviceID(), 9u);
    EXPECT_EQ(voices->DeviceID(), 9u) << "child buses take it";
    EXPECT_EQ(master->DeviceID(), 5u);
    EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphClean) << "only a top-level bus marks the graph";
    CZkBus::SetBusDevice(master->ID(), 7);
    EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphRefresh);
    EXPECT_EQ(voices->DeviceID(), 7u);
    CZkBus::SetBusDevice(12345, 3); // an unknown bus is ignored

    // A device moves to another share set: the buses on it follow, the others stay.
    EXPECT_EQ(CZkBus::ResolveDeviceIDs(7, 8), ZK_Success);
    EXPECT_EQ(master->DeviceID(), 8u);
    EXPECT_EQ(voices->DeviceID(), 8u);
    EXPECT_EQ(other->DeviceID(), 6u);
    // A bus that inherits finds its device at the nearest ancestor that names one, and keeps it.
    voices->SetDeviceID(CZkBus::kInheritDevice);
    EXPECT_EQ(voices->ResolveOutputShareSet(), 8u);
    EXPECT_EQ(voices->DeviceID(), 8u);
    voices->SetDeviceID(CZkBus::kInheritDevice);
    music->SetDeviceID(4);
    voices->SetDeviceID(CZkBus::kInheritDevice);
    EXPECT_EQ(CZkBus::ResolveDeviceIDs(4, 11), ZK_Success);
    EXPECT_EQ(music->DeviceID(), 11u);
    EXPECT_EQ(voices->DeviceID(), 11u) << "an inherited id counts as the ancestor's";
    EXPECT_EQ(master->DeviceID(), 8u);
}

TEST_F(BusTree, Message46ChangesChildBusesOnly)
{
    Load(Bus("Master", R"("channel_config": 6)") + ", " + Bus("Music", R"("parent": "Master")"));
    CZkBus* master = FindBus("Master");
    CZkBus* music = FindBus("Music");
    struct Case
    {
        const char* name;
        uint32_t word;
        uint32_t expected;
    };
    const std::vector<Case> cases = {
        {"standard: stereo", (0x3u << 12) | 0x100u | 2u, (0x3u << 12) | 0x100u | 2u},
        {"standard: bits outside 0x3FF3F dropped, count recomputed", (0xFFFFFu << 12) | 0x100u | 20u,
         (0x3FF3Fu << 12) | 0x100u | 16u},
        {"standard: a wrong count is recomputed", (0x3Fu << 12) | 0x100u | 2u, (0x3Fu << 12) | 0x100u | 6u},
        {"ambisonic: kept as it is", (0x0u << 12) | 0x300u | 9u, 0x309u},
        {"anonymous: kept as it is", 0xFFFFF004u & ~0xF00u, 0xFFFFF004u & ~0xF00u},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        CZkAudioRenderer::ClearGraphDirty();
        CZkBus::SetBusConfig(music->ID(), test.word);
        EXPECT_EQ(music->ChannelConfig(), test.expected);
        EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphRebuildAll);
        CZkAudioRenderer::ClearGraphDirty();
        CZkBus::SetBusConfig(music->ID(), test.word);
        EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphClean) << "the same configuration changes nothing";
        CZkBus::SetBusConfig(master->ID(), test.word);
        EXPECT_EQ(master->ChannelConfig(), 6u) << "a top-level bus keeps its configuration";
    }
}

TEST_F(BusTree, AMixerChangeStopsWhatPlaysThroughTheBus)
{
    Load(Bus("Master"));
    CZkBus* master = FindBus("Master");
    TestNode* sound = AddNode(300, ZkNodeCategory_Sound);
    ASSERT_EQ(master->AddChild(sound), ZK_Success);
    Play(sound);

    EXPECT_EQ(master->SetMixerPlugin(9, true, 5), ZK_Success);
    ASSERT_EQ(sound->actions.size(), 1u) << "a new mixer stops the bus's sounds";
    EXPECT_EQ(sound->actions[0].code, ZkActionCode_Stop);
    EXPECT_EQ(sound->actions[0].gameObject, nullptr);
    EXPECT_EQ(sound->actions[0].transitionTime, 0);
    EXPECT_EQ(sound->actions[0].options, 4u);
    EXPECT_EQ(master->SetMixerPlugin(10, false, 4), ZK_Success);
    EXPECT_EQ(master->MixerPlugin()->effectID, 9u) << "a lower priority is ignored";
    EXPECT_EQ(master->SetMixerPlugin(9, true, 6), ZK_Success);
    EXPECT_EQ(master->MixerPlugin()->priority, 6u);
    EXPECT_EQ(sound->actions.size(), 1u) << "the same mixer stops nothing";
    EXPECT_EQ(master->MixerEffect(), nullptr) << "effect objects are not loaded";
    EXPECT_EQ(master->SetMixerPlugin(0, false, 7), ZK_Success);
    EXPECT_EQ(master->MixerPlugin(), nullptr) << "id 0 frees the record";
    EXPECT_EQ(sound->actions.size(), 2u);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(CZkBus::kPool, 1);
        EXPECT_EQ(master->SetMixerPlugin(3, false, 0), ZK_Fail);
    }
    EXPECT_EQ(master->MixerPlugin(), nullptr);
    Stop(sound);
    sound->SetOutputBus(nullptr);
}

TEST_F(BusTree, ABusNeedsAMixStageForItsEffectsConfigurationMixerAndPositioning)
{
    Load(Bus("Master") + ", " + Bus("Music", R"("parent": "Master")"));
    CZkBus* master = FindBus("Master");
    CZkBus* music = FindBus("Music");
    EXPECT_TRUE(master->NeedsProcessing()) << "a bus without parent";
    EXPECT_FALSE(music->NeedsProcessing());
    struct Case
    {
        const char* name;
        std::function<void()> change;
        std::function<void()> undo;
    };
    const ZkCurvePoint line[] = {{0.0f, 0.0f, 4}, {1.0f, 1.0f, 4}};
    const std::vector<Case> cases = {
        {"an effect", [&] { music->Effects().SetSlotValue(2, 44, false, 1); }, [&] { music->Effects().SetSlotValue(2, 0, false, 2); }},
        {"a standard configuration with channels", [&] { music->SetChannelConfig(0x3102); }, [&] { music->SetChannelConfig(0); }},
        {"an ambisonic configuration", [&] { music->SetChannelConfig(0x304); }, [&] { music->SetChannelConfig(0); }},
        {"a configuration of type 14", [&] { music->SetChannelConfig(0xE00); }, [&] { music->SetChannelConfig(0); }},
        {"a mixer", [&] { music->SetMixerPlugin(8, false, 0); }, [&] { music->SetMixerPlugin(0, false, 0); }},
        {"a bus-volume game parameter", [&] { music->SubscribeRTPC(600, 0, 0, 5, 1, 0, line, 2); }, [&] { music->UnsubscribeRTPC(5, 1); }},
        {"a window game parameter", [&] { music->SubscribeRTPC(601, 0, 0, 44, 2, 0, line, 2); }, [&] { music->UnsubscribeRTPC(44, 2); }},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        test.change();
        EXPECT_TRUE(music->NeedsProcessing());
        test.undo();
        EXPECT_FALSE(music->NeedsProcessing());
    }
    // A playing bus whose answer changes marks the graph.
    TestNode* sound = AddNode(300, ZkNodeCategory_Sound);
    ASSERT_EQ(music->AddChild(sound), ZK_Success);
    Play(sound);
    CZkAudioRenderer::ClearGraphDirty();
    music->SubscribeRTPC(600, 0, 0, 5, 1, 0, line, 2);
    EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphRefresh);
    CZkAudioRenderer::ClearGraphDirty();
    music->SubscribeRTPC(602, 0, 0, 2, 3, 0, line, 2);
    EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphClean) << "a parameter of the voices changes nothing";
    music->UnsubscribeRTPC(5, 1);
    music->UnsubscribeRTPC(2, 3);
    Stop(sound);
    sound->SetOutputBus(nullptr);
}

TEST_F(BusTree, ABusPassesChangesToTheChildrenThatPlay)
{
    Load(Bus("Master") + ", " + Bus("Music", R"("parent": "Master")") + ", " + Bus("Idle", R"("parent": "Master")"));
    CZkBus* master = FindBus("Master");
    CZkBus* music = FindBus("Music");
    TestNode* playing = AddNode(300, ZkNodeCategory_Sound);
    TestNode* quiet = AddNode(301, ZkNodeCategory_Sound);
    TestNode* positioned = AddNode(302, ZkNodeCategory_Sound);
    TestNode* underMusic = AddNode(303, ZkNodeCategory_Sound);
    for (TestNode* node : {playing, quiet, positioned})
        ASSERT_EQ(master->AddChild(node), ZK_Success);
    ASSERT_EQ(music->AddChild(underMusic), ZK_Success);
    positioned->SetOverrides(kOverridePositioning);
    Play(playing);
    Play(positioned);
    Play(underMusic);

    master->UpdateContribution(nullptr);
    EXPECT_EQ(playing->contributions.size(), 1u);
    EXPECT_EQ(quiet->contributions.size(), 0u) << "a child that does not play";
    EXPECT_EQ(underMusic->contributions.size(), 1u) << "through the child bus that plays";
    master->RefreshPositioningParam(18, 2.0f);
    EXPECT_EQ(playing->positionings.size(), 1u);
    EXPECT_EQ(positioned->positionings.size(), 0u) << "a child that overrides positioning keeps its own";
    const uint32_t refreshes = underMusic->refreshes;
    master->Refresh();
    EXPECT_EQ(underMusic->refreshes, refreshes + 1);

    // Properties 0 to 5 of a bus without a mix stage of its own reach the voices as deltas.
    EXPECT_EQ(music->SetFloatProperty(0, -6.0f), ZK_Success);
    EXPECT_EQ(underMusic->deltas, (std::vector<std::pair<uint32_t, float>>{{0, -6.0f}}));
    EXPECT_EQ(music->SetFloatProperty(0, -6.0f), ZK_Success);
    EXPECT_EQ(underMusic->deltas.size(), 1u) << "the stored value: nothing to push";
    // The master bus has a mix stage: its bus volume (property 5) is its own, its voice volume not.
    EXPECT_EQ(master->SetFloatProperty(5, -3.0f), ZK_Success);
    EXPECT_EQ(master->GetFloatProperty(5), -3.0f);
    EXPECT_TRUE(playing->deltas.empty());
    EXPECT_EQ(master->SetFloatProperty(0, -1.0f), ZK_Success);
    EXPECT_EQ(playing->deltas.size(), 1u);

    // Media preparation reaches every non-bus child and stops at the first failure.
    EXPECT_EQ(master->PrepareMedia(), ZK_Success);

    for (TestNode* node : {playing, positioned, underMusic})
        Stop(node);
    for (TestNode* node : {playing, quiet, positioned, underMusic})
        node->SetOutputBus(nullptr);
}

// A test node that writes its id into a shared log when an action reaches it.
class LoggingNode final : public TestNode
{
public:
    LoggingNode(ZkUniqueID id, std::vector<ZkUniqueID>& log) : TestNode(id, ZkNodeCategory_Sound), m_log(log) {}
    ZKRESULT ExecuteAction(const ZkActionParams& params) override
    {
        m_log.push_back(ID());
        return TestNode::ExecuteAction(params);
    }

private:
    std::vector<ZkUniqueID>& m_log;
};

TEST_F(BusTree, ActionsOnAPlayingIdGoFromEveryTopLevelBusToItsChildrenLastFirst)
{
    Load(Bus("Master") + ", " + Bus("Music", R"("parent": "Master")") + ", " + Bus("Other") + ", " + Bus("Quiet"));
    CZkBus* master = FindBus("Master");
    std::vector<ZkUniqueID> log;
    std::vector<LoggingNode*> nodes;
    const std::pair<ZkUniqueID, const char*> placement[] = {{100, "Master"}, {200, "Master"}, {300, "Music"}, {400, "Other"}, {500, "Quiet"}};
    for (const auto& [id, busName] : placement)
    {
        auto* node = ZK::ZkNew<LoggingNode>(CZkHierarchyNode::kPool, id, log);
        ASSERT_NE(node, nullptr);
        ASSERT_EQ(node->AddToIndex(), ZK_Success);
        ASSERT_EQ(FindBus(busName)->AddChild(node), ZK_Success);
        nodes.push_back(node);
    }
    for (size_t index = 0; index < 4; ++index)
        Play(nodes[index]);
    const uint32_t masterReferences = master->RefCount();

    EXPECT_EQ(CZkBus::ExecuteActionOnPlayingID(ZkActionCode_Pause, 77, 300, 4), ZK_Success);
    EXPECT_EQ(log, (std::vector<ZkUniqueID>{200, 100, 300, 400}))
        << "per top-level bus: its sounds last to first, then its child buses; a bus without activity passes nothing";
    for (size_t index = 0; index < 4; ++index)
    {
        ASSERT_EQ(nodes[index]->actions.size(), 1u);
        const ZkActionParams& action = nodes[index]->actions[0];
        EXPECT_EQ(action.code, ZkActionCode_Pause);
        EXPECT_EQ(action.playingID, 77u);
        EXPECT_EQ(action.transitionTime, 300);
        EXPECT_EQ(action.curve, 4u);
        EXPECT_TRUE(action.throughBuses);
    }
    EXPECT_EQ(master->RefCount(), masterReferences) << "the walk's references went again";

    for (size_t index = 0; index < 4; ++index)
        Stop(nodes[index]);
    for (LoggingNode* node : nodes)
    {
        node->SetOutputBus(nullptr);
        node->Release();
    }
}
} // namespace
