#include "ZkAudiolib/Common/FrontEnd/BankIdFromName.h"

#include "ZkAudiolib/Common/FrontEnd/NameText.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
ZkUniqueID HashWithoutExtension(char (&name)[kNameBufferBytes])
{
    char* lastDot = std::strrchr(name, '.');
    if (lastDot != nullptr)
        *lastDot = '\0';
    return GetIDFromString(name);
}
} // namespace

ZkUniqueID GetBankIDFromString(const char* name)
{
    if (name == nullptr)
        return ZK_INVALID_UNIQUE_ID;
    char copy[kNameBufferBytes];
    const size_t length = strnlen(name, kNameBufferBytes - 1);
    std::memcpy(copy, name, length);
    copy[length] = '\0';
    return HashWithoutExtension(copy);
}

ZkUniqueID GetBankIDFromString(const wchar_t* name)
{
    if (name == nullptr)
        return ZK_INVALID_UNIQUE_ID;
    char copy[kNameBufferBytes];
    WideNameToUtf8(name, copy);
    return HashWithoutExtension(copy);
}
} // namespace ZK::SoundEngine
