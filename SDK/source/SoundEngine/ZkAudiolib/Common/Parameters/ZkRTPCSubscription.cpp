#include "ZkAudiolib/Common/Parameters/ZkRTPCSubscription.h"

namespace ZK::SoundEngine
{
uint32_t ZkRTPCSubscription::FindCurve(uint32_t curveID) const
{
    for (uint32_t index = 0; index < curves.Length(); ++index)
    {
        if (curves[index].curveID == curveID)
            return index;
    }
    return curves.Length();
}

bool ZkRTPCSubscription::NamesParam(ZkUniqueID paramID) const
{
    for (const ZkRTPCCurveRef& curve : curves)
    {
        if (curve.paramID == paramID)
            return true;
    }
    return false;
}

void ZkRTPCSubscription::RemoveCurve(uint32_t index)
{
    if (index >= curves.Length())
        return;
    curves[index].curve.Term();
    curves.Erase(index);
}

void ZkRTPCSubscription::FreeCurves()
{
    for (ZkRTPCCurveRef& curve : curves)
        curve.curve.Term();
    curves.Term();
}

float ZkRTPCSubscription::SumCurvesAt(ZkUniqueID paramID, float x)
{
    float sum = 0.0f;
    for (ZkRTPCCurveRef& curve : curves)
    {
        if (curve.paramID == paramID)
            sum += curve.curve.Evaluate(x, curve.cachedSegment);
    }
    return sum;
}

float ZkRTPCSubscription::CombineCurvesAt(ZkUniqueID paramID, float x)
{
    if (combineMode != kRTPCCombineMultiply)
        return SumCurvesAt(paramID, x);
    float product = 1.0f;
    for (ZkRTPCCurveRef& curve : curves)
    {
        if (curve.paramID == paramID)
            product *= curve.curve.Evaluate(x, curve.cachedSegment);
    }
    return product;
}
} // namespace ZK::SoundEngine
