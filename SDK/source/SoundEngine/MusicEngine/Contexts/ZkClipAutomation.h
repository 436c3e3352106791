// ZkClipAutomation: one automation curve of a clip as a track context drives it: the curve (of the
// track's clip curves), the clip instance it is bound to (null while it waits for its clip to
// start) and the clip's start in track time, from which the curve's x runs. Kinds: 0 volume, 1
// low-pass, 2 high-pass, 3 fade-in, 4 fade-out.
//
// Threading: engine thread only. Ownership: the list that holds it (pool 0); the curve belongs to
// the track, which the track context keeps alive.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkCurve;
}

namespace ZK::MusicEngine
{
class CZkMusicSourceInstance;

enum ZkClipAutomationKind : uint32_t
{
    ZkClipAutomation_Volume = 0,
    ZkClipAutomation_LowPass = 1,
    ZkClipAutomation_HighPass = 2,
    ZkClipAutomation_FadeIn = 3,
    ZkClipAutomation_FadeOut = 4,
};
constexpr uint32_t kClipAutomationKinds = 5;

struct ZkClipAutomation
{
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // A waiting record; null out of memory.
    static ZkClipAutomation* Create(uint32_t kind, const SoundEngine::CZkCurve& curve, int32_t clipStart);
    static void Destroy(ZkClipAutomation* record);
    // Destroys every record of the list from first.
    static void DestroyList(ZkClipAutomation* first);

    // The curve at track time trackTime, applied to the bound instance.
    void ApplyAt(int32_t trackTime);
    float Evaluate(int32_t trackTime);

    ZkClipAutomation* next = nullptr;
    uint32_t kind = 0;
    const SoundEngine::CZkCurve* curve = nullptr;
    uint32_t cachedSegment = 0;
    CZkMusicSourceInstance* leaf = nullptr;
    int32_t clipStart = 0;
};

// The automation's value on a clip instance: volume as the keyed gain value + 1 (key: the
// instance), the filters as offsets to the instance's filter values, the fades as keyed gain
// values (key: the kind).
void SetAutomation(CZkMusicSourceInstance& instance, uint32_t kind, float value);
// Moves a clip instance's start onto the frame grid of its source (a fade-in curve must begin where
// a frame of the source begins): by the nearest way round, later when the remainder is more than
// half a step or more than the look-ahead allows. Once per instance.
void AlignToFrame(CZkMusicSourceInstance& instance, uint32_t frameLength, float speed, int32_t lookAhead);
} // namespace ZK::MusicEngine
