// The sound engine's byte readers and writers over arbitrary bytes: a script of reads, skips and
// writes from the front of the input, over the rest of it. A reader never moves past its block and
// hands out exactly the block's bytes; a fixed buffer never takes more than fits; the growing
// writer keeps everything written.
#include "support/SoundMemory.h"

#include <ZK/SoundEngine/Common/ZkBytes.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using kp::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kp::fuzz::StartSoundMemory();
    kp::fuzz::InputBytes input(data, size);
    const uint32_t steps = input.Byte() % 32;
    std::vector<int32_t> requests;
    for (uint32_t step = 0; step < steps; ++step)
        requests.push_back(static_cast<int32_t>(static_cast<int16_t>(input.Word()))); // negatives too
    const uint32_t bufferSize = input.Byte();
    size_t blockSize = 0;
    const uint8_t* block = input.Take(input.Left(), blockSize);
    const auto blockBytes = static_cast<int32_t>(blockSize);

    ZK::ReadBytesMem reader(block, blockBytes);
    ZK::ReadBytesSkip skipper(block, blockBytes);
    std::vector<uint8_t> buffer(bufferSize);
    ZK::WriteBytesBuffer fixed(buffer.data(), static_cast<int32_t>(buffer.size()));
    ZK::WriteBytesMem grown;
    grown.SetMemPool(ZkMemID_Default);
    ZK::WriteBytesCount counter;
    std::vector<uint8_t> copied;
    int32_t fixedExpected = 0;
    for (int32_t request : requests)
    {
        const int32_t before = reader.Count();
        std::vector<uint8_t> destination(request > 0 ? static_cast<size_t>(request) : 1); // never a null source
        int32_t read = -1;
        const bool whole = reader.ReadBytes(destination.data(), request, read);
        const int32_t expected = request <= 0 ? 0 : (request < blockBytes - before ? request : blockBytes - before);
        Check(read == expected && reader.Count() == before + read && whole == (request >= 0 && read == request));
        Check(read == 0 || std::memcmp(destination.data(), block + before, static_cast<size_t>(read)) == 0);
        copied.insert(copied.end(), destination.begin(), destination.begin() + read);

        int32_t skipped = -1;
        Check(skipper.ReadBytes(nullptr, request, skipped) == whole && skipped == read && skipper.Count() == reader.Count());

        int32_t written = -1;
        const bool fits = request >= 0 && request <= static_cast<int32_t>(buffer.size()) - fixedExpected;
        Check(fixed.WriteBytes(destination.data(), request, written) == fits && written == (fits ? request : 0));
        fixedExpected += fits ? request : 0;
        Check(fixed.GetPos() == fixedExpected);

        if (read > 0)
        {
            Check(grown.WriteBytes(destination.data(), read, written) && written == read);
            Check(counter.WriteBytes(nullptr, read, written) && written == read);
        }
    }
    Check(grown.Count() == static_cast<int32_t>(copied.size()) && counter.Count() == grown.Count());
    Check(copied.empty() || std::memcmp(grown.Bytes(), copied.data(), copied.size()) == 0);
    return 0;
}
