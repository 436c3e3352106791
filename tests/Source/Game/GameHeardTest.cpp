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
#include "Game/City.h"
#include "Game/GameGlobals.h"
#include "Game/Korvane.h"
#include "Engine/Timer.h"
#include "Game/RoundTimer.h"
#include "Game/SoundEvents.h"
#include "Game/Tower.h"
#include "Objects/Stats.h"
#include "Objects/Audio.h"
#include "Objects/GameObject.h"
#include "Objects/ObjectSound.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"
#include "Objects/Transform.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/MainDevicePanning.h"
#include "Source/Engine/AssetFolder.h"
#include "Source/Engine/ScriptedInputDevice.h"
#include "support/GlContext.h"

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkQueryParameters.h>
#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
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
constexpr ZkUniqueID kRubbleEvent = 853173628u;
constexpr ZkUniqueID kWoodenTowerDestroyedEvent = 2816493517u;
constexpr ZkUniqueID kStoneTowerDestroyedEvent = 2592254617u;
constexpr ZkUniqueID kAirshipHitEvent = 2023560711u;
constexpr ZkUniqueID kCityFallsEvent = 3873832695u;
// The jingle (SoundProject/README.md, "The opening jingle"): a music segment at tempo 120, one note
// a beat from the start of its pre-entry; it ends one beat after its exit cue.
constexpr const char* kJingleNotes[] = {"Media/opening_jingle_pickup", "Media/opening_jingle_1", "Media/opening_jingle_2",
                                        "Media/opening_jingle_3", "Media/opening_jingle_4"};
constexpr uint32_t kJingleBeat = 24000;         // 500 ms at 48 kHz
constexpr uint32_t kJingleEnd = 6 * kJingleBeat; // pre-entry, a bar of four beats, post-exit
constexpr double kJingleFirstNoteHz = 1209.0;
// A note one sample early or late misses its media by more than 1e-2; a mono voice's level on each
// side differs from 0.70710677 by at most -0.017 dB (7e-4 at full scale).
constexpr double kPlacedTolerance = 1e-3;
// The screen musics (SoundProject/README.md, "The screen musics"): playlists of segments at tempo
// 120 in 4/4, each a tone of its own with a noise hit on its entry cue and a one-beat tail after its
// exit cue, all heard at -19.9 dBFS.
constexpr ZkUniqueID kPlayFieldMusicEvent = 557932600u;
constexpr ZkUniqueID kWinMusicEvent = 51240863u;
constexpr ZkUniqueID kLoseMusicEvent = 2339013412u;
constexpr uint32_t kBeat = 24000;     // 500 ms at 48 kHz
constexpr uint32_t kBar = 4 * kBeat;
constexpr uint32_t kHop = 256;        // the analysis hop a segment change is placed within
constexpr uint32_t kMusicLookAhead = 24000; // the tracks' 500 ms: a file streamed alone starts one later
struct MusicSegment
{
    const char* media;
    double hz;
    uint32_t active; // from its entry cue to its exit cue, in samples
};
constexpr MusicSegment kMenuSegments[] = {{"Media/menu_music_1", 200.0, 4 * kBar},
                                          {"Media/menu_music_2", 220.0, 4 * kBar},
                                          {"Media/menu_music_3", 240.0, 4 * kBar}};
constexpr MusicSegment kPlayFieldSegments[] = {{"Media/game_music_intro", 100.0, 4 * kBar},
                                               {"Media/game_music_a", 140.0, 2 * kBar},
                                               {"Media/game_music_b", 180.0, 2 * kBar},
                                               {"Media/game_music_bridge", 120.0, kBar}};
constexpr MusicSegment kStinger = {"Media/tower_down_stinger", 906.0, kBeat};
// The play field's music follows the battle (SoundProject/README.md, "The play field follows the
// battle"): Calm plays the segments above, Fight its own two; a shot of a tower (or the city firing
// back) sets Fight, the city's fall Calm again.
constexpr ZkUniqueID kShotEvents[] = {737768043u, 1205173799u};
constexpr MusicSegment kFightSegments[] = {{"Media/game_music_fight_a", 2840.0, 2 * kBar},
                                           {"Media/game_music_fight_b", 3420.0, 2 * kBar}};
constexpr MusicSegment kFightToCalm = {"Media/game_music_fight_to_calm", 3840.0, kBar};
constexpr uint32_t kCalmFadeOut = 12000; // 250 ms, from the exit point on
// Every tone that sounds on the play field in a battle, paused or not (its music's, the pause
// menu's, the airship's engine, shots, hits and death, the towers' shots and hits), `hz` first: a fit
// measures the first tone of its list, and a tone listed twice would share its level.
std::string BattleTones(double hz)
{
    std::string tones = std::to_string(hz);
    for (double other : {100.0, 140.0, 180.0, 120.0, 906.0, 2840.0, 3420.0, 3840.0, 200.0, 220.0, 240.0, 60.0, 294.0, 440.0,
                         554.0, 587.0, 622.0, 659.0, 698.0, 740.0, 2489.0, 2960.0, 3520.0, 3951.0, 4186.0, 4435.0, 4699.0,
                         4978.0})
        tones += other == hz ? "" : "," + std::to_string(other);
    return tones;
}
constexpr MusicSegment kWinSegments[] = {{"Media/win_music_sting", 260.0, kBar}, {"Media/win_music_bed", 392.0, 2 * kBar}};
// The win fanfare (SoundProject/README.md, "The win fanfare"): a MIDI track over the win sting's
// bar (480 ticks per quarter at 120 quarter notes per minute: a tick is 50 samples) whose notes
// play a sampled 440 Hz tone key-tracked from note 69.
constexpr const char* kWinFanfare = "Media/win_fanfare";
constexpr size_t kWinFanfareNotes = 8;
constexpr double kInstrumentHz = 440.0;
constexpr int kInstrumentRootNote = 69;
constexpr uint32_t kMidiTick = 50;
constexpr uint32_t kToneRiseWindow = 4096; // long enough to tell the notes from the sting's 260 Hz
constexpr double kPitchTolerance = 0.005;
constexpr MusicSegment kLoseSegments[] = {{"Media/lose_music_sting", 80.0, kBar}, {"Media/lose_music_bed", 350.0, 2 * kBar}};
// Each music's tones, fitted together wherever the music sounds under what a test listens to.
const std::string kMenuMusicTones = "200,220,240";
const std::string kPlayFieldMusicTones = "100,140,180,120,906,2840,3420,3840";
constexpr double kHoverHz = 1760.0;
constexpr double kPressHz = 1320.0;
constexpr double kLaunchHz = 330.0;
constexpr uint32_t kLaunchPathFrames = 72; // its path's 1500 ms in frames of the engine's 21 ms
constexpr uint32_t kHumFrames = 47;        // the engine cue's 1 s
// The airship hit's three clangs (SoundProject/README.md, "Cues that vary").
constexpr double kAirshipHitHz[] = {622.0, 2489.0, 2960.0};
// The city's fall: three media, each fading in over the last 300 ms of the one before.
constexpr const char* kCityFallsMedia[] = {"Media/city_falls", "Media/city_falls_2", "Media/city_falls_3"};
constexpr uint32_t kCityFallsFrames[] = {72000, 57600, 57600}; // 1.5, 1.2 and 1.2 s
constexpr uint32_t kCityFallsOverlap = 14400;                   // 300 ms
// The city hit: a layered container crossfading the shuffled impacts (each 0.3 s) into the
// crumble (0.6 s) by CityDamage (SoundProject/README.md, "The city crumbles as it takes damage").
constexpr ZkUniqueID kCityHitEvent = 844605027u;
constexpr const char* kCityImpactMedia[] = {"Media/city_hit", "Media/city_hit_2", "Media/city_hit_3", "Media/city_hit_4"};
constexpr double kCityImpactHz[] = {466.0, 2637.0, 3322.0, 3729.0};
constexpr const char* kCityCrumbleMedia = "Media/city_crumble";
constexpr double kCityCrumbleHz = 3136.0;
constexpr uint32_t kCityCrumbleFrames = 28800; // 0.6 s
constexpr float kCityDamagePerHit = 10.0f;
// Documented tone levels, dBFS per channel.
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
        if (event == kRubbleEvent) // its end is counted (the game asks for no callback)
            return ZK::SoundEngine::PostEvent(event, object, ZkCallbackType_EndOfEvent, &CountEnd, &rubbleEnds, 0,
                                              nullptr, ZK_INVALID_PLAYING_ID);
        if (event == kJingleEvent) // the game frame of its end is kept
            return ZK::SoundEngine::PostEvent(event, object, ZkCallbackType_EndOfEvent, &KeepEndFrame, this, 0,
                                              nullptr, ZK_INVALID_PLAYING_ID);
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
    uint32_t rubbleEnds = 0;
    std::vector<long long> jingleEnds; // the game frames in which the jingle's plays ended

private:
    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }
    static void KeepEndFrame(ZkCallbackType type, ZkCallbackInfo* info)
    {
        auto& self = *static_cast<ForwardingSound*>(info->cookie);
        if (type == ZkCallbackType_EndOfEvent)
            self.jingleEnds.push_back(self.frame);
    }

    EngineSound m_engine;
};

class GameHeardTest : public ::testing::Test
{
protected:
    void ExpectRubbleOfTower(int kind);
    void ExpectStingThenBed(ZkUniqueID event, const MusicSegment (&segments)[2]);
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

    // The capture so far, as raw float32 in a file of the test's own name; its path.
    std::string WriteCapture() const
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::string capture = std::string(KP_TEST_OUTPUT_DIR) + "/heard_" + name + ".f32";
        std::ofstream(capture, std::ios::binary)
            .write(reinterpret_cast<const char*>(m_capture.data()), static_cast<std::streamsize>(m_capture.size() * sizeof(float)));
        return capture;
    }

    // To the play field, a second there with gold to spare, then a click on the middle spawn
    // button: an airship of the selected type launches. pointed: the frame the cursor reached it.
    void LaunchAnAirship(long long* pointed = nullptr)
    {
        ASSERT_NO_FATAL_FAILURE(ToThePlayField());
        Seconds(1.0);
        gGold = 10000;
        if (pointed != nullptr)
            *pointed = m_frames;
        PointAtObject("SpawnButtonMid");
        Frames(2);
        Press(kMouse);
        PointAt(5000.0f, 5000.0f);
    }

    // The play field's city falls, as the airship's killing shot leaves it: the round is won.
    static void FellTheCity()
    {
        GameObject* city = FirstInPlayField<City>();
        ASSERT_NE(city, nullptr);
        city->GetComponent<Stats>()->health = 0;
        city->GetComponent<Stats>()->dead = true;
        city->GetComponent<City>()->nextState = City::kFallen;
        city->GetComponent<City>()->winPending = 1;
    }

    // The tower falls, as an airship's killing shot leaves it.
    static void FellTheTower(GameObject* tower)
    {
        tower->GetComponent<Stats>()->health = 0;
        tower->GetComponent<Stats>()->dead = true;
        tower->GetComponent<Tower>()->explodePending = true;
        tower->GetComponent<Tower>()->nextState = Tower::kDestroyed;
    }

    // The first game frame from `after` on in which a tower or the city fired (a shot's event
    // posted); -1 when none did.
    long long FirstShot(long long after = 0) const
    {
        long long first = -1;
        for (ZkUniqueID event : kShotEvents)
        {
            for (long long frame : m_sound.FramesOf(event))
            {
                if (frame >= after && (first < 0 || frame < first))
                    first = frame;
            }
        }
        return first;
    }
    // Runs game frames until a tower or the city fires at the airship (at most 30 s); that frame.
    long long RunUntilAShot()
    {
        const long long from = m_frames;
        for (int frame = 0; frame < 30 * kFramesPerSecond && FirstShot(from) < 0; ++frame)
            Frames(1);
        return FirstShot(from);
    }
    // The last frame of the run that posted `event`; -1 when none.
    long long LastPostOf(ZkUniqueID event) const
    {
        const std::vector<long long> frames = m_sound.FramesOf(event);
        return frames.empty() ? -1 : frames.back();
    }

    // The first object of the play field with a component T.
    template <class T>
    static GameObject* FirstInPlayField()
    {
        for (GameObject* object : SceneManager::Find("Sandbox")->objects.entries)
        {
            if (object != nullptr && object->GetComponent<T>() != nullptr)
                return object;
        }
        return nullptr;
    }

    // Every cue the game posts (the musics aside), by the game's own names of its events.
    static std::set<ZkUniqueID> EveryCue()
    {
        using namespace SoundEvents;
        std::set<ZkUniqueID> cues = {kButtonHover,     kButtonPress,   kDialogOpen,     kGameButtonHover, kCoinPress,
                                     kAirshipSelected, kUpgradeDamage, kUpgradeHealth,  kUpgradeSpeed,    kAirshipEngine,
                                     kAirshipHit,      kAirshipDeath,  kTowerCollapse,  kCityHit,         kCityFires,
                                     kCityFalls};
        for (int type = 1; type <= 3; ++type)
            cues.insert({kAirshipLaunch[type], kAirshipFire[type], kAirshipWreck[type]});
        for (int kind = 1; kind <= 2; ++kind)
            cues.insert({kTowerHitByAirship[kind], kTowerFire[kind], kTowerDestroyed[kind]});
        return cues;
    }
    // Posts each cue on the test's own game object in one game frame, then runs 0.5 s; that frame.
    long long PostEveryCue(const std::set<ZkUniqueID>& cues)
    {
        const long long frame = m_frames;
        for (ZkUniqueID cue : cues)
            EXPECT_NE(m_sound.PostEvent(cue, kCueObject), ZK_INVALID_PLAYING_ID) << cue;
        Seconds(0.5);
        return frame;
    }
    static constexpr ZkGameObjectID kCueObject = 9001;

    // Answers of heard_analysis.py to the queries, one line each.
    std::vector<std::string> Analyse(const std::vector<std::string>& queries) const
    {
        const std::string capture = WriteCapture();
        const std::string questions = capture + ".queries";
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
    static std::string Onset(double hz, double db, uint32_t start, uint32_t end, const std::string& others = "")
    {
        std::ostringstream text;
        text << "onset " << hz << (others.empty() ? "" : ",") << others << " " << db << " " << start << " " << end << " " << kFrame;
        return text.str();
    }
    static std::string Span(const std::string& command, uint32_t start, uint32_t end)
    {
        return command + " " + std::to_string(start) + " " + std::to_string(end);
    }
    // The level of the loudest of the media a music event plays, fitted with every media's tone and
    // the others.
    static std::string MusicLevel(ZkUniqueID event, const std::string& others, uint32_t start, uint32_t end)
    {
        return "eventlevel " + std::to_string(event) + " " + others + " " + std::to_string(start) + " " +
               std::to_string(end);
    }

    // A segment of a screen music as heard: which of the candidates, and the capture frame its
    // media starts at (its entry cue).
    struct HeardSegment
    {
        size_t which = 0;
        long start = -1;
    };
    // Follows a screen music from its first segment, which starts in [from, from + firstWithin), up
    // to `to`: at each expected entry (the start of the first; then each segment's start plus its
    // bars) the segment heard is the candidate whose tone is loudest over its first bar (fitted
    // with every candidate's tone), and its start is where its media (from its loose
    // file) aligns with the capture within a tenth of a second of that entry (the first: anywhere
    // in its window). Stops at the first segment whose media does not lie whole before `to`.
    template <size_t N>
    std::vector<HeardSegment> FollowMusic(const MusicSegment (&candidates)[N], uint32_t from, uint32_t firstWithin,
                                          uint32_t to) const
    {
        constexpr uint32_t kSlack = 4800;
        std::string tones;
        for (const MusicSegment& segment : candidates)
            tones += (tones.empty() ? "" : ",") + std::to_string(segment.hz);
        std::vector<HeardSegment> heard;
        uint32_t entry = from;
        for (uint32_t within = firstWithin;;)
        {
            // A bar from the latest possible entry on, but no further than the shortest segment.
            if (entry + within + kBar + kSlack > to)
                return heard;
            const std::string loudest = Analyse({Span("loudest " + tones, entry + within + kSlack / 2, entry + within + kBar)})[0];
            HeardSegment segment;
            for (size_t index = 0; index < N; ++index)
                segment.which = std::fabs(First(loudest) - candidates[index].hz) < 0.5 ? index : segment.which;
            const MusicSegment& playing = candidates[segment.which];
            const uint32_t end = entry + within + playing.active + kBeat + kSlack;
            if (end > to)
                return heard;
            const uint32_t begin = entry > kSlack ? entry - kSlack : 0;
            const double start = First(Analyse({std::string("start ") + playing.media + " 0 " + std::to_string(begin) +
                                                " " + std::to_string(end)})[0]);
            if (!std::isfinite(start))
                return heard;
            segment.start = static_cast<long>(start);
            heard.push_back(segment);
            entry = static_cast<uint32_t>(segment.start) + playing.active;
            within = 0;
        }
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

    // The jingle posted in game frame `post`, heard alone up to `to`: each note is found where its
    // media (as Main.bnk stores it, at the centre gain of a mono sound) matches the capture best
    // (heard_analysis.py's "placed"). The first starts on the first sample of an engine frame
    // within the latency, each next one exactly a beat later, each matching its media there; the
    // play ends in the frame that holds its exit cue + post-exit, and nothing sounds after it.
    void ExpectTheJingle(long long post, uint32_t to)
    {
        std::vector<std::string> queries;
        for (const char* note : kJingleNotes)
            queries.push_back(Span(std::string("placed ") + note, FrameStart(post), to));
        std::vector<long> starts;
        const std::vector<std::string> placed = Analyse(queries);
        for (size_t note = 0; note < placed.size(); ++note)
        {
            std::istringstream answer(placed[note]);
            long start = -1;
            double difference = 1.0;
            answer >> start >> difference;
            starts.push_back(start);
            EXPECT_LT(difference, kPlacedTolerance) << kJingleNotes[note] << " heard as its media at " << start;
            if (note > 0)
            {
                EXPECT_EQ(start - starts[note - 1], kJingleBeat) << kJingleNotes[note] << " a beat after the note before";
            }
        }
        EXPECT_EQ(starts[0] % kFrame, 0) << "the first note starts on an engine frame's first sample";
        EXPECT_GE(starts[0], FrameStart(post));
        EXPECT_LE(starts[0], FrameStart(post) + kLatencyFrames) << "heard from the post on";
        // The end-of-event callback comes in the tick that renders the frame holding the end.
        const uint32_t ended = static_cast<uint32_t>(starts[0]) + kJingleEnd;
        std::vector<long long> ends;
        std::copy_if(m_sound.jingleEnds.begin(), m_sound.jingleEnds.end(), std::back_inserter(ends),
                     [post](long long frame) { return frame >= post; });
        ASSERT_EQ(ends.size(), 1u) << "the play has ended, once";
        EXPECT_LE(FrameStart(ends[0]), ended) << "at exit + post-exit";
        EXPECT_LT(ended, FrameStart(ends[0] + 1)) << "at exit + post-exit";
        EXPECT_LE(First(Analyse({Span("peak", ended, to)})[0]), -96.0) << "silent after exit + post-exit";
    }

    // The heard and modelled level of a modulated cue's tone per engine frame over [from, to) (see
    // modulated_cue_levels.py), the cue started at each of `starts` with these per-sample gains.
    std::vector<std::vector<double>> ModulatedLevels(const char* media, const std::vector<double>& gains,
                                                     const std::string& tones, const std::vector<uint32_t>& starts,
                                                     uint32_t from, uint32_t to, const std::string& others) const
    {
        const std::string capture = WriteCapture();
        const std::string gainFile = capture + ".gains";
        std::ofstream(gainFile, std::ios::binary)
            .write(reinterpret_cast<const char*>(gains.data()), static_cast<std::streamsize>(gains.size() * sizeof(double)));
        std::string startList;
        for (uint32_t start : starts)
            startList += (startList.empty() ? "" : ",") + std::to_string(start);
        std::istringstream output(ZkEngineTest::RunCommand(
            "/usr/bin/python3 " KP_SOURCE_DIR "/tests/Source/Game/modulated_cue_levels.py " + capture + " 2 48000 " KP_SOURCE_DIR
            "/Trindle_Ostrel/Banks/Main.bnk " + media + " " + gainFile + " " + std::to_string(kFrame) + " " + tones + " " +
            startList + " " + std::to_string(from) + " " + std::to_string(to) + " " + others));
        std::vector<std::vector<double>> levels;
        for (double heard = 0, model = 0; output >> heard >> model;)
            levels.push_back({heard, model});
        return levels;
    }
    // The hits of a layered cue against their model (layered_hit_levels.py): hits holds its input
    // lines, one per hit; a heard and a modelled level per block of each hit's measured tones.
    std::vector<std::vector<double>> LayeredHitLevels(const std::string& hits, uint32_t length, const std::string& tones) const
    {
        const std::string capture = WriteCapture();
        const std::string hitFile = capture + ".hits";
        std::ofstream(hitFile) << hits;
        std::istringstream output(ZkEngineTest::RunCommand("/usr/bin/python3 " KP_SOURCE_DIR
                                                           "/tests/Source/Game/layered_hit_levels.py " + capture +
                                                           " 2 48000 " KP_SOURCE_DIR "/Trindle_Ostrel/Banks/Main.bnk " +
                                                           std::to_string(kFrame) + " " + std::to_string(length) + " " +
                                                           tones + " < " + hitFile));
        std::vector<std::vector<double>> levels;
        for (double heard = 0, model = 0; output >> heard >> model;)
            levels.push_back({heard, model});
        return levels;
    }
    // The numpy model of a modulator (tests/SDK/.../Modulators/modulator_model.py), a line per frame
    // or per sample.
    static std::vector<std::vector<double>> ModulatorModel(const std::string& cases)
    {
        std::istringstream output(ZkEngineTest::RunCommand(
            "/usr/bin/python3 " KP_SOURCE_DIR "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/modulator_model.py '" +
            cases + "'"));
        std::vector<std::vector<double>> lines;
        for (std::string line; std::getline(output, line);)
        {
            std::istringstream numbers(line);
            lines.emplace_back();
            for (double value = 0; numbers >> value;)
                lines.back().push_back(value);
        }
        return lines;
    }
    // The launch cue's flight (SoundProject/README.md, "The launch cues fly across") for
    // launch_flight_model.py: its path, its attenuation's dry curve and the output's panning.
    static std::string LaunchFlightCase()
    {
        const ZkPositioningTest::DevicePanning panning = ZkPositioningTest::MainDevicePanning();
        std::ostringstream json;
        json << R"("bank": ")" << KP_SOURCE_DIR << R"(/Trindle_Ostrel/Banks/Main.bnk", "media": "Media/launch_1", "frame": )"
             << kFrame << R"(, "from": [-1000, 0, 500], "to": [1000, 0, 500], "frames": )" << kLaunchPathFrames
             << R"(, "curve": [0, 0, 2000, -18], "rule": )" << panning.rule << R"(, "angles": [)" << panning.angles[0]
             << ", " << panning.angles[1] << ", " << panning.angles[2] << "]";
        return json.str();
    }
    static std::string RunLaunchFlightModel(const std::string& fields)
    {
        return ZkEngineTest::RunCommand("/usr/bin/python3 " KP_SOURCE_DIR
                                        "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/launch_flight_model.py '{" +
                                        LaunchFlightCase() + ", " + fields + "}'");
    }
    // A file of the launch cue's left gain for each of its samples (raw float64).
    std::string LaunchFlightGains() const
    {
        const std::string file = WriteCapture() + ".launch_gains";
        RunLaunchFlightModel(R"("left_gains": ")" + file + "\"");
        return file;
    }
    // The launch cue started at capture frame `start`, per frame of its media: the level of its
    // tone (fitted with `tones`, its own first) heard on the left and the right, and modelled.
    // others: JSON objects of the centred cues playing meanwhile (launch_flight_model.py's "others").
    std::vector<std::vector<double>> LaunchFlightLevels(uint32_t start, const std::string& tones,
                                                        const std::string& others) const
    {
        std::istringstream output(RunLaunchFlightModel(R"("capture": ")" + WriteCapture() + R"(", "channels": 2, "start": )" +
                                                       std::to_string(start) + R"(, "tones": [)" + tones +
                                                       R"(], "others": [)" + others + "]"));
        std::vector<std::vector<double>> levels;
        for (std::vector<double> line(4); output >> line[0] >> line[1] >> line[2] >> line[3];)
            levels.push_back(line);
        return levels;
    }

    // The engine cue's modulation gain for each of its samples: its voice LFO, a 4 Hz sine at full
    // depth from phase 0 (0.5 before its first frame), at control rate, through (0, -12 dB),
    // (1, 0 dB): a ramp per frame.
    static std::vector<double> HumThrobGains()
    {
        const auto model = ModulatorModel(R"([{"kind": "lfo", "waveform": 0, "smoothing": 0, "pulse_width": 0, "phase": 0,
            "attack": 0, "depth": 100, "frequency": 4, "seed": 0, "audio": false, "frames": 1024, "buffers": 47}])");
        const double offset = std::pow(10.0, -12.0 / 20.0);
        std::vector<double> gains;
        for (uint32_t frame = 0; frame < model.size() && frame < kHumFrames; ++frame)
        {
            const double from = offset + (1.0 - offset) * (frame == 0 ? 0.5 : model[frame - 1][0]);
            const double to = offset + (1.0 - offset) * model[frame][0];
            for (uint32_t k = 0; k < kFrame; ++k)
                gains.push_back(from + (to - from) * k / kFrame);
        }
        return gains;
    }

    // The latency (1 or 2 engine frames after the post's game frame, the same for every cue) at
    // which the cue's model best matches what is heard: the largest block difference is smallest.
    // Its levels are returned. Others: the media of other cues playing meanwhile and the game
    // frames they were posted in.
    struct OtherCue
    {
        std::string media;
        long long post = 0;
        std::string gains; // a positioned cue's left gains (LaunchFlightGains); empty: the centre gain
        uint32_t start = 0; // where it starts in the capture, when known; 0: heard as late as the cue
    };
    // Keeps levels (heard and modelled, per block) as best when their largest difference, over
    // the blocks where the model is audible, is below bestError.
    static void KeepIfCloser(const std::vector<std::vector<double>>& levels, std::vector<std::vector<double>>& best,
                             double& bestError)
    {
        double error = 0.0;
        for (const auto& level : levels)
            error = std::max(error, level[1] > -60.0 ? std::fabs(level[0] - level[1]) : 0.0);
        if (!levels.empty() && error < bestError)
        {
            bestError = error;
            best = levels;
        }
    }
    std::vector<std::vector<double>> BestAlignedLevels(const char* media, const std::vector<double>& gains,
                                                       const std::string& tones, const std::vector<long long>& posts,
                                                       uint32_t fromStart, uint32_t length,
                                                       const std::vector<OtherCue>& others) const
    {
        std::vector<std::vector<double>> best;
        double bestError = 1e9;
        for (long long latency : {1, 2})
        {
            std::vector<uint32_t> starts;
            for (long long post : posts)
                starts.push_back(FrameStart(post + latency));
            std::string otherList;
            for (const OtherCue& other : others)
                otherList += (otherList.empty() ? "" : ",") + other.media + ":" +
                             std::to_string(other.start != 0 ? other.start : FrameStart(other.post + latency)) +
                             (other.gains.empty() ? "" : ":" + other.gains);
            KeepIfCloser(ModulatedLevels(media, gains, tones, starts, starts[0] + fromStart, starts[0] + length, otherList),
                         best, bestError);
        }
        return best;
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
    // Start-up: the jingle, alone, to its end.
    Seconds(3.5);
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

    ASSERT_EQ(m_sound.FramesOf(kJingleEvent).size(), 1u);
    ASSERT_NO_FATAL_FAILURE(ExpectTheJingle(m_sound.FramesOf(kJingleEvent)[0], afterJingle));
    std::vector<std::string> queries = {
        Onset(kJingleFirstNoteHz, kAudibleDb, FrameStart(click), menuHeard),
        Onset(kHoverHz, kAudibleDb, FrameStart(hover), pressHeard),
        Onset(kPressHz, kAudibleDb, FrameStart(press), pressHeard),
    };
    for (const MusicSegment& segment : kMenuSegments) // the menu music starts on one of its segments
        queries.push_back(Onset(segment.hz, kAudibleDb, FrameStart(click), menuHeard, kMenuMusicTones));
    const std::vector<std::string> answers = Analyse(queries);
    double menuOnset = -1;
    for (size_t index = 3; index < answers.size(); ++index)
    {
        if (First(answers[index]) >= 0 && (menuOnset < 0 || First(answers[index]) < menuOnset))
            menuOnset = First(answers[index]);
    }
    EXPECT_GE(menuOnset, FrameStart(click)) << "the menu music starts with the click";
    EXPECT_LE(menuOnset, FrameStart(click) + kLatencyFrames);
    EXPECT_EQ(First(answers[0]), -1) << "the jingle does not start again";
    EXPECT_EQ(m_sound.FramesOf(kJingleEvent).size(), 1u);
    EXPECT_EQ(m_sound.FramesOf(kMenuMusicEvent).size(), 1u);
    EXPECT_EQ(m_sound.FramesOf(kMenuHoverEvent).size(), 1u) << "the hover cue once";
    EXPECT_EQ(m_sound.FramesOf(kMenuPressEvent).size(), 1u) << "the press cue once";
    EXPECT_GE(First(answers[1]), FrameStart(hover));
    EXPECT_LE(First(answers[1]), FrameStart(hover) + kLatencyFrames);
    EXPECT_GE(First(answers[2]), FrameStart(press));
    EXPECT_LE(First(answers[2]), FrameStart(press) + kLatencyFrames);
}

// 'B' starts the splash sequence again: from the second splash screen (it has no music), the first
// comes back with the jingle, heard as at start-up.
TEST_F(GameHeardTest, TheRestartKeyPlaysTheJingleAgain)
{
    Seconds(6.0); // the jingle's end, then the second splash screen at 5 s
    ASSERT_TRUE(SceneManager::Exists("OstrelSplash"));
    ASSERT_FALSE(SceneManager::Find("SplashScreen")->active);
    ASSERT_EQ(m_sound.FramesOf(kJingleEvent).size(), 1u);
    Press(SceneManager::kRestartSplashKey);
    Seconds(3.5);
    ASSERT_EQ(m_sound.FramesOf(kJingleEvent).size(), 2u) << "posted again";
    EXPECT_TRUE(SceneManager::Find("SplashScreen")->active) << "over the first splash screen";
    ExpectTheJingle(m_sound.FramesOf(kJingleEvent)[1], Now());
}

// The hover event holds a silence of 0.21 to 0.31 s (SoundProject/README.md, "The hover cue's
// silence"), and the game posts no cue whose event still plays on the button: a pointer back on
// "Play" 0.1 s after leaving it does not blip again; back on once the longest silence has ended, it
// does.
TEST_F(GameHeardTest, AHoverCueIsHeldByItsSilenceAgainstAQuickReturn)
{
    // The longest silence in engine frames (0.31 s at 48 kHz), and the lag from its end to a post the
    // game lets through: 1 frame from the post to the first rendered buffer, 1 from the last buffer
    // to the instance's end, 1 to the playing id's removal, 1 for the game's refresh of its list.
    constexpr int kHoldFrames = static_cast<int>((0.31 * kp::test::kHeardRateHz + kFrame - 1) / kFrame); // 15
    constexpr int kLagFrames = 4;
    Press(kMouse); // skip to the menu
    Seconds(1.0);
    PointAtObject("StartButton");
    Frames(2);
    ASSERT_EQ(m_sound.FramesOf(kMenuHoverEvent).size(), 1u) << "the first entry blips";
    const long long first = m_sound.FramesOf(kMenuHoverEvent)[0];
    PointAt(5000.0f, 5000.0f);
    Seconds(0.1);
    PointAtObject("StartButton");
    Frames(3);
    EXPECT_EQ(m_sound.FramesOf(kMenuHoverEvent).size(), 1u) << "back on 0.1 s later: the silence holds the cue";

    PointAt(5000.0f, 5000.0f);
    Frames(static_cast<int>(first + kHoldFrames + kLagFrames - m_frames));
    PointAtObject("StartButton");
    Frames(2);
    ASSERT_EQ(m_sound.FramesOf(kMenuHoverEvent).size(), 2u) << "back on once the silence has ended: a second cue";
    const long long second = m_sound.FramesOf(kMenuHoverEvent)[1];
    Frames(6);
    const std::vector<std::string> answers = Analyse({Onset(kHoverHz, kAudibleDb, FrameStart(second), Now())});
    EXPECT_GE(First(answers[0]), FrameStart(second)) << "and it is heard";
    EXPECT_LE(First(answers[0]), FrameStart(second) + kLatencyFrames);
}

TEST_F(GameHeardTest, TheMuteKeySilencesAfterOneRampedFrameAndRestoresTheLevel)
{
    Press(kMouse); // skip to the menu and its music
    Seconds(3.0);  // the jingle plays on to its end
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
        MusicLevel(kMenuMusicEvent, kMenuMusicTones, steadyStart, steadyEnd),
        Span("peak", silentFrom, mutedEnd),
        MusicLevel(kMenuMusicEvent, kMenuMusicTones, restoredFrom, restoredFrom + (steadyEnd - steadyStart)),
    });
    EXPECT_NEAR(First(answers[0]), kMusicDb, 0.5) << "the menu music at its documented level";
    EXPECT_LE(First(answers[1]), -96.0) << "muted";
    EXPECT_NEAR(First(answers[2]), First(answers[0]), 0.1) << "unmuted: the level before";
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
        MusicLevel(kPlayFieldMusicEvent, kMenuMusicTones, spans[0].first, spans[0].second),
        MusicLevel(kPlayFieldMusicEvent, kMenuMusicTones, spans[1].first, spans[1].second),
        Span("peak", spans[2].first, spans[2].second),
        MusicLevel(kPlayFieldMusicEvent, kMenuMusicTones, spans[3].first, spans[3].second),
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
    long long launch = 0;
    ASSERT_NO_FATAL_FAILURE(LaunchAnAirship(&launch));
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

// The launch cue flies across: its path carries it from the listener's left (-1000, 0, 500) to its
// right (1000, 0, 500) in 72 engine frames, its attenuation lowers it to -18 dB at 2000. Frame by
// frame, its tone's left-minus-right level follows the model of the path, the attenuation, the
// panning and the one-frame matrix ramp (launch_flight_model.py) within 1 dB while the cue is above
// -40 dBFS on both channels; it starts on the left alone and ends on the right alone.
TEST_F(GameHeardTest, ALaunchFliesFromLeftToRightOver72Frames)
{
    ASSERT_NO_FATAL_FAILURE(LaunchAnAirship());
    Seconds(2.5);
    const std::vector<long long> posts = m_sound.FramesOf(kLaunchEvent);
    ASSERT_EQ(posts.size(), 1u);
    // The cue starts on the left: its first frame is the first block with its tone there.
    const double onset = First(Analyse({Onset(kLaunchHz, kAudibleDb, FrameStart(posts[0]), Now())})[0]);
    ASSERT_GE(onset, FrameStart(posts[0]));
    ASSERT_LE(onset, FrameStart(posts[0]) + kLatencyFrames);
    // Its tone fitted with the engine hum's, the play-field music's and the menu music's; the hums
    // that play meanwhile (their noise reaches the tone's band) modelled with it, each post a play
    // heard as late after its post as the launch.
    const std::string humGains = WriteCapture() + ".hum_gains";
    const std::vector<double> throb = HumThrobGains();
    std::ofstream(humGains, std::ios::binary)
        .write(reinterpret_cast<const char*>(throb.data()), static_cast<std::streamsize>(throb.size() * sizeof(double)));
    const long long latency = (static_cast<long long>(onset) - FrameStart(posts[0])) / kFrame;
    std::string hums;
    for (long long post : m_sound.FramesOf(kEngineHumEvent))
        hums += std::string(hums.empty() ? "" : ", ") + R"({"media": "Media/airship_engine", "start": )" +
                std::to_string(FrameStart(post + latency)) + R"(, "gains": ")" + humGains + R"("})";
    const auto levels = LaunchFlightLevels(static_cast<uint32_t>(onset), "330,60," + kPlayFieldMusicTones + "," + kMenuMusicTones, hums);
    ASSERT_GT(levels.size(), size_t{kLaunchPathFrames}) << "the cue outlasts its flight";

    size_t compared = 0;
    for (size_t frame = 0; frame < levels.size(); ++frame)
    {
        const double heardLeft = levels[frame][0], heardRight = levels[frame][1];
        const double modelLeft = levels[frame][2], modelRight = levels[frame][3];
        if (modelLeft <= kAudibleDb || modelRight <= kAudibleDb)
            continue;
        ++compared;
        EXPECT_NEAR(heardLeft - heardRight, modelLeft - modelRight, 1.0) << "frame " << frame << " of the launch";
    }
    EXPECT_GT(compared, size_t{kLaunchPathFrames / 3}) << "frames on both sides compared";
    // From the left alone through the middle to the right alone.
    EXPECT_GT(levels.front()[0], kAudibleDb);
    EXPECT_LT(levels.front()[1], kAudibleDb);
    EXPECT_GT(levels[kLaunchPathFrames / 2 - 4][0], levels[kLaunchPathFrames / 2 - 4][1]);
    EXPECT_LT(levels[kLaunchPathFrames / 2 + 4][0], levels[kLaunchPathFrames / 2 + 4][1]);
    EXPECT_LT(levels[kLaunchPathFrames - 1][0], kAudibleDb);
    EXPECT_GT(levels[kLaunchPathFrames - 1][1], kAudibleDb);
}

TEST_F(GameHeardTest, AnAirshipInFlightThrobsAt4Hz)
{
    ASSERT_NO_FATAL_FAILURE(LaunchAnAirship());
    Seconds(2.0);
    const std::vector<long long> hums = m_sound.FramesOf(kEngineHumEvent);
    ASSERT_FALSE(hums.empty());
    std::vector<long long> firstBurst{hums[0]};
    for (size_t index = 1; index < hums.size() && hums[index] - hums[index - 1] <= 2; ++index)
        firstBurst.push_back(hums[index]);

    // The engine cue's voice LFO: a 4 Hz sine at full depth from phase 0 (0.5 before its first
    // frame), at control rate, through (0, -12 dB), (1, 0 dB): a ramp per frame.
    const std::vector<double> gains = HumThrobGains();
    ASSERT_EQ(gains.size(), size_t{kHumFrames} * kFrame);
    // Frame by frame over the first hum until its media fades out, the launch cue heard with it
    // (its tone fitted with the music's; on the left channel measured here, at its flight's gains).
    const auto levels = BestAlignedLevels("Media/airship_engine", gains, "60," + kPlayFieldMusicTones + ",330",
                                          firstBurst, 0, 32 * kFrame,
                                          {{"Media/launch_1", m_sound.FramesOf(kLaunchEvent).at(0), LaunchFlightGains()}});
    ASSERT_GE(levels.size(), 20u);
    double quietest = 0.0, loudest = -999.0;
    for (size_t block = 0; block < levels.size(); ++block)
    {
        EXPECT_NEAR(levels[block][0], levels[block][1], 0.5) << "frame " << block << " of the hum";
        quietest = std::min(quietest, levels[block][0]);
        loudest = std::max(loudest, levels[block][0]);
    }
    EXPECT_GT(loudest - quietest, 6.0) << "the throb is heard";
}

// The rubble of a destroyed tower of this kind (1 wooden, 2 stone): its destroyed cue sets the
// rubble's switch on the tower, so the rubble is its material's media, faded by its envelope.
void GameHeardTest::ExpectRubbleOfTower(int kind)
{
    ToThePlayField();
    Seconds(1.0);
    GameObject* tower = nullptr;
    for (GameObject* object : SceneManager::Find("Sandbox")->objects.entries)
    {
        const Tower* candidate = object != nullptr ? object->GetComponent<Tower>() : nullptr;
        if (candidate != nullptr && candidate->kind == kind && tower == nullptr)
            tower = object;
    }
    ASSERT_NE(tower, nullptr) << "a tower of kind " << kind;
    FellTheTower(tower);
    Seconds(3.0);
    const std::vector<long long> rubble = m_sound.FramesOf(kRubbleEvent);
    ASSERT_EQ(rubble.size(), 1u);

    // The rubble's voice envelope, at audio rate: attack 960 samples (curve 50 %), decay 14400 to
    // 40 %, sustain 48000, release 28800, through (0, -96 dB), (1, 0 dB); it ends at 92160.
    constexpr uint32_t kEnd = 92160;
    const auto model = ModulatorModel(R"([{"kind": "envelope", "attack": 960, "curve": 0.5, "decay": 14400,
        "sustain": 0.4, "release": 28800, "release_frame": 63360, "start_level": 0, "start_offset": 0, "audio": true,
        "frames": 1024, "buffers": 90}])");
    ASSERT_GE(model.size(), size_t{kEnd});
    const double offset = std::pow(10.0, -96.0 / 20.0);
    std::vector<double> gains;
    for (uint32_t k = 0; k < kEnd; ++k)
        gains.push_back(offset + (1.0 - offset) * model[k][0]);
    // Heard with the tower's destroyed cue, as far as it is heard (the tones of its collapse and its
    // echo fitted with the music's): its collapse from its post, its echo, which starts 150 ms after
    // the collapse ends, inside the rubble's release, where its waveform aligns with the capture.
    const std::string tones = "1245,2349,932,1109,1865,2217," + kPlayFieldMusicTones;
    const std::vector<long long> wooden = m_sound.FramesOf(kWoodenTowerDestroyedEvent);
    const std::vector<long long> stone = m_sound.FramesOf(kStoneTowerDestroyedEvent);
    ASSERT_EQ(wooden.size() + stone.size(), 1u) << "the tower's own destroyed cue";
    ASSERT_EQ(wooden.size(), kind == 1 ? 1u : 0u);
    // The rubble fitted below is its material's media: the other one (another tone) would not
    // follow the envelope's levels.
    const char* rubbleMedia = wooden.empty() ? "Media/tower_reward" : "Media/tower_reward_wood";
    const long long destroyed = wooden.empty() ? stone[0] : wooden[0];
    const std::string collapse = wooden.empty() ? "Media/stone_tower_destroyed" : "Media/wood_tower_destroyed";
    const std::string rubbleAndMusic = "1245,2349," + kPlayFieldMusicTones;
    const std::vector<std::string> destroyedHeard =
        Analyse({Onset(wooden.empty() ? 1109.0 : 932.0, kAudibleDb, FrameStart(destroyed), FrameStart(destroyed) + kLatencyFrames,
                       rubbleAndMusic),
                 Onset(wooden.empty() ? 2217.0 : 1865.0, kAudibleDb, FrameStart(destroyed), Now(), rubbleAndMusic),
                 "start " + collapse + "_2 0 " + std::to_string(FrameStart(destroyed)) + " " + std::to_string(Now())});
    std::vector<OtherCue> destroyedCue;
    if (First(destroyedHeard[0]) >= 0)
        destroyedCue.push_back(OtherCue{collapse, destroyed, ""});
    if (First(destroyedHeard[1]) >= 0)
        destroyedCue.push_back(OtherCue{collapse + "_2", destroyed, "", static_cast<uint32_t>(First(destroyedHeard[2]))});
    const auto levels = BestAlignedLevels(rubbleMedia, gains, tones, rubble, 0, kEnd + 8 * kFrame, destroyedCue);
    ASSERT_GE(levels.size(), size_t{kEnd / kFrame + 4});
    double loudest = -999.0;
    for (size_t block = 0; block < kEnd / kFrame; ++block)
    {
        loudest = std::max(loudest, levels[block][0]);
        if (levels[block][1] < -60.0)
            continue; // the end of the release, far below the cue
        EXPECT_NEAR(levels[block][0], levels[block][1], 0.5) << "frame " << block << " of the rubble";
    }
    // After its end the cue's tone is 96 dB below its loudest, or no louder than what the capture
    // held at that tone before the tower fell: the screen music is ADPCM, and its coding noise at
    // the tone (some 85 dB below the cue) is all that is left there once the cue has stopped.
    const long long fell = std::min(rubble[0], wooden.empty() ? stone[0] : wooden[0]);
    const uint32_t before = FrameStart(fell);
    const auto background = ModulatedLevels(rubbleMedia, gains, tones, {before + 48 * kFrame},
                                            before - 24 * kFrame, before, "");
    ASSERT_FALSE(background.empty());
    double noise = -999.0;
    for (const auto& level : background)
        noise = std::max(noise, level[0]);
    for (size_t block = kEnd / kFrame + 1; block < levels.size(); ++block)
        EXPECT_LE(levels[block][0], std::max(loudest - 96.0, noise + 3.0)) << "at the floor, then stopped: frame " << block;
    EXPECT_EQ(m_sound.rubbleEnds, 1u) << "its end-of-event callback, once";
}

TEST_F(GameHeardTest, AWoodenTowersRubbleIsTheWoodRubbleFadedByItsEnvelope) { ExpectRubbleOfTower(1); }

TEST_F(GameHeardTest, AStoneTowersRubbleIsTheStoneRubbleFadedByItsEnvelope) { ExpectRubbleOfTower(2); }

// An airship's hits play a random playlist that avoids a repeat on each airship: two hits in a
// row are two different clangs, each heard alone in its first 0.15 s (fitted with the sounds of
// the flight: the engine, the launch, the play-field music, the airship's and the towers' guns).
TEST_F(GameHeardTest, TwoHitsOnOneAirshipPlayTwoDifferentClangs)
{
    ASSERT_NO_FATAL_FAILURE(LaunchAnAirship());
    Seconds(0.5);
    GameObject* airship = FirstInPlayField<Korvane>();
    ASSERT_NE(airship, nullptr);
    for (int hit = 0; hit < 2; ++hit)
    {
        airship->GetComponent<Korvane>()->TakeDamage(1.0f);
        Seconds(0.4); // the 0.2 s clang ends: the next hit posts again
    }
    const std::vector<long long> hits = m_sound.FramesOf(kAirshipHitEvent);
    ASSERT_EQ(hits.size(), 2u);
    const std::string flight = "60,330,740,4699,4978,659,698," + kPlayFieldMusicTones;
    std::vector<std::string> queries;
    for (long long hit : hits)
    {
        for (size_t clang = 0; clang < std::size(kAirshipHitHz); ++clang)
        {
            std::string tones = std::to_string(kAirshipHitHz[clang]);
            for (size_t other = 0; other < std::size(kAirshipHitHz); ++other)
                tones += other != clang ? "," + std::to_string(kAirshipHitHz[other]) : "";
            queries.push_back(Level(tones + "," + flight, FrameStart(hit + 1), FrameStart(hit + 1) + 7200));
        }
    }
    const std::vector<std::string> answers = Analyse(queries);
    std::vector<size_t> heard;
    for (size_t hit = 0; hit < hits.size(); ++hit)
    {
        std::vector<double> levels;
        for (size_t clang = 0; clang < std::size(kAirshipHitHz); ++clang)
            levels.push_back(First(answers[hit * std::size(kAirshipHitHz) + clang]));
        const size_t loudest = static_cast<size_t>(std::max_element(levels.begin(), levels.end()) - levels.begin());
        heard.push_back(loudest);
        EXPECT_GT(levels[loudest], -25.0) << "hit " << hit << " is heard";
        for (size_t clang = 0; clang < levels.size(); ++clang)
        {
            if (clang != loudest)
            {
                EXPECT_LT(levels[clang], -50.0) << "hit " << hit << ": one clang alone, not " << kAirshipHitHz[clang] << " Hz";
            }
        }
    }
    EXPECT_NE(heard[0], heard[1]) << "the second hit's clang is another one";
}

// Every cue the game posts hangs under a group on the Effects bus: with the effects level at 0 (the
// music's kept at 100) none is heard, while at 100 each is. All posted at once on one object, each
// judged at the dominant tones of the media it may play, fitted with every media's tone and the
// menu music's. Muted, each cue is judged from the third engine frame after its post on (see the
// next test).
TEST_F(GameHeardTest, TheEffectsLevelAtZeroSilencesEveryCueThroughItsGroup)
{
    const std::set<ZkUniqueID> cues = EveryCue();
    ASSERT_EQ(cues.size(), 30u) << "the game's cues, each once";
    Press(kMouse); // to the menu and its music
    Seconds(3.0);  // the jingle's end
    ASSERT_EQ(m_sound.RegisterGameObj(kCueObject, "Every cue"), ZK_Success);
    const long long loud = PostEveryCue(cues);
    WriteVolumeLevels(100.0f, 0.0f);
    Frames(2); // the change ramps over one engine frame
    const long long muted = PostEveryCue(cues);
    Seconds(3.5); // everything posted ends

    std::vector<std::string> queries;
    for (const uint32_t from : {FrameStart(loud + 1), FrameStart(muted + 3)})
    {
        for (ZkUniqueID cue : cues)
            queries.push_back("eventlevel " + std::to_string(cue) + " " + kMenuMusicTones + " " + std::to_string(from) + " " +
                              std::to_string(from + 9600));
    }
    queries.push_back(MusicLevel(kMenuMusicEvent, kMenuMusicTones, FrameStart(muted + 3), FrameStart(muted + 3) + 24000));
    const std::vector<std::string> answers = Analyse(queries);
    size_t index = 0;
    for (ZkUniqueID cue : cues)
    {
        EXPECT_GT(First(answers[index]), kAudibleDb) << "cue " << cue << " heard at the full effects level";
        EXPECT_LT(First(answers[index + cues.size()]), -70.0) << "cue " << cue << " silent at effects level 0";
        ++index;
    }
    EXPECT_NEAR(First(answers.back()), kMusicDb, 0.5) << "the music plays on at its level";
}

// A cue that starts while the game is muted (both levels at 0, as the mute key leaves them) is
// silent from its first engine frame on.
TEST_F(GameHeardTest, ACueStartedWhileMutedIsSilentFromItsFirstFrame)
{
    Press(kMouse);
    Seconds(2.5);
    ASSERT_EQ(m_sound.RegisterGameObj(kCueObject, "Every cue"), ZK_Success);
    WriteVolumeLevels(0.0f, 0.0f);
    Frames(2);
    const long long muted = PostEveryCue(EveryCue());
    EXPECT_LE(First(Analyse({Span("peak", FrameStart(muted), Now())})[0]), -96.0);
}

// The winning round's end: the city falls through its continuous playlist, three media in order,
// each fading in over the last 300 ms of the one before. Each media's start is found by aligning
// its waveform, from past its fade-in on, with the capture (its noise, not its tone, pins the lag:
// heard_analysis.py's "start"); each starts 300 ms before the one before it ends (its length from
// its start), within one engine frame.
TEST_F(GameHeardTest, TheCityFallsThroughThreeMediaEachStarting300MsBeforeTheLastEnds)
{
    ASSERT_NO_FATAL_FAILURE(ToThePlayField());
    Seconds(1.0);
    ASSERT_NO_FATAL_FAILURE(FellTheCity());
    Seconds(4.0); // the fall's 3.3 s, before the win screen comes at 5 s
    const std::vector<long long> falls = m_sound.FramesOf(kCityFallsEvent);
    ASSERT_EQ(falls.size(), 1u);
    const uint32_t posted = FrameStart(falls[0]);
    std::vector<std::string> queries;
    for (const char* media : kCityFallsMedia)
        queries.push_back(std::string("start ") + media + " " + std::to_string(kCityFallsOverlap + 2400) + " " +
                          std::to_string(posted) + " " + std::to_string(Now()));
    const std::vector<std::string> answers = Analyse(queries);
    std::vector<double> starts;
    for (const std::string& answer : answers)
        starts.push_back(First(answer));
    EXPECT_GE(starts[0], posted) << "the first media starts with the post";
    EXPECT_LE(starts[0], posted + kLatencyFrames);
    for (size_t item = 1; item < starts.size(); ++item)
        EXPECT_NEAR(starts[item], starts[item - 1] + kCityFallsFrames[item - 1] - kCityFallsOverlap, kFrame)
            << kCityFallsMedia[item] << " starts 300 ms before " << kCityFallsMedia[item - 1] << " ends";
}

// Each city hit the game posts (as an airship's hit on the city does: Korvane::DamageCity asks the
// city's Audio component, which skips the cue while it still plays there) first adds 10 to
// CityDamage on the city's emitter, then plays the layered hit: the impact at 1 - d / 100 and the
// crumble at d / 100 for the value d read back on the emitter, both curves holding their last value
// above 100. Twelve posts, each followed 0.2 s later by a hit that is skipped. Frame by frame over
// each post's crumble, the impact's and the crumble's tones are heard within 0.5 dB of the model of
// both media at those gains (the media as the bank stores them, their noise bursts included, which
// reach the quiet child's tone as well); an impact at gain 0 is modelled absent.
TEST_F(GameHeardTest, EachPostedCityHitSoundsTheImpactAndTheCrumbleAtTheCurvesLevelsForItsDamage)
{
    ASSERT_NO_FATAL_FAILURE(ToThePlayField());
    Seconds(1.0);
    GameObject* city = FirstInPlayField<City>();
    ASSERT_NE(city, nullptr);
    const Audio* audio = AudioOf(city);
    ASSERT_NE(audio, nullptr);
    const ZkUniqueID damage = ZK::SoundEngine::GetIDFromString("CityDamage");
    constexpr int kPosts = 12;
    std::vector<double> damages;
    for (int post = 0; post < kPosts; ++post)
    {
        PlayCue(city, kCityHitEvent);
        Frames(10);
        PlayCue(city, kCityHitEvent); // the hit still plays: skipped
        Seconds(0.8);                 // past the crumble's end and the component's next refresh
        float value = -1.0f;
        auto type = ZK::SoundEngine::Query::RTPCValue_GameObject;
        ASSERT_EQ(ZK::SoundEngine::Query::GetRTPCValue(damage, audio->emitterId, ZK_INVALID_PLAYING_ID, value, type), ZK_Success);
        damages.push_back(value);
    }
    const std::vector<long long> hits = m_sound.FramesOf(kCityHitEvent);
    ASSERT_EQ(hits.size(), size_t{kPosts}) << "a hit requested while the cue plays posts nothing";
    for (int post = 0; post < kPosts; ++post)
        EXPECT_EQ(damages[post], kCityDamagePerHit * (post + 1)) << "post " << post << ": 10 more, the skipped hit none";

    // The impact a post played: the loudest impact tone over its first 0.15 s, fitted with every
    // city tone and the music's.
    const std::string cityTones = "466,2637,3322,3729,3136," + kPlayFieldMusicTones;
    auto tonesFirst = [](double hz) {
        std::ostringstream tones;
        tones << hz;
        for (double other : kCityImpactHz)
            tones << (other != hz ? "," + std::to_string(other) : "");
        tones << "," << kCityCrumbleHz << "," << kPlayFieldMusicTones;
        return tones.str();
    };
    std::vector<std::string> queries;
    for (long long hit : hits)
        for (double hz : kCityImpactHz)
            queries.push_back(Level(tonesFirst(hz), FrameStart(hit + 1), FrameStart(hit + 1) + 7200));
    const std::vector<std::string> impactLevels = Analyse(queries);
    // Per post: its children with their gains, and the tones measured (the crumble's and its
    // impact's; all four impacts' once the impact is at 0).
    struct Hit
    {
        std::string children;
        std::vector<double> measured;
    };
    std::vector<Hit> model;
    for (size_t post = 0; post < hits.size(); ++post)
    {
        const double impactGain = std::max(0.0, 1.0 - damages[post] / 100.0);
        const double crumbleGain = std::min(1.0, damages[post] / 100.0);
        const size_t first = post * std::size(kCityImpactHz);
        size_t impact = 0;
        for (size_t candidate = 1; candidate < std::size(kCityImpactHz); ++candidate)
            if (First(impactLevels[first + candidate]) > First(impactLevels[first + impact]))
                impact = candidate;
        Hit hit{std::string(kCityCrumbleMedia) + ":" + std::to_string(crumbleGain), {kCityCrumbleHz}};
        if (impactGain > 0.0)
        {
            hit.children += std::string(" ") + kCityImpactMedia[impact] + ":" + std::to_string(impactGain);
            hit.measured.push_back(kCityImpactHz[impact]);
        }
        else
        {
            hit.measured.insert(hit.measured.end(), std::begin(kCityImpactHz), std::end(kCityImpactHz));
        }
        model.push_back(hit);
    }
    // The latency (1 or 2 engine frames after the post, the same for every post) at which the
    // model matches best.
    std::vector<std::vector<double>> levels;
    double bestError = 1e9;
    for (long long latency : {1, 2})
    {
        std::ostringstream lines;
        for (size_t post = 0; post < hits.size(); ++post)
        {
            lines << FrameStart(hits[post] + latency) << " ";
            for (size_t tone = 0; tone < model[post].measured.size(); ++tone)
                lines << (tone == 0 ? "" : ",") << model[post].measured[tone];
            lines << " " << model[post].children << "\n";
        }
        KeepIfCloser(LayeredHitLevels(lines.str(), kCityCrumbleFrames, cityTones), levels, bestError);
    }
    // Frame by frame over each post's crumble, where the model is audible: within 0.5 dB, or 1.5 dB
    // for a tone more than 20 dB below the loudest of its hit in that frame. So far down, a frame's
    // fit beside an impact a few hundred hertz away also takes in what the model leaves out (the
    // music's harmonics near the tone): the crumble's first frame under the 3322 Hz impact read
    // 0.7 dB high with every gain exact. A gain wrong on a first frame is off by 1 dB and more.
    constexpr size_t kBlocks = kCityCrumbleFrames / kFrame;
    ASSERT_GE(levels.size(), [&] {
        size_t lines = 0;
        for (const Hit& hit : model)
            lines += hit.measured.size() * kBlocks;
        return lines;
    }()) << "a level for every frame";
    size_t first = 0; // the post's first line: its tones' frames, tone after tone
    for (size_t post = 0; post < hits.size(); ++post)
    {
        const size_t tones = model[post].measured.size();
        auto modelled = [&](size_t tone, size_t block) { return levels[first + tone * kBlocks + block][1]; };
        for (size_t tone = 0; tone < tones; ++tone)
        {
            for (size_t block = 0; block < kBlocks; ++block)
            {
                if (modelled(tone, block) <= -60.0)
                    continue;
                double loudest = modelled(tone, block);
                for (size_t other = 0; other < tones; ++other)
                    loudest = std::max(loudest, modelled(other, block));
                const double tolerance = modelled(tone, block) < loudest - 20.0 ? 1.5 : 0.5;
                EXPECT_NEAR(levels[first + tone * kBlocks + block][0], modelled(tone, block), tolerance)
                    << "post " << post << " at CityDamage " << damages[post] << ", " << model[post].measured[tone]
                    << " Hz, frame " << block;
            }
        }
        first += tones * kBlocks;
    }
    EXPECT_EQ(first, levels.size());
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
// The menu music is a random playlist of three segments without end that never plays one twice in
// a row: over 42 s each segment is followed by another one, which enters on the exit cue of the
// one before (four bars after its entry cue), within one analysis hop.
TEST_F(GameHeardTest, TheMenuMusicChangesSegmentAtEachExitCueNeverRepeatingOne)
{
    Seconds(3.5); // the jingle's end
    Press(kMouse);
    Seconds(42.0);
    const std::vector<long long> posts = m_sound.FramesOf(kMenuMusicEvent);
    ASSERT_EQ(posts.size(), 1u);
    const std::vector<HeardSegment> heard = FollowMusic(kMenuSegments, FrameStart(posts[0]), kLatencyFrames, Now());
    ASSERT_GE(heard.size(), 5u) << "five segments in 42 s";
    EXPECT_GE(heard[0].start, FrameStart(posts[0]));
    EXPECT_LE(heard[0].start, FrameStart(posts[0]) + kLatencyFrames) << "the first segment starts with the post";
    for (size_t index = 1; index < heard.size(); ++index)
    {
        const MusicSegment& before = kMenuSegments[heard[index - 1].which];
        EXPECT_NE(heard[index].which, heard[index - 1].which) << "segment " << index << " repeats " << before.media;
        EXPECT_NEAR(heard[index].start, heard[index - 1].start + before.active, kHop)
            << "segment " << index << " enters on the exit cue of " << before.media;
    }
}

// The play field's music: its intro once, then its two segments in turn, the second going back to
// the first through the one-bar bridge, each entering on the exit cue of the one before, for 60 s
// with no silent run.
TEST_F(GameHeardTest, ThePlayFieldPlaysItsIntroThenItsSegmentsAndTheBridgeInOrder)
{
    ASSERT_NO_FATAL_FAILURE(ToThePlayField());
    Seconds(62.0);
    const std::vector<long long> posts = m_sound.FramesOf(kPlayFieldMusicEvent);
    ASSERT_EQ(posts.size(), 1u);
    const std::vector<HeardSegment> heard = FollowMusic(kPlayFieldSegments, FrameStart(posts[0]), kLatencyFrames, Now());
    ASSERT_FALSE(heard.empty());
    const MusicSegment& last = kPlayFieldSegments[heard.back().which];
    ASSERT_GE(heard.back().start + last.active - heard[0].start, 60 * kp::test::kHeardRateHz - 2 * kBar) << "about 60 s followed";
    EXPECT_GE(heard[0].start, FrameStart(posts[0]));
    EXPECT_LE(heard[0].start, FrameStart(posts[0]) + kLatencyFrames);
    constexpr size_t kIntro = 0, kFirst = 1, kSecond = 2, kBridge = 3;
    const size_t order[] = {kFirst, kSecond, kBridge};
    for (size_t index = 0; index < heard.size(); ++index)
    {
        const size_t expected = index == 0 ? kIntro : order[(index - 1) % std::size(order)];
        EXPECT_EQ(heard[index].which, expected) << "segment " << index;
        if (index > 0)
        {
            EXPECT_NEAR(heard[index].start, heard[index - 1].start + kPlayFieldSegments[heard[index - 1].which].active, kHop)
                << "segment " << index << " enters on the exit cue of the one before";
        }
    }
    EXPECT_LE(std::stoi(Analyse({Span("silentrun", static_cast<uint32_t>(heard[0].start), Now())})[0]), 1)
        << "no run of silent samples";
}

// A tower destroyed over the play field's intro fires the trigger "TowerDown" on every game object:
// the music's one-beat stinger enters on the first beat line of the music at or after the trigger.
TEST_F(GameHeardTest, ADestroyedTowerBringsTheStingersEntryOntoABeatLine)
{
    ASSERT_NO_FATAL_FAILURE(ToThePlayField());
    Seconds(2.2); // inside a beat of the intro
    GameObject* tower = FirstInPlayField<Tower>();
    ASSERT_NE(tower, nullptr);
    FellTheTower(tower);
    Seconds(7.0); // past the intro's media
    const std::vector<long long> music = m_sound.FramesOf(kPlayFieldMusicEvent);
    const std::vector<long long> wooden = m_sound.FramesOf(kWoodenTowerDestroyedEvent);
    const std::vector<long long> stone = m_sound.FramesOf(kStoneTowerDestroyedEvent);
    ASSERT_EQ(music.size(), 1u);
    ASSERT_EQ(wooden.size() + stone.size(), 1u) << "the tower's destroyed cue, with its trigger";
    const long long destroyed = wooden.empty() ? stone[0] : wooden[0];
    const MusicSegment& intro = kPlayFieldSegments[0];
    const long beats = static_cast<long>(First(Analyse({std::string("start ") + intro.media + " 0 " +
                                                        std::to_string(FrameStart(music[0])) + " " +
                                                        std::to_string(FrameStart(music[0]) + kLatencyFrames + intro.active + kBeat)})[0]));
    // The stinger's tone (fitted with the music's and the fallen tower's cues) over the half beat
    // before each of the next two beat lines (one hop short of it) and the half beat after it (one
    // hop into it): it enters on the first line where it is heard, and is silent before it.
    const long trigger = FrameStart(destroyed);
    const long firstLine = beats + (trigger - beats + kBeat - 1) / kBeat * kBeat;
    const std::string tones = std::to_string(kStinger.hz) + "," + kPlayFieldMusicTones + ",932,1865,1109,2217,1245,2349";
    std::vector<std::string> queries;
    for (long line = firstLine; line <= firstLine + kBeat; line += kBeat)
    {
        queries.push_back(Level(tones, static_cast<uint32_t>(line - kBeat / 2), static_cast<uint32_t>(line - kHop)));
        queries.push_back(Level(tones, static_cast<uint32_t>(line + kHop), static_cast<uint32_t>(line + kBeat / 2)));
    }
    const std::vector<std::string> answers = Analyse(queries);
    const size_t entered = First(answers[1]) > kAudibleDb ? 0 : 1;
    EXPECT_GT(First(answers[2 * entered + 1]), kAudibleDb) << "the stinger is heard from a beat line on";
    EXPECT_LT(First(answers[2 * entered]), kAudibleDb - 20.0) << "and not before it";
    EXPECT_LT(firstLine + static_cast<long>(entered * kBeat), trigger + kLatencyFrames + kBeat) << "the first beat line the engine could reach";
}

// The play field's music follows the battle. It plays Calm up to the first shot (a tower firing at
// the airship, or the city firing back); then the fight's first segment enters on a bar line of the
// calm music, no later than the second bar line after the shot (the change is held to the next beat,
// and the next bar line after that must lie a look-ahead ahead), while the calm segment sounds on
// through its post-exit, faded out linearly over the 250 ms from that line. Once the airship is down
// and the city has fallen, the fight leaves at the exit cue of its segment through the one-bar
// transition segment, and the calm music enters on that segment's exit cue. The game is paused once
// the city has fallen: the win screen, which would end the play field's music, does not come.
TEST_F(GameHeardTest, TheFirstShotTurnsThePlayFieldMusicToTheFightAndTheCitysFallBringsTheCalmBack)
{
    ASSERT_NO_FATAL_FAILURE(LaunchAnAirship());
    const long long shot = RunUntilAShot();
    ASSERT_GE(shot, 0) << "a tower or the city fires at the airship";
    Seconds(9.0);
    // The airship goes down with the next shot at it; then no shot sets Fight again.
    GameObject* airship = nullptr;
    for (GameObject* object : SceneManager::Find("Sandbox")->objects.entries)
    {
        if (object != nullptr && object->GetComponent<Korvane>() != nullptr)
            airship = object;
    }
    ASSERT_NE(airship, nullptr);
    airship->GetComponent<Stats>()->health = 0;
    Seconds(3.0);
    ASSERT_NO_FATAL_FAILURE(FellTheCity());
    for (int frame = 0; frame < kFramesPerSecond && LastPostOf(kCityFallsEvent) < 0; ++frame)
        Frames(1);
    const long long fell = LastPostOf(kCityFallsEvent);
    ASSERT_GE(fell, 0) << "the city's fall is posted";
    Press(SceneManager::kPauseKey);
    Seconds(16.0); // up to two fight bars, the transition's bar, and the calm segment that follows whole
    ASSERT_LT(FirstShot(fell), 0) << "no shot after the city's fall";
    const std::vector<long long> music = m_sound.FramesOf(kPlayFieldMusicEvent);
    ASSERT_EQ(music.size(), 1u);

    // The calm music's bar lines: from its intro's entry cue, every two seconds.
    const MusicSegment& intro = kPlayFieldSegments[0];
    const long origin = static_cast<long>(First(Analyse({std::string("start ") + intro.media + " 0 " +
                                                         std::to_string(FrameStart(music[0])) + " " +
                                                         std::to_string(FrameStart(music[0]) + kLatencyFrames + intro.active + kBeat)})[0]));
    const long shotAt = FrameStart(shot);
    const long firstLine = origin + (shotAt - origin + kBar - 1) / kBar * kBar;
    const MusicSegment& fight = kFightSegments[0];
    const long fightAt = static_cast<long>(First(Analyse({std::string("start ") + fight.media + " 0 " + std::to_string(shotAt) + " " +
                                                          std::to_string(firstLine + 2 * kBar + fight.active + kBeat)})[0]));
    const long offLine = std::min((fightAt - origin) % kBar, kBar - (fightAt - origin) % kBar);
    EXPECT_LE(offLine, kHop) << "the fight enters on a bar line of the calm music";
    EXPECT_GE(fightAt, shotAt);
    EXPECT_LE(fightAt, firstLine + kBar + kHop) << "no later than the second bar line after the shot";
    // No fight before the shot; the fight at the music's level from a hop after its entry.
    const std::vector<std::string> alone = Analyse({Level(BattleTones(kFightSegments[0].hz), FrameStart(music[0]) + kLatencyFrames, shotAt),
                                                    Level(BattleTones(kFightSegments[1].hz), FrameStart(music[0]) + kLatencyFrames, shotAt),
                                                    Level(BattleTones(fight.hz), fightAt + kHop, fightAt + kBar)});
    EXPECT_LT(First(alone[0]), kAudibleDb - 20.0) << "no fight before the shot";
    EXPECT_LT(First(alone[1]), kAudibleDb - 20.0) << "no fight before the shot";
    EXPECT_NEAR(First(alone[2]), kMusicDb, 0.5) << "the fight at the music's level";

    // The calm segment the fight cut heard against its media (10 dB down): whole up to the exit
    // point, then faded out linearly (a mean gain of 3/4 over the fade's first half, 1/4 over its
    // second), then gone.
    std::vector<HeardSegment> calm =
        FollowMusic(kPlayFieldSegments, FrameStart(music[0]), kLatencyFrames, static_cast<uint32_t>(fightAt) + 9 * kp::test::kHeardRateHz);
    while (!calm.empty() && calm.back().start >= fightAt - static_cast<long>(kHop))
        calm.pop_back();
    ASSERT_FALSE(calm.empty());
    const MusicSegment& cut = kPlayFieldSegments[calm.back().which];
    const long half = kCalmFadeOut / 2;
    const struct
    {
        long from, to;
        double gainDb, tolerance;
        const char* what;
    } windows[] = {{fightAt - 2 * half, fightAt, 0.0, 0.3, "whole before the exit point"},
                   {fightAt, fightAt + half, 20.0 * std::log10(0.75), 0.5, "over the fade's first half"},
                   {fightAt + half, fightAt + 2 * half, 20.0 * std::log10(0.25), 1.0, "over the fade's second half"}};
    std::vector<std::string> queries;
    for (const auto& window : windows)
    {
        queries.push_back(Level(BattleTones(cut.hz), static_cast<uint32_t>(window.from), static_cast<uint32_t>(window.to)));
        queries.push_back("medialevel " + std::string(cut.media) + " " + std::to_string(calm.back().start) + " " +
                          BattleTones(cut.hz) + " " + std::to_string(window.from) + " " + std::to_string(window.to));
    }
    queries.push_back(Level(BattleTones(cut.hz), static_cast<uint32_t>(fightAt + kCalmFadeOut + kHop),
                            static_cast<uint32_t>(fightAt + 2 * kCalmFadeOut)));
    const std::vector<std::string> fade = Analyse(queries);
    for (size_t index = 0; index < std::size(windows); ++index)
    {
        EXPECT_NEAR(First(fade[2 * index]) - First(fade[2 * index + 1]), windows[index].gainDb - 10.0, windows[index].tolerance)
            << cut.media << " " << windows[index].what;
    }
    EXPECT_LT(First(fade.back()), kMusicDb - 30.0) << cut.media << " gone once faded out";

    // Back to Calm: the transition segment enters on an exit cue of the fight's two-bar segments,
    // the first it could reach after the fall, and the calm music on the transition's exit cue; the
    // fight is not heard once its segment's post-exit has ended.
    const long fellAt = FrameStart(fell);
    const long nextExit = fightAt + (fellAt - fightAt + 2 * kBar - 1) / (2 * kBar) * (2 * kBar);
    const long back = static_cast<long>(First(Analyse({std::string("start ") + kFightToCalm.media + " 0 " + std::to_string(fellAt) + " " +
                                                       std::to_string(nextExit + 2 * kBar + kFightToCalm.active + kBeat + kHop)})[0]));
    EXPECT_GE(back, fellAt);
    EXPECT_LE(std::min((back - fightAt) % (2 * kBar), 2 * kBar - (back - fightAt) % (2 * kBar)), kHop)
        << "the transition enters on an exit cue of the fight";
    EXPECT_LE(back, nextExit + 2 * kBar + kHop) << "at the first exit cue the change could reach";
    const std::vector<HeardSegment> calmAgain =
        FollowMusic(kPlayFieldSegments, static_cast<uint32_t>(back + kFightToCalm.active), kHop, Now());
    ASSERT_FALSE(calmAgain.empty()) << "the calm music after the transition";
    EXPECT_NEAR(calmAgain[0].start, back + kFightToCalm.active, kHop) << "on the transition's exit cue";
    const std::vector<std::string> after =
        Analyse({Level(BattleTones(kFightSegments[0].hz), static_cast<uint32_t>(back + kBeat + kHop), static_cast<uint32_t>(back + kBeat + 2 * kBar)),
                 Level(BattleTones(kFightSegments[1].hz), static_cast<uint32_t>(back + kBeat + kHop), static_cast<uint32_t>(back + kBeat + 2 * kBar))});
    EXPECT_LT(First(after[0]), kAudibleDb - 20.0) << "no fight after the transition";
    EXPECT_LT(First(after[1]), kAudibleDb - 20.0) << "no fight after the transition";
}

// Paused in the fight, the credits stop the play field's music, and their return posts it again: it
// starts over on Calm (its event sets Calm before it plays) with the post, at the music's level,
// and the fight is not heard again.
TEST_F(GameHeardTest, PausedInTheFightTheCreditsAndTheirReturnRestartThePlayFieldMusicOnCalm)
{
    ASSERT_NO_FATAL_FAILURE(LaunchAnAirship());
    ASSERT_GE(RunUntilAShot(), 0) << "a tower or the city fires at the airship";
    Seconds(6.0); // the fight enters within two bars
    const uint32_t fightFrom = Now() - kBar;
    const uint32_t fightTo = Now();
    Press(SceneManager::kPauseKey);
    Seconds(0.5);
    ASSERT_NO_FATAL_FAILURE(PointAtObject("ToCreditsButton"));
    Frames(3);
    Press(kMouse);
    PointAt(5000.0f, 5000.0f);
    Seconds(2.0);
    const uint32_t creditsFrom = Now() - kBar / 2;
    ASSERT_TRUE(SceneManager::Exists("CreditMenu"));
    ASSERT_NO_FATAL_FAILURE(PointAtObject("CreditReturnButton"));
    Frames(3);
    Press(kMouse);
    PointAt(5000.0f, 5000.0f);
    const uint32_t creditsTo = FrameStart(m_frames - 2);
    Seconds(7.0);
    const std::vector<long long> music = m_sound.FramesOf(kPlayFieldMusicEvent);
    ASSERT_EQ(music.size(), 2u) << "the return posts the play field's music again";
    ASSERT_GE(FrameStart(music[1]), creditsFrom);

    // The calm segment heard first after the return (the play-field playlist goes on where its last
    // play left it), found as FollowMusic finds a screen music's first segment.
    const uint32_t again = FrameStart(music[1]);
    const std::vector<HeardSegment> calm = FollowMusic(kPlayFieldSegments, again, kLatencyFrames, Now());
    ASSERT_FALSE(calm.empty()) << "a calm segment after the return";
    const std::vector<std::string> answers =
        Analyse({Level(BattleTones(kFightSegments[0].hz), fightFrom, fightTo),
                 Level(BattleTones(kFightSegments[0].hz) + ",160,1078,2715", creditsFrom, creditsTo),
                 Level(BattleTones(kFightSegments[1].hz) + ",160,1078,2715", creditsFrom, creditsTo),
                 Level(BattleTones(kPlayFieldSegments[calm[0].which].hz), static_cast<uint32_t>(calm[0].start) + kHop,
                       static_cast<uint32_t>(calm[0].start) + kBar),
                 Level(BattleTones(kFightSegments[0].hz), again, again + 2 * kBar),
                 Level(BattleTones(kFightSegments[1].hz), again, again + 2 * kBar)});
    EXPECT_GT(First(answers[0]), kAudibleDb) << "the fight plays before the pause";
    EXPECT_LT(First(answers[1]), kAudibleDb - 20.0) << "the credits stop the fight";
    EXPECT_LT(First(answers[2]), kAudibleDb - 20.0) << "the credits stop the fight";
    EXPECT_GE(calm[0].start, again);
    EXPECT_LE(calm[0].start, again + kLatencyFrames) << kPlayFieldSegments[calm[0].which].media << " starts with the post";
    EXPECT_NEAR(First(answers[3]), kMusicDb, 0.5) << kPlayFieldSegments[calm[0].which].media << " at the music's level";
    EXPECT_LT(First(answers[4]), kAudibleDb - 20.0) << "no fight after the return";
    EXPECT_LT(First(answers[5]), kAudibleDb - 20.0) << "no fight after the return";
}

// A screen of a sting and a bed (the win and the lose screen): its music plays the sting once, then
// the bed again and again, each entering on the exit cue of the one before. The files stream alone:
// the sting starts one look-ahead after the post.
void GameHeardTest::ExpectStingThenBed(ZkUniqueID event, const MusicSegment (&segments)[2])
{
    const std::vector<long long> posts = m_sound.FramesOf(event);
    ASSERT_EQ(posts.size(), 1u);
    const std::vector<HeardSegment> heard = FollowMusic(segments, FrameStart(posts[0]), kMusicLookAhead + kLatencyFrames, Now());
    ASSERT_GE(heard.size(), 3u) << "the sting and two beds";
    EXPECT_GE(heard[0].start, FrameStart(posts[0]));
    EXPECT_LE(heard[0].start, FrameStart(posts[0]) + kMusicLookAhead + kLatencyFrames);
    for (size_t index = 0; index < heard.size(); ++index)
    {
        EXPECT_EQ(heard[index].which, index == 0 ? 0u : 1u) << "segment " << index << ": the sting, then the bed";
        if (index > 0)
        {
            EXPECT_NEAR(heard[index].start, heard[index - 1].start + segments[heard[index - 1].which].active, kHop)
                << "segment " << index << " enters on the exit cue of the one before";
        }
    }
}

TEST_F(GameHeardTest, TheWinScreenPlaysItsStingThenItsBed)
{
    ASSERT_NO_FATAL_FAILURE(ToThePlayField());
    Seconds(1.0);
    ASSERT_NO_FATAL_FAILURE(FellTheCity());
    Seconds(City::kWinDelaySeconds + 12.0);
    ExpectStingThenBed(kWinMusicEvent, kWinSegments);
}

// The win screen's fanfare over the sting: mido, reading the fanfare's events from Main.bnk wrapped
// in a standard MIDI file with its tempo, times each note-on. Each note is heard where its tone
// rises to half its level (heard_analysis.py's "rise", in 256-frame hops); from the first note on,
// each comes at mido's time within one tick (where the track places its events) and one hop, and
// sounds at 440 Hz x 2^((note - 69) / 12) within 0.5 %, over its span inside the note's length.
TEST_F(GameHeardTest, TheWinScreensFanfareSoundsEachNoteAtMidosTimeAndAtItsPitch)
{
    ASSERT_NO_FATAL_FAILURE(ToThePlayField());
    Seconds(1.0);
    ASSERT_NO_FATAL_FAILURE(FellTheCity());
    Seconds(City::kWinDelaySeconds + 4.0); // the sting starts within 0.6 s of the post; the fanfare lasts 2 s
    const std::vector<long long> posts = m_sound.FramesOf(kWinMusicEvent);
    ASSERT_EQ(posts.size(), 1u);
    struct Note
    {
        int note = 0;
        double on = 0.0, off = 0.0; // seconds, as mido plays them
        double hz = 0.0;
    };
    std::vector<Note> notes;
    std::istringstream midi(Analyse({std::string("midinotes ") + kWinFanfare})[0]);
    for (Note note; midi >> note.note >> note.on >> note.off;)
    {
        note.hz = kInstrumentHz * std::pow(2.0, (note.note - kInstrumentRootNote) / 12.0);
        notes.push_back(note);
    }
    ASSERT_EQ(notes.size(), kWinFanfareNotes);

    std::vector<std::string> queries;
    for (const Note& note : notes)
        queries.push_back("rise " + std::to_string(note.hz) + " " + std::to_string(FrameStart(posts[0])) + " " +
                          std::to_string(Now()) + " " + std::to_string(kHop) + " " + std::to_string(kToneRiseWindow));
    std::vector<long> heardAt;
    const std::vector<std::string> rises = Analyse(queries);
    queries.clear();
    for (size_t index = 0; index < notes.size(); ++index)
    {
        std::istringstream answer(rises[index]);
        long at = -1;
        double db = -999.0;
        answer >> at >> db;
        heardAt.push_back(at);
        EXPECT_GT(db, kAudibleDb) << "note " << index << " (" << notes[index].note << ") is heard";
        // Its pitch away from its ends: from 1024 frames after its rise to 1024 before its end.
        const long length = std::lround((notes[index].off - notes[index].on) * kp::test::kHeardRateHz);
        queries.push_back(Span("pitch", static_cast<uint32_t>(std::max(at, 0L) + kFrame),
                               static_cast<uint32_t>(std::max(at, 0L) + std::max(length - static_cast<long>(kFrame), 2L * kFrame))));
    }
    const std::vector<std::string> pitches = Analyse(queries);
    for (size_t index = 0; index < notes.size(); ++index)
    {
        const double expected = (notes[index].on - notes[0].on) * kp::test::kHeardRateHz;
        EXPECT_NEAR(static_cast<double>(heardAt[index] - heardAt[0]), expected, kMidiTick + kHop)
            << "note " << index << " (" << notes[index].note << ") at mido's time from the first note";
        EXPECT_NEAR(First(pitches[index]), notes[index].hz, kPitchTolerance * notes[index].hz)
            << "note " << index << " (" << notes[index].note << ") at its pitch";
    }
}

TEST_F(GameHeardTest, TheLoseScreenPlaysItsStingThenItsBed)
{
    ASSERT_NO_FATAL_FAILURE(ToThePlayField());
    Seconds(1.0);
    GameObject* clock = FirstInPlayField<RoundTimer>();
    ASSERT_NE(clock, nullptr);
    clock->GetComponent<RoundTimer>()->roundTimer->remaining = 0.1f; // the round's time runs out
    Seconds(RoundTimer::kLoseDelaySeconds + 12.5);
    ExpectStingThenBed(kLoseMusicEvent, kLoseSegments);
}

// Pressing "Play" stops everything on the menu's background, the menu music with it: it is heard
// before, and none of its segments sounds afterwards, past its next exit cue.
TEST_F(GameHeardTest, PressingPlayStopsTheMenuMusic)
{
    Press(kMouse);
    Seconds(1.0);
    const uint32_t before = Now();
    Seconds(0.5);
    const uint32_t beforeEnd = Now();
    PointAtObject("StartButton");
    Frames(3);
    Press(kMouse);
    const uint32_t pressed = Now();
    PointAt(5000.0f, 5000.0f);
    Seconds(12.0); // past the first segment's exit cue (8 s after its entry)
    // From 1.5 s after the press on: the game stops the menu's sounds as its screen has faded
    // (about a second after the press).
    const uint32_t stopped = pressed + 3 * kp::test::kHeardRateHz / 2;
    ASSERT_EQ(m_sound.FramesOf(kMenuMusicEvent).size(), 1u);
    std::vector<std::string> queries = {MusicLevel(kMenuMusicEvent, kPlayFieldMusicTones, before, beforeEnd)};
    // Bar by bar: a segment that started would be heard at its level over its first bar.
    for (uint32_t bar = stopped; bar + kBar <= Now(); bar += kBar)
    {
        for (const MusicSegment& segment : kMenuSegments)
            queries.push_back(Level(std::to_string(segment.hz) + "," + kMenuMusicTones + "," + kPlayFieldMusicTones, bar,
                                    bar + kBar));
    }
    const std::vector<std::string> answers = Analyse(queries);
    EXPECT_NEAR(First(answers[0]), kMusicDb, 0.5) << "the menu music is heard before";
    ASSERT_GE(answers.size(), 1 + 5 * std::size(kMenuSegments)) << "ten seconds after Play";
    for (size_t index = 1; index < answers.size(); ++index)
        EXPECT_LT(First(answers[index]), kAudibleDb) << queries[index] << ": a menu segment after Play";
}
} // namespace
