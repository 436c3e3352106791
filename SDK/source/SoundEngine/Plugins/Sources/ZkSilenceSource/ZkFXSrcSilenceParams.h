// The silence source's parameters: how long it lasts (seconds) and the range of a random extension
// drawn at each start. The bank's block is three little-endian f32 in that order; a block shorter
// than that is refused (7) rather than read past its end, so an effect object whose bank bytes are
// short reports the error instead of handing the source bytes that are not its own.
//
// Threading: one thread at a time (the bank reader, then the voice's render thread through the
// host's copy). Ownership: made, cloned and destroyed through the plug-in allocator it is given.
#pragma once

#include "ZkAudiolib/Common/Output/ZkPluginParamRecord.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkSrcSilenceParams final : public ZkPluginParamRecord<CZkSrcSilenceParams>
{
public:
    enum ParamID : uint16_t
    {
        Param_Duration = 0,
        Param_RandomMin = 1,
        Param_RandomMax = 2,
    };
    static constexpr uint32_t kBlockBytes = 12;
    static constexpr float kDefaultDurationSeconds = 1.0f;

    // Ids 0 to 2 take the float at value. 31 for another id or no value.
    ZKRESULT SetParam(uint16_t paramID, const void* value, uint32_t size) override;
    ZK::IZkPluginParam* Clone(ZK::IZkPluginMemAlloc* allocator) override { return Make(allocator, *this); }
    // The three floats as they stand (checked when the source starts). 7 for fewer than 12 bytes.
    ZKRESULT SetParamsBlock(const void* block, uint32_t size) override;

    float durationSeconds = kDefaultDurationSeconds;
    float randomMinSeconds = 0.0f;
    float randomMaxSeconds = 0.0f;
};
static_assert(sizeof(CZkSrcSilenceParams) == 24, "the parameter object is a vtable and three floats");
} // namespace ZK::SoundEngine
