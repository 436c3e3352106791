// Actions (bank item type 3): the common body (type check, target, property and range blocks, the
// delay in samples), each kind's parameters as the bank writer lays them out, the exception lists,
// the property setters, the factory's kinds, and every cut of every body read with 7.
#include "EventsFixture.h"

#include "ZkAudiolib/Common/Events/CZkActionFactory.h"
#include "ZkAudiolib/Common/Events/CZkGameSyncActions.h"
#include "ZkAudiolib/Common/Events/CZkNodeCommandActions.h"
#include "ZkAudiolib/Common/Events/CZkPauseResumeActions.h"
#include "ZkAudiolib/Common/Events/CZkPlayAction.h"
#include "ZkAudiolib/Common/Events/CZkSeekAction.h"
#include "ZkAudiolib/Common/Events/CZkSetGameParameterAction.h"
#include "ZkAudiolib/Common/Events/CZkSetPropertyAction.h"
#include "ZkAudiolib/Common/Events/CZkStopAction.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <cmath>

namespace
{
using namespace ZkEventsTest;

class ActionBody : public EventsTest
{
protected:
    // The action of id 300 read from a bank holding it (its keys after "id").
    CZkEventAction* LoadAction(const std::string& keys)
    {
        EXPECT_EQ(Parse(BankOfItems(R"({"type": "action", "id": 300, )" + keys + "}")), ZK_Success) << keys;
        return FindAction(300);
    }
    static Bytes ActionBodyOf(const std::string& keys)
    {
        const std::vector<Bytes> bodies = ItemBodies(BankOfItems(R"({"type": "action", "id": 300, )" + keys + "}"));
        EXPECT_EQ(bodies.size(), 1u);
        return bodies.empty() ? Bytes{} : bodies[0];
    }
    static int32_t IntAt(const uint8_t* bytes) { return ZK::LoadLittleEndian<int32_t>(bytes); }
};

TEST_F(ActionBody, TheCommonBody)
{
    CZkEventAction* action = LoadAction(R"("action": "stop", "scope": 2, "target": 4000, "target_is_bus": 1,
        "props": {"delay": 500, "fade_time": 250}, "ranges": {"delay": [-100, 100]}, "curve": 9)");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->Type(), 0x0102);
    EXPECT_EQ(action->TargetID(), 4000u);
    EXPECT_TRUE(action->TargetIsBus());
    EXPECT_EQ(action->Curve(), 9u);
    EXPECT_EQ(action->GetProperty(ZkProp_ActionDelay).AsInt(), 24000) << "500 ms at 48,000 Hz";
    const uint8_t* range = action->Ranges().Find(ZkProp_ActionDelay);
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(IntAt(range), -4800) << "{-100, 100} ms";
    EXPECT_EQ(IntAt(range + 4), 4800);
    EXPECT_EQ(action->GetProperty(ZkProp_ActionFadeTime).AsInt(), 250) << "fades stay in milliseconds";

    // A body whose type word is not the action's own is accepted and read no further.
    CZkEventAction* play = CZkActionFactory::Create(0x0403, 0);
    ASSERT_NE(play, nullptr);
    const Bytes stop = ActionBodyOf(R"("action": "stop", "target": 4000, "props": {"delay": 500})");
    EXPECT_EQ(play->ReadFromBank(stop.data(), static_cast<uint32_t>(stop.size())), ZK_Success);
    EXPECT_EQ(play->TargetID(), 0u) << "no target";
    EXPECT_EQ(play->Properties().Count(), 0u) << "no properties";
    play->Release();
}

TEST_F(ActionBody, FivePropertiesHaveAnEightByteHeader)
{
    CZkEventAction* action =
        LoadAction(R"("action": "play", "props": {"delay": 10, "fade_time": 20, "probability": 50.0, "11": 0.5, "0": -3.0})");
    ASSERT_NE(action, nullptr);
    const uint8_t* block = action->Properties().Block();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[0], 5);
    EXPECT_EQ((std::vector<uint8_t>(block + 1, block + 6)), (std::vector<uint8_t>{15, 16, 17, 11, 0}));
    EXPECT_EQ(block[6], 0) << "padding";
    EXPECT_EQ(block[7], 0);
    EXPECT_EQ(IntAt(block + 8), 480) << "the delay's value first, in samples";
    EXPECT_EQ(IntAt(block + 12), 20);
    EXPECT_EQ(ZK::LoadLittleEndian<float>(block + 16), 50.0f);
}

TEST_F(ActionBody, EachKindReadsItsParameters)
{
    const char* const items[] = {
        R"("action": "stop", "options": 6, "exceptions": [5, [5, 1], 6])",
        R"("action": "pause", "options": 6, "curve": 3)",
        R"("action": "play", "bank": 77, "curve": 2)",
        R"("action": "set_property_0c", "meaning": 2, "value": 1.5, "min": -1.0, "max": 2.0)",
        R"("action": "set_game_parameter", "target": 900, "bypass_transition": 1, "value": 30.0)",
        R"("action": "set_state", "group": 11, "state": 12)",
        R"("action": "node_slot", "flag": 1, "slot": 3, "exceptions": [8])",
        R"("action": "seek", "relative": 0, "value": 1500, "min": -5, "max": 5, "snap": 1)",
        R"("action": "seek", "relative": 1, "value": 0.25)",
    };
    std::string bank;
    ZkUniqueID id = 300;
    for (const char* keys : items)
        bank += (bank.empty() ? "" : ", ") + std::string(R"({"type": "action", "id": )") + std::to_string(id++) + ", " + keys + "}";
    ASSERT_EQ(Parse(BankOfItems(bank)), ZK_Success);

    auto* stop = static_cast<CZkStopAction*>(FindAction(300));
    EXPECT_TRUE(stop->Option(0));
    EXPECT_TRUE(stop->Option(1)) << "bits 1-2 are options 0-1";
    ASSERT_EQ(stop->Exceptions().Length(), 3u) << "one id with two bus flags is two entries";
    EXPECT_TRUE(stop->IsException(5, false));
    EXPECT_TRUE(stop->IsException(5, true));
    EXPECT_FALSE(stop->IsException(6, true));

    auto* pause = static_cast<CZkPauseAction*>(FindAction(301));
    EXPECT_FALSE(pause->Option(0)) << "the bank's bit 0";
    EXPECT_TRUE(pause->Option(1));
    EXPECT_TRUE(pause->Option(2));
    EXPECT_EQ(pause->Curve(), 3u);
    CZkPauseAction fresh(0x0203, 0);
    EXPECT_TRUE(fresh.Option(0)) << "option 0 is set until a bank says otherwise";

    auto* play = static_cast<CZkPlayAction*>(FindAction(302));
    EXPECT_EQ(play->BankID(), 77u);
    EXPECT_NE(play->Flags() & CZkEventAction::kFlagHasBankID, 0);
    EXPECT_EQ(play->Curve(), 2u);

    auto* set = static_cast<CZkSetPropertyAction*>(FindAction(303));
    EXPECT_EQ(set->PropertyID(), 5);
    EXPECT_EQ(set->Value().meaning, ZkValueMeaning_Offset);
    EXPECT_EQ(set->Value().base, 1.5f);
    EXPECT_EQ(set->Value().minimum, -1.0f);
    EXPECT_EQ(set->Value().maximum, 2.0f);

    auto* parameter = static_cast<CZkSetGameParameterAction*>(FindAction(304));
    EXPECT_TRUE(parameter->BypassesTransition());
    EXPECT_EQ(parameter->Value().base, 30.0f);
    EXPECT_EQ(parameter->TargetID(), 900u);

    auto* state = static_cast<CZkSetStateAction*>(FindAction(305));
    EXPECT_EQ(state->GroupID(), 11u);
    EXPECT_EQ(state->ValueID(), 12u);

    auto* slot = static_cast<CZkNodeParamAction*>(FindAction(306));
    EXPECT_TRUE(slot->SlotFlag());
    EXPECT_EQ(slot->SlotIndex(), 3);
    EXPECT_EQ(slot->Exceptions().Length(), 1u) << "no curve byte before the list";

    auto* seek = static_cast<CZkSeekAction*>(FindAction(307));
    EXPECT_FALSE(seek->IsRelative());
    EXPECT_TRUE(seek->SnapsToMarker());
    EXPECT_EQ(seek->Value().base, 1500.0f) << "milliseconds as integers";
    EXPECT_EQ(seek->Value().minimum, -5.0f);
    seek = static_cast<CZkSeekAction*>(FindAction(308));
    EXPECT_TRUE(seek->IsRelative());
    EXPECT_EQ(seek->Value().base, 0.25f) << "a fraction as a float";
}

TEST_F(ActionBody, EveryCutOfEveryKindReadsWith7)
{
    const char* const kinds[] = {
        R"("action": "stop", "options": 2, "exceptions": [5, [6, 1]], "props": {"delay": 5}, "ranges": {"delay": [0, 9]})",
        R"("action": "pause", "options": 1)",
        R"("action": "resume", "options": 7, "exceptions": [1])",
        R"("action": "play", "props": {"probability": 50.0})",
        R"("action": "set_gain", "exceptions": [2])",
        R"("action": "set_property_08", "value": 2.0, "min": -1.0, "max": 1.0)",
        R"("action": "set_property_30")",
        R"("action": "set_node_flag")",
        R"("action": "set_state", "group": 1, "state": 2)",
        R"("action": "set_game_parameter", "value": 3.0)",
        R"("action": "set_switch", "group": 1, "switch": 2)",
        R"("action": "node_slot_reset", "flag": 1, "slot": 2, "exceptions": [3])",
        R"("action": "notify")",
        R"("action": "trigger")",
        R"("action": "seek", "relative": 1, "value": 0.5, "snap": 1, "exceptions": [4])",
        R"("action": "break")",
        R"("action": "post_event", "target": 9)",
        R"("action": "reset_playlist", "exceptions": [1, 2])",
    };
    std::string bank;
    ZkUniqueID id = 300;
    for (const char* keys : kinds)
        bank += (bank.empty() ? "" : ", ") + std::string(R"({"type": "action", "id": )") + std::to_string(id++) + ", " + keys + "}";
    const std::vector<Bytes> bodies = ItemBodies(BankOfItems(bank));
    ASSERT_EQ(bodies.size(), std::size(kinds));
    for (size_t index = 0; index < bodies.size(); ++index)
    {
        SCOPED_TRACE(kinds[index]);
        const Bytes& body = bodies[index];
        ASSERT_GE(body.size(), 6u);
        const uint16_t type = ZK::LoadLittleEndian<uint16_t>(body.data() + 4);
        for (size_t cut = 0; cut <= body.size(); ++cut)
        {
            std::vector<uint8_t> piece(body.begin(), body.begin() + static_cast<long>(cut));
            CZkEventAction* action = CZkActionFactory::Create(type, 0);
            ASSERT_NE(action, nullptr);
            EXPECT_EQ(action->ReadFromBank(piece.data(), static_cast<uint32_t>(piece.size())),
                      cut == body.size() ? ZK_Success : ZK_InvalidFile)
                << "cut at " << cut << " of " << body.size();
            action->Release();
        }
    }
    // The parser: a body too short to hold its type is malformed, an exception count beyond the body
    // too, a kind without class fails the parse.
    EXPECT_EQ(Parse(BankOfItems(R"({"type": "action", "hex": "2c010000"})")), ZK_InvalidFile);
    EXPECT_EQ(Parse(BankOfItems(R"({"type": "action", "id": 301, "action": "stop", "exception_count": 1000})")),
              ZK_InvalidFile);
    EXPECT_EQ(Parse(BankOfItems(R"({"type": "action", "id": 302, "action": "0x1503", "params_hex": ""})")), ZK_Fail);
    EXPECT_EQ(FindAction(301), nullptr) << "a failed read releases the action";
}

TEST_F(ActionBody, TheFactoryMakesEveryKindOfTheTable)
{
    for (uint32_t kind = 0; kind <= 0xFF; ++kind)
    {
        const bool made = (kind >= 0x01 && kind <= 0x04) || (kind >= 0x06 && kind <= 0x14) ||
                          (kind >= 0x19 && kind <= 0x22) || kind == 0x30;
        CZkEventAction* action = CZkActionFactory::Create(static_cast<uint16_t>(kind << 8 | 0x03), 0);
        EXPECT_EQ(action != nullptr, made) << "kind 0x" << std::hex << kind;
        if (action != nullptr)
        {
            EXPECT_EQ(action->Kind(), kind);
            action->Release();
        }
    }
    CZkEventAction* indexed = CZkActionFactory::Create(0x0403, 55);
    CZkEventAction* anonymous = CZkActionFactory::Create(0x0403, 0);
    EXPECT_EQ(FindAction(55), indexed) << "an id is registered";
    EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Actions).Length(), 1u) << "id 0 is not";
    indexed->Release();
    anonymous->Release();
    EXPECT_EQ(FindAction(55), nullptr);
}

TEST_F(ActionBody, ExceptionListOperations)
{
    CZkStopAction stop(0x0104, 0);
    EXPECT_EQ(stop.AddException(5, false), ZK_Success);
    EXPECT_EQ(stop.AddException(5, true), ZK_Success);
    EXPECT_EQ(stop.AddException(5, false), ZK_Success) << "already there: nothing added";
    EXPECT_EQ(stop.AddException(6, false), ZK_Success);
    ASSERT_EQ(stop.Exceptions().Length(), 3u);
    EXPECT_EQ(stop.Exceptions().Capacity(), 5u) << "1, then 2, then 5: c + (c + c/2)";
    stop.RemoveException(5, false);
    ASSERT_EQ(stop.Exceptions().Length(), 2u);
    EXPECT_EQ(stop.Exceptions()[0].id, 5u) << "the gap is closed in order";
    EXPECT_EQ(stop.Exceptions()[0].isBus, 1);
    EXPECT_EQ(stop.Exceptions()[1].id, 6u);
    stop.ClearExceptions();
    EXPECT_EQ(stop.Exceptions().Length(), 0u);
    EXPECT_EQ(stop.Exceptions().Capacity(), 5u) << "the storage stays";
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        CZkStopAction other(0x0104, 0);
        EXPECT_EQ(other.AddException(1, false), ZK_Fail);
    }
}

TEST_F(ActionBody, PropertySetters)
{
    CZkStopAction action(0x0103, 0);
    EXPECT_EQ(action.SetIntProperty(ZkProp_ActionFadeTime, 0, 0, 0), ZK_Success);
    EXPECT_EQ(action.Properties().Count(), 0u) << "the default: no change, no entry";
    EXPECT_EQ(action.Ranges().Count(), 0u) << "an empty range adds no entry";
    EXPECT_EQ(action.SetIntProperty(ZkProp_ActionFadeTime, 100, -10, 10), ZK_Success);
    EXPECT_EQ(action.GetProperty(ZkProp_ActionFadeTime).AsInt(), 100);
    ASSERT_NE(action.Ranges().Find(ZkProp_ActionFadeTime), nullptr);
    EXPECT_EQ(action.SetIntProperty(ZkProp_ActionFadeTime, 100, 0, 0), ZK_Success);
    const uint8_t* range = action.Ranges().Find(ZkProp_ActionFadeTime);
    EXPECT_EQ(IntAt(range), 0) << "a present range takes {0, 0}";
    EXPECT_EQ(IntAt(range + 4), 0);

    EXPECT_EQ(action.SetFloatProperty(ZkProp_PlayProbability, 100.0f, 0.0f, 0.0f), ZK_Success);
    EXPECT_EQ(action.Properties().Find(ZkProp_PlayProbability), nullptr) << "100 is the default";
    EXPECT_EQ(action.SetFloatProperty(ZkProp_PlayProbability, std::nanf(""), 0.0f, 0.0f), ZK_Success);
    EXPECT_EQ(action.Properties().Find(ZkProp_PlayProbability), nullptr) << "NaN is never a change";
    EXPECT_EQ(action.SetFloatProperty(ZkProp_PlayProbability, 25.0f, 0.0f, 0.0f), ZK_Success);
    EXPECT_EQ(action.GetProperty(ZkProp_PlayProbability).AsFloat(), 25.0f);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_BankData, 1);
        EXPECT_EQ(action.SetFloatProperty(11, 0.5f, 0.0f, 0.0f), ZK_Fail) << "no block for a new entry";
    }
    EXPECT_EQ(action.GetProperty(ZkProp_PlayProbability).AsFloat(), 25.0f) << "the list as it was";
}
} // namespace
