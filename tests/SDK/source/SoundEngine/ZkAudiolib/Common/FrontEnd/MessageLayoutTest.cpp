// The bytes of each posted message, read back from the ring, against the layout of the message
// catalogue: size, type and every field at its offset (counted from the message start, header
// included). The offsets here are written out by hand, independently of the body structures.
#include "FrontEndFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Playback/PlayingMgrFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"

using namespace ZkFrontEndTest;

namespace
{
class MessageLayout : public FrontEndTest
{
protected:
    void SetUp() override
    {
        FrontEndTest::SetUp();
        UseRecorder();
    }
    // The one message the call posted; its size and type checked.
    Bytes Posted(ZKRESULT result, uint16_t size, uint16_t type)
    {
        EXPECT_EQ(result, ZK_Success);
        const Bytes message = ReadOne();
        EXPECT_EQ(SizeOf(message), size);
        EXPECT_EQ(TypeOf(message), type);
        EXPECT_EQ(message.size(), size);
        return message;
    }
};

constexpr ZkGameObjectID kObject = 0x1122334455667788ull;
constexpr ZkGameObjectID kOther = 0x0102030405060708ull;
const ZkTransform kTransform = {{0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f}, {10.0f, -20.0f, 30.5f}};

void ExpectTransformAt(const Bytes& message, size_t offset, const ZkTransform& transform)
{
    const float expected[9] = {transform.front.x, transform.front.y, transform.front.z,
                               transform.top.x,   transform.top.y,   transform.top.z,
                               transform.position.x, transform.position.y, transform.position.z};
    for (size_t index = 0; index < 9; ++index)
        EXPECT_EQ(ReadAt<float>(message, offset + 4 * index), expected[index]) << "float " << index;
}
} // namespace

TEST_F(MessageLayout, GameParameterStateSwitchAndTriggerMessages)
{
    Bytes m = Posted(SetRTPCValue(0xAABBCCDDu, 0.75f, kObject), 24, 2);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), 0xAABBCCDDu);
    EXPECT_EQ(ReadAt<float>(m, 16), 0.75f);
    EXPECT_EQ(ReadAt<uint32_t>(m, 20), 0u) << "no playing id";

    m = Posted(SetRTPCValue(0xAABBCCDDu, -2.0f, ZK_ALL_GAME_OBJECTS, 250, ZkCurveInterpolation_SCurve), 36, 3);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), ZK_ALL_GAME_OBJECTS);
    EXPECT_EQ(ReadAt<float>(m, 16), -2.0f);
    EXPECT_EQ(ReadAt<int32_t>(m, 24), 250);
    EXPECT_EQ(ReadAt<uint32_t>(m, 28), uint32_t{ZkCurveInterpolation_SCurve});
    EXPECT_EQ(ReadAt<uint8_t>(m, 32), 0);
    m = Posted(SetRTPCValue(5u, 1.0f, kObject, 0, ZkCurveInterpolation_Linear, true), 36, 3);
    EXPECT_EQ(ReadAt<uint8_t>(m, 32), 1) << "the bypass flag alone asks for type 3";

    m = Posted(ResetRTPCValue(0x99u, kObject), 20, 5);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), 0x99u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 16), 0u);
    m = Posted(ResetRTPCValue(0x99u, kObject, 40, ZkCurveInterpolation_Exp3, true), 32, 6);
    EXPECT_EQ(ReadAt<int32_t>(m, 20), 40);
    EXPECT_EQ(ReadAt<uint32_t>(m, 24), uint32_t{ZkCurveInterpolation_Exp3});
    EXPECT_EQ(ReadAt<uint8_t>(m, 28), 1);

    m = Posted(SetState(0x10u, 0x20u), 16, 7);
    EXPECT_EQ(ReadAt<uint32_t>(m, 4), 0x10u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 8), 0x20u);
    EXPECT_EQ(ReadAt<uint8_t>(m, 12), 0);
    EXPECT_EQ(ReadAt<uint8_t>(m, 14), 0);
    m = Posted(SetStateInternal(0x10u, 0x20u, true, true), 16, 7);
    EXPECT_EQ(ReadAt<uint8_t>(m, 12), 1);
    EXPECT_EQ(ReadAt<uint8_t>(m, 14), 1);

    m = Posted(SetSwitch(0x30u, 0x40u, kObject), 20, 8);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), 0x30u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 16), 0x40u);

    m = Posted(PostTrigger("Hit", ZK_ALL_GAME_OBJECTS), 16, 10);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), ZK_ALL_GAME_OBJECTS);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), GetIDFromString("hit"));
}

TEST_F(MessageLayout, GameObjectAndPositionMessages)
{
    Bytes m = Posted(RegisterGameObj(kObject, "Ship"), 16, 11);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint8_t>(m, 12), 0);

    m = Posted(UnregisterGameObj(kObject), 12, 12);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    m = Posted(UnregisterAllGameObj(), 12, 12);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), ZK_ALL_GAME_OBJECTS);

    m = Posted(SetPosition(kObject, kTransform), 48, 13);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    ExpectTransformAt(m, 12, kTransform);

    const ZkChannelEmitter emitters[2] = {{kTransform, 0x5}, {kTransform, 0x3FF3F}};
    m = Posted(SetMultiplePositions(kObject, emitters, 2, MultiPositionType_MultiSources), 20 + 2 * 40, 38);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), 2u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 16), 1u);
    ExpectTransformAt(m, 20, kTransform);
    EXPECT_EQ(ReadAt<uint32_t>(m, 20 + 36), 0x5u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 60 + 36), 0x3FF3Fu);
    const ZkTransform transforms[1] = {kTransform};
    m = Posted(SetMultiplePositions(kObject, transforms, 1), 60, 38);
    EXPECT_EQ(ReadAt<uint32_t>(m, 16), 2u) << "multi-directions by default";
    EXPECT_EQ(ReadAt<uint32_t>(m, 56), 0x3FF3Fu) << "transforms emit every channel";

    m = Posted(SetScalingFactor(kObject, 2.5f), 16, 37);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<float>(m, 12), 2.5f);
}

TEST_F(MessageLayout, ListenerMessages)
{
    Bytes m = Posted(AddListener(kObject, kOther), 36, 14);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), 1u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 16), 1u);
    EXPECT_EQ(ReadAt<uint64_t>(m, 20), kOther);
    EXPECT_EQ(ReadAt<uint64_t>(m, 28), 0u) << "the unused tail is zero";
    m = Posted(RemoveListener(kObject, kOther), 36, 14);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), 2u);
    const ZkGameObjectID ids[3] = {7, 3, 7};
    m = Posted(SetListeners(kObject, ids, 3), 28 + 24, 14);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), 0u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 16), 3u);
    EXPECT_EQ(ReadAt<uint64_t>(m, 20 + 8), 3u) << "ids as given; the engine sorts them";

    m = Posted(AddDefaultListener(kOther), 28, 16);
    EXPECT_EQ(ReadAt<uint32_t>(m, 4), 1u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 8), 1u);
    EXPECT_EQ(ReadAt<uint64_t>(m, 12), kOther);
    m = Posted(RemoveDefaultListener(kOther), 28, 16);
    EXPECT_EQ(ReadAt<uint32_t>(m, 4), 2u);
    m = Posted(SetDefaultListeners(ids, 2), 20 + 16, 16);
    EXPECT_EQ(ReadAt<uint32_t>(m, 4), 0u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 8), 2u);
    EXPECT_EQ(ReadAt<uint64_t>(m, 20), 3u);

    m = Posted(ResetListenersToDefault(kObject), 12, 17);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);

    m = Posted(SetListenerSpatialization(kObject, false, ZkChannelConfig(0x3102)), 28, 18);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint64_t>(m, 12), 0u) << "no offsets";
    EXPECT_EQ(ReadAt<uint32_t>(m, 20), 0x3102u);
    EXPECT_EQ(ReadAt<uint16_t>(m, 24), 0);
    EXPECT_EQ(ReadAt<uint16_t>(m, 26), 0);
}

TEST_F(MessageLayout, RoutingMessages)
{
    ZkAuxSendValue sends[2] = {{kOther, 0x77u, 0.5f}, {ZK_ALL_GAME_OBJECTS, 0x78u, 2.0f}};
    Bytes m = Posted(SetGameObjectAuxSendValues(kObject, sends, 2), 16 + 32, 19);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), 2u);
    EXPECT_EQ(ReadAt<uint64_t>(m, 16), kOther);
    EXPECT_EQ(ReadAt<uint32_t>(m, 24), 0x77u);
    EXPECT_EQ(ReadAt<float>(m, 28), 0.5f) << "the fourth word is the level";
    EXPECT_EQ(ReadAt<uint64_t>(m, 32), ZK_ALL_GAME_OBJECTS);

    m = Posted(SetGameObjectOutputBusVolume(kObject, kOther, 0.25f), 24, 20);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint64_t>(m, 12), kOther);
    EXPECT_EQ(ReadAt<float>(m, 20), 0.25f);

    m = Posted(SetObjectObstructionAndOcclusion(kObject, kOther, 0.2f, 0.7f), 28, 21);
    EXPECT_EQ(ReadAt<float>(m, 20), 0.2f) << "obstruction";
    EXPECT_EQ(ReadAt<float>(m, 24), 0.7f) << "occlusion";

    ZkObstructionOcclusionValues pairs[2] = {{0.1f, 0.2f}, {0.3f, 0.4f}};
    m = Posted(SetMultipleObstructionAndOcclusion(kObject, kOther, pairs, 2), 24 + 16, 22);
    EXPECT_EQ(ReadAt<uint64_t>(m, 12), kOther);
    EXPECT_EQ(ReadAt<uint32_t>(m, 20), 2u);
    EXPECT_EQ(ReadAt<float>(m, 24), 0.1f) << "the pairs as the caller gave them";
    EXPECT_EQ(ReadAt<float>(m, 36), 0.4f);
}

TEST_F(MessageLayout, EventAndPlayingIdMessages)
{
    CZkEventObject* event = AddEvent(0xE1u);
    Bytes m = Posted(ExecuteActionOnEvent(0xE1u, ZkActionOnEventType_Pause, kObject, 300,
                                          ZkCurveInterpolation_Sine, 12),
                     40, 33);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<CZkIndexedObject*>(m, 12), event);
    EXPECT_EQ(ReadAt<uint32_t>(m, 20), 0xE1u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 24), 1u);
    EXPECT_EQ(ReadAt<int32_t>(m, 28), 300);
    EXPECT_EQ(ReadAt<uint32_t>(m, 32), uint32_t{ZkCurveInterpolation_Sine});
    EXPECT_EQ(ReadAt<uint32_t>(m, 36), 12u);
    EXPECT_EQ(event->RefCount(), 2u) << "the message holds a reference";
    event->Release(); // what the engine does once it has handled it

    m = Posted(SeekOnEvent(0xE1u, kObject, 1500, true, 4), 36, 39);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<CZkIndexedObject*>(m, 12), event);
    EXPECT_EQ(ReadAt<uint32_t>(m, 20), 0xE1u);
    EXPECT_EQ(ReadAt<int32_t>(m, 24), 1500);
    EXPECT_EQ(ReadAt<uint32_t>(m, 28), 4u);
    EXPECT_EQ(ReadAt<uint16_t>(m, 32), 0) << "milliseconds";
    EXPECT_EQ(ReadAt<uint16_t>(m, 34), 1);
    event->Release();
    m = Posted(SeekOnEvent(0xE1u, kObject, 0.25f), 36, 39);
    EXPECT_EQ(ReadAt<float>(m, 24), 0.25f);
    EXPECT_EQ(ReadAt<uint16_t>(m, 32), 1) << "a fraction";
    EXPECT_EQ(ReadAt<uint16_t>(m, 34), 0);
    event->Release();

    ExecuteActionOnPlayingID(ZkActionOnEventType_Resume, 33, 20, ZkCurveInterpolation_Log1);
    m = Posted(ZK_Success, 20, 57);
    EXPECT_EQ(ReadAt<uint32_t>(m, 4), 2u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 8), 33u);
    EXPECT_EQ(ReadAt<int32_t>(m, 12), 20);
    EXPECT_EQ(ReadAt<uint32_t>(m, 16), uint32_t{ZkCurveInterpolation_Log1});

    StopPlayingID(34, 10, ZkCurveInterpolation_Exp1);
    m = Posted(ZK_Success, 16, 32);
    EXPECT_EQ(ReadAt<uint32_t>(m, 4), 34u);
    EXPECT_EQ(ReadAt<int32_t>(m, 8), 10);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), uint32_t{ZkCurveInterpolation_Exp1});

    StopAll(kObject);
    m = Posted(ZK_Success, 12, 27);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    StopAll();
    EXPECT_EQ(ReadAt<uint64_t>(ReadOne(), 4), ZK_ALL_GAME_OBJECTS);
}

TEST_F(MessageLayout, PostedEventMessage)
{
    CZkEventObject* event = AddEvent(0xE1u);
    ZkPlayingTest::CreatePlayingManager();
    ZkExternalSourceInfo source;
    source.fileName = L"external.oxm";
    const ZkPlayingID playingID = PostEvent(0xE1u, kObject, 0, nullptr, nullptr, 1, &source, 77);
    EXPECT_EQ(playingID, 1u);
    const Bytes m = Posted(ZK_Success, 52, 1);
    EXPECT_EQ(ReadAt<uint64_t>(m, 4), kObject);
    EXPECT_EQ(ReadAt<uint32_t>(m, 12), playingID);
    EXPECT_EQ(ReadAt<uint32_t>(m, 16), 77u) << "the post's last argument";
    const auto* sources = ReadAt<ZkExternalSourceArray*>(m, 20);
    ASSERT_NE(sources, nullptr);
    EXPECT_EQ(sources->Count(), 1u);
    EXPECT_STREQ(sources->Record(0).fileName, L"external.oxm");
    EXPECT_EQ(ReadAt<uint64_t>(m, 28), 0u);
    EXPECT_EQ(ReadAt<uint32_t>(m, 36), 0u);
    EXPECT_EQ(ReadAt<CZkIndexedObject*>(m, 40), event);
    EXPECT_EQ(ReadAt<uint32_t>(m, 48), 0xE1u);
    EXPECT_EQ(event->RefCount(), 2u) << "the message holds a reference";
    EXPECT_EQ(g_pPlayingMgr->GetGameObjectFromPlayingID(playingID), kObject) << "registered with the message's values";

    ReleaseMessageHoldings(m.data()); // what the engine does once it has handled the message
    EXPECT_EQ(event->RefCount(), 1u);
    EXPECT_EQ(g_pPlayingMgr->GetEventIDFromPlayingID(playingID), 0u) << "the post's pending reference was the last";
    ZkPlayingTest::DestroyPlayingManager();
}
