// The time kernel: the seconds elapsed in the current loop (the elapsed count is already scaled by
// the playback rate), held at the duration once the end frame is reached.
#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
void RunOne(const ZkTimeRecord& record, ZkModulatorOutput& output, uint32_t frames, uint32_t sampleRate)
{
    const ZkTimeParams& params = record.params;
    const int64_t duration = params.duration;
    int64_t elapsed = record.header.elapsedFrames;
    const float rate = static_cast<float>(sampleRate);

    float value;
    output.newState = ZkModulatorState_None;
    if (elapsed >= params.endFrame)
    {
        value = static_cast<float>(duration) / rate;
        output.newState = ZkModulatorState_Stopped;
    }
    else if (duration == 0)
    {
        // A loop of no length has no position inside it (and nothing to divide by).
        value = 0.0f;
    }
    else
    {
        if (duration < elapsed && elapsed < params.totalLength)
            elapsed %= duration;
        value = static_cast<float>(std::min(elapsed, duration)) / rate;
    }

    if (record.header.audioRateFrames != 0 && output.samples != nullptr)
        std::fill(output.samples, output.samples + frames, value);
    output.lastValue = value;
    output.peak = std::max(value, 0.0f);
}
} // namespace

void RunTimeKernel(const ZkTimeRecord* records, ZkModulatorOutput* outputs, uint32_t count, uint32_t frames,
                   uint32_t sampleRate)
{
    for (uint32_t index = 0; index < count; ++index)
        RunOne(records[index], outputs[index], frames, sampleRate);
}
} // namespace ZK::SoundEngine
