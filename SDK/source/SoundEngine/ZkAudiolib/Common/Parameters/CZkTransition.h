// CZkTransition: one value moving from a start to a target over a whole number of audio frames,
// along a curve shape (ZkCurveShapes.h), optionally interpolated as linear gain while its values are
// decibels (dB mode), or approaching its target through a one-pole filter (filter mode). Each frame
// it hands the new value to its users. Transitions are created, stepped, paused and freed by
// CZkTransitionMgr.
//
// Threading: audio thread only, under the global engine lock.
// Ownership: owned by CZkTransitionMgr (memory pool 0); the users array is its own, the users not.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Parameters/ZkTransitionUser.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// Kinds of transitions (handed back to the users with every value).
constexpr uint32_t kTransitionKindGameParameter = 0x10000000u;
constexpr uint32_t kTransitionKindFadeA = 0x02000000u;
constexpr uint32_t kTransitionKindFadeB = 0x04000000u;
constexpr uint32_t kTransitionKindFadeMask = 0x0F000000u;
constexpr uint32_t kTransitionKindUninitialised = 0x20000000u;

// Tags the creators store with their transitions.
constexpr uint32_t kTransitionTagGameParameter = 7;
constexpr uint32_t kTransitionTagState = 9;

// How a retarget reads its value: absolute, or an offset from the current target.
enum ZkValueMeaning : uint32_t
{
    ZkValueMeaning_Absolute = 1,
    ZkValueMeaning_Offset = 2,
};

enum class ZkTransitionPause : uint32_t
{
    Running = 0,
    PauseRequested = 1,
    Paused = 2,
    ResumeRequested = 3,
};

struct ZkTransitionParams
{
    ZkTransitionUser* firstUser = nullptr;
    uint32_t kind = 0;
    float startValue = 0.0f;  // caller's domain (decibels in dB mode)
    float targetValue = 0.0f; // caller's domain
    ZkTimeMs timeMs = 0;
    uint32_t curve = 4;       // ZkCurveInterpolation 0..8
    uint32_t tag = 0;
    bool dBMode = false;
    bool mirrorWhenFalling = false;
    bool filterMode = false;
};

// The engine's audio format as transitions need it.
struct ZkTransitionClock
{
    static constexpr uint32_t kDefaultFrameLengthMs = 21;
    static constexpr uint32_t kDefaultSamplesPerFrame = 1024;
    uint32_t frameLengthMs = kDefaultFrameLengthMs;
    uint32_t samplesPerFrame = kDefaultSamplesPerFrame;
};

class CZkTransition
{
public:
    static constexpr uint8_t kFlagDBMode = 0x1;
    static constexpr uint8_t kFlagFilterMode = 0x2;
    // Filter mode: each frame keeps exp(-rate / time ms * samples per frame) of the distance left.
    static constexpr float kFilterRatePerMs = 0.104166664f;

    CZkTransition() = default;

    // Sets the transition up at frame now and adds its first user. 1, or 52 when the user array
    // cannot grow.
    ZKRESULT Init(const ZkTransitionParams& params, uint32_t now, const ZkTransitionClock& clock);
    // The value at frame a, handed to every user. True when this was the final value.
    bool Step(uint32_t frame);
    // Hands the final value to every user (done), as the end frame does.
    void Finish();

    // Moves the transition towards a new target from its current value (see CZkTransitionMgr).
    uint32_t Retarget(uint32_t kind, float target, ZkTimeMs timeMs, uint32_t curve, ZkValueMeaning meaning,
                      uint32_t now, const ZkTransitionClock& clock);

    ZKRESULT AddUser(ZkTransitionUser* user);
    ZKRESULT RemoveUser(ZkTransitionUser* user);
    uint32_t UserCount() const { return m_users.Length(); }
    bool HasUser(const ZkTransitionUser* user) const;

    bool IsFadeKind() const { return m_kind == kTransitionKindFadeA || m_kind == kTransitionKindFadeB; }
    uint32_t Kind() const { return m_kind; }
    float CurrentValue() const { return m_current; }
    float TargetValue() const { return m_callerTarget; }
    float InterpolationTarget() const { return m_interpolationTarget; }
    uint32_t Curve() const { return m_curve; }
    uint32_t StartFrame() const { return m_startFrame; }
    uint32_t TimeInFrames() const { return m_timeInFrames; }
    uint32_t EndFrame() const { return m_startFrame + m_timeInFrames; }
    uint32_t Tag() const { return m_tag; }
    float FilterCoefficient() const { return m_filterCoefficient; }

    ZkTransitionPause m_pauseState = ZkTransitionPause::Running;
    uint32_t m_pauseFrame = 0;

    // For the manager: the start frame moves forward by the frames spent paused.
    void ShiftStart(uint32_t frames) { m_startFrame += frames; }

private:
    float InterpolationDomain(float value) const;
    void DeliverToUsers(float value, bool done);
    void SetFilterCoefficient(ZkTimeMs timeMs, const ZkTransitionClock& clock);

    uint32_t m_kind = kTransitionKindUninitialised;
    float m_interpolationStart = 0.0f;
    float m_interpolationTarget = 0.0f;
    float m_current = 0.0f;
    float m_callerTarget = 0.0f;
    uint32_t m_startFrame = 0;
    uint32_t m_timeInFrames = 0;
    float m_elapsed = 0.0f;
    ZK::ZkArray<ZkTransitionUser*> m_users;
    uint32_t m_curve = 4;
    uint8_t m_flags = 0;
    float m_filterCoefficient = 0.0f;
    uint32_t m_tag = 0;
};
} // namespace ZK::SoundEngine
