// CZkModulationStage: the last stage of every voice. It multiplies the block by the volume
// modulators of the voice's playing instance: audio-rate modulators sample by sample from their
// own buffers (x scale + offset), control-rate modulators as a ramp across the frame from the gain
// of the previous frame to this frame's. A block without modulators passes unchanged; every chain
// operation is forwarded to the input.
//
// Two sets of links shape the voice: the instance's own (what its play started) and those of the
// play context it sounds in (a music track's play started the track's modulators once for all its
// clips; the clips' voices follow them without holding them).
//
// The volume is the pair of parameter bits that link entries exist for: 0 (the volume) and 7 (the
// make-up gain). Up to kMaxModulators entries of each kind are applied per frame, gathered on the
// stack (the render path allocates nothing); entries beyond them are left out.
//
// Calling order: SetOwner once the instance is known, then Process on each block that holds data.
// Threading: the thread rendering the voice; allocates nothing.
// Ownership: embedded in its voice; the owner is borrowed.
#pragma once

#include "ZkAudiolib/Common/Voice/CZkVoicePipelineStage.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>

namespace ZK::SoundEngine
{
// What the stage reads of the playing instance it serves.
class IZkModulationOwner
{
public:
    // Null when the instance has no modulators.
    virtual const CZkModulatorLinks* GetModulatorLinks() const = 0;
    // The links of the play context the instance sounds in; null when it has none.
    virtual const CZkModulatorLinks* GetContextModulatorLinks() const { return nullptr; }
    // The modulation does not change during the play (one constant gain per frame).
    virtual bool HasConstantModulation() const = 0;
    // Frame at which the instance stops, -1 when none.
    virtual int32_t GetStopFrame() const = 0;

protected:
    ~IZkModulationOwner() = default;
};

class CZkModulationStage final : public CZkVoicePipelineStage
{
public:
    // Parameter bits of the volume among the modulated parameters (bits 0 and 7).
    static constexpr uint64_t kVolumeMask = (uint64_t{1} << 0) | (uint64_t{1} << 7);
    // Modulators of one kind applied per frame at most (the rest are left out).
    static constexpr uint32_t kMaxModulators = 8;

    ZKRESULT SetOwner(const IZkModulationOwner* owner)
    {
        m_owner = owner;
        return ZK_Success;
    }
    void Process(ZkAudioBuffer& buffer);

    // The two gain forms, on every channel of the buffer over its maximum frames (the frame's
    // length), in the kernels' form this processor runs.
    static void ApplyAudioRate(ZkAudioBuffer& buffer, const ZkAudioRateModulation& modulation);
    static void ApplyControlRate(ZkAudioBuffer& buffer, const ZkControlRateModulation& modulation);

private:
    void ProcessLinks(ZkAudioBuffer& buffer, const CZkModulatorLinks& links);

    const IZkModulationOwner* m_owner = nullptr;
};
} // namespace ZK::SoundEngine
