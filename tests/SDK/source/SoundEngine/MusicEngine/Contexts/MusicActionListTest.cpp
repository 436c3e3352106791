// The time-ordered action list of the segment and track contexts: order among equal times, the
// frame window that makes an action due (end inclusive, negative times of the pre-entry), and the
// removals, each destroying what it takes out.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "MusicEngine/Contexts/ZkMusicActionList.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using ZK::MusicEngine::CZkMusicChild;
using ZK::MusicEngine::ZkMusicAction;
using ZK::MusicEngine::ZkMusicActionList;

std::vector<int> g_destroyed;

// An action with a label, of kind 0 or (with a target) a stop.
class LabelledAction final : public ZkMusicAction
{
public:
    LabelledAction(int32_t actionTime, int actionLabel, const CZkMusicChild* target = nullptr)
        : ZkMusicAction(actionTime), label(actionLabel), m_target(target)
    {
    }
    ~LabelledAction() override { g_destroyed.push_back(label); }
    uint32_t Kind() const override { return m_target != nullptr ? kKindStop : 0; }
    const CZkMusicChild* StopTarget() const override { return m_target; }

    int label;

private:
    const CZkMusicChild* m_target;
};

class MusicActionListTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        ZkEngineTest::EngineMemoryTest::SetUp();
        g_destroyed.clear();
    }
    void Add(int32_t time, int label, const CZkMusicChild* target = nullptr)
    {
        m_list.Insert(ZkMusicAction::Create<LabelledAction>(time, label, target));
    }
    // The labels of the actions due in the frame, in the order they come (each destroyed).
    std::vector<int> PopAll(int32_t from, uint32_t length)
    {
        std::vector<int> labels;
        ZkMusicAction* action = nullptr;
        while (m_list.PopDue(from, length, action) == ZK_DataReady)
        {
            labels.push_back(static_cast<LabelledAction*>(action)->label);
            ZkMusicAction::Destroy(action);
        }
        EXPECT_EQ(action, nullptr);
        return labels;
    }

    ZkMusicActionList m_list;
};

TEST_F(MusicActionListTest, ActionsComeInTimeOrderAndEqualTimesInTheOrderTheyWereScheduled)
{
    Add(300, 1);
    Add(-100, 2); // in the pre-entry
    Add(300, 3);
    Add(0, 4);
    Add(-100, 5);
    Add(500, 6);
    EXPECT_EQ(PopAll(-1000, 2000), (std::vector<int>{2, 5, 4, 1, 3, 6}));
    EXPECT_TRUE(m_list.IsEmpty());
}

TEST_F(MusicActionListTest, AnActionIsDueWhenItsTimeIsAtMostTheFrameEnd)
{
    struct WindowCase
    {
        const char* label;
        int32_t time;
        int32_t from;
        uint32_t length;
        bool due;
    };
    const std::vector<WindowCase> cases = {
        {"at the frame end", 1024, 0, 1024, true},
        {"one sample after the frame end", 1025, 0, 1024, false},
        {"before the frame (late)", -5000, 0, 1024, true},
        {"in the pre-entry", -300, -1024, 1024, true},
        {"after a pre-entry frame", 1, -1024, 1024, false},
        {"empty frame at its start", 64, 64, 0, true},
    };
    for (const WindowCase& c : cases)
    {
        Add(c.time, 7);
        EXPECT_EQ(PopAll(c.from, c.length).size(), c.due ? 1u : 0u) << c.label;
        m_list.Clear();
    }
}

TEST_F(MusicActionListTest, RemovingTheStopsOfAChildDestroysThoseAndKeepsTheRest)
{
    const CZkMusicChild* first = reinterpret_cast<const CZkMusicChild*>(0x1000);
    const CZkMusicChild* second = reinterpret_cast<const CZkMusicChild*>(0x2000);
    Add(10, 1, first);
    Add(20, 2);
    Add(30, 3, second);
    Add(40, 4, first);
    m_list.RemoveStopsOf(first);
    EXPECT_EQ(g_destroyed, (std::vector<int>{1, 4}));
    Add(35, 5); // the tail moved back correctly: a later insert still sorts
    Add(45, 6);
    EXPECT_EQ(PopAll(0, 100), (std::vector<int>{2, 3, 5, 6}));

    Add(1, 8);
    Add(2, 9);
    g_destroyed.clear();
    m_list.Clear();
    EXPECT_EQ(g_destroyed, (std::vector<int>{8, 9}));
    EXPECT_TRUE(m_list.IsEmpty());
}
} // namespace
