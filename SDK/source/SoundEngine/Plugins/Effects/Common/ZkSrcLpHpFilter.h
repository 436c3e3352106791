// CZkSrcLpHpFilter: the low-pass/high-pass pair every voice (and every mix input that filters on
// its own) carries: one second-order Butterworth low-pass and one high-pass over all channels of
// its channel configuration, each driven by a 0-100 value (0 = no filtering). Runs in place on a
// voice's buffer, or out of place into the scratch buffer of a filtered matrix mix.
//
// Life cycle: Init, Setup (memory), then per buffer: the owner writes targets (SetLowPassTarget /
// SetHighPassTarget), Process or ProcessOutOfPlace; Reset on entering virtual mode; Term.
// Threading: belongs to one voice or mix input; processed by the thread that renders it; no locks.
// Ownership: its four memory blocks come from the plug-in instance allocator (pool 6) and are
// freed by Term, Reinit or MoveFrom.
#pragma once

#include "ZkBiquadStage.h"

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

class CZkSrcLpHpFilter
{
public:
    void Init();
    ZKRESULT Setup(ZkChannelConfig config);
    ZKRESULT Reinit(ZkChannelConfig config);
    void Term();
    void MoveFrom(CZkSrcLpHpFilter& other);

    void SetLowPassTarget(float value) { m_lowPass.SetTarget(value); }
    void SetHighPassTarget(float value) { m_highPass.SetTarget(value); }

    // Low-pass then high-pass, in place; each only when its memory exists.
    void Process(ZkAudioBuffer* buffer);
    // Low-pass in -> out then high-pass in place on out; or high-pass in -> out alone; with neither
    // filter set up nothing is written.
    void ProcessOutOfPlace(const ZkAudioBuffer* in, ZkAudioBuffer* out);
    // Runs both parameter updates; true when both filters are off, or when memory is missing.
    bool IsBypassed();
    // Sets the channel's history of both filters from the buffer's last two valid samples, so the
    // filter can take over without a click after a stretch of unfiltered mixing.
    void KeepStateCurrent(const ZkAudioBuffer* buffer, uint32_t channel);
    // The next update jumps to its target; both histories are cleared.
    void Reset();
    // The end-of-buffer bookkeeping of the filtered matrix mix (low-pass, then high-pass).
    void AdvanceAfterMix();

    ZkChannelConfig GetChannelConfig() const { return m_channelConfig; }
    bool HasAllMemory() const { return m_lowPass.HasMemory() && m_highPass.HasMemory(); }
    ZkBiquadStage& LowPass() { return m_lowPass; }
    ZkBiquadStage& HighPass() { return m_highPass; }

private:
    ZKRESULT AllocateAll();
    void ResetParameters();

    ZkBiquadStage m_lowPass{ZkFilterKind::LowPass};
    ZkBiquadStage m_highPass{ZkFilterKind::HighPass};
    ZkChannelConfig m_channelConfig;
};
