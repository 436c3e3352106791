// The engine side of the messages: each posted message, read as the engine tick reads it, reaches
// the real manager with the values posted (game parameters, states, switches, triggers, game
// objects, positions, listeners, routing); unused types are skipped by their size; messages whose
// part is not built yet give back what they hold, and so does a ring discarded at termination.
#include "FrontEndFixture.h"

#include "ZkAudiolib/Common/Banks/LoadedBank.h"
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/Plugins/CZkPluginCustomData.h"

#include <ctime>

using namespace ZkFrontEndTest;
using ZkGameSyncTest::RecordingReceiver;

namespace
{
constexpr ZkGameObjectID kUnregistered = 300;
constexpr ZkUniqueID kParameter = 0x5A5A5A5Au;

class MessageDispatch : public FrontEndTest
{
protected:
    void SetUp() override
    {
        FrontEndTest::SetUp();
        UseEngineWithObjects();
    }
    CZkRegisteredObj* Object(ZkGameObjectID id) { return g_pRegistryMgr->GetObj(id); }
    // The manager's value for the scope, or NaN.
    float ParameterValue(CZkRegisteredObj* object, ZkPlayingID playingID = 0)
    {
        ZkRTPCKey key = ZkRTPCKey::ForObject(object, playingID);
        float value = 0.0f;
        return g_pRTPCMgr->GetRTPCValue(kParameter, key, value) && key == ZkRTPCKey::ForObject(object, playingID)
                   ? value
                   : NAN;
    }
};
} // namespace

TEST_F(MessageDispatch, GameParameterValuesReachTheManagerForTheirScope)
{
    ASSERT_EQ(SetRTPCValue(kParameter, 3.0f), ZK_Success);
    ASSERT_EQ(SetRTPCValue(kParameter, 7.0f, kEmitter), ZK_Success);
    ASSERT_EQ(SetRTPCValue(kParameter, 9.0f, kUnregistered), ZK_Success);
    EXPECT_TRUE(std::isnan(ParameterValue(nullptr))) << "nothing applies before the tick";
    ReadMessages();
    EXPECT_EQ(ParameterValue(nullptr), 3.0f);
    EXPECT_EQ(ParameterValue(Object(kEmitter)), 7.0f);

    // With a transition the value ramps over the following frames.
    ASSERT_EQ(SetRTPCValue(kParameter, 11.0f, kEmitter, 42, ZkCurveInterpolation_Linear), ZK_Success);
    ReadMessages();
    RunFrames(1, 10);
    EXPECT_EQ(ParameterValue(Object(kEmitter)), 11.0f);

    ASSERT_EQ(ResetRTPCValue(kParameter, kEmitter), ZK_Success);
    ReadMessages();
    EXPECT_TRUE(std::isnan(ParameterValue(Object(kEmitter)))) << "back to the global value";
    ASSERT_EQ(ResetRTPCValue(kParameter, ZK_ALL_GAME_OBJECTS, 20), ZK_Success);
    ReadMessages();
    RunFrames(11, 20);
    EXPECT_FALSE(ParameterValue(nullptr) == 3.0f) << "the global value is reset";
}

TEST_F(MessageDispatch, StatesSwitchesAndTriggersReachTheirManagers)
{
    const ZkUniqueID group = GetIDFromString("Mood");
    ASSERT_NE(g_pStateMgr->AddStateGroup(group), 0u);
    ASSERT_EQ(SetState("Mood", "Calm"), ZK_Success);
    ReadMessages();
    EXPECT_EQ(g_pStateMgr->GetState(group), GetIDFromString("Calm"));

    ASSERT_EQ(SetSwitch("Surface", "Stone", kEmitter), ZK_Success);
    ASSERT_EQ(SetSwitch("Surface", "Grass", kUnregistered), ZK_Success);
    ReadMessages();
    ZkUniqueID value = 0;
    ASSERT_TRUE(g_pSwitchMgr->QuerySwitch(GetIDFromString("Surface"), ZkRTPCKey::ForObject(Object(kEmitter)), value));
    EXPECT_EQ(value, GetIDFromString("Stone"));

    RecordingReceiver everyObject;
    RecordingReceiver emitterOnly;
    ASSERT_EQ(g_pStateMgr->RegisterTriggerTarget(&everyObject, nullptr), ZK_Success);
    ASSERT_EQ(g_pStateMgr->RegisterTriggerTarget(&emitterOnly, Object(kEmitter)), ZK_Success);
    ASSERT_EQ(PostTrigger("Hit", kEmitter), ZK_Success);
    ASSERT_EQ(PostTrigger("Boom", ZK_ALL_GAME_OBJECTS), ZK_Success);
    ASSERT_EQ(PostTrigger("Lost", kUnregistered), ZK_Success);
    ReadMessages();
    EXPECT_EQ(emitterOnly.triggers, std::vector<ZkUniqueID>({GetIDFromString("Hit"), GetIDFromString("Boom")}));
    EXPECT_EQ(everyObject.triggers, std::vector<ZkUniqueID>({GetIDFromString("Boom")}));
    g_pStateMgr->UnregisterTriggerTarget(&everyObject);
    g_pStateMgr->UnregisterTriggerTarget(&emitterOnly);
}

TEST_F(MessageDispatch, GameObjectsRegisterMoveAndUnregister)
{
    const ZkTransform moved = {{1, 0, 0}, {0, 1, 0}, {4, 5, 6}};
    ASSERT_EQ(SetPosition(kEmitter, moved), ZK_Success);
    ASSERT_EQ(SetScalingFactor(kEmitter, 2.0f), ZK_Success);
    ReadMessages();
    const CZkEmitter* emitter = Object(kEmitter)->Emitter();
    ASSERT_EQ(emitter->PositionCount(), 1u);
    EXPECT_EQ(emitter->Positions()[0].transform.position.z, 6.0f);
    EXPECT_EQ(emitter->Positions()[0].inputChannelMask, kZkAllInputChannels);
    EXPECT_EQ(emitter->ScalingFactor(), 2.0f);

    const ZkChannelEmitter two[2] = {{moved, 1}, {kZkDefaultTransform, 2}};
    ASSERT_EQ(SetMultiplePositions(kEmitter, two, 2, MultiPositionType_MultiSources), ZK_Success);
    const ZkTransform bad[2] = {kZkDefaultTransform, {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}};
    EXPECT_EQ(SetMultiplePositions(kEmitter, bad, 2), ZK_InvalidParameter);
    ReadMessages();
    ASSERT_EQ(emitter->PositionCount(), 2u) << "the dropped list changed nothing";
    EXPECT_EQ(emitter->Positions()[1].inputChannelMask, 2u);
    EXPECT_EQ(emitter->MultiPositionMode(), uint32_t{MultiPositionType_MultiSources});

    ASSERT_EQ(UnregisterGameObj(kEmitter), ZK_Success);
    ReadMessages();
    EXPECT_EQ(Object(kEmitter), nullptr);
    ASSERT_EQ(UnregisterAllGameObj(), ZK_Success);
    ReadMessages();
    EXPECT_EQ(Object(kListener), nullptr);
}

TEST_F(MessageDispatch, ListenerListsAreSortedWithoutDuplicatesAndApplied)
{
    const ZkGameObjectID listeners[4] = {kListener, 7, kListener, 5};
    ASSERT_EQ(SetListeners(kEmitter, listeners, 4), ZK_Success);
    ReadMessages();
    const ZkListenerSet& set = Object(kEmitter)->GetListenerSet();
    EXPECT_EQ(std::vector<ZkGameObjectID>(set.begin(), set.end()), std::vector<ZkGameObjectID>({5, 7, kListener}));
    EXPECT_NE(Object(kListener)->Listener(), nullptr) << "a registered listener gets its component";

    ASSERT_EQ(RemoveListener(kEmitter, 7), ZK_Success);
    ASSERT_EQ(AddListener(kEmitter, 9), ZK_Success);
    ReadMessages();
    EXPECT_EQ(std::vector<ZkGameObjectID>(set.begin(), set.end()), std::vector<ZkGameObjectID>({5, 9, kListener}));

    ASSERT_EQ(SetDefaultListeners(listeners, 2), ZK_Success);
    ASSERT_EQ(AddDefaultListener(3), ZK_Success);
    ASSERT_EQ(ResetListenersToDefault(kEmitter), ZK_Success);
    ReadMessages();
    const ZkListenerSet& defaults = CZkListenerRouting::ExistingDefault()->Listeners();
    EXPECT_EQ(std::vector<ZkGameObjectID>(defaults.begin(), defaults.end()), std::vector<ZkGameObjectID>({3, 7, kListener}));
    const ZkListenerSet& now = Object(kEmitter)->GetListenerSet();
    EXPECT_EQ(std::vector<ZkGameObjectID>(now.begin(), now.end()), std::vector<ZkGameObjectID>({3, 7, kListener}));
}

TEST_F(MessageDispatch, SpatializationAuxSendsVolumesAndObstructionReachTheComponents)
{
    const float offsets[2] = {-6.0f, 3.0f};
    ASSERT_EQ(SetListenerSpatialization(kListener, false, ZkChannelConfig(ZkChannelConfig::kStereoWord), offsets),
              ZK_Success);
    ZkAuxSendValue sends[1] = {{kListener, 0xA0u, 0.5f}};
    ASSERT_EQ(SetGameObjectAuxSendValues(kEmitter, sends, 1), ZK_Success);
    ASSERT_EQ(SetGameObjectOutputBusVolume(kEmitter, kListener, 0.25f), ZK_Success);
    ASSERT_EQ(SetObjectObstructionAndOcclusion(kEmitter, kListener, 0.3f, 0.6f), ZK_Success);
    ReadMessages();

    const CZkListener* listener = Object(kListener)->Listener();
    ASSERT_NE(listener, nullptr);
    EXPECT_FALSE(listener->IsSpatialized());
    ASSERT_NE(listener->VolumeOffsetsDB(), nullptr);
    EXPECT_EQ(listener->VolumeOffsetsDB()[1], 3.0f);
    const CZkListenerRouting* routing = Object(kEmitter)->ListenerRouting();
    ASSERT_NE(routing, nullptr);
    EXPECT_EQ(routing->EffectiveAuxTable().GetGain(kListener, 0xA0u), 0.5f);
    EXPECT_EQ(routing->EffectiveDryTable().GetGain(kListener, 0), 0.25f);
    const ZkListenerObstruction* obstruction = Object(kEmitter)->Emitter()->FindObstruction(kListener);
    ASSERT_NE(obstruction, nullptr);
    EXPECT_EQ((*obstruction->values)[0].obstruction, 0.3f);
    EXPECT_EQ((*obstruction->values)[0].occlusion, 0.6f);

    // More sends than the handler copies on its stack.
    std::vector<ZkAuxSendValue> many;
    for (uint32_t bus = 1; bus <= 40; ++bus)
        many.push_back(ZkAuxSendValue{kListener, bus, 0.25f * static_cast<float>(bus)});
    ASSERT_EQ(SetGameObjectAuxSendValues(kEmitter, many.data(), 40), ZK_Success);
    ReadMessages();
    EXPECT_EQ(Object(kEmitter)->ListenerRouting()->EffectiveAuxTable().Length(), 40u);
    EXPECT_EQ(Object(kEmitter)->ListenerRouting()->EffectiveAuxTable().GetGain(kListener, 40), 10.0f);

    ZkObstructionOcclusionValues pairs[1] = {{0.9f, 0.1f}};
    ASSERT_EQ(SetMultipleObstructionAndOcclusion(kEmitter, kListener, pairs, 1), ZK_Success);
    ReadMessages();
    EXPECT_EQ((*Object(kEmitter)->Emitter()->FindObstruction(kListener)->values)[0].occlusion, 0.9f);
}

TEST_F(MessageDispatch, SeedOfflineRenderingAndCustomMessages)
{
    CZkMessageRing& ring = m_events.Ring();
    ASSERT_TRUE(ring.Post(ZkMessage_SetRandomSeed, ZkRandomSeedMessage{12345}));
    ReadMessages();
    EXPECT_EQ(ZK::ZkLcg64::Engine().State(), 12345u);
    const uint64_t before = static_cast<uint64_t>(std::time(nullptr));
    ASSERT_TRUE(ring.Post(ZkMessage_SetRandomSeed, ZkRandomSeedMessage{0}));
    ReadMessages();
    EXPECT_GE(ZK::ZkLcg64::Engine().State(), before) << "seed 0 takes the current time";
    EXPECT_LE(ZK::ZkLcg64::Engine().State(), static_cast<uint64_t>(std::time(nullptr)));

    ASSERT_TRUE(ring.Post(ZkMessage_OfflineRendering, ZkOfflineRenderingMessage{1, 1, 0.0f}));
    ASSERT_TRUE(ring.Post(ZkMessage_OfflineRendering, ZkOfflineRenderingMessage{0, 0, 0.02f}));
    ReadMessages();
    EXPECT_TRUE(IsOfflineRendering());
    EXPECT_EQ(m_events.OfflineFrameTimeSeconds(), 0.02f);
    ASSERT_TRUE(ring.Post(ZkMessage_OfflineRendering, ZkOfflineRenderingMessage{1, 0, 0.0f}));
    ReadMessages();
    EXPECT_FALSE(IsOfflineRendering());

    static std::vector<std::pair<uint32_t, uint32_t>> s_calls;
    s_calls.clear();
    ASSERT_EQ(m_events.AddCustomHandler(42, [](uint32_t id, const uint8_t* payload, uint32_t bytes) {
        uint32_t word = 0;
        std::memcpy(&word, payload, sizeof(word));
        s_calls.emplace_back(id, bytes == 4 ? word : 0);
    }), ZK_Success);
    struct CustomBody
    {
        uint32_t id;
        uint32_t payload;
    };
    ASSERT_TRUE(ring.Post(ZkMessage_Custom, CustomBody{42, 0xBEEF}));
    ASSERT_TRUE(ring.Post(ZkMessage_Custom, CustomBody{43, 0xDEAD})) << "an unknown id is skipped";
    ReadMessages();
    EXPECT_EQ(s_calls, (std::vector<std::pair<uint32_t, uint32_t>>{{42, 0xBEEF}}));
}

TEST_F(MessageDispatch, UnusedTypesAreSkippedByTheirSize)
{
    CZkMessageRing& ring = m_events.Ring();
    struct Filler
    {
        uint8_t bytes[36];
    };
    Filler filler;
    std::memset(&filler, 0x02, sizeof(filler)); // bytes that would read as type-2 headers
    for (const uint16_t type : {4, 9, 15, 49, 50, 62, 200})
        ASSERT_TRUE(ring.Post(type, filler));
    ASSERT_EQ(SetRTPCValue(kParameter, 5.0f), ZK_Success);
    ReadMessages();
    EXPECT_EQ(ParameterValue(nullptr), 5.0f);
    EXPECT_TRUE(ring.IsEmpty());
}

TEST_F(MessageDispatch, MessagesOfPartsNotBuiltYetGiveBackWhatTheyHold)
{
    CZkEventObject* event = AddEvent(0xE1);
    CZkMessageRing& ring = m_events.Ring();
    ASSERT_EQ(ExecuteActionOnEvent(0xE1u, ZkActionOnEventType_Stop, kEmitter), ZK_Success);
    ASSERT_EQ(ExecuteActionOnEvent(0xE1u, ZkActionOnEventType_Stop, kUnregistered), ZK_Success);
    ASSERT_EQ(SeekOnEvent(0xE1u, ZK_ALL_GAME_OBJECTS, 100), ZK_Success);
    // A posted event as the interface would leave it once the playing manager accepts it.
    ZkExternalSourceInfo source;
    source.fileName = L"external.oxm";
    ZkPostEventMessage post{};
    post.gameObject = kEmitter;
    post.playingID = 5;
    post.externalSources = ZkExternalSourceArray::Create(&source, 1);
    post.event = event;
    post.eventID = 0xE1;
    event->AddRef();
    ASSERT_TRUE(ring.Post(ZkMessage_PostEvent, post));
    // Messages whose posters come later: each holds a reference or a copy.
    for (const uint16_t type : {ZkMessage_StopMIDIOnEvent, ZkMessage_PinEventInStreamCache})
    {
        event->AddRef();
        ASSERT_TRUE(ring.Post(type, ZkStopMIDIMessage{kEmitter, event, 0xE1, 0}));
    }
    event->AddRef();
    ASSERT_TRUE(ring.Post(ZkMessage_PostMIDIOnEvent, ZkPostMIDIMessage{kEmitter, event, 0xE1, 5, 0, 0}));
    auto* data = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(ZkMemID_Processing, 8));
    ASSERT_TRUE(ring.Post(ZkMessage_PluginCustomGameData, ZkPluginCustomDataMessage{1, kEmitter, 3, 0, 9, data, 8}));
    auto* marker = static_cast<char*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, 4));
    std::memcpy(marker, "cue", 4);
    ASSERT_TRUE(ring.Post(ZkMessage_OutputCaptureMarker, ZkCaptureMarkerMessage{marker}));
    StopAll(kEmitter);
    StopPlayingID(5);
    ExecuteActionOnPlayingID(ZkActionOnEventType_Pause, 5);
    ASSERT_EQ(event->RefCount(), 8u);
    ReadMessages();
    EXPECT_EQ(event->RefCount(), 1u) << "every message released its reference";
    EXPECT_TRUE(ring.IsEmpty()); // the copies were freed: the leak checker and the pools watch
    EXPECT_EQ(CZkPluginCustomData::EntryCount(), 1u) << "the custom data's copy is the table's now";
    CZkPluginCustomData::Clear();
}

TEST_F(MessageDispatch, TheBankUnloadHookSeesTheBankBeforeItsRelease)
{
    static LoadedBank* s_seen = nullptr;
    static int32_t s_loadCount = 0;
    s_seen = nullptr;
    EngineHooks::SetBankUnloadHandler([](LoadedBank* bank) {
        s_seen = bank;
        s_loadCount = bank->loadCount.load();
    });
    LoadedBank* bank = LoadedBank::Create(7, nullptr);
    ASSERT_NE(bank, nullptr);
    bank->loadCount.store(1);
    ASSERT_TRUE(m_events.Ring().Post(ZkMessage_UnloadBank, ZkUnloadBankMessage{bank}));
    ReadMessages(); // the release frees the record: the leak checker and the pools watch
    EngineHooks::SetBankUnloadHandler(nullptr);
    EXPECT_EQ(s_seen, bank);
    EXPECT_EQ(s_loadCount, 1) << "the engine's reference is dropped after the hook";
}

TEST_F(MessageDispatch, MessagesStillQueuedAtTerminationGiveBackWhatTheyHold)
{
    CZkEventObject* event = AddEvent(0xE2);
    ASSERT_EQ(ExecuteActionOnEvent(0xE2u, ZkActionOnEventType_Resume, kEmitter), ZK_Success);
    ASSERT_EQ(SeekOnEvent(0xE2u, kEmitter, 0.5f), ZK_Success);
    const float offsets[1] = {1.0f};
    ASSERT_EQ(SetListenerSpatialization(kListener, true, ZkChannelConfig::Anonymous(1), offsets), ZK_Success);
    EXPECT_EQ(event->RefCount(), 3u);
    g_pEventMgr = nullptr;
    m_events.Term();
    EXPECT_EQ(event->RefCount(), 1u);
}
