// FNV-1 ids of names (ZkIdFromName.h).
#include "ZkAudiolib/Common/FrontEnd/NameText.h"

#include "Platform/PlatformText.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <cwchar>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kFnvPrime = 0x01000193u; // 16777619

constexpr uint8_t FoldAsciiCapital(uint8_t byte)
{
    return (byte >= 'A' && byte <= 'Z') ? static_cast<uint8_t>(byte + 0x20) : byte;
}
} // namespace

void WideNameToUtf8(const wchar_t* name, char (&buffer)[kNameBufferBytes])
{
    wchar_t head[kMaximumWideNameCharacters + 1];
    const size_t length = wcsnlen(name, kMaximumWideNameCharacters);
    wmemcpy(head, name, length);
    head[length] = L'\0';
    buffer[0] = '\0';
    // The conversion either fits whole or gives nothing: a cut name would hash to another id.
    if (ZK::Platform::WideToUtf8(head, nullptr, 0) < kNameBufferBytes)
        ZK::Platform::WideToUtf8(head, buffer, kNameBufferBytes);
}

ZkUniqueID GetIDFromString(const char* name)
{
    if (name == nullptr)
        return ZK_INVALID_UNIQUE_ID;
    uint32_t hash = kIdOfEmptyName;
    for (const auto* byte = reinterpret_cast<const uint8_t*>(name); *byte != 0; ++byte)
    {
        hash *= kFnvPrime;
        hash ^= FoldAsciiCapital(*byte);
    }
    return hash;
}

ZkUniqueID GetIDFromString(const wchar_t* name)
{
    if (name == nullptr)
        return ZK_INVALID_UNIQUE_ID;
    char utf8[kNameBufferBytes];
    WideNameToUtf8(name, utf8);
    return GetIDFromString(utf8);
}
} // namespace ZK::SoundEngine
