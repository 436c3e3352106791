// Skips of a file source (a voice in virtual mode moves its source without decoding) tell the game
// of every marker in the frames they pass, [position, position + frames), through the playing
// manager: a skip stopped at the loop end tells nothing beyond it, the next pass tells the loop's
// markers again, and the last pass ends at the media's end.
#include "AdpcmTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Voice/VoiceTestSupport.h"

namespace
{
using namespace ZkVoiceTest;

class FileSourceSkip : public VoiceTest
{
protected:
    void SetUp() override
    {
        VoiceTest::SetUp();
        media.sourceType = static_cast<int32_t>(kAdpcmKey);
    }
};

TEST_F(FileSourceSkip, SkipsTellTheGameOfTheMarkersTheyCross)
{
    // Markers at the edges of every range a skip can stop at; each id is its position + 1.
    const Bytes bytes = ZkSoundFixtures::WriteMedia(AdpcmWave(48000, 1, 3840, R"(, "cues": [
        {"id": 1, "position": 0, "label": "first"}, {"id": 101, "position": 100}, {"id": 640, "position": 639},
        {"id": 641, "position": 640}, {"id": 2560, "position": 2559}, {"id": 2561, "position": 2560},
        {"id": 3840, "position": 3839, "label": "last"}], "loop_points": {"start": 640, "end": 2559})"));
    PlayFromMemory(bytes);
    instance->SetLoopCount(2);
    SourcePtr source = MakeSource();
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(Start(*source), ZK_Success);

    struct Step
    {
        uint32_t frames;
        ZKRESULT result;
        uint32_t skipped;
        std::vector<uint32_t> told; // marker ids, in table order
    } steps[] = {
        {0, ZK_DataReady, 0, {}},
        {100, ZK_DataReady, 100, {1}},                        // 100 itself is the next skip's
        {540, ZK_DataReady, 540, {101, 640}},                 // up to the loop start, not at it
        {3000, ZK_DataReady, 1920, {641, 2560}},              // stopped at the loop end; 2560 lies past it
        {5000, ZK_NoMoreData, 3200, {641, 2560, 2561, 3840}}, // the last pass, to the end
        {10, ZK_NoMoreData, 0, {}},                           // nothing after the end
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.frames);
        heard.markers.clear();
        uint32_t frames = step.frames;
        EXPECT_EQ(source->SkipFrames(frames), step.result);
        EXPECT_EQ(frames, step.skipped);
        std::vector<uint32_t> told;
        for (const Heard::Marker& marker : heard.markers)
        {
            told.push_back(marker.identifier);
            EXPECT_EQ(marker.position + 1, marker.identifier) << "the marker's own position";
            if (marker.identifier == 1 || marker.identifier == 3840)
            {
                EXPECT_EQ(marker.label, marker.identifier == 1 ? "first" : "last");
            }
        }
        EXPECT_EQ(told, step.told);
    }
}
} // namespace
