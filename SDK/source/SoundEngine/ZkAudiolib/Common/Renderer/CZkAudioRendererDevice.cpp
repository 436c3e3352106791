// CZkAudioRenderer: a root bus's output into its output device. A channel device gets one mix: the
// bus's single object of the device's own layout passes through with its volume ramp applied in
// place; any other objects are mixed into the device's main mix through their panning matrices.
// A device whose main mix is objects lets its object processor route each object to the main
// mix, the pass-through mix, or the sink as an object of its own.
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include "ZkAudiolib/Common/Buffers/ZkBufferPadding.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/Output/CZkObjectProcessor.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"

#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
bool SameLayout(ZkChannelConfig a, ZkChannelConfig b)
{
    return a.NumChannels() == b.NumChannels() && a.Type() == b.Type() && a.Mask() == b.Mask();
}

void Clear(ZkAudioBuffer& mix)
{
    std::memset(mix.data, 0, sizeof(float) * mix.NumChannels() * mix.maxFrames);
    mix.validFrames = mix.maxFrames;
}

uint32_t MatrixFloats(uint32_t inputChannels, uint32_t outputChannels)
{
    return (outputChannels + 3) / 4 * 4 * inputChannels;
}

// The object's channels onto the mix's through the panning of its configuration, with its gain
// ramped across the frame. The matrix lives on the stack.
void MixObject(ZkBusObject& object, ZkAudioBuffer& mix, CZkOutputDevice& device)
{
    ZkAudioBuffer& block = object.buffer;
    ZeroPadToFullLength(block);
    const uint32_t floats = MatrixFloats(block.NumChannels(), mix.NumChannels());
    float* matrix = static_cast<float*>(__builtin_alloca(sizeof(float) * floats + 16));
    matrix = reinterpret_cast<float*>((reinterpret_cast<uintptr_t>(matrix) + 15) & ~uintptr_t{15});
    std::memset(matrix, 0, sizeof(float) * floats);
    CZkSpeakerPan::ComputeSpeakerVolumes(0.0f, 0.0f, 0.0f, 0.0f, ZkSpeakerPanning_Direct, block.channelConfig,
                                         mix.channelConfig, matrix, &device);
    ZkRamp ramp = object.record->volume;
    const uint16_t frames = mix.maxFrames;
    ZkMixer::MixNinNChannels(&block, &mix, ramp, matrix, matrix, 1.0f / static_cast<float>(frames), frames);
}
} // namespace

void CZkAudioRenderer::MixBusToDevice(CZkMixBus& bus, CZkOutputDevice& device)
{
    ZkBusObjectList& objects = bus.OutputList();
    if (objects.IsEmpty())
        return;
    const ZkRamp outputGain(bus.OutputGain(), bus.OutputGain());

    if (device.MainMixIsObjects())
    {
        CZkObjectProcessor* processor = device.ObjectProcessor();
        if (processor == nullptr)
            return;
        ZkAudioBuffer& main = device.MainMix();
        Clear(main);
        ZkAudioBuffer* passthrough = device.PassthroughMix();
        if (passthrough != nullptr && device.Capabilities().passthrough != 0)
            Clear(*passthrough);
        else
            passthrough = nullptr;
        for (ZkBusObject& object : objects)
        {
            const uint32_t routing = processor->RouteObject(object, device.Capabilities());
            if (routing == CZkObjectProcessor::kRoutingObject)
            {
                ZeroPadToFullLength(object.buffer);
                processor->BuildObject(object, routing);
                continue;
            }
            ZkAudioBuffer* target = routing == CZkObjectProcessor::kRoutingPassthrough && passthrough != nullptr
                                        ? passthrough
                                        : &main;
            processor->BuildObject(object, routing);
            MixObject(object, *target, device);
        }
        device.Render(&main, passthrough, processor->CollectObjects(), outputGain);
        return;
    }

    ZkAudioBuffer& main = device.MainMix();
    if (objects.Count() == 1 && SameLayout(objects[0].buffer.channelConfig, device.channelConfig))
    {
        // The bus's mix is the device's: its ramp is applied in place, no mixing step.
        ZkBusObject& object = objects[0];
        ZeroPadToFullLength(object.buffer);
        ZkMixer::ApplyGain(&object.buffer, &object.buffer, object.record->volume, false);
        device.Render(&object.buffer, nullptr, nullptr, outputGain);
        return;
    }
    Clear(main);
    for (ZkBusObject& object : objects)
        MixObject(object, main, device);
    device.Render(&main, nullptr, nullptr, outputGain);
}
} // namespace ZK::SoundEngine
