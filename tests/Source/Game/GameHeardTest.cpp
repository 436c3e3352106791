// The game heard, end to end and deterministic: the real engine and game from the repository's
// data, the sound engine without its thread on a virtual 48 kHz stereo speaker, one game frame per
// engine frame (1024 / 48000 s), the speaker's clock moved on after each. Every sound call of the
// game reaches the engine and is also recorded. The capture is judged by numpy (Debian's python3)
// against the frequencies and levels the SoundProject documents (SoundProject/README.md, "The mix").
//
// Latency: a sound posted in game frame k is mixed into the buffer rendered in frame k + 1 (the
// buffer that frame k's clock step made room for), so it is heard in the capture of frame k + 1 or
// k + 2 (its first block may hold only its attack): within 3 engine frames of its post.
#include "HeardGame.h"

#include "Engine/Camera.h"
#include "Engine/EngineGlobals.h"
#include "Engine/GameSound.h"
#include "Engine/SoundGameObjects.h"
#include "Game/GameGlobals.h"
#include "Game/Korvane.h"
#include "Objects/Stats.h"
#include "Objects/GameObject.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"
#include "Objects/Transform.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "Source/Engine/AssetFolder.h"
#include "Source/Engine/ScriptedInputDevice.h"
#include "support/GlContext.h"

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kMouse = 0;
constexpr int kMuteKeyCode = '0';
constexpr int kChannels = 2;
constexpr uint32_t kFrame = kp::test::kHeardFramesPerGameFrame;
constexpr int kFramesPerSecond = static_cast<int>(kp::test::kHeardRateHz / kFrame); // 46.875, floored
constexpr uint32_t kLatencyFrames = 3 * kFrame;
constexpr uint32_t kVoiceLimit = 64; // Init.bnk's max_voices

// The sounds, by their event and their dominant frequency (SoundProject/README.md).
constexpr ZkUniqueID kJingleEvent = 1029053404u;
constexpr ZkUniqueID kMenuMusicEvent = 2228153899u;
constexpr ZkUniqueID kMenuHoverEvent = 66789758u;
constexpr ZkUniqueID kMenuPressEvent = 1713356576u;
constexpr ZkUniqueID kEngineHumEvent = 3826206711u;
constexpr ZkUniqueID kLaunchEvent = 3643286168u;
constexpr double kJingleFirstNoteHz = 2349.0;
constexpr double kJingleHz = 392.0;
constexpr double kMenuMusicHz = 220.0;
constexpr double kPlayFieldMusicHz = 147.0;
// Each music's tones (its dominant first): the ones 1 Hz apart beat, so all are fitted together.
const std::string kMenuMusicTones = "220,110,219,221";
const std::string kPlayFieldMusicTones = "147,73,146,148";
constexpr double kHoverHz = 1760.0;
constexpr double kPressHz = 1320.0;
constexpr double kLaunchHz = 330.0;
// Documented tone levels, dBFS per channel.
constexpr double kJingleDb = -10.5;
constexpr double kMusicDb = -19.9;
constexpr double kAudibleDb = -40.0;

// The game's sound calls reach the engine, and each post is recorded with its game frame.
class ForwardingSound final : public GameSound
{
public:
    struct Post
    {
        ZkUniqueID event;
        long long frame;
    };

    ForwardingSound() { InstallGameSound(this); }
    ~ForwardingSound() override { InstallGameSound(nullptr); }
    ForwardingSound(const ForwardingSound&) = delete;
    ForwardingSound& operator=(const ForwardingSound&) = delete;

    void StartUp() override { m_engine.StartUp(); }
    ZKRESULT RenderAudio() override { return m_engine.RenderAudio(); }
    void ShutDown() override { m_engine.ShutDown(); }
    ZKRESULT RegisterGameObj(ZkGameObjectID object, const char* name) override { return m_engine.RegisterGameObj(object, name); }
    ZKRESULT UnregisterGameObj(ZkGameObjectID object) override { return m_engine.UnregisterGameObj(object); }
    ZkPlayingID PostEvent(ZkUniqueID event, ZkGameObjectID object) override
    {
        posts.push_back(Post{event, frame});
        return m_engine.PostEvent(event, object);
    }
    void StopPlayingID(ZkPlayingID id, ZkTimeMs ms, ZkCurveInterpolation curve) override { m_engine.StopPlayingID(id, ms, curve); }
    void StopAll(ZkGameObjectID object) override { m_engine.StopAll(object); }
    ZKRESULT SetRTPCValue(ZkUniqueID parameter, float value, ZkGameObjectID object, ZkTimeMs ms,
                          ZkCurveInterpolation curve, bool bypass) override
    {
        return m_engine.SetRTPCValue(parameter, value, object, ms, curve, bypass);
    }
    ZKRESULT GetPlayingIDsFromGameObject(ZkGameObjectID object, uint32_t& count, ZkPlayingID* ids) override
    {
        return m_engine.GetPlayingIDsFromGameObject(object, count, ids);
    }
    ZkUniqueID GetEventIDFromPlayingID(ZkPlayingID id) override { return m_engine.GetEventIDFromPlayingID(id); }

    // The game frames in which `event` was posted.
    std::vector<long long> FramesOf(ZkUniqueID event) const
    {
        std::vector<long long> frames;
        for (const Post& post : posts)
        {
            if (post.event == event)
                frames.push_back(post.frame);
        }
        return frames;
    }

    std::vector<Post> posts;
    long long frame = 0;

private:
    EngineSound m_engine;
};

class GameHeardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        listenerIds.clear();
        emitterIds.clear();
        m_game.Start(m_context.Window(), kWidth, kHeight, m_input);
    }
    void TearDown() override
    {
        if (!m_stopped)
            m_game.Stop();
    }

    // Runs game frames, keeping what the speaker received (the capture of frame k starts at
    // FrameStart(k)).
    void Frames(int count)
    {
        for (int index = 0; index < count; ++index)
        {
            m_frameStarts.push_back(static_cast<uint32_t>(m_capture.size() / kChannels));
            m_sound.frame = m_frames;
            m_game.Frame(false);
            const std::vector<float> written = m_game.TakeCapture().written;
            m_capture.insert(m_capture.end(), written.begin(), written.end());
            ++m_frames;
            if (m_watchVoices)
                m_mostVoices = std::max(m_mostVoices, ZK::SoundEngine::CZkAudioRenderer::VoiceCount());
        }
    }
    void Seconds(double seconds) { Frames(static_cast<int>(seconds * kp::test::kHeardRateHz / kFrame + 0.5)); }
    uint32_t FrameStart(long long frame) const { return m_frameStarts.at(static_cast<size_t>(frame)); }
    uint32_t Now() const { return static_cast<uint32_t>(m_capture.size() / kChannels); }

    // The shown object `name` (the top scene first).
    static GameObject* Shown(const std::string& name)
    {
        for (auto scene = SceneManager::scenes.rbegin(); scene != SceneManager::scenes.rend(); ++scene)
        {
            if (GameObject* object = (*scene)->active ? (*scene)->objects.Find(name) : nullptr)
                return object;
        }
        return nullptr;
    }
    // The cursor over the world point (x, y) of the 1920 x 1080 reference area.
    void PointAt(float x, float y) { m_input.SetCursor(x + kWidth / 2.0, kHeight / 2.0 - y); }
    void PointAtObject(const std::string& name)
    {
        GameObject* target = Shown(name);
        ASSERT_NE(target, nullptr) << name << " is not shown";
        const glm::vec3 at = target->GetComponent<Transform>()->GetWorldTranslation();
        PointAt(at.x, at.y);
    }
    void Press(int code, int frames = 1)
    {
        m_input.Press(code);
        Frames(frames);
        m_input.Release(code);
        Frames(1);
    }

    // From the start to the play field: a skip, "Play", its fade and the loading screen.
    void ToThePlayField()
    {
        Press(kMouse);
        Seconds(0.5);
        PointAtObject("StartButton");
        Frames(3);
        Press(kMouse);
        PointAt(5000.0f, 5000.0f);
        for (int frame = 0; frame < 20 * kFramesPerSecond && !SceneManager::Exists("Sandbox"); ++frame)
            Frames(1);
        ASSERT_TRUE(SceneManager::Exists("Sandbox"));
    }

    // Answers of heard_analysis.py to the queries, one line each.
    std::vector<std::string> Analyse(const std::vector<std::string>& queries) const
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::string capture = std::string(KP_TEST_OUTPUT_DIR) + "/heard_" + name + ".f32";
        const std::string questions = capture + ".queries";
        std::ofstream(capture, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_capture.data()), static_cast<std::streamsize>(m_capture.size() * sizeof(float)));
        std::ofstream queryFile(questions);
        for (const std::string& query : queries)
            queryFile << query << "\n";
        queryFile.close();
        std::istringstream output(ZkEngineTest::RunCommand("/usr/bin/python3 " KP_SOURCE_DIR
                                                           "/tests/Source/Game/heard_analysis.py " + capture + " 2 48000 < " + questions));
        std::vector<std::string> answers;
        for (std::string line; std::getline(output, line);)
            answers.push_back(line);
        EXPECT_EQ(answers.size(), queries.size()) << "the analysis answered every query";
        answers.resize(queries.size(), "nan nan");
        return answers;
    }
    static double First(const std::string& answer) { return std::stod(answer.substr(0, answer.find(' '))); }
    static std::string Query(const std::string& command, double hz, uint32_t start, uint32_t end)
    {
        std::ostringstream text;
        text << command << " " << hz << " " << start << " " << end;
        return text.str();
    }
    static std::string Level(const std::string& tones, uint32_t start, uint32_t end)
    {
        return "level " + tones + " " + std::to_string(start) + " " + std::to_string(end);
    }
    static std::string Onset(double hz, double db, uint32_t start, uint32_t end)
    {
        std::ostringstream text;
        text << "onset " << hz << " " << db << " " << start << " " << end << " " << kFrame;
        return text.str();
    }
    static std::string Span(const std::string& command, uint32_t start, uint32_t end)
    {
        return command + " " + std::to_string(start) + " " + std::to_string(end);
    }
    // The loudest level of the tone over blocks of one engine frame.
    double LoudestBlock(double hz, uint32_t start, uint32_t end) const
    {
        std::vector<std::string> queries;
        for (uint32_t at = start; at + kFrame <= end; at += kFrame)
            queries.push_back(Query("level", hz, at, at + kFrame));
        double loudest = -999.0;
        for (const std::string& answer : Analyse(queries))
            loudest = std::max(loudest, First(answer));
        return loudest;
    }

    kp::test::GlContext m_context{kWidth, kHeight};
    kp::test::WorkingFolder m_here{KP_SOURCE_DIR};
    kp::test::ScriptedInputDevice m_input;
    ForwardingSound m_sound;
    kp::test::HeardGame m_game{false};
    std::vector<float> m_capture;
    std::vector<uint32_t> m_frameStarts;
    long long m_frames = 0;
    bool m_stopped = false;
    bool m_watchVoices = false;
    uint32_t m_mostVoices = 0;
};

TEST_F(GameHeardTest, TheJingleThenTheMenuMusicAndItsButtonCues)
{
    // Start-up: the jingle, at its documented level, from the first frames; then its end.
    Seconds(2.5);
    const uint32_t afterJingle = Now();
    // A skip click: the menu and its music.
    const long long click = m_frames;
    Press(kMouse);
    Seconds(1.0);
    const uint32_t menuHeard = Now();
    // Over "Play", then a press and a release (the release acts: the screen starts to fade).
    PointAtObject("StartButton");
    const long long hover = m_frames;
    Frames(10);
    m_input.Press(kMouse);
    const long long press = m_frames;
    Frames(10);
    const uint32_t pressHeard = Now();
    m_input.Release(kMouse);
    PointAt(5000.0f, 5000.0f);
    Frames(1);

    const std::vector<std::string> answers = Analyse({
        Onset(kJingleFirstNoteHz, kAudibleDb, 0, afterJingle),
        Onset(kMenuMusicHz, kAudibleDb, FrameStart(click), menuHeard),
        Onset(kJingleFirstNoteHz, kAudibleDb, FrameStart(click), menuHeard),
        Onset(kHoverHz, kAudibleDb, FrameStart(hover), pressHeard),
        Onset(kPressHz, kAudibleDb, FrameStart(press), pressHeard),
        Query("level", kJingleHz, afterJingle - 4 * kFrame, afterJingle),
    });
    const double jingleOnset = First(answers[0]);
    EXPECT_GE(jingleOnset, 0) << "the jingle is heard";
    EXPECT_LE(jingleOnset, kLatencyFrames) << "from the first frames";
    EXPECT_NEAR(LoudestBlock(kJingleHz, 0, afterJingle), kJingleDb, 0.5) << "the jingle's documented level";
    EXPECT_LT(First(answers[5]), -60.0) << "the jingle has ended";
    const double menuOnset = First(answers[1]);
    EXPECT_GE(menuOnset, FrameStart(click)) << "the menu music starts with the click";
    EXPECT_LE(menuOnset, FrameStart(click) + kLatencyFrames);
    EXPECT_EQ(First(answers[2]), -1) << "the jingle does not start again";
    EXPECT_EQ(m_sound.FramesOf(kJingleEvent).size(), 1u);
    EXPECT_EQ(m_sound.FramesOf(kMenuMusicEvent).size(), 1u);
    EXPECT_EQ(m_sound.FramesOf(kMenuHoverEvent).size(), 1u) << "the hover cue once";
    EXPECT_EQ(m_sound.FramesOf(kMenuPressEvent).size(), 1u) << "the press cue once";
    EXPECT_GE(First(answers[3]), FrameStart(hover));
    EXPECT_LE(First(answers[3]), FrameStart(hover) + kLatencyFrames);
    EXPECT_GE(First(answers[4]), FrameStart(press));
    EXPECT_LE(First(answers[4]), FrameStart(press) + kLatencyFrames);
}

TEST_F(GameHeardTest, TheMuteKeySilencesAfterOneRampedFrameAndRestoresTheLevel)
{
    Press(kMouse); // skip to the menu and its music
    Seconds(2.5);  // the jingle plays on to its end
    const uint32_t steadyStart = Now();
    Seconds(0.5);
    const uint32_t steadyEnd = Now();
    const long long muted = m_frames;
    Press(kMuteKeyCode);
    Seconds(0.5);
    const uint32_t mutedEnd = Now();
    const long long unmuted = m_frames;
    Press(kMuteKeyCode);
    Seconds(0.5);

    // The frame of the change ramps; from the next engine frame on, silence.
    const uint32_t silentFrom = FrameStart(muted) + 2 * kFrame;
    const uint32_t restoredFrom = FrameStart(unmuted) + 2 * kFrame;
    const std::vector<std::string> answers = Analyse({
        Level(kMenuMusicTones, steadyStart, steadyEnd),
        Span("peak", silentFrom, mutedEnd),
        Level(kMenuMusicTones, restoredFrom, restoredFrom + (steadyEnd - steadyStart)),
    });
    EXPECT_NEAR(First(answers[0]), kMusicDb, 0.5) << "the menu music at its documented level";
    EXPECT_LE(First(answers[1]), -96.0) << "muted";
    EXPECT_NEAR(First(answers[2]), First(answers[0]), 0.1) << "unmuted: the level before";
}

TEST_F(GameHeardTest, ThePlayFieldMusicRunsWithoutAGap)
{
    ToThePlayField();
    Seconds(3.0); // the menu's music fades out
    const uint32_t start = Now();
    Seconds(30.0);
    const uint32_t end = Now();

    std::vector<std::string> queries = {Span("silentrun", start, end), Level(kPlayFieldMusicTones, start, end)};
    // Windows of a quarter second over each loop boundary of the 3 s loop, and one inside it.
    const uint32_t loopFrames = 3 * kp::test::kHeardRateHz;
    const uint32_t musicStart = static_cast<uint32_t>(First(Analyse({Onset(kPlayFieldMusicHz, kAudibleDb, 0, end)})[0]));
    for (uint32_t boundary = musicStart + loopFrames; boundary + 6000 < end; boundary += loopFrames)
    {
        if (boundary > start + 6000)
            queries.push_back("residual " + kPlayFieldMusicTones + " " + std::to_string(boundary - 6000) + " " + std::to_string(boundary + 6000));
    }
    const std::vector<std::string> answers = Analyse(queries);
    EXPECT_LE(std::stoi(answers[0]), 1) << "no run of silent samples";
    EXPECT_NEAR(First(answers[1]), kMusicDb, 0.5);
    ASSERT_GT(answers.size(), 5u) << "loop boundaries looked at";
    for (size_t index = 2; index < answers.size(); ++index)
    {
        std::istringstream channels(answers[index]);
        double left = 0;
        double right = 0;
        channels >> left >> right;
        EXPECT_LT(left, -60.0) << queries[index];
        EXPECT_LT(right, -60.0) << queries[index];
    }
}

// Level 50 must sound at -6.02 dB: the level reaches the voices once (0 and 100 cannot show a
// level applied twice).
TEST_F(GameHeardTest, ThePauseMenusSliderSetsTheMusicLevelByInitBanksCurve)
{
    ToThePlayField();
    Seconds(2.0);
    Press(256); // Escape: the pause menu
    Seconds(0.5);
    GameObject* track = Shown("VolumeBar");
    ASSERT_NE(track, nullptr);
    GameObject* knob = track->FindChild("VolumeSliderKnob");
    ASSERT_NE(knob, nullptr);
    const float x = knob->GetComponent<Transform>()->GetWorldTranslation().x;
    // The knob follows the held button inside its band; 294 itself is the band's (open) top.
    std::vector<std::pair<uint32_t, uint32_t>> spans;
    for (const float height : {294.0f, 147.0f, 0.0f, 293.99f})
    {
        PointAt(x, knob->GetComponent<Transform>()->GetWorldTranslation().y);
        Frames(1);
        m_input.Press(kMouse);
        Frames(1);
        PointAt(x, height);
        Frames(2);
        m_input.Release(kMouse);
        Frames(3);
        const uint32_t start = Now();
        Seconds(0.5);
        spans.emplace_back(start, Now());
    }
    const std::vector<std::string> answers = Analyse({
        Level(kPlayFieldMusicTones + "," + kMenuMusicTones, spans[0].first, spans[0].second),
        Level(kPlayFieldMusicTones + "," + kMenuMusicTones, spans[1].first, spans[1].second),
        Span("peak", spans[2].first, spans[2].second),
        Level(kPlayFieldMusicTones + "," + kMenuMusicTones, spans[3].first, spans[3].second),
    });
    const double full = First(answers[0]);
    EXPECT_NEAR(full, kMusicDb, 0.5);
    // Init.bnk's curve: level 50 is half the linear gain, -6.02 dB.
    EXPECT_NEAR(First(answers[1]) - full, 20.0 * std::log10(0.5), 0.5);
    EXPECT_LE(First(answers[2]), -96.0) << "level 0: silence";
    EXPECT_NEAR(First(answers[3]), full, 0.1) << "back at full level";
}

TEST_F(GameHeardTest, ALaunchItsFlightAndItsDeath)
{
    ToThePlayField();
    Seconds(1.0);
    gGold = 10000;
    const long long launch = m_frames;
    PointAtObject("SpawnButtonMid");
    Frames(2);
    Press(kMouse);
    PointAt(5000.0f, 5000.0f);
    const uint32_t launchEnd = FrameStart(launch) + kp::test::kHeardRateHz;
    Seconds(6.0);
    ASSERT_EQ(m_sound.FramesOf(kLaunchEvent).size(), 1u) << "the type's launch cue";
    // The engine hum: posted at the start of the flight at least twice (the game asks whether it
    // plays before the engine counts the first post as playing), then again, in a burst of the same
    // kind, only once the 1 s hum has ended.
    const std::vector<long long> hums = m_sound.FramesOf(kEngineHumEvent);
    ASSERT_GE(hums.size(), 2u);
    std::vector<std::pair<long long, size_t>> bursts; // first frame, posts
    for (size_t index = 0; index < hums.size(); ++index)
    {
        if (index > 0 && hums[index] - hums[index - 1] <= 2)
            ++bursts.back().second;
        else
            bursts.emplace_back(hums[index], 1);
    }
    std::printf("engine hum: %zu posts at the flight's start, %zu bursts in %zu posts\n", bursts.front().second,
                bursts.size(), hums.size());
    EXPECT_GE(bursts.front().second, 2u);
    for (size_t index = 1; index < bursts.size(); ++index)
        EXPECT_GE(bursts[index].first - bursts[index - 1].first, kFramesPerSecond - 2) << "replayed before the hum ended";
    const double launchOnset = First(Analyse({Onset(kLaunchHz, kAudibleDb, FrameStart(launch), launchEnd)})[0]);
    EXPECT_GE(launchOnset, FrameStart(launch));

    // Its death: the death cue posted on every frame of 2.5 s; the voices never above the limit.
    GameObject* airship = nullptr;
    for (GameObject* object : SceneManager::Find("Sandbox")->objects.entries)
    {
        if (object != nullptr && object->GetComponent<Korvane>() != nullptr)
            airship = object;
    }
    ASSERT_NE(airship, nullptr);
    airship->GetComponent<Stats>()->health = 0;
    m_watchVoices = true;
    Seconds(3.0);
    EXPECT_LE(m_mostVoices, kVoiceLimit);
    EXPECT_GT(m_mostVoices, 0u);
}

// The engine's end after "Yes" clears the banks while the menu's buses idle: the idle-bus clean-up
// then gives back the last references to their nodes.
TEST_F(GameHeardTest, QuitAndYesCloseTheWindowAndEndTheSound)
{
    Press(kMouse);
    Seconds(0.5);
    PointAtObject("QuitButton");
    Frames(3);
    Press(kMouse);
    Seconds(0.3);
    PointAtObject("YesButton");
    Frames(3);
    Press(kMouse);
    PointAt(5000.0f, 5000.0f);
    Frames(2);
    EXPECT_NE(glfwWindowShouldClose(window), 0) << "the window closes";
    m_game.Stop();
    m_stopped = true;
    EXPECT_EQ(m_game.Audio().Capture(kp::test::kHeardSpeakers).openStreams, 0u) << "the capture has ended";
    EXPECT_FALSE(ZK::SoundEngine::IsInitialized());
    EXPECT_FALSE(ZK::MemoryMgr::IsInitialized());
}
// A sound that starts while the game is muted plays on, finite, once the game is unmuted.
TEST_F(GameHeardTest, ASoundStartedWhileMutedIsFiniteAfterUnmuting)
{
    Press(kMuteKeyCode);
    Press(kMouse); // skip: the menu music starts while muted
    Seconds(0.5);
    Press(kMuteKeyCode);
    Seconds(0.5);
    size_t firstNonFinite = m_capture.size();
    for (size_t index = 0; index < m_capture.size() && firstNonFinite == m_capture.size(); ++index)
    {
        if (!std::isfinite(m_capture[index]))
            firstNonFinite = index;
    }
    EXPECT_EQ(firstNonFinite, m_capture.size()) << "a sample that is not finite, at frame " << firstNonFinite / kChannels;
}
} // namespace
