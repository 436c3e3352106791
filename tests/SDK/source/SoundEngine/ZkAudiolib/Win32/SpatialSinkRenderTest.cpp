// The spatial stream on the manual clock, the worker's passes run on the test thread: the main mix
// reaches the bed's 12 static objects in their order, ramped, frame after frame across the ring's
// wrap; a main mix of another layout goes through the matrix first; an update the bed cannot fill
// is padded with zeros and raises the underrun flag; the engine's objects become dynamic objects,
// start with the bed's latency, drain when they end and give their record to the next object.
#include "SpatialSinkTestSupport.h"

using namespace ZkSpatialTest;

namespace
{
constexpr ZkRamp kUnit(1.0f, 1.0f);

// Channel c of the 7.1.4 bed in interleaved order carries (c + 1) * 100000 + the engine frame.
float BedSample(uint32_t interleaved, uint64_t frame)
{
    return static_cast<float>((interleaved + 1) * 100000u + frame);
}

class SpatialRender : public SpatialSinkTest
{
protected:
    // A bed buffer of the engine frames from first on.
    OwnedBuffer Bed(uint64_t first)
    {
        OwnedBuffer bed(kBed);
        for (uint32_t position = 0; position < 12; ++position)
        {
            float* samples = bed.Channel(kBed.InterleavedToPipeline(position));
            for (uint32_t k = 0; k < kFrames; ++k)
                samples[k] = BedSample(position, first + k);
        }
        return bed;
    }
    // One engine frame: the bed of frames [first, first + kFrames) and the objects.
    uint32_t Render(SpatialSink& sink, uint64_t first, ZkRamp ramp = kUnit, ZkAudioObjects* objects = nullptr)
    {
        OwnedBuffer bed = Bed(first);
        const uint32_t wraps = sink->Consume(&bed.buffer, nullptr, objects, ramp);
        sink->DataReady();
        return wraps;
    }
};

TEST_F(SpatialRender, TheBedReachesTheStaticObjectsInOrderRampedAcrossTheRingsWrap)
{
    SpatialParams bedOnly;
    bedOnly.limitGiven = 0;
    SpatialSink sink(bedOnly);
    ASSERT_TRUE(sink->IsSpatial());
    constexpr uint32_t kTicks = 10;
    std::vector<uint32_t> wraps;
    const ZkRamp ramped(0.5f, 1.0f);
    for (uint32_t tick = 0; tick < kTicks; ++tick)
    {
        wraps.push_back(Render(sink, uint64_t{tick} * kFrames, tick == 5 ? ramped : kUnit));
        Update(sink);
    }
    EXPECT_EQ(wraps, (std::vector<uint32_t>{0, 0, 0, 1, 0, 0, 0, 1, 0, 0})) << "a ring of 4 buffers";
    const VirtualSpatialCapture capture = Spatial();
    ASSERT_EQ(capture.objects.size(), 12u);
    for (uint32_t position = 0; position < 12; ++position)
    {
        SCOPED_TRACE(position);
        EXPECT_EQ(capture.objects[position].type, kBedTypes[position]) << "activated in the bed's order";
        const std::vector<float>& samples = capture.objects[position].samples;
        ASSERT_EQ(samples.size(), kTicks * kFrames);
        for (uint64_t frame = 0; frame < samples.size(); ++frame)
        {
            float expected = BedSample(position, frame);
            if (frame / kFrames == 5)
                expected *= 0.5f + 0.5f * static_cast<float>(frame % kFrames) / kFrames;
            ASSERT_NEAR(samples[frame], expected, expected * 1e-6f) << "frame " << frame;
        }
    }
    EXPECT_FALSE(sink->IsStarved());
}

TEST_F(SpatialRender, AStereoMainMixGoesThroughTheMixingMatrixIntoTheBed)
{
    SpatialParams bedOnly;
    bedOnly.limitGiven = 0;
    SpatialSink sink(bedOnly, kStereo);
    ASSERT_TRUE(sink->IsSpatial());
    EXPECT_EQ(sink.config, kObjectsConfig);
    ZK::Zk3DAudioSinkCapabilities capabilities;
    sink->GetCapabilities(capabilities);
    EXPECT_EQ(capabilities.channelConfig, kStereo) << "the engine renders what it asked for";

    OwnedBuffer mix(kStereo);
    std::fill_n(mix.Channel(0), kFrames, 0.25f);
    std::fill_n(mix.Channel(1), kFrames, -0.5f);
    sink->Consume(&mix.buffer, nullptr, nullptr, kUnit);
    sink->DataReady();
    Update(sink);

    // What the device's own speaker matrix makes of the pair on the 7.1.4 layout.
    alignas(16) float matrix[2 * 12] = {};
    ASSERT_EQ(sink.context.ComputeSpeakerMatrix(kStereo, kBed, matrix), ZK_Success);
    const VirtualSpatialCapture capture = Spatial();
    for (uint32_t position = 0; position < 12; ++position)
    {
        const uint32_t row = kBed.InterleavedToPipeline(position);
        const float expected = 0.25f * matrix[row] - 0.5f * matrix[12 + row];
        const std::vector<float>& samples = StaticObject(capture, kBedTypes[position])->samples;
        ASSERT_EQ(samples.size(), kFrames);
        EXPECT_NEAR(samples[100], expected, 1e-6f) << "speaker " << position;
    }
    EXPECT_NEAR(StaticObject(capture, 0x2)->samples[0], 0.25f, 1e-6f) << "front left carries the left";
    EXPECT_NEAR(StaticObject(capture, 0x4)->samples[0], -0.5f, 1e-6f) << "front right carries the right";
}

// An update of more frames than the bed holds: the rest is silence and the sink is starved; the
// engine is never asked for more buffers than the bed has room for.
TEST_F(SpatialRender, TheBedLimitsTheRequestAndAnUpdateItCannotFillIsPaddedAndStarved)
{
    SpatialParams bedOnly;
    bedOnly.limitGiven = 0;
    SpatialSink sink(bedOnly);
    uint32_t buffers = 0;
    ASSERT_EQ(sink->IsDataNeeded(buffers), ZK_Success);
    EXPECT_EQ(buffers, 4u);
    for (uint64_t tick = 0; tick < 3; ++tick)
    {
        OwnedBuffer bed = Bed(tick * kFrames);
        sink->Consume(&bed.buffer, nullptr, nullptr, kUnit);
    }
    sink->DataReady();
    m_system->Advance(3 * kFrames); // the endpoint has played them: only the bed is full
    ASSERT_EQ(sink->IsDataNeeded(buffers), ZK_Success);
    EXPECT_EQ(buffers, 1u) << "one buffer of room left in the bed";

    sink->ServiceSpatialStream(0); // an update of 3 buffers
    EXPECT_FALSE(sink->IsStarved());
    m_system->Advance(kFrames + 100);
    sink->ServiceSpatialStream(0);
    EXPECT_TRUE(sink->IsStarved());
    sink->ResetStarved();
    EXPECT_FALSE(sink->IsStarved());
    const VirtualSpatialCapture capture = Spatial();
    const std::vector<float>& samples = StaticObject(capture, 0x2)->samples;
    ASSERT_EQ(samples.size(), 4u * kFrames + 100);
    EXPECT_EQ(samples[3 * kFrames - 1], BedSample(0, 3 * kFrames - 1));
    for (uint32_t frame = 3 * kFrames; frame < samples.size(); ++frame)
        ASSERT_EQ(samples[frame], 0.0f) << "frame " << frame;
}

class SpatialObjects : public SpatialRender
{
protected:
    struct EngineObject
    {
        OwnedBuffer block{ZkChannelConfig::FromMask(0x4)};
        ZkAudioObject object;
    };
    // Engine objects with keys, each buffer filled with its value.
    void Make(std::vector<EngineObject>& objects, const std::vector<uint64_t>& keys, float value = 0.5f)
    {
        objects.resize(keys.size());
        m_list.clear();
        for (size_t i = 0; i < keys.size(); ++i)
        {
            EngineObject& engine = objects[i];
            std::fill(engine.block.samples.begin(), engine.block.samples.end(), value * static_cast<float>(i + 1));
            engine.object.buffer = engine.block.buffer;
            engine.object.key = keys[i];
            engine.object.gain = ZkRamp(0.5f, 0.5f);
            engine.object.position = ZkAudioObjectPosition{1.0f + i, 2.0f, 3.0f};
            m_list.push_back(engine.object);
        }
        m_objects.objects = m_list.data();
        m_objects.count = static_cast<uint32_t>(m_list.size());
        m_objects.capacity = m_objects.count;
    }
    ZkAudioObjects* List() { return &m_objects; }

    std::vector<ZkAudioObject> m_list;
    ZkAudioObjects m_objects;
};

TEST_F(SpatialObjects, EngineObjectsBecomeDynamicObjectsWithTheirGainsAndPositions)
{
    SpatialSink sink;
    ASSERT_EQ(sink->RecordCount(), 64u);
    std::vector<EngineObject> objects;
    Make(objects, {11, 22, 33});
    for (uint32_t tick = 0; tick < 6; ++tick)
    {
        Render(sink, uint64_t{tick} * kFrames, kUnit, List());
        Update(sink);
    }
    const VirtualSpatialCapture capture = Spatial();
    const auto dynamic = DynamicObjects(capture);
    ASSERT_EQ(dynamic.size(), 64u);
    for (uint32_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        const VirtualObjectCapture& object = *dynamic[i];
        ASSERT_EQ(object.samples.size(), 6u * kFrames);
        EXPECT_EQ(object.volumes.back(), 1.0f);
        EXPECT_EQ(object.positions.back(), (VirtualObjectPosition{1.0f + i, 2.0f, -3.0f})) << "z turned to the back";
        // The bed was empty when the objects appeared: both start at the first update.
        EXPECT_NEAR(object.samples[0], 0.25f * (i + 1), 1e-6f) << "buffer x gain";
        EXPECT_NEAR(object.samples[6 * kFrames - 1], 0.25f * (i + 1), 1e-6f);
    }
    for (uint32_t i = 3; i < 64; ++i)
    {
        EXPECT_EQ(dynamic[i]->volumes.back(), 0.0f);
        EXPECT_EQ(dynamic[i]->positions.back(), VirtualObjectPosition{});
        EXPECT_EQ(*std::max_element(dynamic[i]->samples.begin(), dynamic[i]->samples.end()), 0.0f);
    }
    ZK::Zk3DAudioSinkCapabilities capabilities;
    sink->GetCapabilities(capabilities);
    EXPECT_EQ(capabilities.maxSystemAudioObjects, 64u);
    EXPECT_EQ(capabilities.numSystemAudioObjectsAvailable, 64u) << "none draining";
}

// An impulse of the bed and one of an object written in the same engine frame leave in the same
// update at the same sample, whatever the bed held when the object appeared.
TEST_F(SpatialObjects, AnObjectAndTheBedOfTheSameFrameComeOutTogether)
{
    for (const uint32_t queued : {0u, 1u, 2u, 3u})
    {
        SCOPED_TRACE(queued);
        const size_t first = Spatial().objects.size();
        SpatialSink sink;
        for (uint32_t tick = 0; tick < queued; ++tick)
            Render(sink, uint64_t{tick} * kFrames);
        std::vector<EngineObject> objects;
        Make(objects, {7}, 0.0f);
        objects[0].block.samples[300] = 1.0f;
        m_list[0] = objects[0].object;
        OwnedBuffer bed(kBed);
        bed.Channel(0)[300] = 1.0f;
        sink->Consume(&bed.buffer, nullptr, List(), kUnit);
        sink->DataReady();
        for (uint32_t update = 0; update < 5; ++update)
            Update(sink);
        const VirtualSpatialCapture capture = Spatial();
        // This sink's objects: its 64 dynamic ones, then the bed's.
        ASSERT_EQ(capture.objects.size(), first + 64 + 12);
        const std::vector<float>& object = capture.objects[first].samples;
        const std::vector<float>& front = capture.objects[first + 64].samples;
        ASSERT_EQ(capture.objects[first + 64].type, 0x2u);
        const auto bedAt = std::find(front.begin() + queued * kFrames, front.end(), 1.0f) - front.begin();
        const auto objectAt = std::find_if(object.begin(), object.end(), [](float s) { return s != 0.0f; }) - object.begin();
        EXPECT_EQ(bedAt, queued * kFrames + 300);
        EXPECT_EQ(objectAt, bedAt);
    }
}

// An object that ends drains its ring, then its record serves the next new object; without a free
// record a new object is skipped; a frame with nothing written ends every live object.
TEST_F(SpatialObjects, EndedObjectsDrainAndGiveTheirRecordToTheNext)
{
    Offer(64, 2);
    SpatialSink sink;
    ASSERT_EQ(sink->RecordCount(), 2u);
    std::vector<EngineObject> objects;
    Make(objects, {1, 2, 3});
    Render(sink, 0, kUnit, List());
    Update(sink);
    ZK::Zk3DAudioSinkCapabilities capabilities;
    sink->GetCapabilities(capabilities);
    EXPECT_EQ(capabilities.numSystemAudioObjectsAvailable, 2u);

    // Object 1 ends; object 3 still finds no record.
    Make(objects, {1, 3});
    objects[0].object.buffer.state = ZK_NoMoreData;
    m_list[0] = objects[0].object;
    Render(sink, kFrames, kUnit, List());
    EXPECT_EQ(sink->DrainingObjects(), 1u);
    sink->GetCapabilities(capabilities);
    EXPECT_EQ(capabilities.numSystemAudioObjectsAvailable, 1u);
    for (uint32_t update = 0; update < 4; ++update)
        Update(sink);
    EXPECT_EQ(sink->DrainingObjects(), 0u) << "its ring played to the end";

    Make(objects, {9}, 0.75f);
    Render(sink, 2 * kFrames, kUnit, List());
    for (uint32_t update = 0; update < 4; ++update)
        Update(sink);
    const VirtualSpatialCapture capture = Spatial();
    const auto dynamic = DynamicObjects(capture);
    ASSERT_EQ(dynamic.size(), 2u);
    const std::vector<float>& first = dynamic[0]->samples;
    EXPECT_EQ(std::count(first.begin(), first.end(), 0.375f), kFrames) << "object 9 took object 1's record";
    EXPECT_EQ(dynamic[0]->volumes.back(), 1.0f);
    EXPECT_EQ(std::count(first.begin(), first.end(), 0.25f), 2 * kFrames) << "object 1 played both its buffers";
    EXPECT_EQ(std::count(dynamic[1]->samples.begin(), dynamic[1]->samples.end(), 0.5f), kFrames)
        << "object 2's only buffer; object 3 never played";

    // Nothing written this frame: the bed gets silence and every live object ends.
    sink->DataReady();
    EXPECT_EQ(sink->DrainingObjects(), 2u) << "objects 9 and 2";
    sink->GetCapabilities(capabilities);
    EXPECT_EQ(capabilities.numSystemAudioObjectsAvailable, 0u);
}

// A failed call of the worker's update latches the error: the next IsDataNeeded reports the device
// lost, and nothing breaks on the way.
TEST_F(SpatialObjects, AFailedUpdateCallLosesTheDevice)
{
    struct Case
    {
        SpatialCall call;
        uint32_t n; // the call of the update that fails
    };
    // The update asks for the 12 static objects' buffers first, then the dynamic objects'.
    const Case cases[] = {{SpatialCall::BeginUpdate, 1}, {SpatialCall::EndUpdate, 1},
                          {SpatialCall::GetObjectBuffer, 1}, {SpatialCall::GetObjectBuffer, 13}};
    for (const auto& [call, n] : cases)
    {
        SCOPED_TRACE(static_cast<int>(call) * 100 + static_cast<int>(n));
        const uint32_t before = Spatial().Calls(call);
        VirtualSpatialPolicy policy;
        policy.FailAt(call, before + n);
        m_system->SetSpatialPolicy(kSpeakers, policy);
        SpatialSink sink;
        std::vector<EngineObject> objects;
        Make(objects, {1, 2});
        Render(sink, 0, kUnit, List());
        uint32_t buffers = 0;
        EXPECT_EQ(sink->IsDataNeeded(buffers), ZK_Success);
        Update(sink);
        EXPECT_TRUE(sink->HasErrorLatched());
        EXPECT_EQ(sink->IsDataNeeded(buffers), ZK_Fail);
        m_system->SetSpatialPolicy(kSpeakers, VirtualSpatialPolicy{});
    }
}

// Without memory for a new object's ring the object is skipped, with a message, and the next
// object that finds memory takes the record.
TEST_F(SpatialObjects, AnObjectWhoseRingCannotBeAllocatedIsSkipped)
{
    SpatialSink sink;
    std::vector<EngineObject> objects;
    Make(objects, {1});
    ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 1);
    Render(sink, 0, kUnit, List());
    EXPECT_EQ(ZK::MemoryMgr::FaultInjection::FailedAllocations(), 1u);
    ZK::MemoryMgr::FaultInjection::Disarm();
    ASSERT_EQ(sink.context.messages.size(), 1u);
    EXPECT_EQ(sink.context.messages[0].text,
              "Microsoft Spatial Sound: Failed to allocate memory for dynamic object. Some sounds may not play.");
    Update(sink);
    Make(objects, {2});
    Render(sink, kFrames, kUnit, List());
    Update(sink);
    const VirtualSpatialCapture capture = Spatial();
    const std::vector<float>& first = DynamicObjects(capture)[0]->samples;
    EXPECT_EQ(std::count(first.begin(), first.end(), 0.25f), kFrames) << "object 2's frame, object 1's never";
    EXPECT_FALSE(sink->HasErrorLatched());
}
} // namespace
