// Switch containers heard through the running engine (offline rendering, the capture of the main
// output). Three looping tones of their own frequencies stand for the children, so the capture
// tells, frame by frame, which child sounds and how loud: value A plays c1 (500 Hz) and c2
// (1000 Hz), value B plays c2 and c3 (2000 Hz). c1 stops with a 200 ms fade-out at a change,
// c2 continues across A and B, c3 fades in over 100 ms.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSwitchContainerNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <cmath>
#include <cstdint>
#include <functional>

namespace
{
using namespace ZkFirstSoundTest;

constexpr double kPi = 3.14159265358979323846;
constexpr ZkUniqueID kEvent = 936;
constexpr ZkUniqueID kSwitch = 236;
constexpr ZkUniqueID kGroup = 600;
constexpr ZkUniqueID kValueA = 61;
constexpr ZkUniqueID kValueB = 62;
constexpr ZkUniqueID kValueNone = 63;
// 20 ms: a whole number of periods of every tone, so each tone's measure ignores the others.
constexpr uint32_t kWindow = 960;
const uint32_t kHz[] = {500, 1000, 2000};
constexpr double kSilentDb = -96.0;
// A tone at the fixture's amplitude through the centre pan.
const double kFullLevel = kToneAmplitude * kCentreGain;

class HeardSwitchContainer : public FirstSound
{
protected:
    // The bank: the three looping children, the switch container with the given keys, its play
    // action and event. groupType: "switch" or "state".
    void WriteBank(const std::string& keys, const std::string& groupType = "switch", const std::string& settings = "")
    {
        std::string media;
        std::string sounds;
        for (uint32_t i = 0; i < 3; ++i)
        {
            media += (i != 0 ? ", " : "") + std::string(R"({"id": )") + std::to_string(130 + i) +
                     R"(, "wave": {"rate": 48000, "channels": 1, "frames": 4800, "parts": [{"tone": )" +
                     std::to_string(kHz[i]) + R"(, "amp": 0.5}]}})";
            sounds += R"({"type": "sound", "id": )" + std::to_string(226 + i) + R"(, "media": )" +
                      std::to_string(130 + i) + R"(, "props": {"loop_count": 0}},)";
        }
        const std::string defaultSettings =
            R"([{"child": 226, "mode": 1, "fade_out": 200}, {"child": 227, "continue_across": true},
                {"child": 228, "fade_in": 100}])";
        const std::string bank = R"({"name": "HeardSwitch.bnk", "media": [)" + media + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" + sounds +
                                 R"(
                {"type": "switch", "id": 236, "group_type": ")" + groupType + R"(", "group": 600, "default": 0,
                 "children": [226, 227, 228],
                 "values": [{"value": 61, "children": [226, 227]}, {"value": 62, "children": [227, 228]}],
                 "settings": )" + (settings.empty() ? defaultSettings : settings) +
                                 (keys.empty() ? "" : ", " + keys) + R"(},
                {"type": "group", "id": 246, "bus": "Effects", "children": [236]},
                {"type": "action", "id": 336, "action": "play", "target": 236},
                {"type": "event", "id": 936, "actions": [336]}]}]})";
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("HeardSwitch.bnk", bank));
    }

    void StartWithBank()
    {
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("HeardSwitch.bnk", bank), ZK_Success);
    }

    std::vector<float> Left() const
    {
        std::vector<float> left;
        for (size_t i = 0; i < captured.size(); i += channels)
            left.push_back(captured[i]);
        return left;
    }

    // The level of tone t in dB re the full level, in the window at the start of frame index.
    double FrameDb(const std::vector<float>& left, size_t frame, int tone) const
    {
        const size_t start = frame * kFrames;
        double re = 0.0;
        double im = 0.0;
        for (size_t i = start; i < start + kWindow && i < left.size(); ++i)
        {
            re += left[i] * std::cos(2.0 * kPi * kHz[tone] * static_cast<double>(i) / kRate);
            im += left[i] * std::sin(2.0 * kPi * kHz[tone] * static_cast<double>(i) / kRate);
        }
        const double amplitude = 2.0 * std::sqrt(re * re + im * im) / kWindow;
        return amplitude > 0.0 ? 20.0 * std::log10(amplitude / kFullLevel) : -200.0;
    }

    // The coefficients of the columns (functions of the sample index) that best give the samples
    // [from, to) of y: least squares through the normal equations, solved by elimination.
    using Column = std::function<double(size_t)>;
    static std::vector<double> Fit(const std::vector<Column>& columns, const std::vector<double>& y, size_t from,
                                   size_t to)
    {
        const size_t n = columns.size();
        std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
        for (size_t k = from; k < to; ++k)
        {
            std::vector<double> row(n);
            for (size_t i = 0; i < n; ++i)
                row[i] = columns[i](k);
            for (size_t i = 0; i < n; ++i)
            {
                for (size_t j = 0; j < n; ++j)
                    a[i][j] += row[i] * row[j];
                a[i][n] += row[i] * y[k];
            }
        }
        for (size_t i = 0; i < n; ++i)
        {
            size_t pivot = i;
            for (size_t r = i + 1; r < n; ++r)
                if (std::fabs(a[r][i]) > std::fabs(a[pivot][i]))
                    pivot = r;
            std::swap(a[i], a[pivot]);
            for (size_t r = 0; r < n; ++r)
            {
                if (r == i || a[i][i] == 0.0)
                    continue;
                const double factor = a[r][i] / a[i][i];
                for (size_t c = i; c <= n; ++c)
                    a[r][c] -= factor * a[i][c];
            }
        }
        std::vector<double> x(n);
        for (size_t i = 0; i < n; ++i)
            x[i] = a[i][i] != 0.0 ? a[i][n] / a[i][i] : 0.0;
        return x;
    }

    static Column Cos(double hz, size_t rampFrom = SIZE_MAX)
    {
        return [hz, rampFrom](size_t k) {
            const double ramp = rampFrom == SIZE_MAX ? 1.0 : static_cast<double>(k) - static_cast<double>(rampFrom);
            return ramp * std::cos(2.0 * kPi * hz * static_cast<double>(k) / kRate);
        };
    }
    static Column Sin(double hz, size_t rampFrom = SIZE_MAX)
    {
        return [hz, rampFrom](size_t k) {
            const double ramp = rampFrom == SIZE_MAX ? 1.0 : static_cast<double>(k) - static_cast<double>(rampFrom);
            return ramp * std::sin(2.0 * kPi * hz * static_cast<double>(k) / kRate);
        };
    }

    // How far c2 strays, in dB re its own level, from the sine fitted to it before the change,
    // over the frames [first, last): in each frame, what is left once that sine is taken off, less
    // the best fit of c1 and c3 with amplitudes that ramp linearly across the frame (as the
    // voices' gains do).
    static double C2StrayDb(const std::vector<float>& left, size_t steadyFrom, size_t change, size_t first, size_t last)
    {
        const std::vector<double> y(left.begin(), left.end());
        const double c2Hz = kHz[1];
        const std::vector<double> c2 =
            Fit({Cos(c2Hz), Sin(c2Hz), Cos(kHz[0]), Sin(kHz[0])}, y, steadyFrom * kFrames, change * kFrames);
        std::vector<double> rest(y.size());
        for (size_t k = 0; k < y.size(); ++k)
            rest[k] = y[k] - c2[0] * Cos(c2Hz)(k) - c2[1] * Sin(c2Hz)(k);
        double stray = 0.0;
        for (size_t frame = first; frame < last; ++frame)
        {
            const size_t from = frame * kFrames;
            const size_t to = from + kFrames;
            std::vector<Column> others;
            for (const double hz : {static_cast<double>(kHz[0]), static_cast<double>(kHz[2])})
                for (const size_t ramp : {SIZE_MAX, from})
                {
                    others.push_back(Cos(hz, ramp));
                    others.push_back(Sin(hz, ramp));
                }
            const std::vector<double> fit = Fit(others, rest, from, to);
            for (size_t k = from; k < to; ++k)
            {
                double value = rest[k];
                for (size_t i = 0; i < others.size(); ++i)
                    value -= fit[i] * others[i](k);
                stray += value * value;
            }
        }
        const double strayRms = std::sqrt(stray / static_cast<double>((last - first) * kFrames));
        const double c2Rms = std::hypot(c2[0], c2[1]) / std::sqrt(2.0);
        return 20.0 * std::log10(strayRms / c2Rms);
    }

    // The frame index where the capture will be after the frames rendered so far.
    size_t FramesSoFar() const { return captured.size() / std::max(1u, channels) / kFrames; }

    static CZkSwitchContainerNode* Container()
    {
        auto* node =
            static_cast<CZkHierarchyNode*>(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(kSwitch));
        return node != nullptr && node->Category() == ZkNodeCategory_Switch ? static_cast<CZkSwitchContainerNode*>(node)
                                                                             : nullptr;
    }

    static ZkObjectValue StoredValue()
    {
        return g_pRegistryMgr->GetObjectValue(g_pRegistryMgr->GetObj(kEmitter), kSwitch);
    }

    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }

    // Plays A, changes to B after 10 frames (by setChange), and checks what the capture shows.
    template <typename Change>
    void ExpectAToB(Change setChange)
    {
        ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
        RenderFrames(10);
        const size_t change = FramesSoFar();
        setChange();
        RenderFrames(25);
        const std::vector<float> left = Left();
        for (size_t frame = 4; frame < change; ++frame)
        {
            EXPECT_NEAR(FrameDb(left, frame, 0), 0.0, 0.2) << "c1 under A, frame " << frame;
            EXPECT_NEAR(FrameDb(left, frame, 1), 0.0, 0.2) << "c2 under A, frame " << frame;
            EXPECT_LT(FrameDb(left, frame, 2), kSilentDb) << "no c3 under A, frame " << frame;
        }
        // c1 fades out over 200 ms: gone within ceil(200 / 21.3) = 10 frames after the change.
        for (size_t frame = change + 11; frame < change + 25; ++frame)
            EXPECT_LT(FrameDb(left, frame, 0), kSilentDb) << "c1 after its fade-out, frame " << frame;
        EXPECT_LT(FrameDb(left, change + 3, 0), -0.5) << "c1 is fading";
        // c2 goes on unbroken: the same level every frame across the change, and the very sine it
        // was before it (a restart or a jump of its phase would stray from it).
        for (size_t frame = 4; frame < change + 25; ++frame)
            EXPECT_NEAR(FrameDb(left, frame, 1), 0.0, 0.2) << "c2 continues, frame " << frame;
        EXPECT_LT(C2StrayDb(left, 4, change, change - 2, change + 14), -60.0) << "c2 across the change";
        // c3 starts within two frames of the change and is at full level 100 ms (5 frames) later.
        size_t start = change;
        while (start < change + 3 && FrameDb(left, start, 2) < -60.0)
            ++start;
        EXPECT_LT(start, change + 3) << "c3 starts";
        for (size_t frame = start + 6; frame < change + 25; ++frame)
            EXPECT_NEAR(FrameDb(left, frame, 2), 0.0, 0.2) << "c3 at full level, frame " << frame;
    }
};

TEST_F(HeardSwitchContainer, ASwitchChangeStopsContinuesAndStartsChildren)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("continuous": true)"));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_EQ(SetSwitch(kGroup, kValueA, kEmitter), ZK_Success);
    ExpectAToB([] { ASSERT_EQ(SetSwitch(kGroup, kValueB, kEmitter), ZK_Success); });
    EXPECT_EQ(StoredValue().value, kValueB);
    EXPECT_EQ(StoredValue().count, 1u);
    StopAll();
    RenderFrames(2);
}

TEST_F(HeardSwitchContainer, AStateChangeStopsContinuesAndStartsChildren)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("continuous": true)", "state"));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    ASSERT_EQ(SetState(kGroup, kValueA), ZK_Success);
    RenderFrames(1);
    ExpectAToB([] { ASSERT_EQ(SetState(kGroup, kValueB), ZK_Success); });
    StopAll();
    RenderFrames(2);
}

// A child of another mode than 1 ends its current pass (100 ms) at a change and nothing follows.
TEST_F(HeardSwitchContainer, AChildLetFinishEndsItsPass)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("continuous": true)", "switch", "[]"));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_EQ(SetSwitch(kGroup, kValueA, kEmitter), ZK_Success);
    ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
    RenderFrames(10);
    const size_t change = FramesSoFar();
    ASSERT_EQ(SetSwitch(kGroup, kValueB, kEmitter), ZK_Success);
    RenderFrames(20);
    const std::vector<float> left = Left();
    for (size_t frame = change + 7; frame < change + 20; ++frame)
        EXPECT_LT(FrameDb(left, frame, 0), kSilentDb) << "c1 ended with its pass, frame " << frame;
    EXPECT_NEAR(FrameDb(left, change + 15, 1), 0.0, 0.2) << "c2 still plays";
    StopAll();
    RenderFrames(2);
}

TEST_F(HeardSwitchContainer, StopAllRemovesTheContextsAndEndsTheEventOnce)
{
    ASSERT_NO_FATAL_FAILURE(WriteBank(R"("continuous": true)"));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_EQ(SetSwitch(kGroup, kValueA, kEmitter), ZK_Success);
    uint32_t ends = 0;
    ASSERT_NE(PostEvent(kEvent, kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends), 0u);
    RenderFrames(5);
    ASSERT_NE(Container(), nullptr);
    EXPECT_EQ(Container()->ContextCount(), 1u);
    EXPECT_TRUE(Container()->IsSubscribed());
    EXPECT_EQ(CZkActiveInstances::PlayContextCount(), 1u);
    EXPECT_TRUE(Container()->IsUpdatedEachFrame()) << "a continuous play joins the nodes updated each frame";
    StopAll(kEmitter);
    RenderFrames(3);
    EXPECT_FALSE(Container()->IsUpdatedEachFrame()) << "and leaves them with its play";
    EXPECT_EQ(Container()->ContextCount(), 0u);
    EXPECT_FALSE(Container()->IsSubscribed());
    EXPECT_EQ(CZkActiveInstances::PlayContextCount(), 0u);
    EXPECT_EQ(StoredValue().count, 0u) << "the stop removes the object's value entry";
    EXPECT_EQ(ends, 1u);
    RenderFrames(5);
    EXPECT_EQ(ends, 1u);
}

// What the stored value and the heard children are after plays and changes (the edge cases of
// switch containers), each case on a fresh engine.
struct StoredCase
{
    const char* what;
    const char* keys;
    const char* settings;
    // The switch value before the first post, the posts, then a change after them (0: none).
    ZkUniqueID first;
    uint32_t posts;
    ZkUniqueID change;
    ZkObjectValue stored;
    bool heard[3]; // at the end
};

const StoredCase kStoredCases[] = {
    {"a value without assignment plays the default's children", R"("continuous": true, "default": 62)", "",
     kValueNone, 1, 0, {kValueB, 1}, {false, true, true}},
    {"a change to a value without assignment stores the default", R"("continuous": true, "default": 62)", "",
     kValueA, 1, kValueNone, {kValueB, 1}, {false, true, true}},
    {"no assignment and no default plays nothing", R"("continuous": false)", "", kValueNone, 1, 0, {0, 0},
     {false, false, false}},
    {"a non-continuous container ignores changes", R"("continuous": false)", "", kValueA, 1, kValueB, {kValueA, 1},
     {true, true, false}},
    {"first-only children play on the first play of a value only", R"("continuous": false)",
     R"([{"child": 226, "first_only": true}])", kValueA, 2, 0, {kValueA, 2}, {false, true, false}},
    {"a change to the stored value does nothing", R"("continuous": true)", "", kValueA, 1, kValueA, {kValueA, 1},
     {true, true, false}},
};

class HeardSwitchStoredValues : public HeardSwitchContainer, public ::testing::WithParamInterface<StoredCase>
{
};

TEST_P(HeardSwitchStoredValues, AfterPlaysAndChanges)
{
    const StoredCase& c = GetParam();
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(WriteBank(c.keys, "switch", c.settings));
    ASSERT_NO_FATAL_FAILURE(StartWithBank());
    ASSERT_EQ(SetSwitch(kGroup, c.first, kEmitter), ZK_Success);
    for (uint32_t post = 0; post < c.posts; ++post)
    {
        if (post > 0)
        {
            // The children of the play before are stopped; the value entry stays (non-continuous).
            ExecuteActionOnEvent(kEvent, ZkActionOnEventType_Stop, kEmitter);
            RenderFrames(2);
        }
        ASSERT_NE(PostEvent(kEvent, kEmitter), 0u);
        RenderFrames(2);
    }
    if (c.change != 0)
    {
        ASSERT_EQ(SetSwitch(kGroup, c.change, kEmitter), ZK_Success);
    }
    RenderFrames(20); // past a 200 ms fade-out
    const ZkObjectValue stored = StoredValue();
    EXPECT_EQ(stored.value, c.stored.value);
    EXPECT_EQ(stored.count, c.stored.count);
    const size_t last = FramesSoFar() - 1;
    const std::vector<float> left = Left();
    for (int tone = 0; tone < 3; ++tone)
    {
        if (c.heard[tone])
            EXPECT_GT(FrameDb(left, last, tone), -1.0) << "child " << tone;
        else
            EXPECT_LT(FrameDb(left, last, tone), kSilentDb) << "child " << tone;
    }
    StopAll();
    RenderFrames(2);
}

INSTANTIATE_TEST_SUITE_P(Cases, HeardSwitchStoredValues, ::testing::ValuesIn(kStoredCases));
} // namespace
