// The silence source driven directly: its parameters, its length in frames over loops and random
// extensions, seeks, time skips and the end of a loop, and lengths from a bank that a float or a
// 32-bit byte count cannot hold (not a number, infinite, huge). The source runs with the host's
// own contexts over no instance (one loop) or a loop count of the test's.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "Plugins/Sources/ZkSilenceSource/ZkFXSrcSilence.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Sources/CZkSrcPluginContexts.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>
#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kRate = 48000;
constexpr uint32_t kFloatMonoBits = 0x50120;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();
// Frames the 32-bit byte position counts at 4 bytes a sample over one loop.
constexpr uint64_t kMaxFramesOneLoop = 0xFFFFFFFFull / 4;

class LoopsContext final : public CZkSrcPluginContexts
{
public:
    explicit LoopsContext(uint16_t loops) : CZkSrcPluginContexts(nullptr), m_loops(loops) {}
    uint16_t GetNumLoops() const override { return m_loops; }

private:
    uint16_t m_loops;
};

struct Lengths
{
    float duration;
    float minimum;
    float maximum;
    uint16_t loops;
};

class SilenceSource : public ZkEngineTest::EngineMemoryTest
{
protected:
    void TearDown() override
    {
        Finish();
        EngineMemoryTest::TearDown();
    }

    // The source and its parameters of the last Start end.
    void Finish()
    {
        if (m_silence != nullptr)
            m_silence->Term(&CZkPluginMemAlloc::ForInstances());
        if (m_params != nullptr)
            m_params->Term(&CZkPluginMemAlloc::ForParameters());
        m_silence = nullptr;
        m_params = nullptr;
        m_context.reset();
    }

    // A new source (the last one ends) with these lengths, started at rate.
    CZkSrcSilence& Start(const Lengths& lengths, uint32_t rate = kRate)
    {
        Finish();
        m_params = static_cast<CZkSrcSilenceParams*>(CZkSrcSilenceParams::Create(&CZkPluginMemAlloc::ForParameters()));
        m_silence = static_cast<CZkSrcSilence*>(CZkSrcSilence::Create(&CZkPluginMemAlloc::ForInstances()));
        EXPECT_NE(m_params, nullptr);
        EXPECT_NE(m_silence, nullptr);
        m_params->durationSeconds = lengths.duration;
        m_params->randomMinSeconds = lengths.minimum;
        m_params->randomMaxSeconds = lengths.maximum;
        m_context = std::make_unique<LoopsContext>(lengths.loops);
        ZkAudioFormat format;
        format.sampleRate = rate;
        format.formatBits = kFloatMonoBits;
        EXPECT_EQ(m_silence->Init(&CZkPluginMemAlloc::ForInstances(), m_context.get(), m_params, format), ZK_Success);
        EXPECT_EQ(m_silence->Reset(), ZK_Success);
        return *m_silence;
    }

    // Every frame the source gives through Execute in buffers of 1024 (each one zero), until 17.
    static uint64_t FramesExecuted(CZkSrcSilence& silence, uint32_t limit = 100000)
    {
        std::vector<float> samples(1024);
        uint64_t total = 0;
        for (uint32_t call = 0; call < limit; ++call)
        {
            std::fill(samples.begin(), samples.end(), 7.0f);
            ZkAudioBuffer buffer;
            buffer.data = samples.data();
            buffer.maxFrames = 1024;
            silence.Execute(&buffer);
            for (uint32_t i = 0; i < buffer.validFrames; ++i)
                EXPECT_EQ(samples[i], 0.0f) << "frame " << total + i;
            total += buffer.validFrames;
            if (buffer.state == ZK_NoMoreData)
                return total;
            EXPECT_EQ(buffer.state, ZK_DataReady);
            EXPECT_EQ(buffer.validFrames, 1024u);
        }
        ADD_FAILURE() << "no end after " << limit << " buffers";
        return total;
    }

    CZkSrcSilenceParams* m_params = nullptr;
    CZkSrcSilence* m_silence = nullptr;
    std::unique_ptr<LoopsContext> m_context;
};

struct LengthCase
{
    const char* what;
    Lengths lengths;
    uint32_t rate;
    uint64_t frames;
    float durationMs;
};

TEST_F(SilenceSource, LastsWholeFramesOfItsLengthOverEveryLoop)
{
    const LengthCase cases[] = {
        {"duration 0 still lasts 1 ms", {0.0f, 0.0f, 0.0f, 1}, 48000, 48, 1.0f},
        {"a negative duration lasts 1 ms", {-2.0f, 0.0f, 0.0f, 1}, 48000, 48, 1.0f},
        {"three loops of 0.5 s", {0.5f, 0.0f, 0.0f, 3}, 48000, 72000, 1500.0f},
        {"a fixed extension of 0.2 s", {0.5f, 0.2f, 0.2f, 1}, 48000, 24000 + 9600, 700.0f},
        {"an extension that shortens", {0.5f, -0.25f, -0.25f, 2}, 48000, 2 * 12000, 500.0f},
        {"half a second at 44.1 kHz", {0.5f, 0.0f, 0.0f, 1}, 44100, 22050, 500.0f},
        {"one whole frame below 1 ms at 44.1 kHz", {0.0f, 0.0f, 0.0f, 1}, 44100, 44, 1.0f},
    };
    for (const LengthCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        CZkSrcSilence& silence = Start(c.lengths, c.rate);
        EXPECT_NEAR(silence.GetDuration(), c.durationMs, 1e-3f);
        EXPECT_EQ(FramesExecuted(silence), c.frames);
    }
}

TEST_F(SilenceSource, AnExtensionLengthensEveryPlayByTheSameFrames)
{
    for (int play = 0; play < 3; ++play)
    {
        CZkSrcSilence& silence = Start({1.0f, 0.2f, 0.2f, 1});
        EXPECT_EQ(FramesExecuted(silence), 48000u + 9600u) << "play " << play;
    }
}

TEST_F(SilenceSource, DrawsItsExtensionFromTheEngineGenerator)
{
    for (uint64_t seed : {1ull, 12345ull, 0xDEADBEEFCAFEull})
    {
        ZK::ZkLcg64::Engine().Seed(seed);
        CZkSrcSilence& silence = Start({0.25f, 0.1f, 0.3f, 1});
        std::istringstream oracle(ZkEngineTest::RunPythonOracle(
            "SDK/source/SoundEngine/ZkAudiolib/Common/Sources/silence_offset_oracle.py",
            std::to_string(seed) + " 0.1 0.3"));
        uint64_t draw = 0;
        double extension = 0.0;
        ASSERT_TRUE(oracle >> draw >> extension) << "the oracle printed nothing";
        EXPECT_EQ(silence.RandomOffsetSeconds(), static_cast<float>(extension)) << "seed " << seed;
        const double seconds = 0.25 + extension;
        EXPECT_EQ(FramesExecuted(silence), static_cast<uint64_t>(std::lround(seconds * kRate)));
    }
}

TEST_F(SilenceSource, SeeksWithinItsTotalOnly)
{
    CZkSrcSilence& silence = Start({0.5f, 0.0f, 0.0f, 2});
    EXPECT_EQ(silence.Seek(48000), ZK_Fail) << "at the total (two loops of 24000 frames)";
    EXPECT_EQ(silence.Seek(60000), ZK_Fail);
    EXPECT_EQ(silence.Seek(47999), ZK_Success) << "one frame before the total";
    uint32_t frames = 10;
    EXPECT_EQ(silence.TimeSkip(frames), ZK_NoMoreData);
    EXPECT_EQ(frames, 1u);
    EXPECT_EQ(silence.Seek(0), ZK_Success);
    EXPECT_EQ(FramesExecuted(silence), 48000u);
}

TEST_F(SilenceSource, TimeSkipsServeCutOrLoopForever)
{
    CZkSrcSilence& silence = Start({0.01f, 0.0f, 0.0f, 1}); // 480 frames
    uint32_t frames = 300;
    EXPECT_EQ(silence.TimeSkip(frames), ZK_DataReady);
    EXPECT_EQ(frames, 300u);
    frames = 300;
    EXPECT_EQ(silence.TimeSkip(frames), ZK_NoMoreData) << "cut at the end";
    EXPECT_EQ(frames, 180u);
    frames = 5;
    EXPECT_EQ(silence.TimeSkip(frames), ZK_NoMoreData) << "none left";
    EXPECT_EQ(frames, 0u);

    CZkSrcSilence& endless = Start({0.01f, 0.0f, 0.0f, 0});
    EXPECT_EQ(endless.GetDuration(), 0.0f);
    EXPECT_EQ(endless.Seek(1u << 30), ZK_Success) << "an endless loop takes any seek";
    for (int call = 0; call < 10; ++call)
    {
        frames = 4000;
        EXPECT_EQ(endless.TimeSkip(frames), ZK_DataReady);
        EXPECT_EQ(frames, 4000u);
    }
}

TEST_F(SilenceSource, StopLoopingEndsAnEndlessLoopAfterOnePass)
{
    CZkSrcSilence& silence = Start({0.01f, 0.0f, 0.0f, 0});
    std::vector<float> samples(1024);
    for (int call = 0; call < 20; ++call)
    {
        ZkAudioBuffer buffer;
        buffer.data = samples.data();
        buffer.maxFrames = 1024;
        silence.Execute(&buffer);
        EXPECT_EQ(buffer.state, ZK_DataReady);
        EXPECT_EQ(buffer.validFrames, 1024u);
    }
    EXPECT_EQ(silence.StopLooping(), ZK_Success);
    EXPECT_FLOAT_EQ(silence.GetDuration(), 10.0f);
    EXPECT_EQ(FramesExecuted(silence), 480u);
}

struct BankLengthCase
{
    const char* what;
    Lengths lengths;
    uint64_t frames; // of the whole play
};

// Lengths a float from a bank may hold that neither a conversion to whole frames nor a 32-bit byte
// count can take: the source counts them as the minimum (not a number, below 0) or holds them to
// what its byte position counts.
TEST_F(SilenceSource, LengthsBeyondItsBytePositionAreClampedNotWrapped)
{
    const BankLengthCase cases[] = {
        {"a duration that is not a number", {kNaN, 0.0f, 0.0f, 1}, 48},
        {"an extension that is not a number", {1.0f, kNaN, kNaN, 1}, 48},
        {"minus infinity", {-kInfinity, 0.0f, 0.0f, 1}, 48},
        {"plus infinity", {kInfinity, 0.0f, 0.0f, 1}, kMaxFramesOneLoop},
        {"10^9 s", {1e9f, 0.0f, 0.0f, 1}, kMaxFramesOneLoop},
        {"an extension of 10^9 s", {1.0f, 1e9f, 1e9f, 1}, kMaxFramesOneLoop},
        {"30,000 s, past 2^32 bytes", {30000.0f, 0.0f, 0.0f, 1}, kMaxFramesOneLoop},
        {"8,000 s three times, past 2^32 bytes", {8000.0f, 0.0f, 0.0f, 3}, 3 * (0xFFFFFFFFull / 12)},
        {"20,000 s, within 2^32 bytes", {20000.0f, 0.0f, 0.0f, 1}, 20000ull * kRate},
    };
    for (const BankLengthCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        CZkSrcSilence& silence = Start(c.lengths);
        const double playedMs = static_cast<double>(c.frames) * 1000.0 / kRate;
        EXPECT_NEAR(silence.GetDuration(), playedMs, 1e-5 * playedMs + 1e-3) << "the duration reported is the length played";
        uint64_t served = 0;
        for (ZKRESULT result = ZK_DataReady; result == ZK_DataReady;)
        {
            uint32_t frames = 0x7FFFFFFF;
            result = silence.TimeSkip(frames);
            served += frames;
            ASSERT_LE(served, c.frames) << "served past its total";
        }
        EXPECT_EQ(served, c.frames);
        EXPECT_EQ(silence.Seek(static_cast<uint32_t>(c.frames - 1)), ZK_Success) << "one frame before the total";
        EXPECT_EQ(silence.Seek(static_cast<uint32_t>(c.frames)), ZK_Fail) << "at the total";
    }
}

TEST_F(SilenceSource, ParametersTakeThreeFloatsAndRefuseShortBlocks)
{
    m_params = static_cast<CZkSrcSilenceParams*>(CZkSrcSilenceParams::Create(&CZkPluginMemAlloc::ForParameters()));
    ASSERT_NE(m_params, nullptr);
    CZkSrcSilenceParams* params = m_params;
    EXPECT_EQ(params->Init(&CZkPluginMemAlloc::ForParameters(), nullptr, 0), ZK_Success);
    EXPECT_EQ(params->durationSeconds, 1.0f);
    EXPECT_EQ(params->randomMinSeconds, 0.0f);
    EXPECT_EQ(params->randomMaxSeconds, 0.0f);

    const float value = 0.75f;
    struct SetCase
    {
        uint16_t id;
        const void* value;
        ZKRESULT result;
    };
    for (const SetCase& c : {SetCase{0, &value, ZK_Success}, SetCase{1, &value, ZK_Success}, SetCase{2, &value, ZK_Success},
                             SetCase{3, &value, ZK_InvalidParameter}, SetCase{0, nullptr, ZK_InvalidParameter}})
        EXPECT_EQ(params->SetParam(c.id, c.value, sizeof(float)), c.result) << "id " << c.id;
    EXPECT_EQ(params->durationSeconds, 0.75f);
    EXPECT_EQ(params->randomMaxSeconds, 0.75f);

    // Blocks of exactly their size on the heap: a read past one is seen by the address sanitizer.
    for (uint32_t size : {1u, 4u, 8u, 11u})
    {
        std::unique_ptr<uint8_t[]> block(new uint8_t[size]());
        EXPECT_EQ(params->Init(&CZkPluginMemAlloc::ForParameters(), block.get(), size), ZK_InvalidFile) << size << " bytes";
    }
    EXPECT_EQ(params->durationSeconds, 0.75f) << "a refused block changes nothing";
    const float three[3] = {2.0f, 0.5f, 1.5f};
    std::unique_ptr<uint8_t[]> block(new uint8_t[12]);
    std::memcpy(block.get(), three, 12);
    EXPECT_EQ(params->Init(&CZkPluginMemAlloc::ForParameters(), block.get(), 12), ZK_Success);
    ZK::IZkPluginParam* clone = params->Clone(&CZkPluginMemAlloc::ForParameters());
    ASSERT_NE(clone, nullptr);
    const auto* copied = static_cast<CZkSrcSilenceParams*>(clone);
    EXPECT_EQ(copied->durationSeconds, 2.0f);
    EXPECT_EQ(copied->randomMinSeconds, 0.5f);
    EXPECT_EQ(copied->randomMaxSeconds, 1.5f);
    clone->Term(&CZkPluginMemAlloc::ForParameters());
}

TEST_F(SilenceSource, IsRegisteredAsSource101OfCompany0)
{
    ASSERT_EQ(PluginRegistry::Init(nullptr), ZK_Success);
    const ZkPluginEntry* entry = PluginRegistry::GetPluginEntry(0x00650002);
    ASSERT_NE(entry, nullptr);
    EXPECT_NE(entry->createFunc, nullptr);
    EXPECT_NE(entry->createParamFunc, nullptr);
    ZK::IZkPlugin* plugin = nullptr;
    ZK::ZkPluginInfo info;
    ASSERT_EQ(PluginRegistry::CreatePlugin(0x00650002, plugin, &CZkPluginMemAlloc::ForInstances(), info), ZK_Success);
    EXPECT_EQ(info.type, 2u);
    EXPECT_EQ(info.buildVersion, 517377u);
    auto* source = static_cast<ZK::IZkSourcePlugin*>(plugin);
    EXPECT_FALSE(source->SupportsNotes());
    EXPECT_EQ(source->GetNoteQuery(), 0u);
    EXPECT_EQ(source->GetEnvelope(), 1.0f);
    plugin->Term(&CZkPluginMemAlloc::ForInstances());
    PluginRegistry::Term();
}
} // namespace
