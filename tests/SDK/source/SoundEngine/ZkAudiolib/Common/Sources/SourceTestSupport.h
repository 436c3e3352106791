// Shared by the source and voice tests: media-writer files described in the writer's JSON, where
// their sample data lies (read by walking the file's chunks here, not by the engine's parser), the
// samples a play of them must deliver with a loop unrolled, and a fixture with the plug-in registry,
// a stream manager whose streams hand the media out in buffers of chosen sizes, and a playing
// instance of the media (in memory, or streamed by file id).
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Media/ChunkedStreamMgr.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Parameters/Neighbours/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace ZkSourceTest
{
using namespace ZK::SoundEngine;
using ZkSoundFixtures::Bytes;

constexpr uint32_t kPcmKey = 0x10001;

// A tone of the writer: rate, channels, frames, and further spec keys (",..." JSON).
inline std::string ToneSpec(uint32_t rate, uint32_t channels, uint32_t frames, const std::string& extra = "",
                            uint32_t frequency = 1000)
{
    return R"({"wave": {"rate": )" + std::to_string(rate) + R"(, "channels": )" + std::to_string(channels) +
           R"(, "frames": )" + std::to_string(frames) + R"(, "parts": [{"tone": )" + std::to_string(frequency) +
           R"(, "amp": 0.5}]})" + extra + "}";
}

struct DataChunk
{
    uint32_t offset = 0;
    uint32_t size = 0;
};

// The "data" chunk of a RIFF file, found by walking its chunks.
inline DataChunk FindData(const Bytes& bytes)
{
    for (size_t at = 12; at + 8 <= bytes.size();)
    {
        const uint32_t size = ZK::LoadLittleEndian<uint32_t>(bytes.data() + at + 4);
        if (std::memcmp(bytes.data() + at, "data", 4) == 0)
            return DataChunk{static_cast<uint32_t>(at + 8), size};
        at += 8 + size + (size & 1);
    }
    ADD_FAILURE() << "no data chunk";
    return {};
}

// The 16-bit samples of the data chunk, interleaved.
inline std::vector<int16_t> SamplesOf(const Bytes& bytes)
{
    const DataChunk data = FindData(bytes);
    std::vector<int16_t> samples(data.size / 2);
    std::memcpy(samples.data(), bytes.data() + data.offset, samples.size() * 2);
    return samples;
}

// What a play over the loop [start, end] (frames, end included) with loops passes delivers.
inline std::vector<int16_t> Unrolled(const std::vector<int16_t>& samples, uint32_t channels, uint32_t start,
                                     uint32_t end, uint32_t loops)
{
    std::vector<int16_t> out(samples.begin(), samples.begin() + (end + 1) * channels);
    for (uint32_t pass = 1; pass < loops; ++pass)
        out.insert(out.end(), samples.begin() + start * channels, samples.begin() + (end + 1) * channels);
    out.insert(out.end(), samples.begin() + (end + 1) * channels, samples.end());
    return out;
}

struct SourceDeleter
{
    void operator()(CZkVoiceSource* source) const
    {
        source->StopStream();
        CZkVoiceSource::Destroy(source);
    }
};
using SourcePtr = std::unique_ptr<CZkVoiceSource, SourceDeleter>;

class SourceTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        SetAudioFormatGlobals(48000, 1024);
        ASSERT_EQ(PluginRegistry::Init(nullptr), ZK_Success);
        media.Init();
        instance.media = &media;
        instance.codecKey = kPcmKey;
        instance.playingID = 77;
        instance.nodeID = 500;
    }
    void TearDown() override
    {
        PluginRegistry::Term();
        EngineMemoryTest::TearDown();
    }

    // The instance plays bytes from memory (a bank's media).
    void PlayFromMemory(const Bytes& bytes)
    {
        media.SetKind(kMediaKindInMemory);
        media.mediaID = 900;
        instance.mediaData = bytes.data();
        instance.mediaSize = static_cast<uint32_t>(bytes.size());
    }
    // The instance streams bytes as the loose file of the id (its first prefetch bytes in memory).
    void PlayStreamed(uint32_t fileID, const Bytes& bytes, uint32_t prefetch = 0)
    {
        streams.files[fileID] = bytes;
        media.SetKind(kMediaKindOwned);
        media.mediaID = fileID;
        media.fileID = static_cast<int32_t>(fileID);
        media.flags = prefetch != 0 ? media.flags | kMediaFlagPrefetch : media.flags & ~kMediaFlagPrefetch;
        instance.mediaData = prefetch != 0 ? streams.files[fileID].data() : nullptr;
        instance.mediaSize = prefetch;
    }
    SourcePtr MakeSource()
    {
        const uint32_t kind = media.Kind() == kMediaKindInMemory ? kSourceKindInMemory : kSourceKindStreamed;
        return SourcePtr(CZkVoiceSource::Create(kind, instance.codecKey, &instance));
    }
    ZKRESULT Start(CZkVoiceSource& source)
    {
        return source.StartOnce(instance.MediaData(), instance.MediaSize());
    }

    // Every sample the source delivers until its end (or a failure), asking for frames per buffer.
    ZKRESULT ReadAll(CZkVoiceSource& source, std::vector<int16_t>& samples, uint16_t frames = 1024,
                     uint32_t limit = 10000)
    {
        for (uint32_t call = 0; call < limit; ++call)
        {
            ZkPipelineBuffer buffer;
            buffer.maxFrames = frames;
            const ZKRESULT result = source.GetBuffer(buffer);
            if (buffer.validFrames != 0)
            {
                const auto* data = static_cast<const int16_t*>(buffer.data);
                samples.insert(samples.end(), data, data + buffer.validFrames * buffer.NumChannels());
                source.ReleaseBuffer();
            }
            if (result != ZK_DataReady && result != ZK_NoDataReady)
                return result;
        }
        return ZK_DataReady;
    }

    ChunkedStreamMgr streams;
    ZkMediaRef media;
    CZkPlayingInstance instance;
};
} // namespace ZkSourceTest
