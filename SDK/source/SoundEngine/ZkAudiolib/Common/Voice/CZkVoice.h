// CZkVoice: the per-sound object of the mix graph. One exists for every playing sound that has a
// source; once per audio frame it turns its source into one block of audio and hands the block to
// the output connections that lead into mix buses. It runs a chain of pipeline stages pulled from
// the end: the source (with a resampling stage when the source does not apply the pitch itself),
// up to four effect inserts, the low-pass/high-pass filter stage and the modulation stage.
//
// Calling order per frame (the render pass, or a test in its place), for a voice in state 1:
//   the main source's FrameStep; UpdateGain (gain, the mix view, the sends); the connections'
//   UpdateSendConnections and ApplyRelatedLevels; PrepareFrame, and when it answers true, Pull
//   (the block is published to every connection and its markers handed to the game); after the
//   mix, ReleaseFrameBuffers.
// The pipeline is built on the first frame that renders. A voice whose state becomes 2 is removed
// by its owner (Destroy).
//
// States: 0 idle, 1 playing, 2 stopped, 3 paused (Start, Pause, Resume and Stop follow the table of
// the header's source file). Only voices in state 1 take part in a frame; every move into state 2
// stops the main source (which posts the instance's end).
//
// Virtual voices: the node's below-threshold behaviour is the voice's virtual mode (0 keeps
// playing, 1 stops the voice when inaudible, 2 makes it virtual: the pipeline is not run) and its
// queue behaviour the virtual behaviour (0 restart from the beginning, 1 from the elapsed time,
// 2 resume where it stopped).
//
// Threading: the thread that ticks the engine, under the global engine lock; a pull may run as a
// voice job of the render pass, touching only this voice, its sources and stages and its
// connections' entries. Ownership: memory pool 5; the voice owns its sources, stages, marker array
// and output connections; the playing instance is borrowed (its end is posted by the source).
#pragma once

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"
#include "ZkAudiolib/Common/Voice/CZkFilterStage.h"
#include "ZkAudiolib/Common/Voice/CZkModulationStage.h"
#include "ZkAudiolib/Common/Voice/IZkGameObjectInfo.h"
#include "ZkAudiolib/Common/Voice/IZkVoiceInfo.h"
#include "ZkAudiolib/Common/Voice/ZkPipelineBuffer.h"
#include "ZkAudiolib/Common/Voice/ZkVoiceMarkers.h"

#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEffectStage;
class CZkPlayingInstance;
class CZkResamplingStage;
class CZkVoiceSource;
struct LoadedBank;

class CZkVoice final : public CZkMixContext,
                       public ZK::IZkGameObjectInfo,
                       public ZK::IZkVoiceInfo,
                       private IZkModulationOwner
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    static constexpr uint32_t kEffectSlots = 4;
    // States.
    static constexpr uint32_t kStateIdle = 0;
    static constexpr uint32_t kStatePlaying = 1;
    static constexpr uint32_t kStateStopped = 2;
    static constexpr uint32_t kStatePaused = 3;
    // Virtual modes (the node's below-threshold behaviour).
    static constexpr uint32_t kVirtualNone = 0;
    static constexpr uint32_t kVirtualStop = 1;
    static constexpr uint32_t kVirtualOn = 2;
    // The value a voice's end is posted with.
    static constexpr int32_t kEndedByVoice = 1;

    // A voice in pool 5, or null.
    static CZkVoice* Create();
    // Detach, the destructor (which removes every output connection), the memory back to pool 5.
    static void Destroy(CZkVoice* voice);

    CZkVoice();
    ~CZkVoice() override;

    // --- Sources ---
    // Creates the source of the instance's media and attaches it as the main source or as the
    // second one (played without a gap when the main one ends). The source's preparation result:
    // 1 or 63 (attached; 63: waiting for data); 3 below the threshold in virtual mode 1 (nothing to
    // play); 17 for a second source that cannot follow; 2 when no source can be made (the instance's
    // end is posted); the header's or the preparation's failure.
    ZKRESULT AttachSource(CZkPlayingInstance* instance, bool asMain);
    // Prepares the main source: 63 while it is not ready; 1 once its start delay falls within the
    // look-ahead; 2 on failure.
    ZKRESULT CheckSourceReady(CZkPlayingInstance* instance);
    // The second source becomes the main one (the old main source is stopped, which posts its
    // instance's end); the new main source's duration is reported by ReportDurationOnce.
    void SwitchToSecondSource();
    // The follow-up source goes without having played: it is stopped, which posts its instance's
    // end (nothing else would end that instance).
    void ReleaseSecondSource();
    // Engine thread: a started voice reports its main source's duration once that source is
    // prepared, when it has not yet (a source that took over during a pull reports here, off the
    // voice job).
    void ReportDurationOnce();
    // The main source of the instance is stopped (unless it takes the stop itself: state 2), its
    // second source released (its instance's end posted).
    void StopSourceOfContext(CZkPlayingInstance* instance);
    // After a seek: the chain restarts from its end (the pending seek is carried out).
    void ReevaluateSource();

    // --- State ---
    void Start();
    void Pause();
    void Resume();
    void Stop();
    uint32_t State() const { return m_state; }

    // --- Pipeline ---
    // 1; 52 for the resampling stage; 2 for its setup, a plug-in that must run out of place in
    // place, an allocation; the filter's or the modulation stage's failure.
    ZKRESULT BuildPipeline();
    bool IsPipelineBuilt() const { return (m_pipelineFlags & kPipelineBuilt) != 0; }

    // --- Per frame ---
    void UpdateGain();
    // The instance's spread (A) and focus (B) curves of its attenuation at a ray distance.
    float EvaluateCurveA(float distance) const override;
    float EvaluateCurveB(float distance) const override;
    // True when the pipeline is to be pulled this frame.
    bool PrepareFrame();
    // The pipeline pull: the block ends in Buffer() with its status; published to the connections.
    void Pull();
    // Fills the block from the main source, through the resampling stage when there is one.
    ZKRESULT PullSource(ZkPipelineBuffer& buffer);
    void ReleaseFrameBuffers();
    void PublishBuffer();
    void NotifyMarkers(ZkPipelineBuffer& buffer);
    ZkPipelineBuffer& Buffer() { return m_buffer; }

    // --- Effects ---
    void SetEffectBypass(uint8_t value, uint8_t mask);
    uint32_t AddEffectSlotBypass(uint32_t slot, int16_t amount);
    void RefreshEffectBypass();
    // Re-creates the effect of slot (and those after it when the configuration changes). 1 or 2.
    ZKRESULT RebuildEffectsFrom(uint32_t slot);
    CZkEffectStage* EffectSlot(uint32_t slot) const { return slot < kEffectSlots ? m_effects[slot] : nullptr; }
    bool UsesObject(const void* object) const;
    bool UsesShareSet(const LoadedBank* bank) const;

    // Releases both sources and the pipeline; the mix graph is refreshed at the next tick. The
    // second source is released without its end (a caller that keeps its instance attaches it
    // anew); Destroy posts it.
    void Detach();

    CZkVoiceSource* MainSource() const { return m_main; }
    CZkVoiceSource* SecondSource() const { return m_second; }
    CZkResamplingStage* ResamplingStage() const { return m_resampling; }
    CZkFilterStage& FilterStage() { return m_filterStage; }
    uint32_t VirtualMode() const { return m_virtualMode; }
    uint32_t VirtualBehaviour() const { return m_virtualBehaviour; }
    const ZkVoiceMarkers& Markers() const { return m_markers; }

    // The renderer's pending list (voices whose source is still being prepared).
    CZkVoice* pendingNext = nullptr;
    // The voice's place in the renderer's voice list during a frame (set by the render pass).
    uint32_t frameIndex = 0;

    // --- The mix context ---
    ZkChannelConfig GetOutputConfig() const override { return m_outputConfig; }
    ZK::IZkVoiceInfo* GetVoiceInfo() const override { return const_cast<CZkVoice*>(this); }
    ZK::IZkGameObjectInfo* GetGameObjectInfo() const override { return const_cast<CZkVoice*>(this); }

    // --- Game-object services (primary interface) ---
    ZkGameObjectID GetGameObjectID() const override;
    uint32_t GetRayCount() const override;
    ZKRESULT GetEmitterPosition(uint32_t index, ZkRay& ray) const override;
    uint32_t GetPositionCount() const override;
    ZKRESULT GetPositionRecord(uint32_t index, ZkChannelEmitter& position) const override;
    uint32_t GetPositioningType() const override;
    float GetSpread() const override;
    bool GetListeners(ZkGameObjectID* ids, uint32_t& count) const override;
    ZKRESULT GetListenerData(ZkGameObjectID listener, ZkTransform& transform) const override;
    ZK::IZkVoiceInfo* GetVoiceInfo() override { return this; }
    ZKRESULT GetSourceInfo(ZK::ZkSourceInfo& info) const override;
    void RelocateSourceData(const uint8_t* newBase, const uint8_t* oldBase) override;

    // --- Voice information ---
    ZkPlayingID GetPlayingID() const override;
    uint32_t GetPriority() const override;
    float GetPitchRatio() const override;

protected:
    void CollectSends(ZK::ZkArray<ZkSendRecord>& sends) override;

private:
    static constexpr uint8_t kPipelineStarving = 0x1;
    static constexpr uint8_t kPipelineBuilt = 0x2;

    // IZkModulationOwner
    const CZkModulatorLinks* GetModulatorLinks() const override;
    const CZkModulatorLinks* GetContextModulatorLinks() const override;
    // Nothing marks a play's modulation constant: the stage always follows the links' ramps
    // (which give the same gains when nothing moves).
    bool HasConstantModulation() const override { return false; }
    int32_t GetStopFrame() const override;

    CZkPlayingInstance* Instance() const;
    // Moves into state 2, stopping the main source.
    void EnterStopped();
    void StopMainSource();
    void FreeSource(CZkVoiceSource*& source, bool stop);
    ZKRESULT PrepareSource(CZkVoiceSource& source, CZkPlayingInstance& instance);
    ZKRESULT BuildEffect(uint32_t slot, ZK::ZkEffectFormat& format);
    void DestroyEffect(uint32_t slot);
    void ReleasePipeline();
    // The last stage of the chain (the modulation stage once built).
    CZkVoicePipelineStage* ChainEnd() { return &m_modulation; }
    // The chain's end once built, the main source before.
    CZkVoicePipelineStage* Chain();
    // The main source finished (17): the second source takes over when it is ready and of the same
    // layout. 17 while it is not; 45 or 43 (the block is full, or the new source fills the rest);
    // 2 when its preparation fails.
    ZKRESULT FollowWithSecondSource(ZkPipelineBuffer& buffer);
    void LinkChain();
    void RefreshMarkerPointers();
    // The frame's steps.
    void ApplyVolume(CZkPlayingInstance& instance);
    void RetargetFilters(CZkPlayingInstance& instance);
    // The instance's rays (collected and attenuated this frame) and three-dimensional positioning
    // into the mix view.
    void RefreshPositioningView(CZkPlayingInstance& instance);
    bool DecideAudibility(CZkPlayingInstance& instance);
    bool ComeBackFromVirtual(CZkPlayingInstance& instance);
    void GoVirtual(CZkPlayingInstance& instance);
    void HandleStarvation(CZkPlayingInstance& instance);
    bool StartRendering(CZkPlayingInstance& instance);
    void StampPlayPosition(ZKRESULT& status);
    void RaiseStarvation();
    void RestartChain();
    uint32_t FramesThisFrame(const CZkPlayingInstance& instance) const;

    CZkFilterStage m_filterStage;
    CZkEffectStage* m_effects[kEffectSlots] = {};
    CZkModulationStage m_modulation;
    CZkVoiceSource* m_main = nullptr;
    CZkVoiceSource* m_second = nullptr;
    CZkResamplingStage* m_resampling = nullptr;
    uint32_t m_state = kStateIdle;
    ZkVoiceMarkers m_markers;
    uint32_t m_virtualBehaviour = 0;
    uint32_t m_virtualMode = kVirtualNone;
    uint8_t m_pipelineFlags = 0;
    ZkPipelineBuffer m_buffer;
    ZkChannelConfig m_outputConfig;
    float m_cachedVolumeDb;
    float m_cachedVolumeLinear;
    bool m_lastFrame = false;        // a stop point lets this frame render, then the voice stops
    bool m_sourcePrepared = false;   // the main source has answered 1 to its preparation
    bool m_durationReported = false;
    bool m_mainStopped = false;      // the main source's stop has posted its instance's end
};
} // namespace ZK::SoundEngine
