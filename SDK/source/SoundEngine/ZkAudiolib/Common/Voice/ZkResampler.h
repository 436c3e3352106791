// CZkResampler: converts a stream of input blocks at the media's rate and pitch into planar float
// output blocks at the engine's rate. Input is 16-bit interleaved or 32-bit float planar; channels
// are de-interleaved and reordered through a channel map; samples are interpolated linearly at a
// 16.16 fixed-point read position whose step comes from the pitch in cents and the ratio of the
// two rates. A pitch change glides over 1024 counter units (1024 output frames at 48 kHz).
//
// Read position: the phase counts 1/65536 of an input frame. The channel's history sample (the
// last input frame consumed) sits at phase 0, frame j of the current block at (j + 1) x 0x10000.
//
// Calling order: Init, Setup, optionally SetChannelMapping, SetPitch before every block,
// framesWanted set to the output block's capacity, Execute until it answers 45 (output full),
// ResetOffsets when a new output block starts, Term at the end.
//
// Threading: one thread at a time (the voice's or the sink's). Ownership: more than 8 channels take
// history and map memory from pool 5, freed by Term; up to 8 channels use no allocation.
#pragma once

#include "ZkAudioFormat.h"
#include "ZkResamplerKernels.h"

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

class CZkResampler
{
public:
    static constexpr int32_t kUnityStep = 0x10000;
    static constexpr uint32_t kGlideLength = 1024;
    static constexpr uint32_t kGlideReferenceRateHz = 48000;
    static constexpr uint32_t kInlineChannels = 8;
    static constexpr uint32_t kRowCopy = 0;
    static constexpr uint32_t kRowFixedStep = 1;
    static constexpr uint32_t kRowGlide = 2;

    using ChannelMappingFn = uint8_t (*)(const ZkChannelConfig* config, uint32_t channel);

    void Init();
    ZKRESULT Setup(const ZkAudioFormat& format, uint32_t outputRate);
    void SetChannelMapping(const ZkChannelConfig* config, ChannelMappingFn mapping);
    void SetPitch(float cents, bool glide);
    void JumpToPitch(float cents);
    void SwitchSource(const ZkAudioFormat& format, float cents, uint32_t outputRate);
    float GetPitchRatio() const;
    // A new output block begins: the output offset becomes 0. The input offset stays where the
    // kernels left it (0 once an input block is used up), so an input block that outlives an
    // output block is read on from where it stopped instead of again from its start.
    void ResetOffsets();
    // The caller drops a partly converted input block (voice restart, virtual voice).
    void ResetInputOffset() { inputOffset = 0; }
    ZKRESULT Execute(ZkAudioBuffer* in, ZkAudioBuffer* out);
    // Execute with a given kernel table (the tests run every form through it).
    ZKRESULT ExecuteWith(const ZkResamplerKernels::KernelTable& table, ZkAudioBuffer* in, ZkAudioBuffer* out);
    void Term();

    // 2^(cents / 1200) x rateRatio x 65536 + 0.5 in single precision, truncated; 0x7FFFFFFF at or
    // above 2^31, and at least 1.
    static int32_t StepFromCents(float cents, float rateRatio);
    // Counter units per output frame: 48000 / outputRate, at least 1 (faster outputs glide over
    // 1024 output frames instead of never ending).
    static uint32_t GlideIncrementFor(uint32_t outputRate);

    float* FloatHistory() const { return static_cast<float*>(history); }
    int16_t* ShortHistory() const { return static_cast<int16_t*>(history); }
    // The step that follows an output frame whose advance brought the glide counter to `counter`
    // (unsigned 32-bit arithmetic; steps above 2^22 overflow it).
    uint32_t GlideStepAt(uint32_t counter) const
    {
        return (static_cast<uint32_t>(currentStep) * kGlideLength +
                (static_cast<uint32_t>(targetStep) - static_cast<uint32_t>(currentStep)) * counter) >> 10;
    }

    // State, read and written by the kernels.
    union InlineHistory
    {
        float samples[kInlineChannels];
        int16_t shortSamples[2 * kInlineChannels];
    } inlineHistory{};
    void* history = nullptr;
    uint32_t inputOffset = 0;
    uint32_t outputOffset = 0;
    uint32_t phase = 0x10000;
    int32_t currentStep = 0;
    int32_t targetStep = 0;
    uint32_t glideCounter = 0;
    uint32_t glideIncrement = 1;
    uint32_t framesWanted = 0;
    uint8_t inlineMap[kInlineChannels] = {};
    uint8_t* channelMap = inlineMap;
    uint8_t ownsMemory = 0;
    uint32_t kernelRow = kRowCopy;
    float rateRatio = 1.0f;
    float pitch = 0.0f;
    uint8_t kernelColumn = ZkResamplerKernels::kUnsupportedColumn;
    uint8_t channelCount = 0;
    uint8_t firstPitchPending = 1;

private:
    void FreeMemory();
    void Jump(float cents);
    void StartGlide(float cents);
    void ChooseRow();
    static uint8_t ColumnFor(uint32_t bitsPerSample, uint32_t channels);
};
