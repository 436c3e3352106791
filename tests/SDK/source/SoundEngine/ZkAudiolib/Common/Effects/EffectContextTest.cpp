// Effect contexts: what a context's plug-in is sent when it is made (initial values by driven
// kind, game parameters through their curves, state groups), the contribution setter's kinds,
// game parameters scoped to the context's game object, subscriptions added while contexts run,
// Unsubscribe leaving nothing in the game-parameter manager, the effect object outliving its bank
// while a context holds it, and allocation failures leaving no half-made context.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Effects/EffectObjectFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

#include <cmath>

namespace
{
using namespace ZkEffectTest;

const std::string kGain = std::to_string(kGainKey);
constexpr ZkUniqueID kLevel = 900; // a game parameter from 0 to 100
const std::string kLevelCurve =
    R"({"parameter": 900, "combine": %KIND%, "target": 0, "curve": 1, "points": [[0, 0], [100, 1]]})";

std::string Curve(int kind, int curveID = 1)
{
    std::string curve = kLevelCurve;
    curve.replace(curve.find("%KIND%"), 6, std::to_string(kind));
    curve.replace(curve.find("\"curve\": 1"), 10, "\"curve\": " + std::to_string(curveID));
    return curve;
}

class EffectContexts : public EffectObjectTest
{
protected:
    void SetUp() override
    {
        EffectObjectTest::SetUp();
        ASSERT_EQ(g_pRTPCMgr->SetDefaultValue(kLevel, 50.0f), ZK_Success);
    }
    CZkEffectObject* GainObject(const std::string& extra)
    {
        return Make(R"({"type": "shareset", "id": 5, "plugin": )" + kGain + ", " + extra + "}");
    }
};

// The bank description of each case and the gain a new context's plug-in gets, with the level at
// its default of 50 (curve output 0.5).
TEST_F(EffectContexts, ANewContextIsSentEachDrivenParameterByItsKind)
{
    const struct
    {
        const char* what;
        std::string extra;
        float gain;
    } cases[] = {
        {"kind 3 alone", R"("initial": [{"param": 0, "kind": 3, "value": 0.5}])", 0.5f},
        {"kind 3 times a curve", R"("initial": [{"param": 0, "kind": 3, "value": 0.5}], "rtpc": [)" + Curve(3) + "]",
         0.25f},
        {"kind 2 adds", R"("initial": [{"param": 0, "kind": 2, "value": 0.25}], "rtpc": [)" + Curve(2) + "]", 0.75f},
        {"kind 4 leaves the initial value out", R"("initial": [{"param": 0, "kind": 4, "value": 0.25}], "rtpc": [)" +
                                                    Curve(4) + "]",
         0.5f},
        {"kind 4 alone keeps it", R"("initial": [{"param": 0, "kind": 4, "value": 0.25}])", 0.25f},
        {"kind 1: the raw curve output", R"("initial": [{"param": 0, "kind": 1, "value": 0.25}], "rtpc": [)" +
                                             Curve(1) + "]",
         0.5f},
        {"not driven: the block's value stays", R"("data_f32": [0.75], "initial": [{"param": 0, "value": 0.25}])",
         0.75f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        CZkEffectObject* object = GainObject(c.extra);
        const CZkEffectContext* context = Context(object);
        EXPECT_FLOAT_EQ(Gain(context), c.gain);
        const float blockGain = c.extra.find("data_f32") != std::string::npos ? 0.75f : 1.0f;
        EXPECT_FLOAT_EQ(static_cast<GainParams*>(object->pluginParams)->gain, blockGain)
            << "the object's own block is never sent values";
        for (CZkEffectContext* made : m_contexts)
            made->Term();
        object->Release();
        m_objects.clear();
    }
}

TEST_F(EffectContexts, TheContributionSetterCombinesByType)
{
    CZkEffectObject* object = GainObject(R"("initial": [{"param": 0, "kind": 2, "value": 0.25}])");
    CZkEffectContext* context = Context(object);
    const struct
    {
        uint32_t keyID;
        uint32_t secondKey;
        uint8_t type;
        float value;
        float sent;
        uint32_t contributions;
    } steps[] = {
        {2, 70, 2, 0.5f, 0.75f, 2},    // initial 0.25 + state 0.5
        {2, 70, 2, 0.25f, 0.5f, 2},    // the same contribution takes its new value
        {1, 900, 3, 0.5f, 0.03125f, 3}, // type 3 multiplies every contribution: 0.25 x 0.25 x 0.5
        {1, 900, 4, 0.5f, 0.75f, 3},    // type 4 leaves the initial value out: 0.25 + 0.5
        {1, 901, 1, 9.0f, 9.0f, 3},    // type 1: the raw value, nothing stored
    };
    for (const auto& s : steps)
    {
        SCOPED_TRACE(testing::Message() << "key " << s.keyID << "/" << s.secondKey << " type " << int{s.type});
        CZkEffectParams::SetParam(*context, s.keyID, s.secondKey, 0, s.type, s.value);
        EXPECT_FLOAT_EQ(Gain(context), s.sent);
        EXPECT_EQ(context->Contributions().Length(), s.contributions);
    }
    CZkEffectParams::SetParam(*context, 1, 900, 7, 3, 0.5f);
    EXPECT_EQ(Params(context).sent.back().paramID, 7u);
    EXPECT_FLOAT_EQ(Params(context).sent.back().value, 0.5f) << "a single type-3 contribution of 0.5 is 0.5";
}

TEST_F(EffectContexts, GameParametersReachOnlyTheContextsOfTheirGameObject)
{
    CZkEffectObject* object =
        GainObject(R"("initial": [{"param": 0, "kind": 3, "value": 0.5}], "rtpc": [)" + Curve(3) + "]");
    CZkRegisteredObj* first = Register(1);
    CZkRegisteredObj* second = Register(2);
    CZkEffectContext* firstContext = Context(object, ZkRTPCKey::ForObject(first));
    CZkEffectContext* secondContext = Context(object, ZkRTPCKey::ForObject(second));
    EXPECT_FLOAT_EQ(Gain(firstContext), 0.25f);
    ASSERT_EQ(g_pRTPCMgr->SetRTPCImmediate(kLevel, 100.0f, ZkRTPCKey::ForObject(first)), ZK_Success);
    EXPECT_FLOAT_EQ(Gain(firstContext), 0.5f);
    EXPECT_FLOAT_EQ(Gain(secondContext), 0.25f) << "the other object keeps the default";
    ASSERT_EQ(g_pRTPCMgr->SetRTPCImmediate(kLevel, 20.0f, ZkRTPCKey::Global()), ZK_Success);
    EXPECT_FLOAT_EQ(Gain(secondContext), 0.1f);
    EXPECT_FLOAT_EQ(Gain(firstContext), 0.5f) << "its own value overrides the global one";

    const uint32_t before = g_pRTPCMgr->SubscriptionCount();
    firstContext->Unsubscribe();
    EXPECT_EQ(g_pRTPCMgr->FindSubscription(firstContext, 0), nullptr) << "nothing left under the context";
    EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), before - 1);
    EXPECT_FALSE(firstContext->IsFilled());
    EXPECT_EQ(object->ContextCount(), 1u);
}

TEST_F(EffectContexts, ASubscriptionAddedWithSubscribeNowReachesRunningContexts)
{
    CZkEffectObject* object = GainObject(R"("initial": [{"param": 0, "kind": 3, "value": 0.5}])");
    CZkEffectContext* context = Context(object);
    CZkEffectParams::SetParam(*context, 2, 70, 0, 3, 0.1f); // a contribution from before
    ASSERT_FLOAT_EQ(Gain(context), 0.05f);
    const ZkCurvePoint points[] = {{0.0f, 0.0f, 4}, {100.0f, 1.0f, 4}};
    ZkEffectSubscriptionInput input{kLevel, 0, 3, 0, 1, 0, points, 2};
    ASSERT_EQ(object->AddSubscription(input, true), ZK_Success);
    EXPECT_FLOAT_EQ(Gain(context), 0.25f) << "restarted from the initial value, times the curve at 50";
    EXPECT_NE(g_pRTPCMgr->FindSubscription(context, 0), nullptr);
    ASSERT_EQ(g_pRTPCMgr->SetRTPCImmediate(kLevel, 100.0f, ZkRTPCKey::Global()), ZK_Success);
    EXPECT_FLOAT_EQ(Gain(context), 0.5f);
    ASSERT_EQ(object->AddSubscription(input, false), ZK_Success);
    EXPECT_EQ(object->Subscriptions().Length(), 1u) << "the same (target, curve) replaced";
}

TEST_F(EffectContexts, TheObjectOutlivesItsBankWhileAContextHoldsIt)
{
    CZkEffectObject* object = GainObject(R"("initial": [{"param": 0, "kind": 3, "value": 0.5}])");
    CZkEffectContext* context = Context(object);
    EXPECT_EQ(object->RefCount(), 2u);
    m_objects.clear();
    object->Release(); // the bank goes
    EXPECT_NE(g_pObjectIndex->Table(ZkIndexKind::SharedEffects).Table().Find(5), nullptr);
    EXPECT_FLOAT_EQ(Gain(context), 0.5f);
    context->Term();
    EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::SharedEffects).Table().Find(5), nullptr) << "the last reference";
    context->Term(); // a second end does nothing
}

TEST_F(EffectContexts, AllocationFailuresLeaveNoHalfMadeContext)
{
    CZkEffectObject* object = GainObject(R"("initial": [{"param": 0, "kind": 3, "value": 0.5}], "rtpc": [)" +
                                         Curve(3) + "]");
    for (const ZkMemoryId pool : {ZkMemID_Default, ZkMemID_BankObjects})
    {
        ZK::MemoryMgr::FaultInjection::CountOnly(pool);
        {
            CZkEffectContext probe;
            ASSERT_TRUE(object->CreatePluginInstance(probe, ZkRTPCKey::Global()));
        }
        const uint32_t allocations = ZK::MemoryMgr::FaultInjection::CountedAllocations();
        for (uint32_t n = 1; n <= allocations; ++n)
        {
            SCOPED_TRACE(testing::Message() << "pool " << pool << ", allocation " << n);
            const uint32_t subscriptions = g_pRTPCMgr->SubscriptionCount();
            CZkEffectContext context;
            ZK::MemoryMgr::FaultInjection::FailNth(pool, n);
            const bool made = object->CreatePluginInstance(context, ZkRTPCKey::Global());
            ZK::MemoryMgr::FaultInjection::Disarm();
            if (!made)
            {
                EXPECT_FALSE(context.IsFilled());
                EXPECT_EQ(context.Params(), nullptr);
                EXPECT_EQ(object->FirstContext(), nullptr);
                EXPECT_EQ(object->RefCount(), 1u);
                EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), subscriptions);
            }
            context.Term();
            EXPECT_EQ(GainParams::live, 1u) << "only the object's block";
        }
    }
}

// State groups drive plug-in parameters: contributions with key id 2, value changes reaching every
// context, and the rebuild after the states are applied.
class EffectStates : public EffectContexts
{
protected:
    static constexpr ZkUniqueID kGroup = 70;
    static constexpr ZkUniqueID kOtherGroup = 71;
    void SetUp() override
    {
        EffectContexts::SetUp();
        ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
        ASSERT_EQ(g_pStateMgr->AddStateGroup(kOtherGroup), ZK_Success);
        MakeState(500, {{0, 0.5f}});
        MakeState(501, {{0, 0.25f}});
        MakeState(502, {{1, 0.5f}}); // no value for parameter 0
    }
    // A gain object whose parameter 0 (kind) follows the groups given: {group, state, state object}.
    CZkEffectObject* StateObject(int kind, const std::string& groups)
    {
        return GainObject(R"("initial": [{"param": 0, "kind": )" + std::to_string(kind) +
                          R"(, "value": 1.0}], "states": {"properties": [[0, )" + std::to_string(kind) +
                          R"(]], "groups": [)" + groups + "]}");
    }
};

TEST_F(EffectStates, StateContributionRoutines)
{
    const struct
    {
        const char* what;
        std::string groups;
        bool multiply;
        bool result;
        float total;
        uint32_t appended;
    } cases[] = {
        {"no link: nothing appended, total unchanged", "", false, false, 1.0f, 0},
        {"a link whose current state has no value: 0.0 stored", R"({"id": 70, "states": [[2, 502]]})", false, true,
         1.0f, 1},
        {"the same, multiplying: 1.0 stored", R"({"id": 70, "states": [[2, 502]]})", true, true, 1.0f, 1},
        {"two groups of 0.5 multiply 1.0 down to 0.25",
         R"({"id": 70, "states": [[2, 500]]}, {"id": 71, "states": [[2, 500]]})", true, true, 0.25f, 2},
        {"two groups of 0.5 and 0.25 add", R"({"id": 70, "states": [[2, 500]]}, {"id": 71, "states": [[2, 501]]})",
         false, true, 1.75f, 2},
    };
    g_pStateMgr->SetStateInternal(kGroup, 2, true, false);
    g_pStateMgr->SetStateInternal(kOtherGroup, 2, true, false);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        CZkEffectObject* object = StateObject(c.multiply ? 3 : 2, c.groups);
        CZkEffectContext context;
        ASSERT_TRUE(object->CreatePluginInstance(context, ZkRTPCKey::Global()));
        context.Contributions().RemoveAll();
        float total = 1.0f;
        const CZkEffectStateProperties& states = object->StateProperties();
        EXPECT_EQ(c.multiply ? states.MultiplyStateContributions(context, 0, total)
                             : states.AddStateContributions(context, 0, total),
                  c.result);
        EXPECT_FLOAT_EQ(total, c.total);
        ASSERT_EQ(context.Contributions().Length(), c.appended);
        for (const ZkEffectContribution& contribution : context.Contributions())
        {
            EXPECT_EQ(contribution.keyID, 2u);
            EXPECT_TRUE(contribution.secondKey == kGroup || contribution.secondKey == kOtherGroup);
        }
        context.Term();
        object->Release();
        m_objects.clear();
    }
}

TEST_F(EffectStates, WithStateUseOffEveryLinkGivesTheNeutralValue)
{
    g_pStateMgr->SetStateInternal(kGroup, 2, true, false);
    CZkEffectObject* object = StateObject(3, R"({"id": 70, "states": [[2, 500]]})");
    CZkEffectContext* context = Context(object);
    EXPECT_FLOAT_EQ(Gain(context), 0.5f);
    object->StateProperties().SetStateEnabled(false);
    EXPECT_FLOAT_EQ(Gain(context), 1.0f) << "state use changed rebuilds with the neutral value";
    float total = 1.0f;
    EXPECT_TRUE(object->StateProperties().MultiplyStateContributions(*context, 0, total));
    EXPECT_FLOAT_EQ(total, 1.0f);
}

TEST_F(EffectStates, AStateChangeReachesEveryContext)
{
    CZkEffectObject* object = StateObject(3, R"({"id": 70, "states": [[2, 500], [3, 501]]})");
    CZkEffectContext* first = Context(object);
    CZkEffectContext* second = Context(object);
    g_pStateMgr->SetStateInternal(kGroup, 2, true, false);
    EXPECT_FLOAT_EQ(Gain(first), 0.5f);
    EXPECT_FLOAT_EQ(Gain(second), 0.5f);
    g_pStateMgr->SetStateInternal(kGroup, 3, true, false);
    EXPECT_FLOAT_EQ(Gain(first), 0.25f);
    EXPECT_FLOAT_EQ(Gain(second), 0.25f);
    uint32_t stateContributions = 0;
    for (const ZkEffectContribution& contribution : first->Contributions())
        stateContributions += contribution.keyID == 2 && contribution.secondKey == kGroup ? 1u : 0u;
    EXPECT_EQ(stateContributions, 1u) << "the group's contribution is replaced, not appended";
}

TEST_F(EffectStates, SetStatePropertiesWithoutApplyWaitsForTheNextStatesApplied)
{
    g_pStateMgr->SetStateInternal(kGroup, 2, true, false);
    CZkEffectObject* object = GainObject(R"("initial": [{"param": 0, "kind": 2, "value": 0.5}],
        "states": {"properties": [[1, 2]], "groups": [{"id": 70, "states": [[2, 500]]}]})");
    CZkEffectContext* context = Context(object);
    EXPECT_FLOAT_EQ(Gain(context), 0.5f) << "parameter 0 is not state-driven yet";
    const size_t sentBefore = Params(context).sent.size();
    const ZkStatePropertyInput properties[] = {{0, 3, 0}};
    object->StateProperties().SetStateProperties(1, properties, false);
    EXPECT_EQ(object->InitialValues()[0].drivenKind, 3u) << "the driven kind changed";
    EXPECT_FLOAT_EQ(Gain(context), 0.5f) << "nothing audible";
    for (size_t index = sentBefore; index < Params(context).sent.size(); ++index)
        EXPECT_FLOAT_EQ(Params(context).sent[index].value, 0.5f);
    object->StateProperties().ApplyCurrentStates();
    EXPECT_FLOAT_EQ(Gain(context), 0.25f) << "0.5 times the state's 0.5";
}
} // namespace
