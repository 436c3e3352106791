// DecodeBank over arbitrary bytes, with the codec of the 8-bit test format registered: whatever it
// answers, it reads only the image and writes only the copy it sized; a size query and the copy
// agree; a refused image leaves no copy.
#include "support/SoundSources.h"
#include "support/TestFormatCodec.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>

#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

using namespace ZK::SoundEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kp::fuzz::StartSoundSources([] { ZkTestFormat::U8TestCodec::Register(); });
    // A copy of exactly the input, so that a read past it is caught.
    const std::vector<uint8_t> image(data, data + size);
    const auto imageSize = static_cast<uint32_t>(size);
    void* query = nullptr;
    uint32_t needed = 0;
    const ZKRESULT sized = DecodeBank(image.data(), imageSize, static_cast<ZkMemoryId>(-1), query, needed);
    void* out = nullptr;
    uint32_t outSize = 0;
    const ZKRESULT decoded = DecodeBank(image.data(), imageSize, ZkMemID_Default, out, outSize);
    if (decoded != ZK_Success)
    {
        Check(out == nullptr);
        return 0;
    }
    Check(sized == ZK_Success && needed == outSize && out != nullptr);
    ZK::MemoryMgr::Free(ZkMemID_Default, out);
    return 0;
}
