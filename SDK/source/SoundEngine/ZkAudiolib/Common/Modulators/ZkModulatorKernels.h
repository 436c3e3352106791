// The three modulator kernels: one engine frame of LFO, envelope and time instances, over arrays
// of kernel records and output records as the modulator manager's batches hold them (a single
// record is an array of one). An audio-rate record (header.audioRateFrames != 0) writes its
// buffer of `frames` samples into its output's `samples`, which the caller points at the record's
// slice of a buffer; a control-rate record writes one value per frame.
//
// These are the plain scalar forms: they are the reference of any vector form, and they branch
// per sample where the segments and waveforms change.
//
// Threading: audio thread; real-time safe (no allocation, no lock, no I/O).
// Ownership: the caller owns every array.
#pragma once

#include "ZkAudiolib/Common/Modulators/ZkModulatorRecords.h"

#include <cstdint>

namespace ZK::SoundEngine
{
// LFO: the output records carry the oscillator state the next frame starts from.
void RunLfoKernel(const ZkLfoRecord* records, ZkLfoOutput* outputs, uint32_t count, uint32_t frames);
void RunEnvelopeKernel(const ZkEnvelopeRecord* records, ZkModulatorOutput* outputs, uint32_t count,
                       uint32_t frames);
// Time: values in seconds at sampleRate.
void RunTimeKernel(const ZkTimeRecord* records, ZkModulatorOutput* outputs, uint32_t count, uint32_t frames,
                   uint32_t sampleRate);

namespace ZkModulatorMath
{
// The oscillator coefficients of an LFO for frequency (Hz) and smoothing (fraction), at the
// kernels' fixed rate of 48000 Hz; the phase of a waveform change is rescaled (sine 2 pi,
// others 1). The waveform taken into use is held to 0..5.
void ComputeLfoCoefficients(ZkLfoOscillator& oscillator, int32_t waveform, float frequency, float smoothing);
// The phase an LFO starts from for its initial phase in degrees.
float LfoStartPhase(int32_t waveform, float initialPhaseDegrees);
// (x + 2) rounded down to a multiple of 4: the envelope's lengths at audio rate.
constexpr int64_t RoundToGroup(int64_t samples) { return (samples + 2) & ~int64_t{3}; }
} // namespace ZkModulatorMath
} // namespace ZK::SoundEngine
