// The source plug-in host with the test sources registered through the plug-in registry and with
// the built-in silence: its start (the plug-in named by the custom effect of the media's source
// id, its format, its parameters), its refusals (each leaving the pools as they were), buffers,
// time skips, seeks, the envelope in decibels, and what the plug-in reads through its contexts.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Effects/EffectObjectFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Sources/TestSourcePlugins.h"

#include "Plugins/Sources/ZkSilenceSource/ZkFXSrcSilence.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/Sources/CZkSrcPluginHost.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using namespace ZkSourceTest;

constexpr ZkPlayingID kPlayingID = 77;
constexpr ZkMemoryId kWatchedPools[] = {ZkMemID_Default, ZkMemID_BankObjects, ZkMemID_Processing,
                                        ZkMemID_ProcessingPlugins};

struct HostDeleter
{
    void operator()(CZkVoiceSource* source) const
    {
        source->StopStream();
        CZkVoiceSource::Destroy(source);
    }
};
using HostPtr = std::unique_ptr<CZkVoiceSource, HostDeleter>;

struct PoolUse
{
    uint64_t bytes[4];
    bool operator==(const PoolUse&) const = default;
};

PoolUse UseOfPools()
{
    PoolUse use{};
    for (uint32_t i = 0; i < 4; ++i)
    {
        ZK::MemoryMgr::CategoryStats stats{};
        ZK::MemoryMgr::GetCategoryStats(kWatchedPools[i], stats);
        use.bytes[i] = stats.usedBytes;
    }
    return use;
}

class SrcPluginHost : public ZkGameSyncTest::GameSyncTest
{
protected:
    void SetUp() override
    {
        GameSyncTest::SetUp();
        SetAudioFormatGlobals(48000, 1024);
        ASSERT_EQ(PluginRegistry::Init(nullptr), ZK_Success);
        ASSERT_EQ(RegisterTestSources(), ZK_Success);
        ASSERT_EQ(ZkVoiceLists::Init(), ZK_Success);
        media.Init();
        PlayPlugin(kProbeNumber, kTestCompany);
        PlayLaunchParams params;
        params.playingID = kPlayingID;
        instance = CZkPlayingInstance::Create(params, nullptr, &media, ZkPriorityRecord{});
        ASSERT_NE(instance, nullptr);
        EXPECT_EQ(ZkVoiceLists::AddPlaying(instance), ZK_Success);
    }
    void TearDown() override
    {
        ZK::MemoryMgr::FaultInjection::Disarm();
        CZkPlayingInstance::Free(instance);
        CZkActiveInstances::Term();
        ZkVoiceLists::Term();
        for (CZkEffectObject* effect : m_effects)
            effect->Release();
        m_effects.clear();
        PluginRegistry::Term();
        GameSyncTest::TearDown();
    }

public:
    // The media name the run-time custom effect of a plug-in (made here when needed).
    void PlayPlugin(uint32_t number, uint32_t company)
    {
        CZkEffectObject* effect = CZkEffectObject::FindOrCreateSourcePlugin(number, company);
        ASSERT_NE(effect, nullptr);
        m_effects.push_back(effect);
        media.mediaID = effect->ID();
        media.sourceType = static_cast<int32_t>(effect->pluginID);
    }
protected:
    HostPtr MakeHost()
    {
        CZkVoiceSource* made = CZkVoiceSource::Create(kSourceKindPlugin, static_cast<uint32_t>(media.sourceType), instance);
        EXPECT_NE(made, nullptr);
        return HostPtr(made);
    }
    static CZkSrcPluginHost& AsHost(const HostPtr& source) { return static_cast<CZkSrcPluginHost&>(*source); }
    HostPtr Started()
    {
        HostPtr host = MakeHost();
        EXPECT_EQ(host->StartOnce(nullptr, 0), ZK_Success);
        return host;
    }
    static ZKRESULT Pull(CZkVoiceSource& source, ZkPipelineBuffer& buffer, uint16_t frames)
    {
        buffer.maxFrames = frames;
        return source.GetBuffer(buffer);
    }

public:
    ZkMediaRef media;
    CZkPlayingInstance* instance = nullptr;
    std::vector<CZkEffectObject*> m_effects;
};

TEST_F(SrcPluginHost, StartsThePluginOfTheCustomEffectWithTheEngineFormat)
{
    HostPtr host = Started();
    CZkSrcPluginHost& plugin = AsHost(host);
    EXPECT_EQ(plugin.PluginID(), kProbeKey);
    EXPECT_NE(plugin.Plugin(), nullptr);
    EXPECT_EQ(g_log.formatAtInit.sampleRate, 48000u);
    EXPECT_EQ(g_log.formatAtInit.channelConfig.word, 0x4101u);
    EXPECT_EQ(g_log.formatAtInit.formatBits & 0x7FFFFu, 0x50120u);
    EXPECT_EQ(g_log.resets, 1u) << "reset once after Init";
    EXPECT_TRUE(plugin.ParameterHolder().IsFilled());
    EXPECT_EQ(instance->MediaFormat().sampleRate, 48000u);
    EXPECT_EQ(instance->MediaFormat().channelConfig.word, 0x4101u);
    EXPECT_EQ(instance->MediaFormat().formatBits, plugin.OutputFormat().formatBits);
    EXPECT_EQ(m_effects[0]->RefCount(), 2u) << "the parameter holder's reference only";
    EXPECT_EQ(m_effects[0]->ContextCount(), 1u);
    EXPECT_FALSE(host->HasNote(instance));
    EXPECT_FALSE(host->HasMatchingNote(&instance->MidiEvent()));

    host->StopStream();
    EXPECT_EQ(g_log.live, 0u);
    EXPECT_EQ(m_effects[0]->RefCount(), 1u);
    EXPECT_EQ(m_effects[0]->ContextCount(), 0u);
}

TEST_F(SrcPluginHost, AStereoFloatFormatWithBit18GetsBlockAlign8)
{
    g_script.stereoDerived = true;
    HostPtr host = Started();
    const ZkAudioFormat& format = AsHost(host).OutputFormat();
    EXPECT_EQ(format.BlockAlign(), 8u);
    EXPECT_EQ(instance->MediaFormat().channelConfig.word, ZkChannelConfig::kStereoWord);
    ZkPipelineBuffer buffer;
    EXPECT_EQ(Pull(*host, buffer, 256), ZK_DataReady);
    EXPECT_EQ(buffer.data, AsHost(host).OutputBuffer());
    EXPECT_EQ(buffer.channelConfig.word, ZkChannelConfig::kStereoWord);
    EXPECT_EQ(buffer.validFrames, 256u);
    host->ReleaseBuffer();
    EXPECT_EQ(AsHost(host).OutputBuffer(), nullptr) << "the buffer lives for one frame";
}

struct RefusalCase
{
    const char* what;
    std::function<void(SrcPluginHost&)> arrange;
    ZKRESULT result;
};

TEST_F(SrcPluginHost, ARefusedStartLeavesNothingBehind)
{
    // The objects of the cases are made first, so that the pools can be compared around the starts.
    const std::vector<RefusalCase> cases = {
        {"no effect object for the source id", [](SrcPluginHost& t) { t.media.mediaID = 0x1234; }, ZK_Fail},
        {"a plug-in that is not registered", [](SrcPluginHost& t) { t.PlayPlugin(9, kTestCompany); },
         ZK_PluginNotRegistered},
        {"a factory that gives nothing", [](SrcPluginHost& t) { t.PlayPlugin(kNullNumber, kTestCompany); }, ZK_Fail},
        {"another build version", [](SrcPluginHost&) { g_script.buildVersion = 517376; }, ZK_Fail},
        {"an effect's plug-in type", [](SrcPluginHost&) { g_script.infoType = ZK::ZkPluginTypeEffect; }, ZK_Fail},
        {"Init fails", [](SrcPluginHost&) { g_script.initResult = ZK_InsufficientMemory; }, ZK_InsufficientMemory},
        {"Reset fails", [](SrcPluginHost&) { g_script.resetResult = ZK_InvalidFile; }, ZK_InvalidFile},
    };
    for (const RefusalCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        g_script = ProbeScript{};
        PlayPlugin(kProbeNumber, kTestCompany);
        c.arrange(*this);
        HostPtr host = MakeHost();
        const PoolUse before = UseOfPools();
        EXPECT_EQ(host->StartOnce(nullptr, 0), c.result);
        EXPECT_FALSE(host->IsStarted());
        EXPECT_EQ(AsHost(host).Plugin(), nullptr);
        EXPECT_FALSE(AsHost(host).ParameterHolder().IsFilled());
        EXPECT_EQ(g_log.live, 0u);
        EXPECT_TRUE(UseOfPools() == before) << "the pools are back where they were";
        for (CZkEffectObject* effect : m_effects)
            EXPECT_EQ(effect->ContextCount(), 0u);
        ZkPipelineBuffer buffer;
        EXPECT_EQ(Pull(*host, buffer, 64), ZK_Fail) << "no plug-in, no data";
    }
    for (CZkEffectObject* effect : m_effects)
        EXPECT_EQ(effect->RefCount(), static_cast<uint32_t>(std::count(m_effects.begin(), m_effects.end(), effect)))
            << "only the test's references are left: the look-ups gave theirs back";
}

// The silence through the host: every allocation the start and the first buffer make may fail.
TEST_F(SrcPluginHost, EveryAllocationFailureGivesTwoAndLeavesThePoolsAsTheyWere)
{
    PlayPlugin(CZkSrcSilence::kPluginNumber, CZkSrcSilence::kCompany);
    ASSERT_NE(m_effects.back()->pluginParams, nullptr) << "the silence has parameters to clone";
    for (ZkMemoryId pool : kWatchedPools)
    {
        for (uint32_t n = 1;; ++n)
        {
            SCOPED_TRACE("pool " + std::to_string(pool) + ", allocation " + std::to_string(n));
            HostPtr host = MakeHost();
            const PoolUse before = UseOfPools();
            ZK::MemoryMgr::FaultInjection::FailNth(pool, n);
            ZKRESULT result = host->StartOnce(nullptr, 0);
            ZkPipelineBuffer buffer;
            if (result == ZK_Success)
                result = Pull(*host, buffer, 1024);
            const uint32_t failed = ZK::MemoryMgr::FaultInjection::FailedAllocations();
            ZK::MemoryMgr::FaultInjection::Disarm();
            if (failed == 0)
            {
                EXPECT_EQ(result, ZK_DataReady);
                break;
            }
            EXPECT_EQ(result, ZK_Fail);
            host->StopStream();
            EXPECT_TRUE(UseOfPools() == before);
            ASSERT_LT(n, 20u);
        }
    }
}

TEST_F(SrcPluginHost, AnEmptyRequestAnswers17WithoutCallingThePlugin)
{
    HostPtr host = Started();
    ZkPipelineBuffer buffer;
    EXPECT_EQ(Pull(*host, buffer, 0), ZK_NoMoreData);
    EXPECT_EQ(g_log.executes, 0u);
    EXPECT_EQ(AsHost(host).OutputBuffer(), nullptr);

    HostPtr idle = MakeHost();
    ZkPipelineBuffer none;
    none.data = &buffer;
    EXPECT_EQ(Pull(*idle, none, 64), ZK_Fail);
    EXPECT_EQ(none.data, nullptr);
    EXPECT_EQ(none.state, ZK_DataNeeded);
    EXPECT_FALSE(none.HasKnownPosition());
    EXPECT_EQ(none.position.rate, 1.0f);
    EXPECT_EQ(idle->GetDuration(), 0.0f);
    EXPECT_EQ(idle->StopLooping(), ZK_Fail);
    EXPECT_EQ(idle->GetEnvelopeValue(), 0.0f);
    uint32_t frames = 100;
    EXPECT_EQ(idle->SkipFrames(frames), ZK_DataReady);
}

TEST_F(SrcPluginHost, OnlyAVirtualStartFromTheBeginningResetsThePlugin)
{
    HostPtr host = Started();
    for (uint32_t behaviour : {1u, 2u, 0u})
    {
        const uint32_t resets = g_log.resets;
        host->EnterVirtual(behaviour);
        EXPECT_EQ(g_log.resets - resets, behaviour == 0 ? 1u : 0u) << "behaviour " << behaviour;
    }
}

TEST_F(SrcPluginHost, SkipsThroughThePluginOrItsBuffersWhenItAnswersZero)
{
    HostPtr host = Started();
    uint32_t frames = 512;
    EXPECT_EQ(host->SkipFrames(frames), ZK_DataReady);
    EXPECT_EQ(g_log.timeSkips, 1u);
    EXPECT_EQ(g_log.executes, 0u);

    g_script.timeSkipResult = ZK_NothingToReport;
    frames = 512;
    EXPECT_EQ(host->SkipFrames(frames), ZK_DataReady);
    EXPECT_EQ(g_log.timeSkips, 2u);
    EXPECT_EQ(g_log.executes, 1u) << "the base pulled a buffer";
    EXPECT_EQ(frames, 512u);
    EXPECT_EQ(AsHost(host).OutputBuffer(), nullptr) << "and gave it back";
}

TEST_F(SrcPluginHost, SeeksBySamplesAndByPercentOfThePluginsDuration)
{
    HostPtr host = Started();
    instance->SeekToSamples(4800);
    EXPECT_EQ(host->Seek(), ZK_Success);
    EXPECT_EQ(g_log.seekTarget, 4800u);
    EXPECT_EQ(instance->StopByte() & CZkPlayingInstance::kSeekMask, 0u);
    EXPECT_EQ(instance->SeekPosition(), 0u);

    instance->SeekToPercent(0.25f, false);
    EXPECT_EQ(host->Restart(), ZK_Success) << "a pending seek is carried out";
    EXPECT_EQ(g_log.seeks, 2u);
    EXPECT_EQ(g_log.seekTarget, 24000u) << "2000 ms x 0.25 at 48 kHz";
    EXPECT_EQ(instance->StopByte() & CZkPlayingInstance::kSeekMask, 0u);
    EXPECT_EQ(instance->SeekPosition(), 0u);
}

TEST_F(SrcPluginHost, TheEnvelopeInDecibelsIsWithinTwoHundredthsOfTheLogarithm)
{
    HostPtr host = Started();
    for (double exponent = -3.0; exponent <= 3.0; exponent += 0.125)
    {
        const double value = std::pow(10.0, exponent);
        g_script.envelope = static_cast<float>(value);
        EXPECT_NEAR(host->GetEnvelopeValue(), 20.0 * exponent, 0.02) << "envelope " << value;
    }
}

TEST_F(SrcPluginHost, ThePluginReadsItsInstanceThroughItsContexts)
{
    instance->SetLoopCount(0);
    HostPtr host = Started();
    EXPECT_TRUE(g_log.globalContext);
    EXPECT_TRUE(g_log.runtimeEnvironment);
    EXPECT_EQ(g_log.loops, 0u) << "0: loops forever";
    EXPECT_EQ(g_log.playingID, kPlayingID);
    EXPECT_EQ(g_log.priority, static_cast<int8_t>(instance->IntegerPriority()));
    EXPECT_FLOAT_EQ(g_log.pitchRatio, instance->GetPitchRatio());
    EXPECT_EQ(g_log.gameObject, ~ZkGameObjectID{0}) << "an instance of no game object";
    EXPECT_EQ(g_log.monitor, ZK_NotImplemented);
    EXPECT_EQ(g_log.outputID, ZK_Fail);
    EXPECT_EQ(g_log.parentConfigResult, ZK_Fail);
    EXPECT_EQ(g_log.parentConfigWord, 0u);
    EXPECT_EQ(g_log.downstreamGain, 1.0f);
    EXPECT_FALSE(g_log.canMonitor);
    EXPECT_EQ(g_log.customData, 0u);
    EXPECT_EQ(g_log.customDataPointer, nullptr);
    EXPECT_EQ(g_log.media0, nullptr) << "the custom effect lists no media";
    EXPECT_EQ(g_log.media0Size, 0u);
    EXPECT_EQ(g_log.emitterCount, 0u);
    EXPECT_EQ(g_log.emitter0Result, ZK_Fail);
    EXPECT_EQ(g_log.listenerCount, 0u);
}

// The bank's silence blocks as the writer cuts them: the effect object's read hands the block to the
// silence's parameters, which refuse one shorter than its three floats.
TEST_F(SrcPluginHost, TheEffectObjectOfASilenceRefusesABlockShorterThanThreeFloats)
{
    struct BlockCase
    {
        uint32_t size;
        ZKRESULT result;
        float duration;
    };
    for (const BlockCase& c : {BlockCase{0, ZK_Success, 1.0f}, BlockCase{8, ZK_InvalidFile, 0.0f},
                               BlockCase{12, ZK_Success, 0.5f}})
    {
        SCOPED_TRACE(std::to_string(c.size) + " bytes");
        const std::vector<ZkEffectTest::Item> items = ZkEffectTest::WriteItems(
            R"({"type": "silence", "id": 1, "effect": )" + std::to_string(900 + c.size) +
            R"(, "duration": 0.5, "block_size": )" + std::to_string(c.size) + "}");
        ASSERT_EQ(items.size(), 2u);
        ASSERT_EQ(items[0].type, 17u);
        CZkEffectObject* effect = CZkEffectObject::CreateCustom(900 + c.size);
        ASSERT_NE(effect, nullptr);
        m_effects.push_back(effect);
        EXPECT_EQ(effect->ReadFromBank(items[0].body.data(), static_cast<uint32_t>(items[0].body.size())), c.result);
        if (c.result != ZK_Success)
            continue;
        ASSERT_NE(effect->pluginParams, nullptr);
        EXPECT_EQ(static_cast<CZkSrcSilenceParams*>(effect->pluginParams)->durationSeconds, c.duration);
    }
}

TEST_F(SrcPluginHost, ReloadStartsTheSourceAgain)
{
    HostPtr host = Started();
    EXPECT_EQ(AsHost(host).Reload(), ZK_Success);
    EXPECT_EQ(g_log.resets, 2u);
    EXPECT_EQ(g_log.live, 1u) << "the first plug-in ended";
    EXPECT_EQ(m_effects[0]->ContextCount(), 1u);
    EXPECT_EQ(CZkSrcPluginHost::FramesPerBuffer(), 1024u);
}
} // namespace
