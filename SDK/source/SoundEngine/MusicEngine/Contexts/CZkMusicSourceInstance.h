// CZkMusicSourceInstance: the playing instance of one music clip. It is an ordinary playing instance
// of the sound engine (voice, fades, limits, playing id) that is also a leaf of the music context
// tree: its leaf (a CZkMusicChild) hangs under the track context that started it, so that music
// stops, pauses, fades and speed changes reach it.
//
// Sample-accurate stop: the track context stops a clip at a sample of the frame (the clip's end, a
// music stop). The offset is kept in source time (music offset / speed) as the instance's pending
// stop point, which the voice cuts its last frame at; while it is pending a kill is ignored, so the
// voice plays up to it instead of stopping at once.
//
// Speed: the play's speed reaches the instance as a pitch offset of 1200 x log2(speed) cents,
// added on every evaluation of the node's settings, with the filter offsets of the clip's
// automation.
//
// Threading: engine thread, under the global engine lock. Ownership: as CZkPlayingInstance (pool 0:
// the active instances own it once started); its leaf holds a reference on the track context from
// Start until the instance goes, and the leaf's own AddRef/Release do nothing.
#pragma once

#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/Contexts/CZkMusicChild.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

namespace ZK::MusicEngine
{
class CZkMusicTrackContext;

class CZkMusicSourceInstance final : public SoundEngine::CZkPlayingInstance
{
public:
    // The parameter mask of a playing instance without the pitch bit: a clip's pitch comes from the
    // play's speed, not from pitch parameters.
    static constexpr uint64_t kMusicParamMask = 0x07FFFFE3FFFE60B9ull;
    // Filter automation slots.
    static constexpr uint32_t kLowPassAutomation = 0;
    static constexpr uint32_t kHighPassAutomation = 1;

    // sourcePosition: where the source starts reading (samples); the start delay comes with params.
    CZkMusicSourceInstance(const SoundEngine::PlayLaunchParams& params, SoundEngine::CZkHierarchyNode* track,
                           const SoundEngine::ZkMediaRef* media, const SoundEngine::ZkPriorityRecord& priority,
                           uint32_t sourcePosition, CZkMusicTrackContext& trackContext, const ZkMusicClip& clip,
                           float speed);
    ~CZkMusicSourceInstance() override = default;

    // --- Playing instance ---
    ZKRESULT Start() override;
    void Kill(uint32_t reason) override;
    void RefreshFromNode() override;
    void GetParamMask(uint64_t& mask) override { mask = kMusicParamMask; }
    // Coming back from virtual: the track context tells where the clip stands now; a clip whose
    // track context cannot place it (stopping, or past the clip's end) stops.
    uint32_t HandleVirtual(uint32_t behaviour) override;
    // The track's modulators, which the track context started for its play, shape every clip of
    // that play: the voice reads the context's links while the clip hangs under it.
    const SoundEngine::CZkModulatorLinks* ContextModulatorLinks() const override;

    // --- As the track context drives it ---
    CZkMusicChild& Leaf() { return m_leaf; }
    const ZkMusicClip& Clip() const { return m_clip; }
    float Speed() const { return m_speed; }
    // A stop at a music offset of this frame (kNoStopOffset: at once, unless one is pending).
    void StopAtOffset(uint32_t offset);
    // The pending stop point in source time, reset (kNoStopOffset when none, or while the clip
    // plays to its end).
    uint32_t TakeStopOffset();
    void SetStopAtEnd(bool set) { m_stopAtEnd = set; }
    // Automation: a keyed gain factor (volume, fade-in, fade-out) or a filter offset.
    void SetKeyedValue(const void* key, float value);
    void SetFilterAutomation(uint32_t filter, float value);
    float FilterAutomation(uint32_t filter) const { return m_filterAutomation[filter]; }
    // Moves the start by delta samples later (position and start delay together: the clip stays in
    // time). Before the voice starts only.
    void ShiftStart(int32_t delta);
    uint32_t SourcePosition() const { return m_sourcePosition; }
    bool IsAligned() const { return m_aligned; }
    void MarkAligned() { m_aligned = true; }
    void SetFadeOutFlag() { m_fadeOut = true; }
    bool HasFadeOutFlag() const { return m_fadeOut; }

protected:
    // The track context forgets the leaf and the leaf leaves it.
    void OnTeardown() override;

private:
    class ClipLeaf final : public CZkMusicChild
    {
    public:
        explicit ClipLeaf(CZkMusicSourceInstance& owner) : m_owner(owner) {}
        void StopAt(uint32_t offset) override { m_owner.StopAtOffset(offset); }
        void EndFrame() override {}
        void Stop(uint32_t offset) override { m_owner.StopAtOffset(offset); }
        void Pause() override;
        void Resume() override;
        void ApplyFade(const void* key, float value) override { m_owner.SetKeyedValue(key, value); }
        void SetParameter(uint32_t id, float value, float frameLength) override;
        void ReleaseModulators() override {}
        void AddRef() override {}
        void Release() override {}

    private:
        CZkMusicSourceInstance& m_owner;
    };

    ClipLeaf m_leaf{*this};
    CZkMusicTrackContext* m_trackContext;
    ZkMusicClip m_clip; // a copy: a bank read again may replace the track's clip list
    float m_speed;
    float m_filterAutomation[2] = {};
    uint32_t m_sourcePosition;
    bool m_linked = false;
    bool m_stopAtEnd = false;
    bool m_aligned = false;
    bool m_fadeOut = false;
};
} // namespace ZK::MusicEngine
