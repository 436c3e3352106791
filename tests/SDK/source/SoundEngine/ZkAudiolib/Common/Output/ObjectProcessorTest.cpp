// The device object processor: which of a root bus's objects become objects of the sink (routing
// 3), one per channel but the LFE with ids id, (1 << 56) | id, ...; which go to the main mix (1)
// or the pass-through mix (2); an object keeps the routing it got while it is fed, and loses its
// records at the end of the first frame it is not.
#include "ZkAudiolib/Common/Output/CZkObjectProcessor.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint16_t kFrames = 64;
constexpr uint64_t kID = 0x1234;

// A bus object of the configuration, fed this frame (status 45).
struct TestObject
{
    TestObject(ZkChannelConfig config, bool positioned)
        : samples(static_cast<size_t>(config.NumChannels()) * kFrames, 0.25f)
    {
        record.id = kID;
        record.positioning.mode = positioned ? 1 : 0;
        record.positioning.spatialization = positioned ? 1 : 0;
        object.record = &record;
        object.buffer.AttachData(samples.data(), kFrames, config);
        object.buffer.status = ZK_DataReady;
        object.config = config;
    }
    std::vector<float> samples;
    ZkBusObjectRecord record;
    ZkBusObject object;
};

ZK::Zk3DAudioSinkCapabilities Available(uint32_t objects, bool passthrough = false)
{
    ZK::Zk3DAudioSinkCapabilities capabilities;
    capabilities.maxSystemAudioObjects = 16;
    capabilities.numSystemAudioObjectsAvailable = objects;
    capabilities.passthrough = passthrough ? 1 : 0;
    return capabilities;
}

class ObjectProcessor : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        ZkEngineTest::EngineMemoryTest::SetUp();
        ASSERT_EQ(processor.Init(16), ZK_Success);
    }
    void TearDown() override
    {
        processor.Term();
        ZkEngineTest::EngineMemoryTest::TearDown();
    }
    // One frame of the object: routed, built; the sink's objects; the frame's end.
    uint32_t Frame(TestObject& test, const ZK::Zk3DAudioSinkCapabilities& capabilities,
                   std::vector<uint64_t>* sinkIDs = nullptr)
    {
        test.object.buffer.status = ZK_DataReady;
        const uint32_t routing = processor.RouteObject(test.object, capabilities);
        EXPECT_TRUE(processor.BuildObject(test.object, routing));
        ZkAudioObjects* objects = processor.CollectObjects();
        if (sinkIDs != nullptr && objects != nullptr)
            for (uint32_t i = 0; i < objects->count; ++i)
                sinkIDs->push_back(objects->objects[i].key);
        processor.EndFrame();
        return routing;
    }

    CZkObjectProcessor processor;
};

const ZkChannelConfig kThreeChannels = ZkChannelConfig::FromMask(0x7);  // FL FR FC
const ZkChannelConfig kFiveOne = ZkChannelConfig::FromMask(0x3F);       // with LFE

TEST_F(ObjectProcessor, AThreeChannelObjectNeedsThreeObjectsAvailableAndKeepsItsRouting)
{
    TestObject test(kThreeChannels, true);
    EXPECT_EQ(Frame(test, Available(2)), CZkObjectProcessor::kRoutingMain) << "2 available: the main mix";
    processor.EndFrame(); // not fed: its record goes
    EXPECT_EQ(processor.RecordCount(), 0u);

    std::vector<uint64_t> ids;
    EXPECT_EQ(Frame(test, Available(3), &ids), CZkObjectProcessor::kRoutingObject);
    EXPECT_EQ(ids, (std::vector<uint64_t>{kID, (1ull << 56) | kID, (2ull << 56) | kID}));
    EXPECT_EQ(processor.ObjectsInUse(), 3u);

    EXPECT_EQ(Frame(test, Available(0)), CZkObjectProcessor::kRoutingObject)
        << "a device object stays one while it is fed, whatever is available";
    processor.EndFrame();
    EXPECT_EQ(processor.RecordCount(), 0u) << "a frame without data ends its records";
    EXPECT_EQ(processor.ObjectsInUse(), 0u);
}

TEST_F(ObjectProcessor, TheLfeIsNotCarriedAsAnObject)
{
    TestObject test(kFiveOne, true);
    std::vector<uint64_t> ids;
    EXPECT_EQ(Frame(test, Available(5), &ids), CZkObjectProcessor::kRoutingObject);
    EXPECT_EQ(ids.size(), 5u);
    EXPECT_EQ(processor.ObjectsInUse(), 5u);
}

TEST_F(ObjectProcessor, ObjectsThatAreNotPositionedGoToTheMixes)
{
    struct Case
    {
        const char* name;
        ZkChannelConfig config;
        bool positioned;
        bool passthrough;
        uint32_t routing;
    };
    const Case cases[] = {
        {"stereo, sink with a pass-through mix", ZkChannelConfig(ZkChannelConfig::kStereoWord), false, true,
         CZkObjectProcessor::kRoutingPassthrough},
        {"stereo, sink without one", ZkChannelConfig(ZkChannelConfig::kStereoWord), false, false,
         CZkObjectProcessor::kRoutingMain},
        {"three channels are not passed through", kThreeChannels, false, true, CZkObjectProcessor::kRoutingMain},
        {"a speaker outside 0x63F is no object", ZkChannelConfig::FromMask(0x1000), true, false,
         CZkObjectProcessor::kRoutingMain},
    };
    for (const Case& c : cases)
    {
        TestObject test(c.config, c.positioned);
        EXPECT_EQ(Frame(test, Available(8, c.passthrough)), c.routing) << c.name;
        processor.EndFrame();
    }
}
} // namespace
