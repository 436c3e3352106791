// The steps of the render pass that its inline path and its job path share (the renderer's own
// header, not for other parts of the engine).
//
// Threading: engine thread under the global engine lock, except ProcessFrame and the pipeline
// pulls, which a job may run on a worker thread (one bus, or one voice, per item).
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkMixBus;
class CZkMixerInputContext;
class CZkVoice;

struct RendererFrame
{
    // No starvation reported yet (the engine's end).
    static void ResetStarvationMark();
    // A connection whose level is below the threshold and that was marked second is not mixed.
    static bool IsSkipped(const CZkMixerInputContext& connection);
    // Step 5 of the pass: gains and sends, bus levels and volumes, connection gains, windows,
    // game-parameter outputs, related levels.
    static void UpdateFrameParameters();
    // Every voice: status 44, its source's per-frame call, its preparation when playing; status 43
    // when it is to be pulled in a rendered frame.
    static void PrepareVoices(bool rendered);
    // The inline path: pulls with the voices mixing themselves, buses last to first, frame ends.
    static void RenderInline(bool rendered);
    // The job path: the voice job, then the buses level by level (jobs for the wider levels).
    static void RenderWithJobs(bool rendered);
    // One bus of the job path: every input not deferred (the voices in the order the inline pass
    // mixes them), then FinishBus.
    static void ProcessFrame(CZkMixBus& bus);
    // The bus inputs that are neither skipped nor deferred, in the bus's input order.
    static void MixBusInputs(CZkMixBus& bus);
    // Mixes the deferred inputs (those closing a cycle) that are not skipped.
    static void MixDeferredInputs(CZkMixBus& bus);
    // Processes the bus; a root without outputs is mixed into its device.
    static void FinishBus(CZkMixBus& bus);
    // Every bus's frame end, last to first, with the deferred inputs mixed after it on feedback.
    static void EndBusFrames();
    // Releases, stops, pauses, follows up and removes voices after the frame.
    static void PostFrameVoices();
    // A voice whose source finished continues with its follow-up source, or stops.
    static void FollowOrStop(CZkVoice& voice);
};
} // namespace ZK::SoundEngine
