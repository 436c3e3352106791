#include "ZkResampler.h"

#include "../Mixing/ZkKernelTables.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr float kOneOver1200 = 0.00083333335f;
constexpr float kTwoPow31 = 2147483648.0f;
constexpr float kShortToFloat = 1.0f / 32768.0f;
constexpr uint32_t kHistoryAlignment = 16;
} // namespace

void CZkResampler::Init()
{
    rateRatio = 1.0f;
    pitch = 0.0f;
    kernelRow = kRowCopy;
    history = nullptr;
    channelMap = inlineMap;
    ownsMemory = 0;
    inputOffset = 0;
    outputOffset = 0;
    phase = 0x10000;
    currentStep = 0;
    targetStep = 0;
    glideCounter = 0;
    firstPitchPending = 1;
}

void CZkResampler::FreeMemory()
{
    if (ownsMemory)
    {
        ZK::MemoryMgr::Free(ZkMemID_Processing, history);
        ZK::MemoryMgr::Free(ZkMemID_Processing, channelMap);
    }
    ownsMemory = 0;
    history = nullptr;
    channelMap = inlineMap;
}

uint8_t CZkResampler::ColumnFor(uint32_t bitsPerSample, uint32_t channels)
{
    const uint8_t shape = channels == 1 ? 0 : (channels == 2 ? 1 : 2);
    if (bitsPerSample == 16)
        return shape;
    if (bitsPerSample == 32)
        return static_cast<uint8_t>(3 + shape);
    return ZkResamplerKernels::kUnsupportedColumn;
}

uint32_t CZkResampler::GlideIncrementFor(uint32_t outputRate)
{
    if (outputRate == 0)
        return 1;
    return std::max<uint32_t>(kGlideReferenceRateHz / outputRate, 1u);
}

ZKRESULT CZkResampler::Setup(const ZkAudioFormat& format, uint32_t outputRate)
{
    if (outputRate == 0)
        return ZK_Fail;
    const uint32_t channels = format.channelConfig.NumChannels();
    const bool floatInput = format.BitsPerSample() == 32;
    FreeMemory();
    if (channels <= kInlineChannels)
    {
        std::memset(&inlineHistory, 0, sizeof(inlineHistory));
        history = &inlineHistory;
    }
    else
    {
        // Room for a float per channel whatever the sample type, so a later SwitchSource from
        // 16-bit to float input fits in the same history.
        const size_t historyBytes = channels * sizeof(float);
        history = ZK::MemoryMgr::Malign(ZkMemID_Processing, historyBytes, kHistoryAlignment);
        channelMap = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(ZkMemID_Processing, channels));
        if (history == nullptr || channelMap == nullptr)
        {
            if (history)
                ZK::MemoryMgr::Free(ZkMemID_Processing, history);
            if (channelMap)
                ZK::MemoryMgr::Free(ZkMemID_Processing, channelMap);
            history = nullptr;
            channelMap = inlineMap;
            kernelColumn = ZkResamplerKernels::kUnsupportedColumn;
            return ZK_Fail;
        }
        std::memset(history, 0, historyBytes);
        ownsMemory = 1;
    }
    glideIncrement = GlideIncrementFor(outputRate);
    channelCount = static_cast<uint8_t>(channels);
    rateRatio = static_cast<float>(format.sampleRate) / static_cast<float>(outputRate);
    kernelColumn = ColumnFor(format.BitsPerSample(), channels);
    for (uint32_t i = 0; i < channels; ++i)
        channelMap[i] = static_cast<uint8_t>(floatInput ? i : format.channelConfig.InterleavedToPipeline(i));
    return kernelColumn < ZkResamplerKernels::kColumns ? ZK_Success : ZK_Fail;
}

void CZkResampler::SetChannelMapping(const ZkChannelConfig* config, ChannelMappingFn mapping)
{
    const uint32_t channels = std::min<uint32_t>(config->NumChannels(), channelCount);
    for (uint32_t i = 0; i < channels; ++i)
        channelMap[i] = mapping(config, i);
}

int32_t CZkResampler::StepFromCents(float cents, float ratio)
{
    const float value = std::exp2(cents * kOneOver1200) * ratio * 65536.0f + 0.5f;
    if (!(value < kTwoPow31)) // also a NaN
        return 0x7FFFFFFF;
    const int32_t step = static_cast<int32_t>(value);
    return step <= 0 ? 1 : step;
}

void CZkResampler::Jump(float cents)
{
    currentStep = targetStep = StepFromCents(cents, rateRatio);
    glideCounter = kGlideLength;
    pitch = cents;
    firstPitchPending = 0;
}

void CZkResampler::StartGlide(float cents)
{
    if (kernelRow == kRowGlide)
    {
        // Start from the step the running glide has reached.
        const int64_t reached = static_cast<int64_t>(currentStep) +
                                (static_cast<int64_t>(targetStep) - currentStep) * glideCounter / static_cast<int64_t>(kGlideLength);
        int32_t step = static_cast<int32_t>(reached);
        if (step == 0)
            step = 1;
        else if (step < 0)
            step = 0x7FFFFFFF;
        currentStep = step;
    }
    glideCounter = 0;
    targetStep = StepFromCents(cents, rateRatio);
    pitch = cents;
}

void CZkResampler::ChooseRow()
{
    if (targetStep != currentStep)
        kernelRow = kRowGlide;
    else
        kernelRow = currentStep != kUnityStep ? kRowFixedStep : kRowCopy;
}

void CZkResampler::SetPitch(float cents, bool glide)
{
    if (firstPitchPending)
    {
        Jump(cents);
        kernelRow = currentStep != kUnityStep ? kRowFixedStep : kRowCopy;
        return;
    }
    if (cents != pitch)
    {
        StartGlide(cents);
        if (!glide)
            currentStep = targetStep;
    }
    ChooseRow();
}

void CZkResampler::JumpToPitch(float cents)
{
    if (firstPitchPending || cents != pitch)
        Jump(cents);
}

void CZkResampler::SwitchSource(const ZkAudioFormat& format, float cents, uint32_t outputRate)
{
    const uint32_t channels = channelCount;
    const uint8_t oldColumn = kernelColumn;
    const bool oldShort = oldColumn < 3;

    // The history as floats, whatever it held.
    float values[256] = {};
    if (history != nullptr)
    {
        for (uint32_t c = 0; c < channels; ++c)
            values[c] = oldShort ? ShortHistory()[c] * kShortToFloat : FloatHistory()[c];
    }

    const float newRatio = outputRate != 0 ? static_cast<float>(format.sampleRate) / static_cast<float>(outputRate) : rateRatio;
    if (outputRate != 0)
        glideIncrement = GlideIncrementFor(outputRate);
    if (newRatio != rateRatio)
    {
        rateRatio = newRatio;
        Jump(cents);
    }
    else if (firstPitchPending)
    {
        Jump(cents);
    }
    else if (cents != pitch)
    {
        StartGlide(cents);
    }
    ChooseRow();

    const uint8_t newColumn = ColumnFor(format.BitsPerSample(), channels);
    kernelColumn = newColumn;
    if (newColumn == ZkResamplerKernels::kUnsupportedColumn || history == nullptr)
        return;
    for (uint32_t c = 0; c < channels; ++c)
    {
        if (newColumn >= 3)
        {
            FloatHistory()[c] = values[c];
        }
        else
        {
            const float scaled = std::clamp(values[c] * 32767.0f, -32768.0f, 32767.0f);
            ShortHistory()[c] = static_cast<int16_t>(scaled);
        }
    }
}

float CZkResampler::GetPitchRatio() const
{
    return static_cast<float>(currentStep) * (1.0f / 65536.0f) / rateRatio;
}

void CZkResampler::ResetOffsets()
{
    outputOffset = 0;
}

ZKRESULT CZkResampler::Execute(ZkAudioBuffer* in, ZkAudioBuffer* out)
{
    return ExecuteWith(g_zkKernelTables.resampler, in, out);
}

ZKRESULT CZkResampler::ExecuteWith(const ZkResamplerKernels::KernelTable& table, ZkAudioBuffer* in, ZkAudioBuffer* out)
{
    if (in->validFrames == 0)
        return ZK_NoMoreData;
    if (kernelColumn >= ZkResamplerKernels::kColumns || kernelRow >= ZkResamplerKernels::kRows)
        return ZK_Fail;
    // Never write past the output block, whatever the caller set.
    const uint32_t wanted = std::min<uint32_t>(framesWanted, out->maxFrames);
    ZKRESULT result;
    do
    {
        result = table.cells[ZkResamplerKernels::kColumns * kernelRow + kernelColumn](in, out, wanted, this);
        if (kernelRow == kRowGlide && glideCounter >= kGlideLength)
        {
            currentStep = targetStep;
            kernelRow = kRowFixedStep;
        }
    } while (in->validFrames > 0 && out->validFrames < wanted);
    return result;
}

void CZkResampler::Term()
{
    FreeMemory();
    inputOffset = 0;
    outputOffset = 0;
}
