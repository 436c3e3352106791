// What the effect-stage tests share: test effect plug-ins (in place, out of place, on audio objects)
// registered through the plug-in registry, an effect object (real, with one initial value), a voice as a mix
// context, and blocks over test memory.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Effects/EffectObjectTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/TestMixContext.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>
#include <ZkAudiolib/Common/Buffers/AudioBufferPool.h>
#include <ZkAudiolib/Common/Containers/ZkNew.h>
#include <ZkAudiolib/Common/ObjectIndex/ObjectIndex.h>
#include <ZkAudiolib/Common/Effects/CZkEffectObject.h>
#include <ZkAudiolib/Common/Plugins/PluginRegistry.h>
#include <ZkAudiolib/Common/Effects/CZkEffectContext.h>
#include <ZkAudiolib/Common/Voice/Neighbours/ZkAudioObjects.h>
#include <ZkAudiolib/Common/Voice/ZkAudioSettings.h>
#include <ZkAudiolib/Common/Voice/ZkPipelineBuffer.h>
#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>
#include <ZK/SoundEngine/Common/ZkPluginRegistration.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <vector>

namespace EffectStageTest
{
using namespace ZK::SoundEngine;

constexpr uint32_t kCompany = 64;
constexpr uint32_t kInPlaceID = 1;
constexpr uint32_t kOutOfPlaceID = 2;
constexpr uint32_t kObjectsID = 3;
constexpr uint32_t kRefusesInPlaceID = 4;

// What the plug-ins did, and what they are told to do.
struct PluginLog
{
    uint32_t inits = 0;
    uint32_t resets = 0;
    uint32_t executes = 0;
    uint32_t terms = 0;
    uint32_t skips = 0;
    uint32_t tailFrames = 0;        // frames of tail the in-place plug-in gives after the end
    ZkChannelConfig outOfPlaceOutput = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    uint32_t objectsSeen = 0;
    uint64_t firstObjectKey = 0;
    uint32_t firstObjectMask = 0;
    float firstObjectGain = 0.0f;
    uint32_t attachedBuffers = 0;
};
inline PluginLog g_log;

template <typename Plugin>
ZK::IZkPlugin* CreateIn(ZK::IZkPluginMemAlloc* allocator)
{
    void* memory = allocator->Malloc(sizeof(Plugin), __FILE__, __LINE__);
    return memory != nullptr ? new (memory) Plugin : nullptr;
}

// The plug-in calls every test plug-in shares.
template <typename Interface, bool InPlace>
class TestPlugin : public Interface
{
public:
    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override
    {
        ++g_log.terms;
        this->~TestPlugin();
        allocator->Free(this);
        return ZK_Success;
    }
    ZKRESULT Reset() override
    {
        ++g_log.resets;
        return ZK_Success;
    }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override
    {
        info = ZK::ZkPluginInfo{};
        info.type = ZK::ZkPluginTypeEffect;
        info.buildVersion = ZK::ZK_PLUGIN_BUILD_VERSION;
        info.processesInPlace = InPlace ? 1 : 0;
        return ZK_Success;
    }
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkEffectPluginContext*, ZK::IZkPluginParam*, ZK::ZkEffectFormat&) override
    {
        ++g_log.inits;
        return ZK_Success;
    }
    ZKRESULT SkipTime(uint32_t&) override
    {
        ++g_log.skips;
        return ZK_Success;
    }
};

// Halves the block; after the input ended it gives tailFrames frames of 0.25 once.
class HalvingEffect final : public TestPlugin<ZK::IZkInPlaceEffectPlugin, true>
{
public:
    void Execute(ZkAudioBuffer* buffer) override
    {
        ++g_log.executes;
        for (uint32_t c = 0; c < buffer->NumChannels(); ++c)
            for (uint32_t k = 0; k < buffer->validFrames; ++k)
                buffer->GetChannel(c)[k] *= 0.5f;
        if (buffer->state == ZK_NoMoreData && g_log.tailFrames != 0)
        {
            buffer->validFrames = static_cast<uint16_t>(g_log.tailFrames);
            for (uint32_t c = 0; c < buffer->NumChannels(); ++c)
                std::fill_n(buffer->GetChannel(c), g_log.tailFrames, 0.25f);
            g_log.tailFrames = 0;
        }
    }
};

// Works only out of place: asked to start in place, it answers 4.
class RefusesInPlaceEffect final : public TestPlugin<ZK::IZkInPlaceEffectPlugin, true>
{
public:
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkEffectPluginContext*, ZK::IZkPluginParam*, ZK::ZkEffectFormat&) override
    {
        return ZK_NotImplemented;
    }
    void Execute(ZkAudioBuffer*) override { ++g_log.executes; }
};

// Sums every input channel into each output channel, as much as the output has room for.
class SummingEffect final : public TestPlugin<ZK::IZkOutOfPlaceEffectPlugin, false>
{
public:
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkEffectPluginContext*, ZK::IZkPluginParam*,
                  ZK::ZkEffectFormat& format) override
    {
        ++g_log.inits;
        format.channelConfig = g_log.outOfPlaceOutput;
        return ZK_Success;
    }
    void Execute(ZkAudioBuffer* in, uint32_t inOffset, ZkAudioBuffer* out) override
    {
        ++g_log.executes;
        const uint32_t frames = std::min<uint32_t>(in->validFrames, out->maxFrames - out->validFrames);
        for (uint32_t k = 0; k < frames; ++k)
        {
            float sum = 0.0f;
            for (uint32_t c = 0; c < in->NumChannels(); ++c)
                sum += in->GetChannel(c)[inOffset + k];
            for (uint32_t c = 0; c < out->NumChannels(); ++c)
                out->GetChannel(c)[out->validFrames + k] = sum;
        }
        in->validFrames = static_cast<uint16_t>(in->validFrames - frames);
        out->validFrames = static_cast<uint16_t>(out->validFrames + frames);
        if (out->validFrames == out->maxFrames)
            out->state = ZK_DataReady;
        else
            out->state = in->state == ZK_NoMoreData ? ZK_NoMoreData : ZK_DataNeeded;
    }
};

// Doubles the first object's buffer, checks its metadata and attaches a buffer of its own.
class ObjectDoublingEffect final : public TestPlugin<ZK::IZkObjectEffectPlugin, true>
{
public:
    void Execute(ZkAudioObjects* objects) override
    {
        ++g_log.executes;
        g_log.objectsSeen = objects->count;
        ZkAudioObject& first = objects->objects[0];
        g_log.firstObjectKey = first.key;
        g_log.firstObjectMask = first.channelMask;
        g_log.firstObjectGain = first.gain.previous * first.gain.next;
        for (uint32_t c = 0; c < first.buffer.NumChannels(); ++c)
            for (uint32_t k = 0; k < first.buffer.validFrames; ++k)
                first.buffer.GetChannel(c)[k] *= 2.0f;
        ZkAudioObject& attached = objects->objects[objects->count];
        attached.buffer.channelConfig = ZkChannelConfig::Anonymous(1);
        if (AudioBufferPool::GetCachedBuffer(attached.buffer) == ZK_Success)
        {
            ++objects->count;
            ++g_log.attachedBuffers;
        }
    }
};

// A pipeline block over test memory.
struct Block
{
    std::vector<float> samples;
    ZkPipelineBuffer buffer;
    Block(ZkChannelConfig config, uint16_t frames, float value = 1.0f) : samples(size_t{config.NumChannels()} * frames, value)
    {
        buffer.AttachData(samples.data(), frames, config);
        buffer.status = ZK_DataReady;
        buffer.state = ZK_DataReady;
    }
    float At(uint32_t channel, uint32_t frame) const { return buffer.GetChannel(channel)[frame]; }
};

// The memory manager, the registry with the test plug-ins, a voice and an effect object.
class EffectStageFixture : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        SetAudioFormatGlobals(48000, 1024);
        g_log = PluginLog{};
        g_pObjectIndex = ZK::ZkNew<ObjectIndex>(ZkMemID_EngineSingletons);
        ASSERT_TRUE(g_pObjectIndex->InitTables());
        ZkEffectTest::EffectFields fields;
        fields.initialValues = {{0, 0, 1.0f}};
        effectObject = ZkEffectTest::MakeEffect(ZkIndexKind::CustomEffects, 0x5EFF, fields);
        ASSERT_EQ(PluginRegistry::Init(nullptr), ZK_Success);
        ASSERT_EQ(PluginRegistry::RegisterPlugin(3, kCompany, kInPlaceID, CreateIn<HalvingEffect>, nullptr, nullptr), ZK_Success);
        ASSERT_EQ(PluginRegistry::RegisterPlugin(3, kCompany, kOutOfPlaceID, CreateIn<SummingEffect>, nullptr, nullptr), ZK_Success);
        ASSERT_EQ(PluginRegistry::RegisterPlugin(3, kCompany, kObjectsID, CreateIn<ObjectDoublingEffect>, nullptr, nullptr), ZK_Success);
        ASSERT_EQ(PluginRegistry::RegisterPlugin(3, kCompany, kRefusesInPlaceID, CreateIn<RefusesInPlaceEffect>, nullptr, nullptr),
                  ZK_Success);
    }
    void TearDown() override
    {
        AudioBufferPool::Flush();
        PluginRegistry::Term();
        if (effectObject != nullptr)
            effectObject->Release();
        ZK::ZkDelete(ZkMemID_EngineSingletons, g_pObjectIndex);
        g_pObjectIndex = nullptr;
        EngineMemoryTest::TearDown();
    }
    // A registered plug-in whose info passes the effect check.
    static ZK::IZkEffectPlugin* CreateEffect(uint32_t pluginID)
    {
        ZK::IZkPlugin* instance = nullptr;
        ZK::ZkPluginInfo info;
        EXPECT_EQ(PluginRegistry::CreatePlugin(ZK::ZkMakePluginKey(3, kCompany, pluginID), instance,
                                               &CZkPluginMemAlloc::ForInstances(), info),
                  ZK_Success);
        EXPECT_EQ(PluginRegistry::CheckPluginInfo(ZK::ZkPluginTypeEffect, info), 0);
        return dynamic_cast<ZK::IZkEffectPlugin*>(instance);
    }

    ZkMixGraphTest::TestMixContext voice;
    // An effect object with one initial value: its contexts keep one contribution.
    CZkEffectObject* effectObject = nullptr;
    CZkEffectObject& effect() { return *effectObject; }
};
} // namespace EffectStageTest
