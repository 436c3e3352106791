// Ray attenuation and listener filters against a numpy model (ray_attenuation_model.py) of the
// steps: attenuations read from writer-made banks with every role mapped (linear and constant
// segments; volume scalings 0, 2 and 4), the environment's occlusion and obstruction curves on and
// off, random distances, emitter angles and percentages over two listeners and every path.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Banks/BankTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

// Every role mapped; slot 0 shared by the dry path and the first send.
const char* const kEveryRole = R"({"type": "attenuation", "id": 1, "map": [0, 0, 1, 2, 3, 4, 4],
    "cone": {"inside": 60, "outside": 240, "volume": -9, "lowpass": 40, "highpass": 25},
    "curves": [{"scaling": 2, "points": [[0, 0], [40, -0.25], [150, -0.9]]},
               {"scaling": 4, "points": [[0, 0], [60, -6, 9], [90, -12], [120, -30]]},
               {"points": [[0, 0], [100, 80]]},
               {"points": [[20, 0], [50, 10, 9], [70, 60]]},
               {"points": [[0, 100], [150, 20]]}]})";
// Dry curve only, in decibels, no cone: the sends keep their gains, no filter curve.
const char* const kDryOnly = R"({"type": "attenuation", "id": 2, "map": [0, 255, 255, 255, 255, 255, 255],
    "curves": [{"points": [[0, 0], [100, -20]]}]})";

const char* const kEnvironment = R"({"obstruction": [{"points": [[0, 0], [100, -12]]}, {"points": [[0, 0], [100, 70]]},
                                                     {"points": [[0, 0], [100, 30]]}],
                                     "occlusion": [{"scaling": 2, "points": [[0, 0], [100, -0.8]]},
                                                   {"points": [[0, 0], [50, 20, 9], [100, 90]]}, null]})";

class RayAttenuation : public ZkBankTest::BankParseTest
{
protected:
    void SetUp() override
    {
        BankParseTest::SetUp();
        const ZKRESULT loaded = ParseMemory(ZkBankTest::WriteBank(ZkBankTest::Bank(
            std::string(R"({"tag": "BKHD"}, {"tag": "HIRC", "items": [)") + kEveryRole + ", " + kDryOnly + "]}")));
        ASSERT_EQ(loaded, ZK_Success);
        // The environment curves as the "ENVS" reader sets them (obstruction group 0, occlusion 1).
        const struct
        {
            uint32_t group;
            uint32_t curve;
            std::vector<ZkCurvePoint> points;
            uint8_t scaling;
        } curves[] = {
            {0, 0, {{0, 0, 4}, {100, -12, 4}}, 0}, {0, 1, {{0, 0, 4}, {100, 70, 4}}, 0},
            {0, 2, {{0, 0, 4}, {100, 30, 4}}, 0},  {1, 0, {{0, 0, 4}, {100, -0.8f, 4}}, 2},
            {1, 1, {{0, 0, 4}, {50, 20, 9}, {100, 90, 4}}, 0},
        };
        for (const auto& c : curves)
        {
            ASSERT_EQ(m_environment.Set(c.group, c.curve, static_cast<uint16_t>(c.points.size()), c.points.data(),
                                        c.scaling),
                      ZK_Success);
            m_environment.curveEnabled[c.group][c.curve] = 1;
        }
    }
    void TearDown() override
    {
        m_environment.Term();
        BankParseTest::TearDown();
    }

    CZkEnvCurves m_environment;
};

TEST_F(RayAttenuation, GainsConeAndFiltersEqualTheModel)
{
    std::mt19937 random(20261210);
    std::uniform_real_distribution<float> distance(0.0f, 160.0f);
    std::uniform_real_distribution<float> angle(0.0f, 3.1415927f);
    std::uniform_real_distribution<float> percent(0.0f, 100.0f);
    const auto sometimes = [&](float value) { return random() % 3 == 0 ? 0.0f : value; };
    const struct
    {
        const char* what;
        ZkUniqueID attenuation;
        const char* description;
        bool environment;
    } cases[] = {
        {"every role, environment", 1, kEveryRole, true},
        {"every role, no environment", 1, kEveryRole, false},
        {"dry curve only, environment", 2, kDryOnly, true},
        {"no attenuation, environment", 0, "null", true},
    };
    constexpr ZkGameObjectID kListener = 7;
    for (const auto& c : cases)
    {
        for (uint32_t path = 0; path < 3; ++path)
        {
            SCOPED_TRACE(std::string(c.what) + ", path " + std::to_string(path));
            std::vector<ZkRay> rays(8);
            std::ostringstream json;
            json << R"({"attenuation": )" << c.description << R"(, "path": )" << path << R"(, "listener": )"
                 << kListener << R"(, "environment": )" << (c.environment ? kEnvironment : "{}") << R"(, "rays": [)";
            for (uint32_t index = 0; index < rays.size(); ++index)
            {
                ZkRay& ray = rays[index];
                ray.distance = distance(random);
                ray.emitterAngle = angle(random);
                ray.occlusionPercent = sometimes(percent(random));
                ray.obstructionPercent = sometimes(percent(random));
                ray.occlusionLikePercent = sometimes(percent(random));
                ray.obstructionLikePercent = sometimes(percent(random));
                ray.listenerID = index % 4 == 3 ? kListener + 1 : kListener;
                json << (index != 0 ? ", " : "") << R"({"distance": )" << ray.distance << R"(, "emitter_angle": )"
                     << ray.emitterAngle << R"(, "occlusion": )" << ray.occlusionPercent << R"(, "obstruction": )"
                     << ray.obstructionPercent << R"(, "occlusion_like": )" << ray.occlusionLikePercent
                     << R"(, "obstruction_like": )" << ray.obstructionLikePercent << R"(, "listener": )"
                     << ray.listenerID << "}";
            }
            json << "]}";
            CZkAttenuation* attenuation = CZkAttenuation::Find(c.attenuation);
            const CZkEnvCurves* environment = c.environment ? &m_environment : nullptr;
            CZkPositioningMath::ComputeRayAttenuation(attenuation, environment, rays.data(),
                                                      static_cast<uint32_t>(rays.size()));
            float v = 0.0f, w = 0.0f;
            CZkPositioningMath::ComputeListenerFilters(attenuation, environment, rays.data(),
                                                       static_cast<uint32_t>(rays.size()), kListener, path, v, w);
            if (attenuation != nullptr)
                attenuation->Release();

            std::istringstream model(ZkEngineTest::RunCommand(
                "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
                "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/ray_attenuation_model.py\" '" + json.str() +
                "'"));
            // Each decibel conversion is the engine's fast power of ten (0.25 %); the dry gain
            // takes up to three of them.
            constexpr double kGainTolerance = 0.0075;
            for (const ZkRay& ray : rays)
            {
                double dry = 0, aux1 = 0, aux2 = 0, cone = 0, lp = 0, hp = 0;
                ASSERT_TRUE(model >> dry >> aux1 >> aux2 >> cone >> lp >> hp) << json.str();
                EXPECT_NEAR(ray.dryGain, dry, kGainTolerance * dry + 1e-6) << json.str();
                EXPECT_NEAR(ray.auxGain1, aux1, kGainTolerance * aux1 + 1e-6);
                EXPECT_NEAR(ray.auxGain2, aux2, kGainTolerance * aux2 + 1e-6);
                EXPECT_NEAR(ray.coneFactor, cone, 1e-5);
                if (ray.listenerID == kListener)
                {
                    EXPECT_NEAR(ray.lowPass, lp, 1e-3);
                    EXPECT_NEAR(ray.highPass, hp, 1e-3);
                }
            }
            double modelV = 0, modelW = 0;
            ASSERT_TRUE(model >> modelV >> modelW);
            EXPECT_NEAR(v, modelV, 1e-3);
            EXPECT_NEAR(w, modelW, 1e-3);
        }
    }
}

// A voice without rays for its listener keeps no filtering; the cone's edges.
TEST_F(RayAttenuation, EdgeCases)
{
    CZkAttenuation* attenuation = CZkAttenuation::Find(1);
    ASSERT_NE(attenuation, nullptr);
    ZkRay rays[2];
    rays[0].listenerID = 5;
    rays[1].listenerID = 5;
    float v = 0.0f, w = 0.0f;
    CZkPositioningMath::ComputeListenerFilters(attenuation, &m_environment, rays, 2, 6, 0, v, w);
    EXPECT_EQ(v, 100.0f) << "no ray of listener 6";
    EXPECT_EQ(w, 100.0f);

    // Cone 60 / 240 degrees: half-angles 30 and 120; straight ahead no cone, 75 degrees halfway.
    rays[0].emitterAngle = 0.0f;
    rays[1].emitterAngle = 75.0f * 3.1415927f / 180.0f;
    rays[0].distance = rays[1].distance = 0.0f;
    CZkPositioningMath::ComputeRayAttenuation(attenuation, nullptr, rays, 2);
    EXPECT_EQ(rays[0].coneFactor, 0.0f);
    EXPECT_EQ(rays[0].dryGain, 1.0f) << "inside the cone the gain is untouched";
    EXPECT_NEAR(rays[1].coneFactor, 0.5f, 1e-5f);
    EXPECT_NEAR(rays[1].dryGain, std::pow(10.0f, -4.5f / 20.0f), 0.0025f);
    attenuation->Release();
}
} // namespace
