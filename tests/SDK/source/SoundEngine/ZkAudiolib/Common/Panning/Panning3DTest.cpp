// Three-dimensional panning of an emitter: the matrices against a numpy model of the steps
// (clouds, focus and spread narrowing, rotation to the emitter, pairwise gains, centre blend,
// stereo law, first-order encoding), the power every row keeps, VBAP layouts, ambisonic inputs and
// what is left alone.
#include "PanningTestSupport.h"

#include <MemoryMgr/ZkMemoryFaultInjection.h>
#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Positioning/ZkPositioningRay.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace
{
using namespace PanningTest;
using ZK::SoundEngine::ZkPositioningRay;

constexpr const char* kSystemPython = "/usr/bin/python3";
constexpr uint32_t kFL = 0x1, kFR = 0x2, kFC = 0x4, kBL = 0x10, kBR = 0x20, kSL = 0x200, kSR = 0x400;
constexpr uint32_t kSevenPointOneFour = 0x2D63F; // 7.1 with TFL, TFR, TBL, TBR
constexpr uint32_t kAmbisonicFirstOrder = 0; // output mask 0 in a case: first-order ambisonics

struct Case3D
{
    uint32_t input;
    uint32_t output; // speaker mask, or kAmbisonicFirstOrder
    ZkVector position;
    ZkVector front;
    ZkVector top;
    float spread;
    float focus;
    float centre;
    uint32_t panningRule;
    float angles[3];
};

constexpr ZkVector kAhead{0.0f, 0.0f, 1.0f};
constexpr ZkVector kUp{0.0f, 1.0f, 0.0f};

ZkChannelConfig OutputOf(const Case3D& c)
{
    return c.output == kAmbisonicFirstOrder ? Ambisonic(4) : Speakers(c.output);
}

ZkPositioningRay RayOf(const Case3D& c)
{
    ZkPositioningRay ray;
    ray.position = c.position;
    ray.front = c.front;
    ray.top = c.top;
    return ray;
}

class Panning3D : public PanningDeviceFixture
{
protected:
    // Pans the case on a device of its angles into a zeroed matrix.
    static Matrix Pan(const Case3D& c)
    {
        CZkOutputDevice caseDevice;
        EXPECT_EQ(caseDevice.SetSpeakerAngles(c.angles, 3, 54.7f), ZK_Success);
        caseDevice.panningRule = c.panningRule;
        Matrix matrix(Speakers(c.input), OutputOf(c));
        matrix.ZeroRows();
        CZkSpeakerPan::ComputeSpeakerVolumes3D(RayOf(c), c.centre, c.spread, c.focus, matrix.Data(), matrix.input,
                                               kZkAllInputChannels, matrix.output, &caseDevice);
        EXPECT_TRUE(matrix.GuardIntact());
        return matrix;
    }

    // The numpy model's matrix of every case, row by row without padding (output LFE excluded).
    static std::vector<std::vector<double>> NumpyMatrices(const std::vector<Case3D>& cases)
    {
        const std::string input = testing::TempDir() + "panning3d_cases.txt";
        {
            std::ofstream file(input);
            for (const Case3D& c : cases)
                file << c.input << ' ' << c.output << ' ' << c.position.x << ' ' << c.position.y << ' '
                     << c.position.z << ' ' << c.front.x << ' ' << c.front.y << ' ' << c.front.z << ' ' << c.top.x
                     << ' ' << c.top.y << ' ' << c.top.z << ' ' << c.spread << ' ' << c.focus << ' ' << c.centre
                     << ' ' << c.panningRule << ' ' << c.angles[0] << ' ' << c.angles[1] << ' ' << c.angles[2]
                     << '\n';
        }
        const std::string command = std::string(kSystemPython) + " " + KP_SOURCE_DIR +
                                    "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Panning/panning3d_model.py < " +
                                    input;
        std::vector<std::vector<double>> result;
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return result;
        std::string line;
        char buffer[8192];
        while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr)
        {
            std::vector<double> values;
            char* cursor = buffer;
            char* end = nullptr;
            for (double v = std::strtod(cursor, &end); end != cursor; v = std::strtod(cursor, &end))
            {
                values.push_back(v);
                cursor = end;
            }
            result.push_back(values);
        }
        pclose(pipe);
        std::remove(input.c_str());
        return result;
    }
};

// Non-LFE output columns of the case (the model leaves the LFE out).
uint32_t PannedColumns(const Case3D& c)
{
    return c.output == kAmbisonicFirstOrder ? 4u : ZkSpeakerMasks::CountOf(c.output & ~ZK_SPEAKER_LOW_FREQUENCY);
}

TEST_F(Panning3D, MatricesMatchTheNumpyModelOfTheSteps)
{
    const std::vector<Case3D> cases = {
        // mono straight ahead on 5.0, centre 1 and 0.5 (the blend with the ring without FC)
        {kFC, 0x607, {0, 0, 1}, kAhead, kUp, 0.0f, 0.0f, 1.0f, 0, {45, 90, 135}},
        {kFC, 0x607, {0, 0, 1}, kAhead, kUp, 0.0f, 0.0f, 0.5f, 0, {45, 90, 135}},
        // stereo on 7.0: full spread, then focus, then both narrowing branches off to the right
        {0x3, 0x637, {0, 0, 1}, kAhead, kUp, 1.0f, 0.0f, 1.0f, 0, {45, 90, 135}},
        {0x3, 0x637, {0, 0, 1}, kAhead, kUp, 1.0f, 1.0f, 1.0f, 0, {45, 90, 135}},
        {0x3, 0x637, {3, 0, 1}, kAhead, kUp, 0.7f, 0.4f, 0.25f, 0, {45, 90, 135}},
        {0x3, 0x637, {3, 0, 1}, kAhead, kUp, 0.3f, 0.4f, 0.25f, 0, {45, 90, 135}},
        // 5.0 on 5.0 behind-left, with other angles (a denser cloud)
        {0x607, 0x607, {-2, 0, -3}, kAhead, kUp, 0.3f, 0.0f, 1.0f, 0, {30, 100, 140}},
        // 7.0 on stereo, above and in front
        {0x637, 0x3, {0, 2, 1}, kAhead, kUp, 0.8f, 0.0f, 1.0f, 0, {45, 90, 135}},
        // stereo law (panning rule 1) to the left
        {0x3, 0x3, {-1, 0, 0.2f}, kAhead, kUp, 0.6f, 0.0f, 1.0f, 1, {45, 90, 135}},
        // the emitter's frame turned to the right, 4.0 on 6.0
        {0x603, 0x633, {0, 0, 4}, {1, 0, 0}, kUp, 0.9f, 0.2f, 1.0f, 0, {45, 90, 135}},
        // 3.0 on a 4.0 with rear speakers, emitter frame reversed, spread at the branch
        {0x7, 0x33, {1, 1, -1}, {0, 0, -1}, kUp, 0.5f, 0.0f, 1.0f, 0, {45, 90, 135}},
        // straight behind: the half-turn rotation
        {0x633, 0x637, {0, 0, -2}, kAhead, kUp, 0.45f, 0.0f, 0.6f, 0, {45, 90, 135}},
        // stereo on 3.0 with a small centre share
        {0x3, 0x7, {0.5f, 0, 1}, kAhead, kUp, 0.2f, 0.0f, 0.3f, 0, {45, 90, 135}},
        // LFE of the output untouched
        {kFC, 0x60F, {1, 0, 1}, kAhead, kUp, 0.5f, 0.0f, 1.0f, 0, {45, 90, 135}},
        // first-order ambisonic output
        {kFC, kAmbisonicFirstOrder, {1, -1, 1}, kAhead, kUp, 0.5f, 0.0f, 1.0f, 0, {45, 90, 135}},
        {0x3, kAmbisonicFirstOrder, {0, 0, 1}, kAhead, kUp, 1.0f, 0.3f, 1.0f, 0, {45, 90, 135}},
    };
    const auto expected = NumpyMatrices(cases);
    ASSERT_EQ(expected.size(), cases.size()) << "the numpy model did not run";
    for (size_t i = 0; i < cases.size(); ++i)
    {
        const Case3D& c = cases[i];
        const Matrix matrix = Pan(c);
        const uint32_t columns = PannedColumns(c);
        ASSERT_EQ(expected[i].size(), matrix.input.NumChannels() * columns) << "case " << i;
        for (uint32_t row = 0; row < matrix.input.NumChannels(); ++row)
            for (uint32_t col = 0; col < columns; ++col)
                EXPECT_NEAR(matrix.At(row, col), expected[i][row * columns + col], 2e-4)
                    << "case " << i << " row " << row << " column " << col;
        for (uint32_t row = 0; row < matrix.input.NumChannels(); ++row)
        {
            if (matrix.output.HasLfe())
            {
                EXPECT_EQ(matrix.At(row, matrix.output.NumChannels() - 1), 0.0f) << "the LFE never takes part";
            }
            if (c.output != kAmbisonicFirstOrder)
            {
                EXPECT_NEAR(matrix.RowPower(row), 1.0f / static_cast<float>(matrix.input.NumChannels()), 1e-4f)
                    << "case " << i << ": each of f channels keeps 1 / f of the power";
            }
        }
    }
}

TEST_F(Panning3D, EdgeCasesOfTheCentreShareTheSpreadAndTheFocus)
{
    // Mono straight ahead on 5.0, centre 1: all power in FC; centre 0.5: FL and FR take a quarter
    // each by the ring without FC.
    Matrix full = Pan({kFC, 0x607, {0, 0, 1}, kAhead, kUp, 0.0f, 0.0f, 1.0f, 0, {45, 90, 135}});
    EXPECT_NEAR(full.At(0, 2) * full.At(0, 2), 1.0f, 1e-6f);
    Matrix half = Pan({kFC, 0x607, {0, 0, 1}, kAhead, kUp, 0.0f, 0.0f, 0.5f, 0, {45, 90, 135}});
    EXPECT_NEAR(half.At(0, 0) * half.At(0, 0), 0.25f, 1e-5f);
    EXPECT_NEAR(half.At(0, 1) * half.At(0, 1), 0.25f, 1e-5f);
    EXPECT_NEAR(half.At(0, 2) * half.At(0, 2), 0.5f, 1e-5f);

    // Stereo at full spread on 7.0: the left cloud covers the left half circle, never FR.
    Matrix stereo = Pan({0x3, 0x637, {0, 0, 1}, kAhead, kUp, 1.0f, 0.0f, 1.0f, 0, {45, 90, 135}});
    EXPECT_EQ(stereo.At(0, 1), 0.0f);
    EXPECT_EQ(stereo.At(1, 0), 0.0f);
    EXPECT_GT(stereo.At(0, 0), 0.1f);

    // A spread or focus that is not a number counts as 0.
    const Matrix gathered = Pan({0x3, 0x637, {1, 0, 1}, kAhead, kUp, 0.0f, 0.0f, 1.0f, 0, {45, 90, 135}});
    const Matrix noNumber = Pan({0x3, 0x637, {1, 0, 1}, kAhead, kUp, NAN, NAN, 1.0f, 0, {45, 90, 135}});
    EXPECT_EQ(noNumber.values, gathered.values);

    // Focus 1 with spread 1: each channel collapses onto its own direction (the sides at 90).
    Matrix focused = Pan({0x3, 0x637, {0, 0, 1}, kAhead, kUp, 1.0f, 1.0f, 1.0f, 0, {45, 90, 135}});
    EXPECT_NEAR(focused.At(0, 5) * focused.At(0, 5), 0.5f, 1e-4f) << "left onto SL";
    EXPECT_NEAR(focused.At(1, 6) * focused.At(1, 6), 0.5f, 1e-4f) << "right onto SR";
}

TEST_F(Panning3D, AnEmitterAtTheListenerIsNotTurned)
{
    // At the listener there is no emitter direction: the arrangement stays as the frame gives it,
    // exactly as for an emitter straight ahead, at every spread and focus.
    for (float spread : {0.0f, 0.3f, 0.7f, 1.0f})
        for (float focus : {0.0f, 0.6f})
        {
            const Matrix here = Pan({0x607, 0x637, {0, 0, 0}, kAhead, kUp, spread, focus, 1.0f, 0, {45, 90, 135}});
            const Matrix ahead = Pan({0x607, 0x637, {0, 0, 7}, kAhead, kUp, spread, focus, 1.0f, 0, {45, 90, 135}});
            EXPECT_TRUE(here.AllFinite());
            for (uint32_t row = 0; row < 5; ++row)
                for (uint32_t col = 0; col < 7; ++col)
                    EXPECT_NEAR(here.At(row, col), ahead.At(row, col), 1e-6f) << spread << " " << focus;
        }
}

TEST_F(Panning3D, OnlyTheMaskedChannelsArePannedAsARingOfTheirOwn)
{
    // 5.0 with SL and SR left out: FL, FC, FR are panned as a 3.0 input would be; the surround rows
    // keep what they held.
    const Case3D c{0x607, 0x637, {1, 0, 2}, kAhead, kUp, 0.6f, 0.2f, 1.0f, 0, {45, 90, 135}};
    Matrix masked(Speakers(0x607), Speakers(0x637));
    std::fill(masked.values.begin(), masked.values.begin() + 3 * masked.stride, 0.0f);
    CZkSpeakerPan::ComputeSpeakerVolumes3D(RayOf(c), c.centre, c.spread, c.focus, masked.Data(), masked.input,
                                           kFL | kFR | kFC, masked.output, &device);
    Case3D three = c;
    three.input = 0x7;
    const Matrix reference = Pan(three);
    for (uint32_t row = 0; row < 3; ++row)
        for (uint32_t col = 0; col < 7; ++col)
            EXPECT_NEAR(masked.At(row, col), reference.At(row, col), 1e-6f);
    for (uint32_t row = 3; row < 5; ++row)
        EXPECT_EQ(masked.At(row, 0), Matrix::kPoison);
}

TEST_F(Panning3D, VbapLayoutsKeepThePowerAndBlendTheCentre)
{
    struct VbapCase
    {
        uint32_t input;
        ZkVector position;
        float spread;
        float centre;
    };
    const VbapCase cases[] = {
        {kFC, {0, 0, 1}, 0.0f, 1.0f},     {kFC, {0, 5, 0.1f}, 0.0f, 1.0f}, {kFC, {0, -3, 1}, 0.4f, 0.5f},
        {0x3, {1, 1, 1}, 0.8f, 0.0f},     {0x607, {0, 0, -1}, 0.6f, 0.7f}, {0x637, {-2, 1, 0}, 1.0f, 1.0f},
    };
    for (const VbapCase& v : cases)
    {
        const Case3D c{v.input, kSevenPointOneFour, v.position, kAhead, kUp, v.spread, 0.2f, v.centre, 0, {45, 90, 135}};
        const Matrix matrix = Pan(c);
        const uint32_t f = ZkSpeakerMasks::CountOf(v.input);
        for (uint32_t row = 0; row < f; ++row)
        {
            EXPECT_NEAR(matrix.RowPower(row), 1.0f / static_cast<float>(f), 1e-4f) << "input " << v.input;
            EXPECT_EQ(matrix.At(row, 11), 0.0f) << "LFE";
            if (v.centre == 0.0f)
            {
                EXPECT_EQ(matrix.At(row, 2), 0.0f) << "centre 0 pans on the layout without FC only";
            }
        }
    }
    // Straight up at spread 0: the power goes to the four top speakers (columns 7 to 10).
    const Matrix up = Pan({kFC, kSevenPointOneFour, {0, 5, 0}, kAhead, kUp, 0.0f, 0.0f, 1.0f, 0, {45, 90, 135}});
    float top = 0.0f;
    for (uint32_t col = 7; col < 11; ++col)
        top += up.At(0, col) * up.At(0, col);
    EXPECT_NEAR(top, 1.0f, 1e-4f);
}

TEST_F(Panning3D, CachesThatCannotBeBuiltLeaveTheRowsZeroAndAreBuiltLater)
{
    namespace Faults = ZK::MemoryMgr::FaultInjection;
    // Stereo on 7.1.4 with a centre share: the 3-D point set, the full VBAP layout and the one
    // without FC are all built on first use.
    const Case3D c{0x3, kSevenPointOneFour, {1, 1, 2}, kAhead, kUp, 0.5f, 0.2f, 0.5f, 0, {45, 90, 135}};
    const Matrix reference = Pan(c);
    auto panOnFreshDevice = [&](uint32_t failing) {
        CZkOutputDevice fresh;
        EXPECT_EQ(fresh.SetSpeakerAngles(c.angles, 3, 54.7f), ZK_Success);
        Matrix matrix(Speakers(c.input), OutputOf(c));
        matrix.ZeroRows();
        {
            Faults::ScopedAllocationFailure failure(Faults::kAnyPool, failing);
            CZkSpeakerPan::ComputeSpeakerVolumes3D(RayOf(c), c.centre, c.spread, c.focus, matrix.Data(), matrix.input,
                                                   kZkAllInputChannels, matrix.output, &fresh);
        }
        Matrix again(Speakers(c.input), OutputOf(c));
        again.ZeroRows();
        CZkSpeakerPan::ComputeSpeakerVolumes3D(RayOf(c), c.centre, c.spread, c.focus, again.Data(), again.input,
                                               kZkAllInputChannels, again.output, &fresh);
        EXPECT_EQ(again.values, reference.values) << "allocation " << failing << " failed: nothing half-built stays";
        return matrix;
    };
    Faults::CountOnly(Faults::kAnyPool);
    panOnFreshDevice(Faults::kNever);
    Faults::Disarm();
    const uint32_t allocations = Faults::CountedAllocations();
    ASSERT_GT(allocations, 3u);
    for (uint32_t n = 1; n <= allocations; ++n)
    {
        const Matrix matrix = panOnFreshDevice(n);
        const bool silent = matrix.RowPower(0) == 0.0f && matrix.RowPower(1) == 0.0f;
        EXPECT_TRUE(silent || matrix.values == reference.values) << "allocation " << n;
    }
}

// Harmonics (W, Y, Z, X) of an engine direction.
std::vector<float> FirstOrder(float x, float y, float z)
{
    const float n = std::sqrt(x * x + y * y + z * z);
    return {1.0f, -x / n, y / n, z / n};
}

TEST_F(Panning3D, AnAmbisonicFieldIsTurnedByTheFrameAndGathersWithTheSpread)
{
    // Re-encoding at full spread with the frame turned to the right: a plane wave from straight
    // ahead of the emitter arrives from the listener's right.
    ZkPositioningRay ray;
    ray.front = {1.0f, 0.0f, 0.0f};
    const Matrix turn = Pan3D(ray, 1.0f, 1.0f, 0.0f, Ambisonic(4), Ambisonic(4));
    const std::vector<float> ahead = FirstOrder(0.0f, 0.0f, 1.0f);
    const std::vector<float> right = FirstOrder(1.0f, 0.0f, 0.0f);
    for (uint32_t c = 0; c < 4; ++c)
    {
        float out = 0.0f;
        for (uint32_t n = 0; n < 4; ++n)
            out += ahead[n] * turn.At(n, c);
        EXPECT_NEAR(out, right[c], 0.05f) << "channel " << c;
    }
    EXPECT_TRUE(turn.GuardIntact());

    // Decoded at spread 0 onto 5.0 straight ahead: the whole field gathers in FC.
    ZkPositioningRay ahead5;
    ahead5.position = {0.0f, 0.0f, 2.0f};
    const Matrix decode = Pan3D(ahead5, 1.0f, 0.0f, 0.0f, Ambisonic(4), Speakers(0x607));
    EXPECT_GT(decode.At(0, 2), 0.1f);
    for (uint32_t n = 0; n < 4; ++n)
        for (uint32_t c : {0u, 1u, 3u, 4u})
            EXPECT_LT(std::fabs(decode.At(n, c)), 1e-3f * decode.At(0, 2)) << n << " " << c;
}

TEST_F(Panning3D, MonoOutputsDirectAssignmentAndWhatIsLeftAlone)
{
    ZkPositioningRay ray;
    ray.position = {2.0f, 0.0f, 1.0f};

    const Matrix speakersToMono = Pan3D(ray, 1.0f, 0.5f, 0.0f, Speakers(0x607), Speakers(kFC), kFL | kSL);
    EXPECT_EQ(speakersToMono.At(0, 0), 1.0f);
    EXPECT_EQ(speakersToMono.At(3, 0), 1.0f);
    EXPECT_EQ(speakersToMono.At(1, 0), 0.0f) << "outside the mask";

    const Matrix fieldToMono = Pan3D(ray, 1.0f, 0.5f, 0.0f, Ambisonic(9), Speakers(kFC | ZK_SPEAKER_LOW_FREQUENCY));
    EXPECT_EQ(fieldToMono.At(0, 0), 1.0f) << "W only";
    EXPECT_EQ(fieldToMono.At(1, 0), 0.0f);

    const Matrix anonymous = Pan3D(ray, 1.0f, 0.5f, 0.0f, ZkChannelConfig::Anonymous(2), Speakers(0x607));
    EXPECT_EQ(anonymous.At(0, 0), 1.0f);
    EXPECT_EQ(anonymous.At(1, 1), 1.0f);
    EXPECT_EQ(anonymous.At(0, 1), 0.0f);

    // Without a device, or onto objects, nothing is written.
    for (const ZkChannelConfig output : {Speakers(0x637), ZkChannelConfig((ZkChannelConfigType_Objects << 8) | 2)})
    {
        Matrix untouched(Speakers(0x3), output);
        CZkSpeakerPan::ComputeSpeakerVolumes3D(ray, 1.0f, 0.5f, 0.0f, untouched.Data(), untouched.input,
                                               kZkAllInputChannels, untouched.output,
                                               output.Type() == ZkChannelConfigType_Objects ? &device : nullptr);
        EXPECT_EQ(untouched.At(0, 0), Matrix::kPoison);
        EXPECT_TRUE(untouched.GuardIntact());
    }
}
} // namespace
