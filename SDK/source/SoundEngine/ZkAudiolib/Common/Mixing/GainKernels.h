// The last step before audio leaves the engine: a gain ramp over a planar buffer (ApplyGain) and
// the interleaving kernels that turn a planar float buffer (pipeline order) into an interleaved one
// (interleaved order, LFE after the front channels), in float or 16-bit samples.
//
// Gain of frame k: previous + k x (next - previous) / F, where F is the input's maximum frames,
// accumulated frame by frame (or four lanes at a time) in single precision; the ramp starts again
// at "previous" for every planar channel. 16-bit samples are sample x gain x 32767, truncated toward
// zero and saturated to -32768..32767.
//
// The general kernels are the scalar reference; the interleave table holds their SSE forms (any
// layouts, four frames per vector) in its general cells, and every SSE kernel of the table writes
// what the general kernel of its sample type writes for the same cell (up to float rounding of the
// ramp, and one unit of the 16-bit truncation).
//
// Threading: stateless; any thread on buffers it owns. Audio thread: no allocation, no locks.
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkRamp.h>

#include <cstdint>

namespace ZkGainKernels
{
using InterleaveFn = void (*)(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);

constexpr uint32_t kLayoutClasses = 5;
constexpr uint32_t kInterleaveCells = 50;
constexpr float kShortScale = 32767.0f;

enum LayoutClass : uint32_t
{
    LayoutClass_Mono = 0,
    LayoutClass_Stereo = 1,
    LayoutClass_5Point1 = 2,
    LayoutClass_7Point1 = 3,
    LayoutClass_General = 4
};

LayoutClass LayoutClassOf(ZkChannelConfig config);
constexpr uint32_t InterleaveCell(uint32_t inClass, uint32_t outClass, bool toShort)
{
    return 10u * inClass + 2u * outClass + (toShort ? 1u : 0u);
}

// Truncated and saturated conversion of an already scaled sample (NaN gives -32768).
int16_t ToShortSaturated(float scaled);

// ApplyGain: planar in, planar out with the input's channel stride, over F = in->maxFrames frames
// of each of the output's channels.
void ApplyGainScalar(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort);
void ApplyGainSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort);

// General interleave kernels (scalar): any layouts; zero samples fill the output positions beyond
// the input's channel count.
void InterleaveGeneralFloat(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);
void InterleaveGeneralShort(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);
// Their SSE forms: the same positions and zeros, four frames of each position per vector.
void InterleaveGeneralFloatSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);
void InterleaveGeneralShortSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);

// Dedicated SSE kernels (cell index in the name's comment).
void MonoGainCopySse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);            // 0
void MonoToShortSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);             // 1
void StereoInterleaveSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);        // 12
void StereoInterleaveShortSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);   // 13
void StereoTo5Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);         // 14
void StereoTo7Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);         // 16
void Interleave5Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);       // 24
void Interleave5Point1To7Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain); // 26
void Interleave7Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain);       // 36

// The interleave table as the kernel tables hold it: general pairs, dedicated cells above.
struct InterleaveTable
{
    InterleaveFn cells[kInterleaveCells];
};
constexpr InterleaveTable MakeInterleaveTable()
{
    InterleaveTable table{};
    for (uint32_t cell = 0; cell < kInterleaveCells; ++cell)
        table.cells[cell] = (cell & 1u) ? InterleaveGeneralShortSse : InterleaveGeneralFloatSse;
    table.cells[InterleaveCell(LayoutClass_Mono, LayoutClass_Mono, false)] = MonoGainCopySse;
    table.cells[InterleaveCell(LayoutClass_Mono, LayoutClass_Mono, true)] = MonoToShortSse;
    table.cells[InterleaveCell(LayoutClass_Stereo, LayoutClass_Stereo, false)] = StereoInterleaveSse;
    table.cells[InterleaveCell(LayoutClass_Stereo, LayoutClass_Stereo, true)] = StereoInterleaveShortSse;
    table.cells[InterleaveCell(LayoutClass_Stereo, LayoutClass_5Point1, false)] = StereoTo5Point1Sse;
    table.cells[InterleaveCell(LayoutClass_Stereo, LayoutClass_7Point1, false)] = StereoTo7Point1Sse;
    table.cells[InterleaveCell(LayoutClass_5Point1, LayoutClass_5Point1, false)] = Interleave5Point1Sse;
    table.cells[InterleaveCell(LayoutClass_5Point1, LayoutClass_7Point1, false)] = Interleave5Point1To7Point1Sse;
    table.cells[InterleaveCell(LayoutClass_7Point1, LayoutClass_7Point1, false)] = Interleave7Point1Sse;
    return table;
}
} // namespace ZkGainKernels
