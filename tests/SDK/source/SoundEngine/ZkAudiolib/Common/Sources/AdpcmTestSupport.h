// ADPCM media for the source tests, written by the media writer (tools/soundbank/adpcm.py), with
// the samples a play of them must deliver as judged by ffmpeg: the writer's standard IMA ADPCM
// twin of the same blocks is decoded by ffmpeg, and the 65th sample of every block and channel
// (which the engine's 64-frame blocks never play) is dropped.
#pragma once

#include "SourceTestSupport.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace ZkSourceTest
{
constexpr uint32_t kAdpcmKey = 0x20001;
constexpr uint32_t kBlockFrames = 64;

// A tone of the writer in ADPCM: the wave, then further keys of the wave description (",..." JSON).
inline std::string AdpcmWave(uint32_t rate, uint32_t channels, uint32_t frames, const std::string& extra = "",
                             const std::string& encoding = "adpcm", uint32_t frequency = 1000)
{
    return R"({"encoding": ")" + encoding + R"(", "wave": {"rate": )" + std::to_string(rate) +
           R"(, "channels": )" + std::to_string(channels) + R"(, "frames": )" + std::to_string(frames) +
           R"(, "parts": [{"tone": )" + std::to_string(frequency) + R"(, "amp": 0.5}, {"noise": 0.1, "seed": 3}]})" +
           extra + "}";
}

// ffmpeg's decode of the standard twin of AdpcmWave(rate, channels, frames), 64 samples per block.
inline std::vector<int16_t> FfmpegDecode(uint32_t rate, uint32_t channels, uint32_t frames, uint32_t frequency = 1000)
{
    ZkSoundFixtures::ScratchFolder folder;
    const Bytes twin = ZkSoundFixtures::RunWriter("media_writer.py", AdpcmWave(rate, channels, frames, "", "adpcm_twin",
                                                                                 frequency),
                                                  folder.Path(), "twin.wav");
    const auto raw = folder.Path() / "twin.raw";
    const std::string command = "ffmpeg -v error -y -i \"" + (folder.Path() / "twin.wav").string() +
                                "\" -f s16le -acodec pcm_s16le \"" + raw.string() + "\"";
    if (twin.empty() || std::system(command.c_str()) != 0)
    {
        ADD_FAILURE() << "ffmpeg could not decode the twin";
        return {};
    }
    const Bytes bytes = ZkSoundFixtures::ReadWholeFile(raw);
    std::vector<int16_t> all(bytes.size() / 2);
    std::memcpy(all.data(), bytes.data(), all.size() * 2);
    std::vector<int16_t> samples;
    const size_t perBlock = size_t{kBlockFrames + 1} * channels;
    for (size_t block = 0; block + perBlock <= all.size(); block += perBlock)
        samples.insert(samples.end(), all.begin() + block, all.begin() + block + kBlockFrames * channels);
    return samples;
}

// The writer's own decoder model of a wave description (for the predictive variant, which ffmpeg lacks).
inline std::vector<int16_t> ModelDecode(const std::string& wave)
{
    std::string decoded = wave;
    decoded.insert(decoded.size() - 1, R"(, "decoded": true)");
    const Bytes bytes = ZkSoundFixtures::WriteMedia(decoded);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The source tests' fixture with ADPCM media.
class AdpcmSourceTest : public SourceTest
{
protected:
    void SetUp() override
    {
        SourceTest::SetUp();
        media.sourceType = static_cast<int32_t>(kAdpcmKey);
    }
    // Plays bytes from memory, as a loose file (type 2), or as a loose file with its first
    // prefetch bytes in the bank (type 1).
    void PlayStored(uint32_t storage, const Bytes& bytes, uint32_t prefetch = 0)
    {
        if (storage == 0)
            PlayFromMemory(bytes);
        else
            PlayStreamed(40 + storage, bytes, storage == 1 ? prefetch : 0);
    }
    // Starts, retrying while the stream is not ready.
    ZKRESULT StartReady(CZkVoiceSource& source)
    {
        ZKRESULT started = Start(source);
        for (int retry = 0; retry < 8 && started == ZK_NotReadyYet; ++retry)
            started = Start(source);
        return started;
    }
};
} // namespace ZkSourceTest
