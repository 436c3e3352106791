// The system sink's parameters over arbitrary bytes: a bank's parameter block is read whole (its
// fields are the block's bytes) or refused with 7 when shorter than 12 bytes; parameter changes
// from the rest of the input never read past the value they are given and mark what changed.
#include "support/SoundMemory.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ZK::SoundEngine;
    kp::fuzz::StartSoundMemory();
    CZkPluginMemAlloc& allocator = CZkPluginMemAlloc::ForParameters();
    auto* params = static_cast<CZkSinkParamsSpatial*>(CZkSinkParamsSpatial::Create(&allocator));
    Check(params != nullptr);
    // The block is copied so that a read past its end lands outside the copy.
    const std::vector<uint8_t> block(data, data + size);
    const uint32_t blockSize = static_cast<uint32_t>(size);
    const ZKRESULT read = params->Init(&allocator, block.data(), blockSize);
    if (size == 0)
    {
        Check(read == ZK_Success && params->mainConfig.word == CZkSinkParamsSpatial::kDefaultChannelWord);
    }
    else if (size < CZkSinkParamsSpatial::kBlockBytes)
    {
        Check(read == ZK_InvalidFile && params->objectLimit == CZkSinkParamsSpatial::kDefaultObjectLimit);
    }
    else
    {
        Check(read == ZK_Success);
        Check(params->enable == block[0] && params->limitGiven == block[9]);
        Check(params->mainConfig.word == ZK::LoadLittleEndian<uint32_t>(block.data() + 1));
        Check(params->objectLimit == ZK::LoadLittleEndian<uint16_t>(block.data() + 10));
    }

    kp::fuzz::InputBytes script(data, size);
    while (!script.Empty())
    {
        const uint16_t id = script.Byte() % 7;
        const uint32_t valueSize = script.Byte() % 5;
        std::vector<uint8_t> value(valueSize);
        for (uint8_t& byte : value)
            byte = script.Byte();
        const uint8_t changedBefore = params->changed;
        const ZKRESULT result = params->SetParam(id, valueSize != 0 ? value.data() : nullptr, valueSize);
        Check(result == ZK_Success || result == ZK_InvalidParameter);
        if (result == ZK_Success)
            Check(id <= CZkSinkParamsSpatial::Param_ObjectLimit && (params->changed & changedBefore) == changedBefore);
        else
            Check(params->changed == changedBefore);
    }
    ZK::IZkPluginParam* clone = params->Clone(&allocator);
    Check(clone != nullptr);
    clone->Term(&allocator);
    params->Term(&allocator);
    return 0;
}
