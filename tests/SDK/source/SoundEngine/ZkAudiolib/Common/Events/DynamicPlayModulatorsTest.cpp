// A run-time play action hands modulator instances on to the play it launches: the launch carries
// copies of its own (given back with the launch), the action keeps its array until it goes, and a
// record it copies hands its instances to the action, not its storage.
#include "EventsFixture.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Events/CZkDynamicPlayAction.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"

namespace
{
using namespace ZkEventsTest;
using ZK::SoundEngine::CZkDynamicPlayAction;
using ZK::SoundEngine::CZkModulatorInstance;
using ZK::SoundEngine::PendingAction;

// An instance of no modulator: only its references and users are looked at.
class BareInstance final : public CZkModulatorInstance
{
public:
    static BareInstance* Create()
    {
        auto* instance = ZK::ZkNew<BareInstance>(kPool);
        if (instance != nullptr)
            instance->AddRef();
        return instance;
    }
    bool SetParam(uint32_t, float) override { return false; }
    void Advance(uint32_t) override {}
    void* GetParamBlock() override { return &m_block; }
    void UpdateAudioRate() override {}
    void PostInit() override {}
    // The references held, the caller's included.
    uint32_t References()
    {
        const uint32_t count = AddRef();
        Release();
        return count - 1;
    }

private:
    int64_t m_block = 0;
};

class DynamicPlayModulators : public EventsTest
{
protected:
    void SetUp() override
    {
        EventsTest::SetUp();
        m_object = Register(7);
    }

    CZkRegisteredObj* m_object = nullptr;
};

TEST_F(DynamicPlayModulators, TheLaunchCarriesCopiesOfTheActionsInstances)
{
    TestPlayableNode* node = AddPlayable(500);
    BareInstance* carried = BareInstance::Create();
    BareInstance* other = BareInstance::Create();
    ASSERT_NE(carried, nullptr);
    ASSERT_NE(other, nullptr);

    CZkDynamicPlayAction* play = CZkDynamicPlayAction::Create(500);
    ASSERT_NE(play, nullptr);
    ASSERT_EQ(play->ModulatorInstances().Add(carried), ZK_Success);
    EXPECT_TRUE(play->HasModulatorInstance(carried));
    EXPECT_FALSE(play->HasModulatorInstance(other));
    EXPECT_EQ(carried->References(), 2u) << "the action holds one";
    ASSERT_EQ(play->SetIntProperty(ZK::SoundEngine::ZkProp_ActionDelay, 2 * kFrame, 0, 0), ZK_Success);
    auto* pending = ZK::ZkNew<PendingAction>(PendingAction::kPool, play, m_object);
    ASSERT_NE(pending, nullptr);
    ASSERT_EQ(m_events.EnqueuePendingAction(pending, 0, false), ZK_Success);
    play->Release();
    Ticks(3);
    ASSERT_EQ(node->handedOn.size(), 1u);
    EXPECT_EQ(node->handedOn[0], std::vector<CZkModulatorInstance*>{carried}) << "the launch carried it";
    EXPECT_EQ(m_events.ActivePendingCount(), 0u);
    EXPECT_EQ(carried->References(), 1u) << "the launch's copy and the action's array are given back";

    // A launch record holding instances (a delayed play queued by a node): the action takes its
    // own copies, the record keeps its own.
    ZK::SoundEngine::PlayLaunchParams record;
    ASSERT_EQ(record.modulatorInstances.Add(other), ZK_Success);
    CZkDynamicPlayAction* delayed = CZkDynamicPlayAction::Create(500);
    ASSERT_NE(delayed, nullptr);
    delayed->SetPlayRecord(record);
    EXPECT_EQ(delayed->PlayRecord().modulatorInstances.Length(), 0u);
    EXPECT_TRUE(delayed->HasModulatorInstance(other));
    EXPECT_EQ(other->References(), 3u);
    record.FreeArrays();
    delayed->Release();
    EXPECT_EQ(other->References(), 1u);

    carried->Release();
    other->Release();
}
} // namespace
