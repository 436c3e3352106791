// Shared by the game-sync, state-property and listener tests: the parameter fixture plus the object
// index, the state manager and the switch manager, created and destroyed in the engine's order; and
// the test doubles of their clients (an owner of state-driven properties, a subscriber, a trigger
// receiver).
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"
#include "ZkAudiolib/Common/GameSyncs/CZkGroupSubscriber.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/GameSyncs/IZkTriggerReceiver.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/StateProperties/CZkState.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateProperties.h"

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace ZkGameSyncTest
{
using namespace ZK::SoundEngine;

class GameSyncTest : public ZkParamTest::ParametersTest
{
protected:
    void SetUp() override
    {
        ZkParamTest::ParametersTest::SetUp();
        g_pObjectIndex = ZK::ZkNew<ObjectIndex>(ZkMemID_EngineSingletons);
        ASSERT_NE(g_pObjectIndex, nullptr);
        ASSERT_TRUE(g_pObjectIndex->InitTables());
        g_pStateMgr = ZK::ZkNew<CZkStateMgr>(ZkMemID_EngineSingletons);
        g_pSwitchMgr = ZK::ZkNew<CZkSwitchMgr>(ZkMemID_EngineSingletons);
        ASSERT_EQ(g_pStateMgr->Init(), ZK_Success);
        ASSERT_EQ(g_pSwitchMgr->Init(), ZK_Success);
    }

    void TearDown() override
    {
        ZK::MemoryMgr::FaultInjection::Disarm();
        EngineHooks::SetStateChangeHandler(nullptr);
        for (CZkState* state : m_states)
            state->Release();
        m_states.clear();
        if (g_pRegistryMgr != nullptr)
            g_pRegistryMgr->Term(); // objects go while the switch manager still exists
        if (g_pSwitchMgr != nullptr)
            g_pSwitchMgr->Term();
        if (g_pStateMgr != nullptr)
            g_pStateMgr->Term();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pSwitchMgr);
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pStateMgr);
        g_pSwitchMgr = nullptr;
        g_pStateMgr = nullptr;
        if (g_pObjectIndex != nullptr)
            g_pObjectIndex->FreeTables();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pObjectIndex);
        g_pObjectIndex = nullptr;
        ZkParamTest::ParametersTest::TearDown();
    }

    // A state object with one bank reference kept by the fixture: {property id, value} pairs.
    CZkState* MakeState(ZkUniqueID id, std::vector<std::pair<uint16_t, float>> values)
    {
        std::vector<uint8_t> body(6 + 6 * values.size());
        const auto count = static_cast<uint16_t>(values.size());
        std::memcpy(body.data(), &id, 4);
        std::memcpy(body.data() + 4, &count, 2);
        for (size_t i = 0; i < values.size(); ++i)
        {
            std::memcpy(body.data() + 6 + 2 * i, &values[i].first, 2);
            std::memcpy(body.data() + 6 + 2 * values.size() + 4 * i, &values[i].second, 4);
        }
        CZkState* state = CZkState::Create(id);
        EXPECT_NE(state, nullptr);
        if (state == nullptr)
            return nullptr;
        EXPECT_EQ(CZkState::ReadFromBank(state, body.data(), static_cast<uint32_t>(body.size())), ZK_Success);
        m_states.push_back(state);
        return state;
    }

    std::vector<CZkState*> m_states;
};

// An owner of state-driven properties that records what it is told.
class TestStateOwner : public CZkStateProperties
{
public:
    struct Change
    {
        uint16_t propertyID;
        uint8_t kind;
        ZkUniqueID groupID;
        float oldValue;
        float newValue;
        bool ended;
    };

    ~TestStateOwner() override
    {
        ClearTransitions();
        RemoveAllStateGroups(false);
    }

    bool OnStateTransitionStarted(uint16_t) override
    {
        ++transitionsStarted;
        return takesTransitions;
    }
    void OnStateTransitionEnded() override { ++transitionsEnded; }
    void OnStatesApplied() override { ++statesApplied; }
    void OnStateValueChanged(uint16_t propertyID, uint8_t kind, ZkUniqueID groupID, float oldValue, float newValue,
                             bool ended) override
    {
        changes.push_back({propertyID, kind, groupID, oldValue, newValue, ended});
        lastValue[propertyID] = newValue;
    }
    void OnStateUseChanged() override { ++stateUseChanges; }
    bool EnsureStateStorage() override
    {
        if (refuseStorage)
            return false;
        hasStorage = true;
        return true;
    }
    ZkStateStorage* StateStorage() const override { return hasStorage ? &storage : nullptr; }

    // The link's tracked value of the property, or NaN.
    float LinkValue(ZkUniqueID groupID, uint16_t propertyID) const
    {
        const CZkStateGroupLink* link = FindLink(groupID);
        const CZkStateGroupLink::Value* entry = link != nullptr ? link->Values().Find(propertyID) : nullptr;
        return entry != nullptr ? entry->value : NAN;
    }

    bool takesTransitions = true;
    bool refuseStorage = false;
    bool hasStorage = false;
    mutable ZkStateStorage storage;
    int transitionsStarted = 0;
    int transitionsEnded = 0;
    int statesApplied = 0;
    int stateUseChanges = 0;
    std::vector<Change> changes;
    std::map<uint16_t, float> lastValue;
};

// A subscriber that records every value it is told.
class RecordingSubscriber : public CZkGroupSubscriber
{
public:
    struct Notice
    {
        ZkUniqueID value;
        CZkRegisteredObj* object;
    };
    void OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key, const CZkRTPCOverrideFilter*) override
    {
        notices.push_back({value, key.gameObject});
        if (onNotice)
            onNotice(*this);
    }
    std::vector<Notice> notices;
    void (*onNotice)(RecordingSubscriber&) = nullptr;
};

class RecordingReceiver : public IZkTriggerReceiver
{
public:
    void OnTrigger(ZkUniqueID triggerID) override { triggers.push_back(triggerID); }
    std::vector<ZkUniqueID> triggers;
};
} // namespace ZkGameSyncTest
