// Positioning maths: ray distance and angles and azimuth and elevation against numpy over random
// geometries, their edge cases, and the mix matrix of voices that are not positioned in 3-D.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"
#include "ZkAudiolib/Common/Positioning/NotifyVolumeMatrixCallback.h"
#include "ZkAudiolib/Common/Positioning/ZkFastAngles.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkParamTest::ParametersTest;

constexpr const char* kSystemPython = "/usr/bin/python3";
// The fast forms' error bounds: the acos and asin polynomial is 0.033 rad off at 1 and 0; the atan
// form at most 0.005 rad.
constexpr double kAcosAsinError = 0.033;
constexpr double kAtanError = 0.005;

struct Geometry
{
    double values[20];
};

std::vector<Geometry> NumpyGeometries(int seed, int count)
{
    const std::string command = std::string(kSystemPython) + " " + KP_SOURCE_DIR +
                                "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/positioning_oracle.py " +
                                std::to_string(seed) + " " + std::to_string(count);
    std::vector<Geometry> result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    Geometry g{};
    for (;;)
    {
        int read = 0;
        for (double& value : g.values)
            read += std::fscanf(pipe, "%lf", &value);
        if (read != 20)
            break;
        result.push_back(g);
    }
    pclose(pipe);
    return result;
}

double AngleDifference(double a, double b)
{
    double d = std::fmod(std::fabs(a - b), 2.0 * M_PI);
    return std::min(d, 2.0 * M_PI - d);
}

class PositioningMathTest : public ParametersTest
{
protected:
    void SetUp() override
    {
        ParametersTest::SetUp();
        emitterObject = Register(1);
        listenerObject = Register(2);
        listener = listenerObject->GetOrCreateListener();
        ASSERT_NE(listener, nullptr);
    }

    void Place(const ZkVector& listenerAt, const ZkVector& front, const ZkVector& top)
    {
        listener->SetTransform(ZkChannelEmitter{{front, top, listenerAt}, kZkAllInputChannels});
    }
    ZkRay RayFrom(const ZkVector& at, const ZkVector& front = {0, 0, 1})
    {
        ZkRay ray;
        ray.emitter = {front, {0, 1, 0}, at};
        CZkPositioningMath::ComputeRayDistanceAndAngles(*listener, *emitterObject->Emitter(), ray);
        return ray;
    }

    CZkRegisteredObj* emitterObject = nullptr;
    CZkRegisteredObj* listenerObject = nullptr;
    CZkListener* listener = nullptr;
};

TEST_F(PositioningMathTest, DistancesAndAnglesAgreeWithNumpy)
{
    const std::vector<Geometry> geometries = NumpyGeometries(20261210, 400);
    ASSERT_EQ(geometries.size(), 400u) << "the numpy oracle did not run";
    double worstAzimuth = 0.0;
    for (const Geometry& g : geometries)
    {
        const double* v = g.values;
        const auto f = [](double x) { return static_cast<float>(x); };
        Place({f(v[6]), f(v[7]), f(v[8])}, {f(v[9]), f(v[10]), f(v[11])}, {f(v[12]), f(v[13]), f(v[14])});
        const ZkRay ray = RayFrom({f(v[0]), f(v[1]), f(v[2])}, {f(v[3]), f(v[4]), f(v[5])});
        float azimuth = 0.0f;
        float elevation = 0.0f;
        CZkPositioningMath::ComputeAzimuthElevation(*listener, ray, azimuth, elevation);
        EXPECT_NEAR(ray.distance, v[15], 1e-5 * v[15]);
        EXPECT_NEAR(ray.emitterAngle, v[16], kAcosAsinError);
        EXPECT_NEAR(ray.listenerAngle, v[17], kAcosAsinError);
        EXPECT_LE(AngleDifference(azimuth, v[18]), kAtanError) << azimuth << " vs " << v[18];
        EXPECT_NEAR(elevation, v[19], kAcosAsinError);
        worstAzimuth = std::max(worstAzimuth, AngleDifference(azimuth, v[18]));
    }
    // The forms are used as given: their error shows.
    EXPECT_GT(worstAzimuth, 0.001);
}

TEST_F(PositioningMathTest, FastFormsAsGiven)
{
    // 1.5379527 minus the polynomial's sum of coefficients (1.5050957).
    EXPECT_NEAR(ZkFastAcos(1.0f), 0.032857f, 1e-6f);
    EXPECT_NEAR(ZkFastAcos(-1.0f), kZkPi - 0.032857f, 1e-6f);
    EXPECT_FLOAT_EQ(ZkFastAcos(0.0f), 1.5379527f);
    EXPECT_FLOAT_EQ(ZkFastAsin(0.0f), 0.0328437f);
    EXPECT_FLOAT_EQ(ZkFastAtan(0.5f), 0.5f / (1.0f + 0.28f * 0.25f));
    EXPECT_FLOAT_EQ(ZkFastAtan(2.0f), kZkHalfPi - 2.0f / (4.0f + 0.28f));
}

TEST_F(PositioningMathTest, EdgeCasesOfRayGeometry)
{
    Place({0, 0, 0}, {0, 0, 1}, {0, 1, 0});
    // Same place: distance 0, both angles 0, azimuth and elevation 0.
    ZkRay same = RayFrom({0, 0, 0});
    EXPECT_EQ(same.distance, 0.0f);
    EXPECT_EQ(same.emitterAngle, 0.0f);
    EXPECT_EQ(same.listenerAngle, 0.0f);
    float azimuth = 1.0f;
    float elevation = 1.0f;
    CZkPositioningMath::ComputeAzimuthElevation(*listener, same, azimuth, elevation);
    EXPECT_EQ(azimuth, 0.0f);
    EXPECT_EQ(elevation, 0.0f);

    // The emitter faces the listener (angle 0), or turns its back (pi), within the polynomial.
    EXPECT_NEAR(RayFrom({0, 0, 5}, {0, 0, -1}).emitterAngle, 0.0f, 0.033f);
    EXPECT_NEAR(RayFrom({0, 0, 5}, {0, 0, 1}).emitterAngle, kZkPi, 0.033f);

    // Exactly to the right (f = 0, s > 0): azimuth pi/2; straight up: elevation pi/2.
    CZkPositioningMath::ComputeAzimuthElevation(*listener, RayFrom({3, 0, 0}), azimuth, elevation);
    EXPECT_EQ(azimuth, kZkHalfPi);
    EXPECT_NEAR(elevation, 0.0f, 0.033f);
    CZkPositioningMath::ComputeAzimuthElevation(*listener, RayFrom({0, 2, 0}), azimuth, elevation);
    EXPECT_EQ(azimuth, 0.0f);
    EXPECT_EQ(elevation, kZkHalfPi);

    // Emitter scaling 2 on another object halves the distance; on the listener's own object the
    // emitter's scaling is ignored.
    ASSERT_EQ(g_pRegistryMgr->SetScalingFactor(1, 2.0f), ZK_Success);
    EXPECT_FLOAT_EQ(RayFrom({0, 0, 8}).distance, 4.0f);
    CZkEmitter* ownEmitter = listenerObject->Emitter();
    ownEmitter->SetScalingFactor(2.0f);
    ZkRay own;
    own.emitter = {{0, 0, 1}, {0, 1, 0}, {0, 0, 8}};
    CZkPositioningMath::ComputeRayDistanceAndAngles(*listener, *ownEmitter, own);
    EXPECT_FLOAT_EQ(own.distance, 8.0f);

    // A scaled ray keeps its true elevation: 30 degrees up stays 30 degrees.
    CZkPositioningMath::ComputeAzimuthElevation(*listener, RayFrom({0, 4, 6.9282032f}), azimuth, elevation);
    EXPECT_NEAR(elevation, kZkPi / 6.0f, 0.033f);
}

struct MatrixCase
{
    uint32_t inputMask;
    uint32_t outputMask;
};

class MixMatrixTest : public testing::TestWithParam<MatrixCase>
{
};

TEST_P(MixMatrixTest, TwoDimensionalPanningAndDirectAssignment)
{
    const ZkChannelConfig input = ZkChannelConfig::FromMask(GetParam().inputMask);
    const ZkChannelConfig output = ZkChannelConfig::FromMask(GetParam().outputMask);
    const size_t size = size_t{input.NumChannels()} * ((output.NumChannels() + 3) & ~3u);
    std::vector<float> matrix(size, 9.0f);
    std::vector<float> expected(size, 0.0f);
    ZkMixMatrixTarget target;
    target.output = output;
    target.matrix = matrix.data();

    ZkPanParams pan;
    pan.panX = 0.3f;
    pan.panY = -0.2f;
    pan.centrePercentage = 40.0f;
    pan.panningType = ZkSpeakerPanning_Position2D;
    // Asked through the voice's flags.
    ASSERT_EQ(CZkPositioningMath::ComputeMixMatrix(input, pan, kVoiceFlagPan2D, target), ZK_Success);
    CZkSpeakerPan::ComputeSpeakerVolumes(0.3f, -0.2f, 0.0f, 40.0f, ZkSpeakerPanning_Position2D, input, output,
                                         expected.data(), nullptr);
    EXPECT_EQ(matrix, expected);

    // Object inputs: direct assignment.
    const ZkChannelConfig objects(input.NumChannels() | (ZkChannelConfigType_Objects << 8));
    std::fill(matrix.begin(), matrix.end(), 9.0f);
    ASSERT_EQ(CZkPositioningMath::ComputeMixMatrix(objects, pan, kVoiceFlagPan2D, target), ZK_Success);
    CZkSpeakerPan::GetDirectAssignmentMatrix(objects, output, expected.data());
    EXPECT_EQ(matrix, expected);

    // Neither: the previous matrix is kept.
    std::vector<float> previous(size);
    for (size_t i = 0; i < size; ++i)
        previous[i] = static_cast<float>(i) * 0.125f;
    target.previous = previous.data();
    ASSERT_EQ(CZkPositioningMath::ComputeMixMatrix(input, ZkPanParams{}, 0, target), ZK_Success);
    EXPECT_EQ(matrix, previous);

    // Three-dimensional panning without a ray (31) or without a device (2) is silent.
    ZkPanParams threeD;
    threeD.pan3D = true;
    EXPECT_EQ(CZkPositioningMath::ComputeMixMatrix(input, threeD, 0, target), ZK_InvalidParameter);
    EXPECT_EQ(matrix, std::vector<float>(size, 0.0f));
    const ZkPositioningRay ahead;
    threeD.item = &ahead;
    EXPECT_EQ(CZkPositioningMath::ComputeMixMatrix(input, threeD, 0, target), ZK_Fail);
    EXPECT_EQ(matrix, std::vector<float>(size, 0.0f));
}

INSTANTIATE_TEST_SUITE_P(MonoAndStereoOntoStereoAnd51, MixMatrixTest,
                         testing::Values(MatrixCase{ZK_SPEAKER_SETUP_MONO, ZK_SPEAKER_SETUP_STEREO},
                                         MatrixCase{ZK_SPEAKER_SETUP_MONO, ZK_SPEAKER_SETUP_5POINT1},
                                         MatrixCase{ZK_SPEAKER_SETUP_STEREO, ZK_SPEAKER_SETUP_STEREO},
                                         MatrixCase{ZK_SPEAKER_SETUP_STEREO, ZK_SPEAKER_SETUP_5POINT1}));

TEST(VolumeMatrixCallbackTest, NobodyIsCalledWithoutAPlayingManager)
{
    float matrix[4] = {};
    EXPECT_FALSE(NotifyVolumeMatrixCallback(7, 0, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO),
                                            ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), matrix, 1));
}
} // namespace
