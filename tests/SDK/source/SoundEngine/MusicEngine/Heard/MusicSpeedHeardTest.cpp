// A segment's playback speed bound to a game parameter through a curve, heard while the value
// changes under the playing segment: from the frame in which the change is applied, the clip that
// sounds and every later clip are heard 1200 x log2(speed) cents higher, and the music's time runs
// at the new speed (later clips come sooner and are shorter, the play ends sooner). A value set
// for every object, for the play's object or for its playing id reaches the play; a value set for
// another object does not. numpy places the clips from the writer's description (speed_heard.py).
#include "SDK/source/SoundEngine/MusicEngine/Heard/MusicHeardFixture.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>
#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

namespace
{
using namespace ZkFirstSoundTest;

constexpr ZkUniqueID kSpeedParameter = 7100;
constexpr ZkGameObjectID kOtherObject = 8;
constexpr uint32_t kSegmentEnd = 72000; // 1500 ms
constexpr int kSegment = 800;

class MusicSpeedHeard : public MusicHeard
{
protected:
    MusicSpeedHeard() : MusicHeard("Speed.bnk", &Description) {}

    // Segment 800 plays a 1000 Hz clip of 200 ms at track time 0, a 1500 Hz clip of 100 ms at 500 ms
    // and the 1000 Hz clip again at 1000 ms; its speed follows the game parameter: 1 + value.
    static std::string Description()
    {
        return R"({"name": "Speed.bnk", "media": [
                {"id": 401, "wave": {"rate": 48000, "channels": 1, "frames": 9600, "parts": [{"tone": 1000, "amp": 0.5}]}},
                {"id": 402, "wave": {"rate": 48000, "channels": 1, "frames": 4800, "parts": [{"tone": 1500, "amp": 0.4}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "music_track", "id": 810, "bus": "Master Audio Bus",
                 "sources": [{"source": 401}, {"source": 402}],
                 "clips": [
                   {"subtrack": 0, "source": 401, "position_ms": 0.0, "duration_ms": 200.0},
                   {"subtrack": 0, "source": 402, "position_ms": 500.0, "duration_ms": 100.0},
                   {"subtrack": 0, "source": 401, "position_ms": 1000.0, "duration_ms": 200.0}]},
                {"type": "music_segment", "id": 800, "bus": "Master Audio Bus", "children": [810],
                 "duration_ms": 1500.0, "grid": {"tempo": 120.0, "own": 1},
                 "markers": [{"id": 81, "position_ms": 0.0}, {"id": 83, "position_ms": 1250.0}],
                 "rtpc": [{"parameter": 7100, "target": 13, "curve": 1, "points": [[0, 1], [1, 2]]}]},
                {"type": "action", "id": 820, "action": "play", "target": 800},
                {"type": "event", "id": "Play_Speed", "actions": [820]}]}]})";
    }


    static void OnEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        auto& self = *static_cast<MusicSpeedHeard*>(info->cookie);
        if (type == ZkCallbackType_EndOfEvent)
            self.endFrames.push_back(self.frameOffsets.size());
    }

    // The model's largest start and end errors (samples) and frequency error (bins).
    void Judge(long changeAt, double speed, double& startError, double& endError, double& binError)
    {
        std::istringstream output(RunModel("speed_heard.py", std::to_string(kSegment) + " " + std::to_string(changeAt) +
                                                                 " " + std::to_string(speed)));
        output >> startError >> endError >> binError;
        EXPECT_FALSE(output.fail()) << "the oracle answered: " << output.str();
    }

    std::vector<size_t> endFrames; // the frame count when each end-of-event callback came
};

TEST_F(MusicSpeedHeard, AGameParameterChangeMidPlayMovesThePitchAndTheTimeOfTheMusic)
{
    enum class Scope
    {
        Everyone,
        PlayObject,
        PlayingID,
        OtherObject,
    };
    struct Case
    {
        const char* what;
        Scope scope;
        double speed; // as heard after the change
    };
    const Case cases[] = {
        {"for every object", Scope::Everyone, 2.0},
        {"for the play's object", Scope::PlayObject, 2.0},
        {"for the play's playing id", Scope::PlayingID, 2.0},
        {"for another object: no change", Scope::OtherObject, 1.0},
    };
    constexpr uint32_t kChangeFrame = 4; // inside the first clip
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_EQ(RegisterGameObj(kOtherObject, "Other"), ZK_Success);
    for (const Case& c : cases)
    {
        captured.clear();
        frameOffsets.clear();
        endFrames.clear();
        const ZkPlayingID id = PostEvent("Play_Speed", kEmitter, ZkCallbackType_EndOfEvent, &OnEnd, this);
        ASSERT_NE(id, 0u) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
        ASSERT_EQ(frameOffsets.size(), kChangeFrame) << c.what << ": the first clip is heard from the play's frame on";
        const ZkGameObjectID object = c.scope == Scope::Everyone     ? ZK_ALL_GAME_OBJECTS
                                      : c.scope == Scope::OtherObject ? kOtherObject
                                                                      : kEmitter;
        const ZKRESULT set = c.scope == Scope::PlayingID ? SetRTPCValueByPlayingID(kSpeedParameter, 1.0f, id)
                                                         : SetRTPCValue(kSpeedParameter, 1.0f, object);
        ASSERT_EQ(set, ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kSegmentEnd / kFrames + 8));
        // (A value for the playing id went with the play.)
        ASSERT_EQ(ResetRTPCValue(kSpeedParameter, object), ZK_Success) << c.what;

        double startError = 1e9;
        double endError = 1e9;
        double binError = 1e9;
        ASSERT_NO_FATAL_FAILURE(Judge(static_cast<long>(kChangeFrame * kFrames), c.speed, startError, endError, binError));
        EXPECT_LE(startError, 1.0) << c.what << ": where the clips start (samples)";
        EXPECT_LE(endError, 1.0) << c.what << ": where the clips end (samples)";
        EXPECT_LE(binError, 1.0) << c.what << ": the clips' pitch (spectral bins)";
        // The play ends in the tick of the frame that holds the segment's end, at the new speed.
        const auto framesAtSpeed = static_cast<size_t>((kSegmentEnd - kChangeFrame * kFrames) / (kFrames * c.speed));
        ASSERT_EQ(endFrames.size(), 1u) << c.what << ": one end-of-event callback";
        EXPECT_EQ(endFrames[0], kChangeFrame + framesAtSpeed) << c.what;
    }
}
} // namespace
