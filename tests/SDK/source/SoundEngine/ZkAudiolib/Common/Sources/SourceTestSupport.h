// Shared by the source and voice tests: media-writer files described in the writer's JSON, where
// their sample data lies (read by walking the file's chunks here, not by the engine's parser), the
// samples a play of them must deliver with a loop unrolled, and a fixture with the plug-in registry,
// a stream manager whose streams hand the media out in buffers of chosen sizes, and a playing
// instance of the media (in memory, or streamed by file id). The instance is a real one made the
// way a play makes it, without a node, a game object or a start: it takes its media as Start would
// (AcquireMedia), and the tests set its loops and seeks through its own operations.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Media/ChunkedStreamMgr.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"
#include "ZkAudiolib/Common/Voice/ZkVoiceMarkers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace ZkSourceTest
{
using namespace ZK::SoundEngine;
using ZkSoundFixtures::Bytes;

constexpr uint32_t kPcmKey = 0x10001;
constexpr ZkPlayingID kPlayingID = 77;

// A tone of the writer: rate, channels, frames, and further keys of the wave description (",..." JSON).
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

// A marker as a buffer of the source carried it to the voice.
struct SeenMarker
{
    uint32_t buffer;   // the index of the buffer
    uint32_t frame;    // in the buffer
    uint32_t id;
    std::string label; // empty without a label
    ZkPlayingID playingID;
};
// What the source's buffers carried: each buffer's result and first position, and its markers.
struct BufferWalk
{
    std::vector<ZKRESULT> results;
    std::vector<uint32_t> positions;
    std::vector<SeenMarker> markers;
};

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
        ASSERT_EQ(ZkVoiceLists::Init(), ZK_Success); // seeks queue a voice command; the started list
        media.Init();
        media.sourceType = static_cast<int32_t>(kPcmKey);
        instance = MakeInstance(media);
        ASSERT_NE(instance, nullptr);
    }
    void TearDown() override
    {
        for (CZkPlayingInstance* made : m_instances)
            CZkPlayingInstance::Free(made);
        m_instances.clear();
        CZkActiveInstances::Term(); // the end notices the sources posted, never applied here
        ZkVoiceLists::Term();
        PluginRegistry::Term();
        EngineMemoryTest::TearDown();
    }

    // Another media reference, of the PCM codec (the fixture keeps it until its instances are gone).
    ZkMediaRef& MoreMedia()
    {
        ZkMediaRef& more = m_moreMedia.emplace_back();
        more.Init();
        more.sourceType = static_cast<int32_t>(kPcmKey);
        return more;
    }
    // A playing instance of the media, on the started list as a play puts it there (the fixture
    // frees it).
    CZkPlayingInstance* MakeInstance(const ZkMediaRef& of, uint32_t startDelay = 0)
    {
        PlayLaunchParams params;
        params.playingID = kPlayingID;
        params.startDelaySamples = startDelay;
        CZkPlayingInstance* made = CZkPlayingInstance::Create(params, nullptr, &of, ZkPriorityRecord{});
        if (made == nullptr)
            return nullptr;
        m_instances.push_back(made);
        EXPECT_EQ(ZkVoiceLists::AddPlaying(made), ZK_Success);
        return made;
    }

    // Describes the media: storage kind, flags, ids, and the bytes of it in memory (made resident;
    // none: null). The bytes stay the test's: the reference never owns them.
    static void Describe(ZkMediaRef& of, uint32_t kind, uint32_t flags, ZkUniqueID mediaID, int32_t fileID,
                         const uint8_t* bytes, uint32_t size)
    {
        of.mediaID = mediaID;
        of.fileID = fileID;
        of.mediaSize = size;
        of.flags = kind << kMediaKindShift | flags | (bytes != nullptr ? kMediaFlagResident : 0u);
        of.data = const_cast<uint8_t*>(bytes);
    }
    // The instance plays bytes from memory (a bank's media).
    void PlayFromMemory(const Bytes& bytes)
    {
        Describe(media, kMediaKindInMemory, 0, 900, kNoFileID, bytes.data(), static_cast<uint32_t>(bytes.size()));
        instance->AcquireMedia();
    }
    // The instance streams bytes as the loose file of the id (its first prefetch bytes in memory).
    void PlayStreamed(uint32_t fileID, const Bytes& bytes, uint32_t prefetch = 0)
    {
        streams.files[fileID] = bytes;
        StreamLooseFile(fileID, prefetch != 0 ? streams.files[fileID].data() : nullptr, prefetch);
    }
    // The media are the loose file of the id, the prefetch bytes its first bytes (none: null).
    void StreamLooseFile(uint32_t fileID, const uint8_t* prefetch = nullptr, uint32_t prefetchSize = 0)
    {
        Describe(media, kMediaKindOwned, prefetch != nullptr ? kMediaFlagPrefetch : 0u, fileID,
                 static_cast<int32_t>(fileID), prefetch, prefetchSize);
        instance->AcquireMedia();
    }
    // Streamed as the loose file of the id, or from memory.
    void Play(bool streamed, uint32_t fileID, const Bytes& bytes)
    {
        if (streamed)
            PlayStreamed(fileID, bytes);
        else
            PlayFromMemory(bytes);
    }
    SourcePtr MakeSource()
    {
        const uint32_t kind = media.Kind() == kMediaKindInMemory ? kSourceKindInMemory : kSourceKindStreamed;
        return SourcePtr(CZkVoiceSource::Create(kind, instance->CodecKey(), instance));
    }
    ZKRESULT Start(CZkVoiceSource& source)
    {
        return source.StartOnce(instance->MediaData(), instance->MediaSize());
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

    // Plays bytes from memory and takes buffers of frames from a new source into a voice's marker
    // array, releasing each.
    BufferWalk WalkFromMemory(const Bytes& bytes, uint32_t buffers, uint16_t frames)
    {
        BufferWalk walk;
        PlayFromMemory(bytes);
        SourcePtr made = MakeSource();
        ZkVoiceMarkers markers;
        if (made == nullptr || markers.Init() != ZK_Success)
            return walk;
        CZkVoiceSource& source = *made;
        source.SetMarkers(&markers);
        EXPECT_EQ(Start(source), ZK_Success);
        for (uint32_t index = 0; index < buffers; ++index)
        {
            ZkPipelineBuffer block;
            block.maxFrames = frames;
            walk.results.push_back(source.GetBuffer(block));
            walk.positions.push_back(block.position.positionSamples);
            for (uint32_t m = 0; m < block.markers.count; ++m)
            {
                const ZkPipelineMarker& marker = markers[block.markers.first + m];
                walk.markers.push_back(SeenMarker{index, marker.position, marker.identifier,
                                                  marker.label != nullptr ? marker.label : "", marker.playingID});
            }
            markers.RemoveFront(block.markers.count);
            source.ReleaseBuffer();
        }
        return walk;
    }

    ChunkedStreamMgr streams;
    ZkMediaRef media;
    CZkPlayingInstance* instance = nullptr;
    std::vector<CZkPlayingInstance*> m_instances;
    std::deque<ZkMediaRef> m_moreMedia;
};
} // namespace ZkSourceTest
