// Speaker layouts: planar rings of speaker pairs with precomputed inverses, or VBAP speaker sets for
// configurations with extra speakers; and pairwise panning over a ring.
#include "PanningFastMath.h"
#include "SpeakerMasks.h"
#include "ZkSpeakerPan.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cmath>
#include <new>

namespace
{
using namespace ZkSpeakerMasks;

// Which angle a ring position stands at: +/- front, side, rear, the side-rear middle, or centre.
enum AngleKind : uint8_t
{
    kFront,
    kSide,
    kRear,
    kMiddle,
    kCentre
};

struct RingPosition
{
    AngleKind angle;
    int8_t sign;          // +1 left, -1 right
    uint32_t speaker;     // the speaker this position feeds
};

struct RingSpeakers
{
    uint32_t count;
    RingPosition positions[ZkSpeakerRing::kMaxPositions];
};

constexpr uint32_t FL = ZK_SPEAKER_FRONT_LEFT, FR = ZK_SPEAKER_FRONT_RIGHT, FC = ZK_SPEAKER_FRONT_CENTER;

// The ring of a planar mask (LFE removed); count 0 when the mask forms no known ring. S1/S2 stand
// for whichever surround pair a four- or five-speaker layout has.
RingSpeakers RingOf(uint32_t mask, bool withCentre)
{
    const uint32_t S1 = (mask & ZK_SPEAKER_SIDE_LEFT) != 0 ? ZK_SPEAKER_SIDE_LEFT : ZK_SPEAKER_BACK_LEFT;
    const uint32_t S2 = S1 == ZK_SPEAKER_SIDE_LEFT ? ZK_SPEAKER_SIDE_RIGHT : ZK_SPEAKER_BACK_RIGHT;
    const bool onePair = (mask & kSurrounds) == kSidePair || (mask & kSurrounds) == kRearPair;
    const uint32_t fronts = mask & kThreeZero;
    const bool centre = withCentre && (mask & FC) != 0;
    const uint32_t surrounds = mask & ~kThreeZero;
    if (fronts != kStereo && fronts != kThreeZero)
        return {};
    if (surrounds == 0)
    {
        if (centre)
            return {5, {{kFront, 1, FL}, {kCentre, 0, FC}, {kFront, -1, FR}, {kRear, -1, FR}, {kRear, 1, FL}}};
        return {4, {{kFront, 1, FL}, {kFront, -1, FR}, {kRear, -1, FR}, {kRear, 1, FL}}};
    }
    if (onePair)
    {
        if (centre)
            return {5, {{kMiddle, 1, S1}, {kFront, 1, FL}, {kCentre, 0, FC}, {kFront, -1, FR}, {kMiddle, -1, S2}}};
        return {4, {{kMiddle, 1, S1}, {kFront, 1, FL}, {kFront, -1, FR}, {kMiddle, -1, S2}}};
    }
    if (surrounds == kSurrounds)
    {
        const uint32_t BL = ZK_SPEAKER_BACK_LEFT, BR = ZK_SPEAKER_BACK_RIGHT, SL = ZK_SPEAKER_SIDE_LEFT,
                       SR = ZK_SPEAKER_SIDE_RIGHT;
        if (centre)
            return {7,
                    {{kRear, 1, BL}, {kSide, 1, SL}, {kFront, 1, FL}, {kCentre, 0, FC}, {kFront, -1, FR},
                     {kSide, -1, SR}, {kRear, -1, BR}}};
        return {6, {{kRear, 1, BL}, {kSide, 1, SL}, {kFront, 1, FL}, {kFront, -1, FR}, {kSide, -1, SR}, {kRear, -1, BR}}};
    }
    return {};
}

float AzimuthOf(const RingPosition& position, const float* anglesRad)
{
    switch (position.angle)
    {
    case kFront: return position.sign * anglesRad[0];
    case kSide: return position.sign * anglesRad[1];
    case kRear: return position.sign * anglesRad[2];
    case kMiddle: return position.sign * 0.5f * (anglesRad[1] + anglesRad[2]);
    default: return 0.0f;
    }
}

// Fills a ring: its channels and the inverse of each adjacent pair's 2 x 2 position matrix.
bool BuildRing(uint32_t mask, bool withCentre, const float* anglesRad, ZkSpeakerRing& ring)
{
    const RingSpeakers speakers = RingOf(mask, withCentre);
    if (speakers.count == 0)
        return false;
    float* pairs = static_cast<float*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(float) * 4 * speakers.count));
    if (pairs == nullptr)
        return false;
    float x[ZkSpeakerRing::kMaxPositions];
    float z[ZkSpeakerRing::kMaxPositions];
    for (uint32_t k = 0; k < speakers.count; ++k)
    {
        const float azimuth = AzimuthOf(speakers.positions[k], anglesRad);
        x[k] = -std::sin(azimuth);
        z[k] = std::cos(azimuth);
        ring.channels[k] = static_cast<uint8_t>(ChannelOf(mask, speakers.positions[k].speaker));
    }
    for (uint32_t k = 0; k < speakers.count; ++k)
    {
        const uint32_t next = (k + 1) % speakers.count;
        const float d = x[k] * z[next] - z[k] * x[next];
        float* inverse = pairs + 4 * k;
        if (std::fabs(d) < ZkPanMath::kGainEpsilon)
        {
            // Two positions on one line through the listener (opposite speakers): the pair spans no
            // sector; all-zero marks it for the panner to skip.
            inverse[0] = inverse[1] = inverse[2] = inverse[3] = 0.0f;
            continue;
        }
        inverse[0] = z[next] / d;
        inverse[1] = -x[next] / d;
        inverse[2] = -z[k] / d;
        inverse[3] = x[k] / d;
    }
    ring.positionCount = speakers.count;
    ring.pairs = pairs;
    return true;
}

void FreeRing(ZkSpeakerRing& ring)
{
    if (ring.pairs != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Default, ring.pairs);
    ring = ZkSpeakerRing{};
}

// Direction (azimuth, elevation) of each speaker of a layout with extra speakers, in channel order.
void SpeakerDirections(uint32_t mask, const float* anglesRad, float heightRad, float* directions)
{
    const float a = anglesRad[0], s = anglesRad[1], r = anglesRad[2];
    const float m = 0.5f * (s + r);
    const bool bothPairs = (mask & kSurrounds) == kSurrounds;
    uint32_t n = 0;
    for (uint32_t bit = 1; bit <= 0x80000; bit <<= 1)
    {
        if ((mask & bit) == 0 || bit == ZK_SPEAKER_LOW_FREQUENCY)
            continue;
        float azimuth = 0.0f;
        float elevation = 0.0f;
        switch (bit)
        {
        case ZK_SPEAKER_FRONT_LEFT: azimuth = a; break;
        case ZK_SPEAKER_FRONT_RIGHT: azimuth = -a; break;
        case ZK_SPEAKER_BACK_LEFT: azimuth = bothPairs ? r : m; break;
        case ZK_SPEAKER_BACK_RIGHT: azimuth = bothPairs ? -r : -m; break;
        // Front left/right of centre: halfway between the centre and the front pair.
        case 0x40: azimuth = 0.5f * a; break;
        case 0x80: azimuth = -0.5f * a; break;
        case ZK_SPEAKER_BACK_CENTER: azimuth = ZkPanMath::kPi; break;
        case ZK_SPEAKER_SIDE_LEFT: azimuth = bothPairs ? s : m; break;
        case ZK_SPEAKER_SIDE_RIGHT: azimuth = bothPairs ? -s : -m; break;
        case ZK_SPEAKER_TOP: elevation = ZkPanMath::kHalfPi; break;
        case ZK_SPEAKER_HEIGHT_FRONT_LEFT: azimuth = a; elevation = heightRad; break;
        case ZK_SPEAKER_HEIGHT_FRONT_CENTER: elevation = heightRad; break;
        case ZK_SPEAKER_HEIGHT_FRONT_RIGHT: azimuth = -a; elevation = heightRad; break;
        case ZK_SPEAKER_HEIGHT_BACK_LEFT: azimuth = r; elevation = heightRad; break;
        case ZK_SPEAKER_HEIGHT_BACK_CENTER: azimuth = ZkPanMath::kPi; elevation = heightRad; break;
        case ZK_SPEAKER_HEIGHT_BACK_RIGHT: azimuth = -r; elevation = heightRad; break;
        default: break; // FC, and the mask bits above the top speakers: straight ahead
        }
        directions[2 * n] = azimuth;
        directions[2 * n + 1] = elevation;
        ++n;
    }
}

ZkVbapHelper* BuildVbap(uint32_t mask, const float* anglesRad, float heightRad)
{
    const uint32_t speakers = CountOf(mask);
    void* memory = ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(ZkVbapHelper));
    if (memory == nullptr)
        return nullptr;
    ZkVbapHelper* vbap = new (memory) ZkVbapHelper();
    // The speaker vectors come from the global plug-in allocator (the one the global plug-in
    // context hands out: pool 2), the triangle lists from pool 5 (ZkVBAP.cpp).
    if (vbap->Init(&CZkPluginMemAlloc::ForParameters(), speakers) != ZK_Success)
    {
        vbap->~ZkVbapHelper();
        ZK::MemoryMgr::Free(ZkMemID_Default, memory);
        return nullptr;
    }
    float directions[2 * kMaxSpeakerChannels];
    SpeakerDirections(mask, anglesRad, heightRad, directions);
    vbap->SetSpeakers(directions, speakers);
    return vbap;
}

void FreeVbap(ZkVbapHelper*& vbap)
{
    if (vbap == nullptr)
        return;
    vbap->Term(&CZkPluginMemAlloc::ForParameters());
    vbap->~ZkVbapHelper();
    ZK::MemoryMgr::Free(ZkMemID_Default, vbap);
    vbap = nullptr;
}
} // namespace

void CZkSpeakerPan::CreateSpeakerLayout(ZkChannelConfig config, const float* anglesRad, float heightRad,
                                        ZkSpeakerLayout*& layout)
{
    const uint32_t mask = config.Mask() & kAllSpeakers & ~ZK_SPEAKER_LOW_FREQUENCY;
    ZkSpeakerLayout* built = nullptr;
    if (config.Type() == ZkChannelConfigType_Standard && mask != 0 && anglesRad != nullptr)
    {
        void* memory = ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(ZkSpeakerLayout));
        if (memory != nullptr)
        {
            built = new (memory) ZkSpeakerLayout();
            built->config = ZkChannelConfig::FromMask(mask);
            bool ok;
            if ((mask & kExtra) == 0)
            {
                ok = BuildRing(mask, true, anglesRad, built->ring);
                if (ok && (mask & FC) != 0)
                    ok = BuildRing(mask, false, anglesRad, built->ringWithoutCentre);
            }
            else
            {
                built->vbap = BuildVbap(mask, anglesRad, heightRad);
                ok = built->vbap != nullptr;
            }
            if (!ok)
                DestroySpeakerLayout(built);
        }
    }
    DestroySpeakerLayout(layout);
    layout = built;
}

void CZkSpeakerPan::DestroySpeakerLayout(ZkSpeakerLayout*& layout)
{
    if (layout == nullptr)
        return;
    FreeRing(layout->ring);
    FreeRing(layout->ringWithoutCentre);
    FreeVbap(layout->vbap);
    layout->~ZkSpeakerLayout();
    ZK::MemoryMgr::Free(ZkMemID_Default, layout);
    layout = nullptr;
}

void CZkSpeakerPan::PanPairwise(const float* pairs, uint32_t pairCount, float x, float z, float weight,
                                const uint8_t* ringChannels, float* gains)
{
    if (pairs == nullptr || pairCount == 0)
        return;
    uint32_t chosen = pairCount;
    float g1 = 0.0f;
    float g2 = 0.0f;
    for (uint32_t k = 0; k < pairCount; ++k)
    {
        const float* m = pairs + 4 * k;
        if (m[0] == 0.0f && m[1] == 0.0f && m[2] == 0.0f && m[3] == 0.0f)
            continue; // a degenerate pair (see BuildRing)
        g1 = x * m[0] + z * m[1];
        g2 = x * m[2] + z * m[3];
        chosen = k;
        if (g1 >= 0.0f && g2 >= 0.0f)
            break;
    }
    if (chosen == pairCount)
        return;
    // The epsilon keeps both gains positive, so a direction straight at a speaker still has a pair.
    g1 += ZkPanMath::kGainEpsilon;
    g2 += ZkPanMath::kGainEpsilon;
    const float p = weight / (g1 * g1 + g2 * g2);
    gains[ringChannels[chosen]] += g1 * g1 * p;
    gains[ringChannels[(chosen + 1) % pairCount]] += g2 * g2 * p;
}
