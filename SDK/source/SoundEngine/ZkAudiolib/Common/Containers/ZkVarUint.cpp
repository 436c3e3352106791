#include "ZkAudiolib/Common/Containers/ZkVarUint.h"

namespace ZK
{
bool ReadVarUint(const uint8_t*& cursor, const uint8_t* end, uint32_t& value)
{
    uint64_t number = 0;
    const uint8_t* next = cursor;
    for (size_t length = 1; length <= kVarUintMaxBytes; ++length)
    {
        if (next >= end)
            return false;
        const uint8_t byte = *next++;
        number = (number << 7) | (byte & 0x7Fu);
        if ((byte & 0x80u) == 0)
        {
            if (number > 0xFFFFFFFFull)
                return false;
            value = static_cast<uint32_t>(number);
            cursor = next;
            return true;
        }
    }
    return false;
}

size_t WriteVarUint(uint32_t value, uint8_t* output)
{
    size_t groups = 1;
    while (groups < kVarUintMaxBytes && (value >> (7 * groups)) != 0)
        ++groups;
    for (size_t index = 0; index < groups; ++index)
    {
        const uint32_t group = (value >> (7 * (groups - 1 - index))) & 0x7Fu;
        output[index] = static_cast<uint8_t>(group | (index + 1 < groups ? 0x80u : 0u));
    }
    return groups;
}
} // namespace ZK
