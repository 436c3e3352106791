#include "ZkAudiolib/Common/Parameters/CZkTransition.h"

#include "ZkAudiolib/Common/Containers/ZkFrameTime.h"
#include "ZkAudiolib/Common/Parameters/ZkCurveShapes.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kCurveInvSCurve = 3;
constexpr uint32_t kCurveSCurve = 5;
constexpr uint32_t kMirrorBase = 8; // a falling curve c runs as 8 - c

// A falling value runs the mirrored shape, so that a fade out looks like the fade in played
// backwards; the symmetric S shapes are their own mirror.
uint32_t MirroredCurve(uint32_t curve, float start, float target)
{
    if (target <= start && curve != kCurveInvSCurve && curve != kCurveSCurve)
        return kMirrorBase - curve; // 9 wraps to a shape that evaluates to 0
    return curve;
}
} // namespace

float CZkTransition::InterpolationDomain(float value) const
{
    return (m_flags & kFlagDBMode) != 0 ? ZkDecibelsToLinear(value) : value;
}

void CZkTransition::SetFilterCoefficient(ZkTimeMs timeMs, const ZkTransitionClock& clock)
{
    m_filterCoefficient =
        std::exp(-(kFilterRatePerMs / static_cast<float>(timeMs)) * static_cast<float>(clock.samplesPerFrame));
}

ZKRESULT CZkTransition::Init(const ZkTransitionParams& params, uint32_t now, const ZkTransitionClock& clock)
{
    m_kind = params.kind;
    m_flags = static_cast<uint8_t>((params.dBMode ? kFlagDBMode : 0) | (params.filterMode ? kFlagFilterMode : 0));
    m_callerTarget = params.targetValue;
    m_current = params.startValue;
    m_interpolationStart = InterpolationDomain(params.startValue);
    m_interpolationTarget = InterpolationDomain(params.targetValue);
    m_curve = params.mirrorWhenFalling ? MirroredCurve(params.curve, m_interpolationStart, m_interpolationTarget)
                                       : params.curve;
    m_startFrame = now;
    m_elapsed = 0.0f;
    m_timeInFrames = ZK::MillisecondsToFrames(params.timeMs, clock.frameLengthMs);
    m_tag = params.tag;
    if (params.filterMode && params.timeMs != 0)
        SetFilterCoefficient(params.timeMs, clock);
    if (params.firstUser != nullptr && !HasUser(params.firstUser))
        return AddUser(params.firstUser) == ZK_Success ? ZK_Success : ZK_InsufficientMemory;
    return ZK_Success;
}

bool CZkTransition::Step(uint32_t frame)
{
    float value = m_callerTarget;
    const bool done = uint64_t{frame} >= uint64_t{m_startFrame} + m_timeInFrames;
    if (!done)
    {
        if ((m_flags & kFlagFilterMode) != 0 && m_filterCoefficient != 0.0f)
        {
            // The filter, like the curve, works in the interpolation domain: in dB mode it
            // approaches the target's linear gain from the current value's (a filter over the
            // decibel values themselves would hand the conversion below a value that is no gain).
            // Without dB mode this is (current - target) x coefficient + target.
            value = (InterpolationDomain(m_current) - m_interpolationTarget) * m_filterCoefficient + m_interpolationTarget;
        }
        else
        {
            const float fraction = frame > m_startFrame ? static_cast<float>(frame - m_startFrame) /
                                                              static_cast<float>(m_timeInFrames)
                                                        : 0.0f;
            m_elapsed = fraction;
            if (m_curve > ZkCurveInterpolation_LastFadeCurve)
            {
                value = 0.0f;
            }
            else
            {
                const ZkCurveSegmentTerms terms =
                    CurveSegmentTerms(m_curve, 1.0f, m_interpolationTarget - m_interpolationStart);
                value = CurveShapeValue(m_curve, fraction * terms.factor, m_interpolationStart, terms.delta,
                                        m_interpolationTarget);
            }
        }
        if ((m_flags & kFlagDBMode) != 0)
            value = ZkFastLinToDB(value);
    }
    DeliverToUsers(value, done);
    return done;
}

void CZkTransition::Finish() { DeliverToUsers(m_callerTarget, true); }

void CZkTransition::DeliverToUsers(float value, bool done)
{
    m_current = value;
    // A user may take itself out during the call (swap with the last): the user then found at the
    // same index has not been called yet.
    for (uint32_t index = 0; index < m_users.Length();)
    {
        ZkTransitionUser* user = m_users[index];
        user->TransUpdateValue(m_kind, value, done);
        if (index < m_users.Length() && m_users[index] == user)
            ++index;
    }
}

uint32_t CZkTransition::Retarget(uint32_t kind, float target, ZkTimeMs timeMs, uint32_t curve,
                                 ZkValueMeaning meaning, uint32_t now, const ZkTransitionClock& clock)
{
    const uint32_t oldKind = m_kind;
    m_kind = kind;
    if ((m_flags & kFlagFilterMode) != 0 && timeMs != 0)
        SetFilterCoefficient(timeMs, clock);

    if ((m_flags & kFlagDBMode) != 0)
    {
        m_interpolationStart = ZkDecibelsToLinear(m_current);
        if (meaning == ZkValueMeaning_Offset)
        {
            m_interpolationTarget = ZkDecibelsToLinear(target) * m_interpolationTarget;
            m_callerTarget = ZkFastLinToDB(m_interpolationTarget);
        }
        else
        {
            m_callerTarget = target;
            m_interpolationTarget = ZkDecibelsToLinear(target);
        }
    }
    else
    {
        m_interpolationStart = m_current;
        if (meaning == ZkValueMeaning_Offset)
            target += m_interpolationTarget;
        m_interpolationTarget = target;
        m_callerTarget = target;
    }
    m_curve = MirroredCurve(curve, m_interpolationStart, m_interpolationTarget);

    const uint32_t frames = ZK::MillisecondsToFrames(timeMs, clock.frameLengthMs);
    uint32_t appliedFrames = frames;
    if (kind == oldKind && (kind & kTransitionKindFadeMask) != 0)
    {
        // A fade is never lengthened by a retarget.
        const int64_t remaining = int64_t{m_startFrame} + m_timeInFrames - now;
        appliedFrames = static_cast<uint32_t>(std::clamp<int64_t>(remaining, 0, frames));
    }
    m_timeInFrames = appliedFrames;
    m_startFrame = now;
    m_pauseFrame = now;
    return frames;
}

ZKRESULT CZkTransition::AddUser(ZkTransitionUser* user)
{
    if (HasUser(user))
        return ZK_Fail;
    return m_users.AddLast(user) != nullptr ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkTransition::RemoveUser(ZkTransitionUser* user)
{
    const uint32_t index = m_users.Find(user);
    if (index == m_users.Length())
        return ZK_Fail;
    m_users.EraseSwap(index);
    return ZK_Success;
}

bool CZkTransition::HasUser(const ZkTransitionUser* user) const
{
    for (const ZkTransitionUser* present : m_users)
    {
        if (present == user)
            return true;
    }
    return false;
}
} // namespace ZK::SoundEngine
