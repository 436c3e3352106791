// The three-dimensional matrices a bus's plug-ins ask of it: an emitter frame seen from a listener
// frame, a bare direction, a positioned object; the output reduced to its 7.0 speakers and spread
// back into its own columns, the LFEs joined, and the refusals.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/TestMixContext.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Panning/PanningTestSupport.h"

#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Plugins/CZkBusPluginContext.h>
#include <ZkAudiolib/Common/Positioning/ZkPanningParams.h>
#include <ZkAudiolib/Common/Positioning/ZkPositioningRay.h>

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace PanningTest;
using ZK::SoundEngine::CZkBusPluginContext;
using ZK::SoundEngine::ZkPanningParams;
using ZK::SoundEngine::ZkPositioningRay;
using ZkMixGraphTest::TestBus;

constexpr float kLeft = -1.5707964f; // azimuth positive to the right

class MixBusPanning : public PanningDeviceFixture
{
protected:
    MixBusPanning() { bus.device = &device; }

    // The panner's matrix of a level direction onto a speaker set, as reference.
    Matrix Direct(float azimuth, float spread, ZkChannelConfig input, uint32_t outputMask)
    {
        ZkPositioningRay ray;
        ray.position = {std::sin(azimuth), 0.0f, std::cos(azimuth)};
        return Pan3D(ray, 1.0f, spread, 0.0f, input, Speakers(outputMask));
    }

    TestBus bus;
};

TEST_F(MixBusPanning, TheOutputIsPannedOnItsSevenSpeakersAndSpreadBackIntoItsColumns)
{
    struct Case
    {
        uint32_t output;
        uint32_t panned;       // its speakers within 7.0
        uint32_t columns[7];   // the output column of each panned speaker
    };
    const Case cases[] = {
        {0x2D63F, 0x637, {0, 1, 2, 3, 4, 5, 6}}, // 7.1.4: the tops and the LFE stay silent
        {0x13F, 0x37, {0, 1, 2, 3, 4}},          // with BC between BR and LFE
        {0x60F, 0x607, {0, 1, 2, 3, 4}},         // 5.1
    };
    const ZkChannelConfig stereo = Speakers(0x3);
    for (const Case& c : cases)
    {
        Matrix matrix(stereo, Speakers(c.output));
        ASSERT_EQ(bus.ComputeSpeakerVolumesForAngles(0.4f, 0.0f, 0.6f, 0.0f, stereo, matrix.output, matrix.Data()),
                  ZK_Success);
        EXPECT_TRUE(matrix.GuardIntact());
        const Matrix reference = Direct(0.4f, 0.6f, stereo, c.panned);
        for (uint32_t row = 0; row < 2; ++row)
        {
            float power = 0.0f;
            for (uint32_t k = 0; k < ZkSpeakerMasks::CountOf(c.panned); ++k)
            {
                EXPECT_NEAR(matrix.At(row, c.columns[k]), reference.At(row, k), 1e-6f) << c.output;
                power += matrix.At(row, c.columns[k]) * matrix.At(row, c.columns[k]);
            }
            EXPECT_NEAR(matrix.RowPower(row), power, 1e-6f) << c.output << ": nothing outside the 7.0 speakers";
        }
    }
    // Both LFEs are joined; an ambisonic output takes the panner's encoding as it is.
    Matrix surround(Speakers(0x60F), Speakers(0x60F));
    ASSERT_EQ(bus.ComputeSpeakerVolumesForAngles(0.0f, 0.0f, 1.0f, 0.0f, surround.input, surround.output,
                                                 surround.Data()),
              ZK_Success);
    EXPECT_EQ(surround.At(5, 5), 1.0f);
    EXPECT_NEAR(surround.RowPower(0), 0.2f, 1e-4f);
    Matrix field(Speakers(0x4), Ambisonic(4));
    ASSERT_EQ(bus.ComputeSpeakerVolumesForAngles(0.0f, 0.0f, 0.0f, 0.0f, field.input, field.output, field.Data()),
              ZK_Success);
    EXPECT_NEAR(field.At(0, 0), 1.0f, 1e-6f);
    EXPECT_NEAR(field.At(0, 3), 1.0f, 1e-6f) << "X of straight ahead";
}

TEST_F(MixBusPanning, AnEmitterFrameIsSeenFromTheListenersFrame)
{
    // A listener facing +x, an emitter five metres along +z from it (facing +x too): to its left.
    const ZkTransform listener{{1, 0, 0}, {0, 1, 0}, {10, 0, 0}};
    const ZkTransform emitter{{1, 0, 0}, {0, 1, 0}, {10, 0, 5}};
    const ZkChannelConfig stereo = Speakers(0x3);
    Matrix frames(stereo, Speakers(0x637));
    Matrix angles(stereo, Speakers(0x637));
    ASSERT_EQ(bus.ComputeSpeakerVolumesForFrames(emitter, listener, 0.5f, 0.2f, stereo, frames.output, frames.Data()),
              ZK_Success);
    ASSERT_EQ(bus.ComputeSpeakerVolumesForAngles(kLeft, 0.0f, 0.5f, 0.2f, stereo, angles.output, angles.Data()),
              ZK_Success);
    for (uint32_t k = 0; k < 2 * frames.stride; ++k)
        EXPECT_NEAR(frames.values[k], angles.values[k], 1e-5f);
    EXPECT_GT(frames.At(0, 5), frames.At(0, 6)) << "SL over SR";
}

TEST_F(MixBusPanning, PositionedObjectsGoThroughTheirParameters)
{
    ZkPanningParams params;
    params.threeD = 2;
    params.ray.position = {-2.0f, 0.0f, 1.0f};
    params.ray.spread = 0.3f;
    const ZkChannelConfig stereo = Speakers(0x3);
    Matrix viaBus(stereo, Speakers(0x60F));
    Matrix direct(stereo, Speakers(0x60F));
    ASSERT_EQ(bus.ComputePositionalMatrix(params, stereo, viaBus.output, viaBus.Data()), ZK_Success);
    ASSERT_EQ(CZkSpeakerPan::ComputeVolumesForParams(params, stereo, direct.output, &device, direct.Data()), ZK_Success);
    EXPECT_EQ(viaBus.values, direct.values);
    EXPECT_GT(viaBus.RowPower(0), 0.4f);

    // The bus's plug-ins reach the same services through their context.
    CZkBusPluginContext context;
    EXPECT_EQ(context.Bus(), nullptr);
    context.BindBus(&bus, 0, 0, nullptr);
    EXPECT_EQ(context.Bus(), &bus);
}

TEST_F(MixBusPanning, RefusalsAndSilence)
{
    const ZkChannelConfig stereo = Speakers(0x3);
    Matrix matrix(stereo, Speakers(0x637));
    for (const float bad : {-0.1f, 1.5f, NAN})
    {
        EXPECT_EQ(bus.ComputeSpeakerVolumesForAngles(0.0f, 0.0f, bad, 0.0f, stereo, matrix.output, matrix.Data()),
                  ZK_InvalidParameter);
        EXPECT_EQ(bus.ComputeSpeakerVolumesForAngles(0.0f, 0.0f, 0.5f, bad, stereo, matrix.output, matrix.Data()),
                  ZK_InvalidParameter);
    }
    EXPECT_EQ(matrix.At(0, 0), Matrix::kPoison) << "nothing written";

    // A speaker set the device cannot lay out (FL with SL only) stays silent.
    const ZkChannelConfig odd = Speakers(0x201);
    ASSERT_EQ(bus.ComputeSpeakerVolumesForAngles(0.0f, 0.0f, 0.5f, 0.0f, odd, matrix.output, matrix.Data()), ZK_Success);
    EXPECT_EQ(matrix.RowPower(0), 0.0f);
    EXPECT_EQ(matrix.RowPower(1), 0.0f);

    bus.device = nullptr;
    ZkPanningParams params;
    EXPECT_EQ(bus.ComputeSpeakerVolumesForAngles(0.0f, 0.0f, 0.5f, 0.0f, stereo, matrix.output, matrix.Data()), ZK_Fail);
    EXPECT_EQ(bus.ComputePositionalMatrix(params, stereo, matrix.output, matrix.Data()), ZK_Fail);
    EXPECT_TRUE(matrix.GuardIntact());
}
} // namespace
