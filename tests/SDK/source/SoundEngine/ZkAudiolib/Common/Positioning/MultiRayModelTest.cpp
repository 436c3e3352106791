// The mix matrices of positioned voices against a numpy model built on the three-dimensional
// panning model (multiray_model.py): mono, stereo and 5.1 inputs onto stereo, 5.1 and first-order
// ambisonics, one and three rays, multi-position modes 0-2, with and without spatialization and
// listener offsets; the single-ray matrix of ComputeMixMatrix and of a positioned object's
// panning parameters (3-D fields 1 and 2) likewise.
#include <SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h>
#include <SDK/source/SoundEngine/ZkAudiolib/Common/Panning/PanningTestSupport.h>

#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Positioning/CZkPositioningMath.h>
#include <ZkAudiolib/Common/Positioning/ZkPanningParams.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace PanningTest;
using ZK::SoundEngine::CZkPositioningMath;
using ZK::SoundEngine::ZkListenerView;
using ZK::SoundEngine::ZkMixMatrixTarget;
using ZK::SoundEngine::ZkMultiRayRequest;
using ZK::SoundEngine::ZkPanningParams;
using ZK::SoundEngine::ZkPositioningRay;

constexpr uint32_t kMonoCentre = 0x4;
constexpr uint32_t kStereo = 0x3;
constexpr uint32_t kFivePointOne = 0x60F;
constexpr uint32_t kFirstOrder = 0; // a case's output mask 0: first-order ambisonics

struct ModelCase
{
    uint32_t input;
    uint32_t output;
    std::vector<ZkPositioningRay> rays;
    std::vector<float> gains;
    uint32_t mode = 0;
    bool spatialized = true;
    uint32_t offsetMask = 0; // the listener's configuration; 0 without offsets
    uint32_t offsetCount = 0;
    std::vector<float> offsets;

    ZkChannelConfig Input() const { return Speakers(input); }
    ZkChannelConfig Output() const { return output == kFirstOrder ? Ambisonic(4) : Speakers(output); }
};

ZkPositioningRay Ray(ZkVector position, float spread, float focus, float centre, ZkVector front = {0, 0, 1},
                     ZkVector top = {0, 1, 0})
{
    ZkPositioningRay ray;
    ray.position = position;
    ray.front = front;
    ray.top = top;
    ray.spread = spread;
    ray.focus = focus;
    ray.centrePercentage = centre;
    return ray;
}

const std::vector<ZkPositioningRay> kThreeRays = {
    Ray({2, 0, 5}, 0.2f, 0.0f, 1.0f),
    Ray({-3, -2, 1}, 0.0f, 0.3f, 0.5f),
    Ray({0, 4, -3}, 0.5f, 0.2f, 0.0f, {1, 0, 0}, {0, 1, 0}),
};

std::string Json(const ModelCase& c, const float angles[3], uint32_t rule)
{
    std::ostringstream out;
    out.precision(9);
    out << "{\"in\": " << c.input << ", \"out\": " << c.output << ", \"rays\": [";
    for (size_t i = 0; i < c.rays.size(); ++i)
    {
        const ZkPositioningRay& r = c.rays[i];
        out << (i ? ", " : "") << '[' << r.position.x << ", " << r.position.y << ", " << r.position.z << ", "
            << r.front.x << ", " << r.front.y << ", " << r.front.z << ", " << r.top.x << ", " << r.top.y << ", "
            << r.top.z << ", " << r.spread << ", " << r.focus << ", " << r.centrePercentage << ']';
    }
    out << "], \"gains\": [";
    for (size_t i = 0; i < c.gains.size(); ++i)
        out << (i ? ", " : "") << c.gains[i];
    out << "], \"mode\": " << c.mode << ", \"spatialized\": " << (c.spatialized ? 1 : 0) << ", \"offsets\": ";
    if (c.offsetMask == 0)
    {
        out << "null";
    }
    else
    {
        out << "{\"mask\": " << c.offsetMask << ", \"count\": " << c.offsetCount << ", \"gains\": [";
        for (size_t i = 0; i < c.offsets.size(); ++i)
            out << (i ? ", " : "") << c.offsets[i];
        out << "]}";
    }
    out << ", \"rule\": " << rule << ", \"angles\": [" << angles[0] << ", " << angles[1] << ", " << angles[2]
        << "]}";
    return out.str();
}

class MultiRayModel : public PanningDeviceFixture
{
protected:
    // The model's matrix of every case (input channels x output channels, row by row).
    std::vector<std::vector<double>> Model(const std::vector<ModelCase>& cases)
    {
        // The fixture's device pans at these angles (a device without a sink does not report them).
        const float angles[3] = {45.0f, 90.0f, 135.0f};
        const std::filesystem::path file = std::filesystem::path(testing::TempDir()) /
                                           ("multiray_cases_" + std::to_string(::getpid()) + ".txt");
        {
            std::ofstream out(file);
            for (const ModelCase& c : cases)
                out << Json(c, angles, device.panningRule) << '\n';
        }
        std::istringstream output(ZkEngineTest::RunCommand(
            "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
            "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/multiray_model.py\" < \"" + file.string() +
            "\""));
        std::filesystem::remove(file);
        std::vector<std::vector<double>> matrices;
        std::string line;
        while (std::getline(output, line))
        {
            std::istringstream numbers(line);
            std::vector<double> values;
            double v = 0.0;
            while (numbers >> v)
                values.push_back(v);
            matrices.push_back(values);
        }
        return matrices;
    }

    static void ExpectMatrix(const std::vector<float>& matrix, ZkChannelConfig input, ZkChannelConfig output,
                             const std::vector<double>& model, const std::string& what)
    {
        ASSERT_EQ(model.size(), size_t{input.NumChannels()} * output.NumChannels()) << what;
        const uint32_t stride = ZkSpeakerMasks::RowStride(output.NumChannels());
        for (uint32_t row = 0; row < input.NumChannels(); ++row)
            for (uint32_t column = 0; column < output.NumChannels(); ++column)
                EXPECT_NEAR(matrix[row * stride + column], model[row * output.NumChannels() + column], 1e-5)
                    << what << ", row " << row << ", column " << column;
    }

    std::vector<float> MultiRay(const ModelCase& c)
    {
        ZkMultiRayRequest request;
        request.items = c.rays.data();
        request.gains = c.gains.data();
        request.rayCount = static_cast<uint32_t>(c.rays.size());
        request.input = c.Input();
        request.pan.pan3D = true;
        request.multiPositionMode = c.mode;
        request.listener.spatialized = c.spatialized;
        if (c.offsetMask != 0)
        {
            request.listener.config = ZkChannelConfig((Speakers(c.offsetMask).word & ~0xFFu) | c.offsetCount);
            request.listener.offsetGains = c.offsets.data();
        }
        const ZkChannelConfig output = c.Output();
        std::vector<float> matrix(size_t{c.Input().NumChannels()} * ZkSpeakerMasks::RowStride(output.NumChannels()),
                                  -7.0f);
        std::vector<float> scratch(CZkPositioningMath::MultiRayScratchFloats(request.rayCount, c.Input(), output),
                                   -9.0f);
        ZkMixMatrixTarget target;
        target.output = output;
        target.matrix = matrix.data();
        target.device = &device;
        EXPECT_EQ(CZkPositioningMath::ComputeMultiRayMixMatrix(request, target, scratch.data()), ZK_Success);
        return matrix;
    }
};

std::string Describe(const ModelCase& c)
{
    return "input " + std::to_string(c.input) + " onto " + std::to_string(c.output) + ", " +
           std::to_string(c.rays.size()) + " rays, mode " + std::to_string(c.mode) +
           (c.spatialized ? ", spatialized" : ", unspatialized") +
           (c.offsetMask != 0 ? ", offsets of " + std::to_string(c.offsetMask) : std::string());
}

TEST_F(MultiRayModel, MatricesOfOneAndSeveralRaysMatchTheModel)
{
    const std::vector<float> gains = {0.7f, 0.9f, 0.4f};
    std::vector<ModelCase> cases;
    for (uint32_t input : {kMonoCentre, kStereo, kFivePointOne})
        for (uint32_t output : {kStereo, kFivePointOne, kFirstOrder})
            for (uint32_t rays : {1u, 3u})
                for (uint32_t mode : {0u, 1u, 2u})
                    for (bool spatialized : {true, false})
                        for (uint32_t offsets : {0u, kStereo, kFivePointOne})
                        {
                            // Several rays onto ambisonics are encoded together unless summed.
                            if (output == kFirstOrder && rays > 1 && mode != 1)
                                continue;
                            ModelCase c;
                            c.input = input;
                            c.output = output;
                            c.rays.assign(kThreeRays.begin(), kThreeRays.begin() + rays);
                            c.gains.assign(gains.begin(), gains.begin() + rays);
                            c.mode = mode;
                            c.spatialized = spatialized;
                            if (offsets != 0)
                            {
                                // A 5.1 listener storing only two offsets (the rest count as 0 dB).
                                c.offsetMask = offsets;
                                c.offsetCount = 2;
                                c.offsets = {0.5f, 0.8f};
                            }
                            cases.push_back(c);
                        }
    // Equal magnitudes: the later ray's coefficient wins.
    ModelCase tie;
    tie.input = kStereo;
    tie.output = kFivePointOne;
    tie.rays.assign(kThreeRays.begin(), kThreeRays.end());
    tie.gains = {0.5f, 0.5f, -0.5f};
    tie.spatialized = false;
    cases.push_back(tie);

    const std::vector<std::vector<double>> model = Model(cases);
    ASSERT_EQ(model.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        ExpectMatrix(MultiRay(cases[i]), cases[i].Input(), cases[i].Output(), model[i], Describe(cases[i]));
}

// One item: ComputeMixMatrix's three-dimensional panning, and a positioned object's panning
// parameters (3-D field 2 keeps the object's frame, 1 turns it to the identity frame).
TEST_F(MultiRayModel, SingleRayMatricesOfVoicesAndObjectsMatchTheModel)
{
    std::vector<ModelCase> cases;
    for (uint32_t input : {kMonoCentre, kStereo, kFivePointOne})
        for (uint32_t output : {kStereo, kFivePointOne, kFirstOrder})
            for (const ZkPositioningRay& ray : kThreeRays)
            {
                ModelCase c;
                c.input = input;
                c.output = output;
                c.rays = {ray};
                c.gains = {1.0f};
                cases.push_back(c);
                ModelCase identity = c;
                identity.rays[0].front = {0, 0, 1};
                identity.rays[0].top = {0, 1, 0};
                cases.push_back(identity);
            }
    const std::vector<std::vector<double>> model = Model(cases);
    ASSERT_EQ(model.size(), cases.size());
    for (size_t i = 0; i < cases.size(); i += 2)
    {
        const ModelCase& c = cases[i];
        const ZkChannelConfig output = c.Output();
        const size_t floats = size_t{c.Input().NumChannels()} * ZkSpeakerMasks::RowStride(output.NumChannels());

        std::vector<float> voice(floats, -7.0f);
        ZK::SoundEngine::ZkPanParams pan;
        pan.pan3D = true;
        pan.item = &c.rays[0];
        ZkMixMatrixTarget target;
        target.output = output;
        target.matrix = voice.data();
        target.device = &device;
        EXPECT_EQ(CZkPositioningMath::ComputeMixMatrix(c.Input(), pan, 0, target), ZK_Success);
        ExpectMatrix(voice, c.Input(), output, model[i], "a voice's matrix, " + Describe(c));

        for (uint32_t field : {2u, 1u})
        {
            ZkPanningParams params;
            params.ray = c.rays[0];
            params.centrePercentage = c.rays[0].centrePercentage;
            params.threeD = field;
            std::vector<float> object(floats, -7.0f);
            if (output.Type() == ZkChannelConfigType_Ambisonic)
                continue; // positioned objects pan onto speakers
            EXPECT_EQ(CZkSpeakerPan::ComputeVolumesForParams(params, c.Input(), output, &device, object.data()),
                      ZK_Success);
            ExpectMatrix(object, c.Input(), output, model[field == 2 ? i : i + 1],
                         "an object's matrix, 3-D field " + std::to_string(field) + ", " + Describe(c));
        }
    }
}
} // namespace
