// The read side of the game-parameter subscriptions: the combined value of the curves that drive one
// parameter bit of a subscriber, for a scope, as node parameter code and the bus window read it.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"

#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"

#include <memory>

namespace
{
using namespace ZK::SoundEngine;
using ZkParamTest::ParametersTest;

constexpr ZkUniqueID kFirst = 1000;
constexpr ZkUniqueID kSecond = 1001;
constexpr ZkUniqueID kUnknown = 1002; // neither a game parameter nor a modulator
constexpr uint32_t kBit = 3;
const ZkCurvePoint kIdentity[] = {{0.0f, 0.0f, 4}, {100.0f, 100.0f, 4}};
const ZkCurvePoint kDoubled[] = {{0.0f, 0.0f, 4}, {100.0f, 200.0f, 4}};
const ZkCurvePoint kOffset[] = {{0.0f, 7.0f, 4}, {100.0f, 107.0f, 4}};

// The subscriber is a node's target list; the first parameter's default is 5, the second's 0.
class ModulatorValue : public ParametersTest
{
protected:
    void SetUp() override
    {
        ParametersTest::SetUp();
        m_list = std::make_unique<CZkParamTargetList>(77, nullptr);
        ASSERT_EQ(g_pRTPCMgr->SetDefaultValue(kFirst, 5.0f), ZK_Success);
        ASSERT_EQ(g_pRTPCMgr->SetDefaultValue(kSecond, 0.0f), ZK_Success);
    }
    void TearDown() override
    {
        m_list.reset();
        ParametersTest::TearDown();
    }
    void Set(ZkUniqueID id, float value, const ZkRTPCKey& key) { g_pRTPCMgr->SetRTPCImmediate(id, value, key); }
    float Read(uint32_t bit, const ZkRTPCKey& key) { return g_pRTPCMgr->GetModulatorValue(m_list.get(), bit, key); }

    std::unique_ptr<CZkParamTargetList> m_list;
};

TEST_F(ModulatorValue, CurvesAddOrMultiplyByTheEntrysModeAndNothingDrivenReadsZero)
{
    EXPECT_EQ(Read(kBit, ZkRTPCKey::Global()), 0.0f) << "no entry";
    Set(kFirst, 10.0f, ZkRTPCKey::Global());
    Set(kSecond, 20.0f, ZkRTPCKey::Global());
    struct Case
    {
        uint32_t mode;
        float expected;
    };
    for (const Case& c : {Case{0, 10.0f + 40.0f}, Case{kRTPCCombineMultiply, 10.0f * 40.0f}, Case{1, 50.0f}})
    {
        ASSERT_EQ(m_list->SubscribeRTPC(kFirst, 0, c.mode, kBit, 1, ZkCurveScaling_None, kIdentity, 2), ZK_Success);
        ASSERT_EQ(m_list->SubscribeRTPC(kSecond, 0, c.mode, kBit, 2, ZkCurveScaling_None, kDoubled, 2), ZK_Success);
        EXPECT_FLOAT_EQ(Read(kBit, ZkRTPCKey::Global()), c.expected) << "mode " << c.mode;
        EXPECT_EQ(Read(kBit + 1, ZkRTPCKey::Global()), 0.0f) << "another bit has no entry";
        m_list->RemoveParamBit(kBit, 1);
        m_list->RemoveParamBit(kBit, 2);
    }
}

TEST_F(ModulatorValue, AnObjectWithoutAValueFallsBackToTheGlobalValueThenToTheDefault)
{
    ASSERT_EQ(m_list->SubscribeRTPC(kFirst, 0, 0, kBit, 1, ZkCurveScaling_None, kIdentity, 2), ZK_Success);
    const ZkRTPCKey keyA = ZkRTPCKey::ForObject(Register(10));
    const ZkRTPCKey keyB = ZkRTPCKey::ForObject(Register(11));
    EXPECT_FLOAT_EQ(Read(kBit, keyA), 5.0f) << "the default";
    Set(kFirst, 20.0f, ZkRTPCKey::Global());
    Set(kFirst, 30.0f, keyA);
    EXPECT_FLOAT_EQ(Read(kBit, keyA), 30.0f) << "the object's own value";
    EXPECT_FLOAT_EQ(Read(kBit, keyB), 20.0f) << "the global value";
    EXPECT_FLOAT_EQ(Read(kBit, ZkRTPCKey::Global()), 20.0f);
}

TEST_F(ModulatorValue, AnIdThatIsNoModulatorReadsItsDefaultOnTheVoiceModulatedBits)
{
    // Bits 0 and 7 skip only modulators (the voice applies those itself); an id that names
    // neither a game parameter nor a modulator reads 0 through its curve.
    for (uint32_t bit : {0u, 7u, kBit})
    {
        ASSERT_EQ(m_list->SubscribeRTPC(kUnknown, 0, 0, bit, 1, ZkCurveScaling_None, kOffset, 2), ZK_Success);
        EXPECT_FLOAT_EQ(Read(bit, ZkRTPCKey::Global()), 7.0f) << "bit " << bit;
        m_list->RemoveParamBit(bit, 1);
    }
}
} // namespace
