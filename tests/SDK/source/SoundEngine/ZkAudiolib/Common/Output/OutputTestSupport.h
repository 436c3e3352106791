// Shared by the output-device tests: sinks and an effect of the tests' own, registered through the
// plug-in registry with scripted answers and a record of every call; share-set objects in the object
// index that name them; a recorder of the audio-device status callback; and a fixture that runs the
// memory manager, an object index, the engine's audio format (48 kHz, 1024 frames) and, at the end,
// the devices' termination, with an empty virtual audio system as the platform's endpoints (no
// test reaches the machine's sound system).
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Effects/EffectObjectTestSupport.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>
#include <ZK/SoundEngine/Common/IZkSinkPlugin.h>

#include <gtest/gtest.h>

#include <new>
#include <vector>

namespace ZkOutputTest
{
using namespace ZK::SoundEngine;

constexpr uint32_t kTestCompany = 64;
constexpr uint32_t kSystemSinkNumber = 174; // what the "System" share set names
constexpr uint32_t kOtherSinkNumber = 201;
constexpr uint32_t kEffectNumber = 7;

constexpr uint32_t SinkKey(uint32_t number, uint32_t company = 0)
{
    return ZK::ZkMakePluginKey(ZK::ZkPluginTypeSink, company, number);
}
constexpr ZkChannelConfig kStereo{ZkChannelConfig::kStereoWord};

// What every test sink answers; tests change it between calls.
struct SinkScript
{
    ZKRESULT initResult = ZK_Success;
    ZKRESULT resetResult = ZK_Success;
    ZKRESULT dataNeededResult = ZK_Success;
    uint32_t buffers = 1;
    ZkChannelConfig accept;            // 0: the requested configuration (stereo when none)
    uint32_t kind = ZK::kZkSinkKind3DAudio;
};

struct ConsumeCall
{
    ZkRamp ramp;
    uint16_t frames;
    float firstSample;
};

struct SinkLog
{
    uint32_t created = 0;
    uint32_t inits = 0;
    uint32_t terms = 0;
    uint32_t dataReady = 0;
    uint32_t deviceID = 0;
    uint32_t pluginID = 0;
    std::vector<ConsumeCall> consumed;
};

// The script of the "System" sink and the one of the other test sink.
inline SinkScript g_sinkScript;
inline SinkScript g_otherSinkScript;
inline SinkLog g_sinkLog;

class ScriptedSink final : public ZK::IZkSinkPlugin
{
public:
    static ZK::IZkPlugin* Create(ZK::IZkPluginMemAlloc* allocator)
    {
        void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(ScriptedSink));
        if (memory == nullptr)
            return nullptr;
        ++g_sinkLog.created;
        return new (memory) ScriptedSink;
    }
    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override
    {
        ++g_sinkLog.terms;
        this->~ScriptedSink();
        ZK_PLUGIN_FREE(allocator, this);
        return ZK_Success;
    }
    ZKRESULT Reset() override { return m_script->resetResult; }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override
    {
        info = ZK::ZkPluginInfo{};
        info.type = ZK::ZkPluginTypeSink;
        info.buildVersion = ZK::ZK_PLUGIN_BUILD_VERSION;
        return ZK_Success;
    }
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkSinkPluginContext* context, ZK::IZkPluginParam*,
                  ZkChannelConfig& config) override
    {
        ++g_sinkLog.inits;
        context->GetOutputID(g_sinkLog.deviceID, g_sinkLog.pluginID);
        m_script = g_sinkLog.pluginID == SinkKey(kOtherSinkNumber, kTestCompany) ? &g_otherSinkScript : &g_sinkScript;
        if (m_script->accept.word != 0)
            config = m_script->accept;
        else if (config.word == 0)
            config = kStereo;
        return m_script->initResult;
    }
    ZKRESULT IsDataNeeded(uint32_t& buffers) override
    {
        buffers = m_script->buffers;
        return m_script->dataNeededResult;
    }
    void DataReady() override { ++g_sinkLog.dataReady; }
    bool IsStarved() override { return false; }
    void ResetStarved() override {}
    uint32_t SinkKind() override { return m_script->kind; }
    ZKRESULT GetCapabilities(ZK::Zk3DAudioSinkCapabilities& capabilities) override
    {
        capabilities = ZK::Zk3DAudioSinkCapabilities{};
        capabilities.channelConfig = kStereo;
        return ZK_Success;
    }
    uint32_t Consume(ZkAudioBuffer* main, ZkAudioBuffer*, ZkAudioObjects*, ZkRamp ramp) override
    {
        g_sinkLog.consumed.push_back({ramp, main->validFrames, static_cast<const float*>(main->data)[0]});
        return main->validFrames;
    }

private:
    const SinkScript* m_script = &g_sinkScript;
};

// An in-place effect that scales the buffer by its gain.
struct EffectLog
{
    uint32_t executes = 0;
    uint32_t resets = 0;
    uint32_t inits = 0;
    uint32_t terms = 0;
    ZK::ZkEffectFormat format;
};
inline EffectLog g_effectLog;
inline ZKRESULT g_effectInitResult = ZK_Success;
inline uint8_t g_effectInPlace = 1;
inline float g_effectGain = 0.5f;

class GainEffect final : public ZK::IZkInPlaceEffectPlugin
{
public:
    static ZK::IZkPlugin* Create(ZK::IZkPluginMemAlloc* allocator)
    {
        void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(GainEffect));
        return memory != nullptr ? new (memory) GainEffect : nullptr;
    }
    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override
    {
        ++g_effectLog.terms;
        this->~GainEffect();
        ZK_PLUGIN_FREE(allocator, this);
        return ZK_Success;
    }
    ZKRESULT Reset() override
    {
        ++g_effectLog.resets;
        return ZK_Success;
    }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override
    {
        info = ZK::ZkPluginInfo{};
        info.type = ZK::ZkPluginTypeEffect;
        info.buildVersion = ZK::ZK_PLUGIN_BUILD_VERSION;
        info.processesInPlace = g_effectInPlace;
        return ZK_Success;
    }
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkEffectPluginContext* context, ZK::IZkPluginParam*,
                  ZK::ZkEffectFormat& format) override
    {
        ++g_effectLog.inits;
        g_effectLog.format = format;
        ZkChannelConfig output;
        EXPECT_EQ(context->GetOutputConfig(output), ZK_Success);
        EXPECT_EQ(output, format.channelConfig);
        return g_effectInitResult;
    }
    void Execute(ZkAudioBuffer* buffer) override
    {
        ++g_effectLog.executes;
        for (uint32_t channel = 0; channel < buffer->NumChannels(); ++channel)
        {
            float* samples = buffer->GetChannel(channel);
            for (uint32_t frame = 0; frame < buffer->validFrames; ++frame)
                samples[frame] *= g_effectGain;
        }
    }
    ZKRESULT SkipTime(uint32_t&) override { return ZK_Success; }
};

// Effect objects (and audio-device share sets) of the tests: real objects in their tables.
inline CZkEffectObject* CreateEffectObject(ZkIndexKind kind, ZkUniqueID id, uint32_t pluginID)
{
    return ZkEffectTest::MakeEffect(kind, id, pluginID);
}

struct StatusEvent
{
    uint32_t shareSet;
    uint32_t device;
    ZkAudioDeviceEvent event;
    ZKRESULT result;
};
inline std::vector<StatusEvent> g_statusEvents;

inline void RecordStatus(ZK::IZkGlobalPluginContext*, uint32_t shareSet, uint32_t device, ZkAudioDeviceEvent event,
                         ZKRESULT result)
{
    g_statusEvents.push_back({shareSet, device, event, result});
}

class OutputTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        g_pObjectIndex = ZK::ZkNew<ObjectIndex>(ZkMemID_EngineSingletons);
        ASSERT_TRUE(g_pObjectIndex->InitTables());
        SetAudioFormatGlobals(48000, 1024);
        g_sinkScript = SinkScript{};
        g_otherSinkScript = SinkScript{};
        g_sinkLog = SinkLog{};
        g_effectLog = EffectLog{};
        g_effectInitResult = ZK_Success;
        g_effectInPlace = 1;
        g_statusEvents.clear();
        g_offlineRendering = 0;
        g_engineInitialized = 0;
        CZkOutputDeviceMgr::SetAudioDeviceStatusCallback(&RecordStatus);
        ASSERT_EQ(PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeSink, 0, kSystemSinkNumber, &ScriptedSink::Create,
                                                 nullptr, nullptr),
                  ZK_Success);
        ASSERT_EQ(PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeSink, kTestCompany, kOtherSinkNumber,
                                                 &ScriptedSink::Create, nullptr, nullptr),
                  ZK_Success);
        ASSERT_EQ(PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeEffect, kTestCompany, kEffectNumber,
                                                 &GainEffect::Create, nullptr, nullptr),
                  ZK_Success);
    }
    void TearDown() override
    {
        CZkOutputDeviceMgr::TermDevices();
        CZkOutputDeviceMgr::SetAudioDeviceStatusCallback(nullptr);
        CZkAudioRenderer::ClearGraphDirty();
        PluginRegistry::Term();
        g_pObjectIndex->FreeTables();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pObjectIndex);
        g_pObjectIndex = nullptr;
        g_offlineRendering = 0;
        g_engineInitialized = 0;
        SetAudioFormatGlobals(48000, 1024);
        AudioBufferPool::Flush(); // the devices' buffers went back to the pool's lists
        EngineMemoryTest::TearDown();
    }

    static ZkOutputSettings Settings(uint32_t shareSet, uint32_t device = 0, ZkChannelConfig config = kStereo)
    {
        ZkOutputSettings settings;
        settings.audioDeviceShareSetID = shareSet;
        settings.idDevice = device;
        settings.channelConfig = config;
        return settings;
    }
    // The main output on "System" (its test sink).
    static CZkOutputDevice* StartMainOutput()
    {
        EXPECT_EQ(CZkOutputDeviceMgr::ReplaceMainOutput(Settings(0)), ZK_Success);
        return CZkOutputDeviceMgr::GetMainDevice();
    }

    ZK::Platform::ScopedVirtualAudioSystem m_audioSystem;
};
} // namespace ZkOutputTest
