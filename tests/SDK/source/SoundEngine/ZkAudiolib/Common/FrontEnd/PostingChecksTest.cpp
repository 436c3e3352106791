// The checks of the posting calls and what they leave in the ring: reserved game-object ids,
// transforms, finite values, clamping in place, strict and lenient names, list sizes against the
// ring, and messages given up after reservation (type 61, which the reader skips).
#include "FrontEndFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <cmath>
#include <functional>
#include <limits>
#include <string>

using namespace ZkFrontEndTest;

namespace
{
constexpr ZkGameObjectID kFirstReserved = 0xFFFFFFFFFFFFFFE0ull;
constexpr ZkGameObjectID kLastOrdinary = 0xFFFFFFFFFFFFFFDFull;
constexpr float kLargestFloat = std::numeric_limits<float>::max(); // 3.4028235e38
const float kBelowLargestFloat = std::nextafter(kLargestFloat, 0.0f); // 3.4028233e38
constexpr float kInfinity = std::numeric_limits<float>::infinity();
const float kNaN = std::nanf("");

struct Case
{
    std::string name;
    std::function<ZKRESULT()> call;
    ZKRESULT expected;
};

class PostingChecks : public FrontEndTest
{
protected:
    void SetUp() override
    {
        FrontEndTest::SetUp();
        UseRecorder();
    }
    // Each call's result, and one message for a success, none for a refusal.
    void Run(const std::vector<Case>& cases)
    {
        for (const Case& c : cases)
        {
            SCOPED_TRACE(c.name);
            recorder.messages.clear();
            EXPECT_EQ(c.call(), c.expected);
            ReadMessages();
            EXPECT_EQ(recorder.messages.size(), c.expected == ZK_Success ? 1u : 0u);
        }
    }
};

ZkTransform Transform(ZkVector front, ZkVector top, ZkVector position = {1.0f, 2.0f, 3.0f})
{
    return ZkTransform{front, top, position};
}
const ZkTransform kValid = Transform({0, 0, 1}, {0, 1, 0});
} // namespace

TEST_F(PostingChecks, ReservedGameObjectIdsAreRefusedAndTheIdBelowThemIsAccepted)
{
    Run({
        {"register first reserved", [] { return RegisterGameObj(kFirstReserved); }, ZK_InvalidParameter},
        {"register all ones", [] { return RegisterGameObj(ZK_ALL_GAME_OBJECTS, "name"); }, ZK_InvalidParameter},
        {"register last ordinary", [] { return RegisterGameObj(kLastOrdinary); }, ZK_Success},
        {"unregister first reserved", [] { return UnregisterGameObj(kFirstReserved); }, ZK_Fail},
        {"unregister last ordinary", [] { return UnregisterGameObj(kLastOrdinary); }, ZK_Success},
        {"position first reserved", [] { return SetPosition(kFirstReserved, kValid); }, ZK_Fail},
        {"position last ordinary", [] { return SetPosition(kLastOrdinary, kValid); }, ZK_Success},
        {"internal position of a reserved id", [] { return SetPositionInternal(kFirstReserved, kValid); }, ZK_Success},
        {"unregister all", [] { return UnregisterAllGameObj(); }, ZK_Success},
    });
}

TEST_F(PostingChecks, TransformsNeedUnitVectorsNearlyOrthogonalAndAFinitePosition)
{
    // Squared lengths that land on 0.9 and 1.1 exactly in float arithmetic.
    const ZkVector shortFront{0.6f, 0.73484689f, 0.0f};
    const ZkVector longFront{0.6f, 0.86023253f, 0.0f};
    ASSERT_EQ(shortFront.x * shortFront.x + shortFront.y * shortFront.y, 0.9f);
    ASSERT_EQ(longFront.x * longFront.x + longFront.y * longFront.y, 1.1f);
    const auto tilted = [](float dot) { return ZkVector{0.0f, std::sqrt(1.0f - dot * dot), dot}; };
    const std::vector<std::pair<std::string, ZkTransform>> refused = {
        {"front squared length 0.9", Transform(shortFront, {0, 0, 1})},
        {"front squared length 1.1", Transform(longFront, {0, 0, 1})},
        {"top squared length 0.9", Transform({0, 0, 1}, shortFront)},
        {"dot product 0.32", Transform({0, 0, 1}, tilted(0.32f))},
        {"front of zeros", Transform({0, 0, 0}, {0, 1, 0})},
        {"NaN in the front", Transform({kNaN, 0, 1}, {0, 1, 0})},
        {"infinite position", Transform({0, 0, 1}, {0, 1, 0}, {kInfinity, 0, 0})},
        {"NaN position", Transform({0, 0, 1}, {0, 1, 0}, {0, kNaN, 0})},
    };
    std::vector<Case> cases;
    for (const auto& [name, transform] : refused)
        cases.push_back({name, [t = transform] { return SetPosition(1, t); }, ZK_InvalidParameter});
    cases.push_back({"dot product 0.31", [&] { return SetPosition(1, Transform({0, 0, 1}, tilted(0.31f))); }, ZK_Success});
    cases.push_back({"lengths just inside", [&] {
                         return SetPosition(1, Transform({0, 0, 1.04f}, {0, 0.96f, 0}));
                     }, ZK_Success});
    Run(cases);
}

TEST_F(PostingChecks, FloatArgumentsMustBeFiniteAndTheLargestFloatIsTheEnginesOwn)
{
    Run({
        {"largest float", [] { return SetRTPCValue(7u, kLargestFloat); }, ZK_NotFinite},
        {"just below it", [=] { return SetRTPCValue(7u, kBelowLargestFloat); }, ZK_Success},
        {"lowest float", [] { return SetRTPCValue(7u, -kLargestFloat); }, ZK_Success},
        {"infinity", [] { return SetRTPCValue(7u, kInfinity); }, ZK_NotFinite},
        {"NaN with a transition", [=] { return SetRTPCValue(7u, kNaN, 1, 100); }, ZK_NotFinite},
        {"bus volume infinite", [] { return SetGameObjectOutputBusVolume(1, 2, -kInfinity); }, ZK_NotFinite},
        {"obstruction NaN", [=] { return SetObjectObstructionAndOcclusion(1, 2, 0.5f, kNaN); }, ZK_NotFinite},
        {"scaling factor 0", [] { return SetScalingFactor(1, 0.0f); }, ZK_InvalidParameter},
        {"scaling factor negative", [] { return SetScalingFactor(1, -2.0f); }, ZK_InvalidParameter},
        {"scaling factor NaN", [=] { return SetScalingFactor(1, kNaN); }, ZK_InvalidParameter},
        {"scaling factor infinite", [] { return SetScalingFactor(1, kInfinity); }, ZK_NotFinite},
        {"scaling factor 0.5", [] { return SetScalingFactor(1, 0.5f); }, ZK_Success},
    });
}

TEST_F(PostingChecks, StrictNamesRefuseNullAndIdZeroAndAnEmptyNameIsNotNull)
{
    const char* noName = nullptr;
    const wchar_t* noWideName = nullptr;
    Run({
        {"parameter null", [=] { return SetRTPCValue(noName, 1.0f); }, ZK_InvalidID},
        {"parameter wide null", [=] { return SetRTPCValue(noWideName, 1.0f); }, ZK_InvalidID},
        {"parameter id 0", [] { return SetRTPCValue(0u, 1.0f); }, ZK_InvalidID},
        {"parameter empty", [] { return SetRTPCValue("", 1.0f); }, ZK_Success},
        {"by playing id null", [=] { return SetRTPCValueByPlayingID(noName, 1.0f, 5); }, ZK_InvalidID},
        {"reset null", [=] { return ResetRTPCValue(noWideName); }, ZK_InvalidID},
        {"reset by name", [] { return ResetRTPCValue(L"Volume", 1, 50); }, ZK_Success},
        {"state group null", [=] { return SetState(noName, "On"); }, ZK_InvalidID},
        {"state null", [=] { return SetState(L"Group", noWideName); }, ZK_InvalidID},
        {"state id 0", [] { return SetState(3u, 0u); }, ZK_InvalidID},
        {"state by names", [] { return SetState("Group", "On"); }, ZK_Success},
        {"switch null", [=] { return SetSwitch("Surface", noName, 1); }, ZK_InvalidID},
        {"switch by wide names", [] { return SetSwitch(L"Surface", L"Grass", 1); }, ZK_Success},
        {"trigger null", [=] { return PostTrigger(noName, 1); }, ZK_InvalidID},
        {"trigger by name", [] { return PostTrigger("Hit", ZK_ALL_GAME_OBJECTS); }, ZK_Success},
    });
    SetRTPCValue("", 2.0f);
    EXPECT_EQ(ReadAt<uint32_t>(ReadOne(), 12), kIdOfEmptyName);
}

TEST_F(PostingChecks, APlayingIdWithoutAGameObjectGives94)
{
    Run({
        {"unknown playing id", [] { return SetRTPCValueByPlayingID(7u, 1.0f, 5); }, ZK_PlayingIDWithoutGameObject},
        {"names are checked first", [] { return SetRTPCValueByPlayingID(0u, kNaN, 5); }, ZK_InvalidID},
    });
}

TEST_F(PostingChecks, AuxSendLevelsAreClampedInPlaceAndANonFiniteLevelStopsTheCall)
{
    ZkAuxSendValue sends[3] = {{10, 100, 20.0f}, {11, 101, -3.0f}, {12, 102, 0.25f}};
    ASSERT_EQ(SetGameObjectAuxSendValues(1, sends, 3), ZK_Success);
    EXPECT_EQ(sends[0].controlValue, 16.0f) << "clamped in the caller's array";
    EXPECT_EQ(sends[1].controlValue, 0.0f);
    EXPECT_EQ(sends[2].controlValue, 0.25f);
    const Bytes message = ReadOne();
    EXPECT_EQ(ReadAt<float>(message, 16 + 12), 16.0f) << "the clamped level is sent";
    EXPECT_EQ(ReadAt<float>(message, 32 + 12), 0.0f);

    ZkAuxSendValue withNaN[3] = {{10, 100, 30.0f}, {11, 101, kNaN}, {12, 102, 40.0f}};
    EXPECT_EQ(SetGameObjectAuxSendValues(1, withNaN, 3), ZK_NotFinite);
    EXPECT_EQ(withNaN[0].controlValue, 16.0f) << "the levels before it are clamped already";
    EXPECT_EQ(withNaN[2].controlValue, 40.0f) << "the ones after it are untouched";
    EXPECT_EQ(SetGameObjectAuxSendValues(1, nullptr, 2), ZK_InvalidParameter);

    ZkObstructionOcclusionValues pairs[2] = {{1.5f, -0.5f}, {kInfinity, 0.5f}};
    EXPECT_EQ(SetMultipleObstructionAndOcclusion(1, 2, pairs, 2), ZK_NotFinite);
    EXPECT_EQ(pairs[0].occlusion, 1.0f);
    EXPECT_EQ(pairs[0].obstruction, 0.0f);
    recorder.messages.clear();
    ReadMessages();
    EXPECT_TRUE(recorder.messages.empty()) << "nothing posted by the refused calls";
}

TEST_F(PostingChecks, SingleValuesAreClampedBeforeTheyAreSent)
{
    ASSERT_EQ(SetGameObjectOutputBusVolume(1, 2, 17.0f), ZK_Success);
    EXPECT_EQ(ReadAt<float>(ReadOne(), 20), 16.0f);
    ASSERT_EQ(SetObjectObstructionAndOcclusion(1, 2, -1.0f, 2.0f), ZK_Success);
    const Bytes message = ReadOne();
    EXPECT_EQ(ReadAt<float>(message, 20), 0.0f);
    EXPECT_EQ(ReadAt<float>(message, 24), 1.0f);
}

TEST_F(PostingChecks, AnInvalidPositionInAListLeavesADroppedMessageThatTheReaderSkips)
{
    const ZkTransform positions[3] = {kValid, Transform({0, 0, 2}, {0, 1, 0}), kValid};
    EXPECT_EQ(SetMultiplePositions(1, positions, 3), ZK_InvalidParameter);
    EXPECT_EQ(m_events.Ring().UsedBytes(), 20u + 3 * 40) << "the message keeps its place";
    ReadMessages();
    EXPECT_TRUE(recorder.messages.empty()) << "type 61 is skipped";
    EXPECT_TRUE(m_events.Ring().IsEmpty());

    EXPECT_EQ(SetMultiplePositions(1, positions, 0, static_cast<MultiPositionType>(3)), ZK_InvalidParameter);
    EXPECT_EQ(SetMultiplePositions(1, static_cast<const ZkTransform*>(nullptr), 2), ZK_InvalidParameter);
    EXPECT_EQ(SetMultiplePositions(1, static_cast<const ZkChannelEmitter*>(nullptr), 0), ZK_Success);
    EXPECT_EQ(ReadOne().size(), 20u);
}

TEST_F(PostingChecks, ListsLargerThanTheRingTakesPostNothing)
{
    const uint32_t largest = m_events.Ring().LargestMessageBytes();
    const uint32_t listeners = (largest - 28) / 8; // 28 + 8n just fits
    std::vector<ZkGameObjectID> ids(listeners + 2, 5);
    EXPECT_EQ(SetListeners(1, ids.data(), listeners + 1), ZK_InvalidParameter);
    EXPECT_EQ(SetDefaultListeners(ids.data(), (largest - 20) / 8 + 1), ZK_InvalidParameter);
    EXPECT_TRUE(m_events.Ring().IsEmpty()) << "refused before reserving";
    EXPECT_EQ(SetListeners(1, ids.data(), listeners), ZK_Success);
    EXPECT_EQ(ReadOne().size(), 28u + 8 * listeners);
    EXPECT_EQ(SetListeners(1, nullptr, 1), ZK_InvalidParameter);

    std::vector<ZkObstructionOcclusionValues> pairs((largest - 24) / 8 + 1, ZkObstructionOcclusionValues{0.5f, 0.5f});
    EXPECT_EQ(SetMultipleObstructionAndOcclusion(1, 2, pairs.data(), static_cast<uint32_t>(pairs.size())),
              ZK_InvalidParameter);
    std::vector<ZkChannelEmitter> emitters((largest - 20) / 40 + 1, ZkChannelEmitter{kValid, 3});
    EXPECT_EQ(SetMultiplePositions(1, emitters.data(), static_cast<uint16_t>(emitters.size())), ZK_InvalidParameter);
    EXPECT_TRUE(m_events.Ring().IsEmpty());
}

// 16 + 16n bytes of aux sends pass the 16-bit size field from 4,095 sends on, while they still fit a
// ring of the default size: the size must be refused before anything is reserved, or the size
// field wraps and the reader walks into the sends as if they were messages.
TEST_F(PostingChecks, FourThousandAuxSendsAreRefusedAndTheRingStaysReadable)
{
    m_events.Ring().Term();
    ASSERT_EQ(m_events.Ring().Init(CZkMessageRing::kDefaultCapacityBytes, &recorder), ZK_Success);
    std::vector<ZkAuxSendValue> sends(4096, ZkAuxSendValue{0x0000000300000003ull, 0x00030003u, 1.0f});
    EXPECT_EQ(SetGameObjectAuxSendValues(1, sends.data(), 4096), ZK_InvalidParameter);
    EXPECT_EQ(SetGameObjectAuxSendValues(1, sends.data(), 4095), ZK_InvalidParameter);
    ASSERT_EQ(SetRTPCValue(9u, 0.5f, 1), ZK_Success);
    EXPECT_EQ(TypeOf(ReadOne()), ZkMessage_SetRTPC) << "the next message is read where it was posted";

    const uint32_t fitting = (MessagePosting::LargestMessage(m_events.Ring()) - 16) / 16;
    ASSERT_EQ(SetGameObjectAuxSendValues(1, sends.data(), fitting), ZK_Success);
    const Bytes message = ReadOne();
    EXPECT_EQ(SizeOf(message), 16 + 16 * fitting);
    EXPECT_EQ(ReadAt<uint32_t>(message, 12), fitting);
}

TEST_F(PostingChecks, SpatializationOffsetsAreCheckedAndCopiedAndAFailedCopyDropsTheMessage)
{
    const float offsets[6] = {-3.0f, 0.0f, 1.5f, 2.0f, -6.0f, 0.5f};
    const ZkChannelConfig fivePointOne = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1);
    float bad[6] = {0, 0, 0, 0, 0, kInfinity};
    EXPECT_EQ(SetListenerSpatialization(1, true, fivePointOne, bad), ZK_NotFinite);
    ASSERT_EQ(SetListenerSpatialization(1, true, fivePointOne, offsets), ZK_Success);
    recorder.messages.clear();
    ReadMessages();
    ASSERT_EQ(recorder.messages.size(), 1u);
    const Bytes& message = recorder.messages[0];
    const auto* copy = ReadAt<const float*>(message, 12);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(copy) % 16, 0u);
    EXPECT_EQ(std::vector<float>(copy, copy + 6), std::vector<float>(offsets, offsets + 6));
    EXPECT_EQ(copy[6], 0.0f) << "the second group of four is filled with zeros";
    EXPECT_EQ(ReadAt<uint32_t>(message, 20), fivePointOne.word);
    EXPECT_EQ(ReadAt<uint16_t>(message, 24), 1);
    EXPECT_EQ(ReadAt<uint16_t>(message, 26), 1);
    ZK::MemoryMgr::Free(ZkMemID_Default, const_cast<float*>(copy)); // the recorder applied nothing

    ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 1);
    EXPECT_EQ(SetListenerSpatialization(1, true, fivePointOne, offsets), ZK_InsufficientMemory);
    ZK::MemoryMgr::FaultInjection::Disarm();
    EXPECT_FALSE(m_events.Ring().IsEmpty()) << "the message keeps its place, as type 61";
    recorder.messages.clear();
    ReadMessages();
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(PostingChecks, WithoutTheEngineEveryPostAnswers2AndQueuesNothing)
{
    g_pEventMgr = nullptr;
    ZkAuxSendValue send{1, 2, 1.0f};
    const ZkGameObjectID listener = 4;
    Run({
        {"register", [] { return RegisterGameObj(1); }, ZK_Fail},
        {"position", [] { return SetPosition(1, kValid); }, ZK_Fail},
        {"positions", [] { return SetMultiplePositions(1, &kValid, 1); }, ZK_Fail},
        {"listeners", [&] { return SetListeners(1, &listener, 1); }, ZK_Fail},
        {"aux sends", [&] { return SetGameObjectAuxSendValues(1, &send, 1); }, ZK_Fail},
        {"game parameter", [] { return SetRTPCValue(3u, 1.0f); }, ZK_Fail},
        {"state", [] { return SetState(3u, 4u); }, ZK_Fail},
    });
    EXPECT_EQ(PostEvent(5u, 1), ZK_INVALID_PLAYING_ID);
}
