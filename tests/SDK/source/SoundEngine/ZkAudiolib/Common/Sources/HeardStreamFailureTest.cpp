// A streamed ADPCM cue whose loose file fails a read in the middle of its play, heard through the
// running engine (offline rendering, where each source waits for its stream's buffers): the
// failure stops its voice, its event ends once, and a looping cue from the bank goes on beside it.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <algorithm>
#include <atomic>
#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;

constexpr uint32_t kStreamedFrames = 64 * 1500; // 2 s of 48 kHz stereo ADPCM: 108000 bytes of blocks
constexpr uint32_t kFailingRead = 3;            // of the loose file, the header's read the first

// Loose files, one of which (known by its size) fails its nth read on the device's I/O thread.
class FailingLooseFiles final : public ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking
{
public:
    ZKRESULT Read(ZkFileDescriptor& fileDesc, const ZkIOHeuristics& heuristics, void* buffer,
                  ZkTransferInfo& transfer) override
    {
        if (fileDesc.fileSize == failingSize.load() && m_reads.fetch_add(1) + 1 == kFailingRead)
        {
            transfer.bytesTransferred = 0;
            return ZK_Fail;
        }
        return CZkFilePackageLowLevelIOBlocking::Read(fileDesc, heuristics, buffer, transfer);
    }
    std::atomic<int64_t> failingSize{-1};

private:
    std::atomic<uint32_t> m_reads{0};
};

// The ends of each event's plays, by playing id.
struct Ends
{
    std::vector<ZkPlayingID> ended;
    static void Record(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            static_cast<Ends*>(info->cookie)
                ->ended.push_back(static_cast<ZkPlayingCallbackInfo*>(info)->playingID);
    }
    size_t Count(ZkPlayingID id) const
    {
        return static_cast<size_t>(std::count(ended.begin(), ended.end(), id));
    }
};

class HeardStreamFailure : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        m_io.Term();
        ZkDeviceSettings device = ZkStreamTest::DefaultDeviceSettings();
        device.ioMemoryBytes = 256 * 1024; // the automatic streams' buffers
        ASSERT_EQ(m_failing.Init(device), ZK_Success);
        const std::filesystem::path banks = std::filesystem::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks";
        ASSERT_EQ(m_failing.AddBasePath(banks.wstring().c_str()), ZK_Success);
        ASSERT_EQ(m_failing.AddBasePath(m_folder.Path().wstring().c_str()), ZK_Success);
        const std::string bank = R"({"name": "HeardFailure.bnk",
            "streamed": [{"id": 121, "encoding": "adpcm", "wave": {"rate": 48000, "channels": 2, "frames": )" +
                                 std::to_string(kStreamedFrames) + R"(,
                          "parts": [{"tone": 500, "amp": 0.5}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
                {"type": "sound", "id": 221, "media": 121, "codec": "adpcm", "stream_type": 2, "bus": "Effects"},
                {"type": "action", "id": 321, "action": "play", "target": 221},
                {"type": "event", "id": 921, "actions": [321]}]}]})";
        const auto description = m_folder.Path() / "heard_failure.json";
        std::ofstream(description) << bank;
        const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) + "/tools/bank_writer.py\" \"" +
                                    description.string() + "\" -o \"" +
                                    (m_folder.Path() / "HeardFailure.bnk").string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
        m_failing.failingSize = static_cast<int64_t>(std::filesystem::file_size(m_folder.Path() / "121.oxm"));
    }
    void TearDown() override
    {
        Term();
        m_failing.Term();
        FirstSound::TearDown();
    }

    FailingLooseFiles m_failing;
    Ends ends; // told until the engine's end, which ends the loop
};

TEST_F(HeardStreamFailure, AFailedReadEndsTheStreamedCueOnceAndTheLoopPlaysOn)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("HeardFailure.bnk", bank), ZK_Success);
    const ZkPlayingID loop =
        PostEvent("Play_ToneLoop", kEmitter, ZkCallbackType_EndOfEvent, &Ends::Record, &ends);
    const ZkPlayingID streamed = PostEvent(921, kEmitter, ZkCallbackType_EndOfEvent, &Ends::Record, &ends);
    ASSERT_NE(loop, 0u);
    ASSERT_NE(streamed, 0u);
    // Long enough for the whole streamed cue, had its reads not failed.
    const uint32_t frames = kStreamedFrames / kFrames + 20;
    RenderFrames(frames);
    EXPECT_EQ(ends.Count(streamed), 1u) << "the streamed cue ended once";
    EXPECT_EQ(ends.Count(loop), 0u) << "the loop plays on";
    // The streamed cue stopped early: the last second of the capture is the loop alone, which
    // plays at the centre gain of a mono tone (the streamed stereo tone would raise it).
    ASSERT_GE(captured.size(), size_t{kRate} * 2);
    double peak = 0.0;
    for (size_t i = captured.size() - size_t{kRate} * 2; i < captured.size(); ++i)
        peak = std::max(peak, std::fabs(static_cast<double>(captured[i])));
    EXPECT_GT(peak, 0.9 * kToneAmplitude * kCentreGain) << "the loop is heard";
    EXPECT_LT(peak, 1.05 * kToneAmplitude * kCentreGain) << "the streamed cue is not";
}
} // namespace
