// Distance attenuation, cone, occlusion and obstruction of rays, and the filter pair of a listener.
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
// The environment curves' groups and their curves.
constexpr uint32_t kObstruction = 0;
constexpr uint32_t kOcclusion = 1;
constexpr uint32_t kVolumeCurve = 0;
constexpr uint32_t kLowPassCurve = 1;
constexpr uint32_t kHighPassCurve = 2;

bool EnvironmentCurveApplies(const CZkEnvCurves* environment, uint32_t group, uint32_t curve)
{
    return environment != nullptr && environment->IsEnabled(group, curve) && environment->InUse(group, curve);
}

// An environment curve at a percentage. The environment's curves are shared by every voice: each
// evaluation starts its segment search afresh instead of writing a shared cached index.
float EvaluateEnvironment(const CZkEnvCurves& environment, uint32_t group, uint32_t curve, float percent)
{
    uint32_t segment = kCurveFirstSegment;
    return environment.Curve(group, curve).Evaluate(percent, segment);
}

float OcclusionOf(const ZkRay& ray) { return std::max(ray.occlusionPercent, ray.occlusionLikePercent); }
float ObstructionOf(const ZkRay& ray) { return std::max(ray.obstructionPercent, ray.obstructionLikePercent); }
} // namespace

void CZkPositioningMath::ComputeRayAttenuation(CZkAttenuation* attenuation, const CZkEnvCurves* environment, ZkRay* rays,
                                               uint32_t rayCount)
{
    for (uint32_t index = 0; index < rayCount; ++index)
    {
        ZkRay& ray = rays[index];
        if (attenuation != nullptr)
        {
            float gains[CZkAttenuation::kVolumeRoles] = {ray.dryGain, ray.auxGain1, ray.auxGain2};
            attenuation->EvaluateVolumes(ray.distance, gains);
            ray.dryGain = gains[0];
            ray.auxGain1 = gains[1];
            ray.auxGain2 = gains[2];
            if (attenuation->ConeEnabled())
            {
                const float factor = attenuation->ConeFactor(ray.emitterAngle);
                if (factor != 0.0f)
                    ray.dryGain *= ZkFastPow10(attenuation->ConeOutsideVolumeDb() * factor * kDecibelsToPow10);
                ray.coneFactor = factor;
            }
        }
        const float occlusion = OcclusionOf(ray);
        if (occlusion != 0.0f && EnvironmentCurveApplies(environment, kOcclusion, kVolumeCurve))
        {
            const float gain = EvaluateEnvironment(*environment, kOcclusion, kVolumeCurve, occlusion);
            ray.dryGain *= gain;
            ray.auxGain1 *= gain;
            ray.auxGain2 *= gain;
        }
        const float obstruction = ObstructionOf(ray);
        if (obstruction != 0.0f && EnvironmentCurveApplies(environment, kObstruction, kVolumeCurve))
            ray.dryGain *= EvaluateEnvironment(*environment, kObstruction, kVolumeCurve, obstruction);
    }
}

void CZkPositioningMath::ComputeListenerFilters(CZkAttenuation* attenuation, const CZkEnvCurves* environment, ZkRay* rays,
                                                uint32_t rayCount, ZkGameObjectID listener, uint32_t path,
                                                float& lowPass, float& highPass)
{
    lowPass = kNoFiltering;
    highPass = kNoFiltering;
    const bool cone = attenuation != nullptr && attenuation->ConeEnabled();
    const float coneLowPass = cone ? attenuation->ConeOutsideLowPass() : 0.0f;
    const float coneHighPass = cone ? attenuation->ConeOutsideHighPass() : 0.0f;
    for (uint32_t index = 0; index < rayCount; ++index)
    {
        ZkRay& ray = rays[index];
        if (listener != kEveryListener && ray.listenerID != listener)
            continue;
        float lp = ray.coneFactor * coneLowPass;
        float hp = ray.coneFactor * coneHighPass;
        if (attenuation != nullptr)
        {
            lp = std::max(lp, attenuation->EvaluateRole(ZkAttenuationRole_LowPass, ray.distance, 0.0f));
            hp = std::max(hp, attenuation->EvaluateRole(ZkAttenuationRole_HighPass, ray.distance, 0.0f));
        }
        const float occlusion = OcclusionOf(ray);
        if (occlusion != 0.0f)
        {
            if (EnvironmentCurveApplies(environment, kOcclusion, kLowPassCurve))
                lp = std::max(lp, EvaluateEnvironment(*environment, kOcclusion, kLowPassCurve, occlusion));
            if (EnvironmentCurveApplies(environment, kOcclusion, kHighPassCurve))
                hp = std::max(hp, EvaluateEnvironment(*environment, kOcclusion, kHighPassCurve, occlusion));
        }
        const float obstruction = ObstructionOf(ray);
        if (path == kDryPath && obstruction != 0.0f)
        {
            if (EnvironmentCurveApplies(environment, kObstruction, kLowPassCurve))
                lp = std::max(lp, EvaluateEnvironment(*environment, kObstruction, kLowPassCurve, obstruction));
            if (EnvironmentCurveApplies(environment, kObstruction, kHighPassCurve))
                hp = std::max(hp, EvaluateEnvironment(*environment, kObstruction, kHighPassCurve, obstruction));
        }
        ray.lowPass = lp;
        ray.highPass = hp;
        // The ray with the least filtering wins.
        lowPass = std::min(lowPass, lp);
        highPass = std::min(highPass, hp);
    }
}
} // namespace ZK::SoundEngine
