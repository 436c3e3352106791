// CZkMixBus: the dynamic-range window. Its top follows the loudest input above the threshold
// (compressed by the ratio), falls back with the release coefficient per frame, and is published
// to the node's output game parameter; the voices below read the top with the bus volume.
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
// Properties of the bus node and the game-parameter targets that replace them when bound.
constexpr uint32_t kThresholdProperty = 27;
constexpr uint32_t kRatioProperty = 28;
constexpr uint32_t kReleaseProperty = 29;
constexpr uint32_t kThresholdTarget = 34;
constexpr uint32_t kReleaseTarget = 35;
constexpr uint32_t kRatioTarget = 36;
// The window's release is timed at this rate whatever the engine's.
constexpr float kReleaseRate = 48000.0f;
// A top still this far above its target keeps the bus alive.
constexpr float kMovingMarginDb = 0.5f;

float ReadWindowParameter(const CZkHierarchyNode& node, uint32_t property, uint32_t target, CZkGameObject* object)
{
    auto& targets = const_cast<CZkParamTargetList&>(node.ParamTargets());
    if ((targets.UsedBits() >> target & 1u) != 0 && g_pRTPCMgr != nullptr)
    {
        const ZkRTPCKey key =
            object != nullptr ? ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(object)) : ZkRTPCKey::Global();
        return g_pRTPCMgr->GetModulatorValue(&targets, target, key);
    }
    return node.GetFloatProperty(property);
}

float ReleaseCoefficient(float releaseSeconds)
{
    if (!(releaseSeconds > 0.0f))
        return 0.0f;
    return std::exp(-static_cast<float>(ZkAudioSettings::FramesPerBuffer()) / (releaseSeconds * kReleaseRate));
}

float RatioFactor(float ratio) { return ratio > 0.0f ? 1.0f - 1.0f / ratio : 0.0f; }
} // namespace

void CZkMixBus::InitWindow(const CZkHierarchyNode& node)
{
    windowFlags = kWindowEnabled;
    CZkGameObject* object = m_key.GameObject();
    m_window->thresholdDb = ReadWindowParameter(node, kThresholdProperty, kThresholdTarget, object);
    m_window->ratioFactor = RatioFactor(ReadWindowParameter(node, kRatioProperty, kRatioTarget, object));
    m_window->releaseCoefficient = ReleaseCoefficient(ReadWindowParameter(node, kReleaseProperty, kReleaseTarget, object));
}

void CZkMixBus::UpdateWindow()
{
    ZkBusWindow* window = m_window;
    const CZkHierarchyNode* node = m_key.Node();
    if (window == nullptr || (windowFlags & kWindowEnabled) == 0)
        return;
    if (node != nullptr)
    {
        CZkGameObject* object = m_key.GameObject();
        window->thresholdDb = ReadWindowParameter(*node, kThresholdProperty, kThresholdTarget, object);
        window->ratioFactor = RatioFactor(ReadWindowParameter(*node, kRatioProperty, kRatioTarget, object));
        window->releaseCoefficient =
            ReleaseCoefficient(ReadWindowParameter(*node, kReleaseProperty, kReleaseTarget, object));
    }
    const float threshold = window->thresholdDb;
    const float excess = window->inputPeakDb - m_volumeDb - threshold;
    float target = excess > 0.0f ? threshold + excess * window->ratioFactor : threshold;
    const float c = window->releaseCoefficient;
    bool moving = false;
    if ((windowFlags & kWindowDbMode) != 0)
    {
        if (target >= window->top)
        {
            moving = target > window->top;
            window->top = target;
        }
        else
        {
            window->top = (1.0f - c) * target + c * window->top;
            moving = window->top >= target + kMovingMarginDb;
            target = window->top;
        }
    }
    else
    {
        const float linear = ZkDecibelsToLinear(target);
        if (linear >= window->top)
        {
            moving = linear > window->top;
            window->top = linear;
        }
        else
        {
            window->top = (1.0f - c) * linear + c * window->top;
            const float topDb = ZkFastLinToDB(window->top);
            moving = topDb >= target + kMovingMarginDb;
            target = topDb;
        }
    }
    windowFlags = static_cast<uint8_t>(moving ? windowFlags | kWindowReleasing : windowFlags & ~kWindowReleasing);
    window->topWithVolumeDb = target + m_volumeDb;
    if (node != nullptr)
        if (const uint32_t parameter = node->GetStoredProperty30())
            CZkAudioRenderer::RecordGameParameterOutput(parameter, m_key.GameObjectID(),
                                                         node->GetStoredProperties31And32(target));
    window->inputPeakDb = kNoLevelDb;
}
} // namespace ZK::SoundEngine
