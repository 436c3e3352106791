// Speaker-angle validation and conversion. Angles are the azimuths of the left-hand speakers
// measured from the front (front, side, rear), the right-hand ones mirrored; the smallest gap
// between neighbouring speakers (including the gap across the back, 360 - 2 x last) sets the
// virtual-point density of 3-D panning.
#include "PanningFastMath.h"
#include "ZkSpeakerPan.h"

#include <algorithm>

ZKRESULT CZkSpeakerPan::ValidateSpeakerAngles(const float* degrees, uint32_t count, float& smallestGapDeg)
{
    if (degrees == nullptr || count == 0)
        return ZK_Fail;
    // Written as "not below" so that a NaN fails every test.
    if (!(degrees[0] < 90.0f))
        return ZK_Fail;
    float smallest = degrees[0];
    for (uint32_t i = 0; i < count; ++i)
    {
        if (!(degrees[i] < 180.0f))
            return ZK_Fail;
        if (i == 0)
        {
            if (!(degrees[0] > 0.0f))
                return ZK_Fail; // a zero gap to the mirrored front speaker
            continue;
        }
        const float gap = degrees[i] - degrees[i - 1];
        if (!(gap > 0.0f) || !(gap < 180.0f))
            return ZK_Fail;
        smallest = std::min(smallest, gap);
    }
    smallest = std::min(smallest, 360.0f - 2.0f * degrees[count - 1]);
    if (smallest < kMinSpeakerGapDeg)
        return ZK_InvalidParameter;
    smallestGapDeg = smallest;
    return ZK_Success;
}

ZKRESULT CZkSpeakerPan::ValidateAndConvertSpeakerAngles(const float* degrees, uint32_t count, float* radians,
                                                        float& smallestGapRad)
{
    float gapDeg = 0.0f;
    const ZKRESULT result = ValidateSpeakerAngles(degrees, count, gapDeg);
    if (result != ZK_Success)
        return result;
    DegreesToRadians(degrees, count, radians);
    smallestGapRad = gapDeg * ZkPanMath::kDegreesToRadians;
    return ZK_Success;
}

void CZkSpeakerPan::RadiansToDegrees(const float* in, uint32_t count, float* out)
{
    for (uint32_t i = 0; i < count; ++i)
        out[i] = in[i] * ZkPanMath::kRadiansToDegrees;
}

void CZkSpeakerPan::DegreesToRadians(const float* in, uint32_t count, float* out)
{
    for (uint32_t i = 0; i < count; ++i)
        out[i] = in[i] * ZkPanMath::kDegreesToRadians;
}

void CZkSpeakerPan::GetDefaultSpeakerAngles(float* anglesDeg, float& heightDeg)
{
    anglesDeg[0] = kDefaultFrontAngleDeg;
    anglesDeg[1] = kDefaultSideAngleDeg;
    anglesDeg[2] = kDefaultRearAngleDeg;
    heightDeg = kDefaultHeightAngleDeg;
}
