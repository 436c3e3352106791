// FNV-1 ids of names (ZkIdFromName.h).
#include "ZkAudiolib/Common/FrontEnd/NameText.h"

#include "StreamMgr/ZkFileNameHash.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <cwchar>

namespace ZK::SoundEngine
{
void WideNameToUtf8(const wchar_t* name, char (&buffer)[kNameBufferBytes])
{
    ZK::StreamMgr::IdTextOfName(name, wcsnlen(name, kMaximumWideNameCharacters), buffer);
}

ZkUniqueID GetIDFromString(const char* name)
{
    if (name == nullptr)
        return ZK_INVALID_UNIQUE_ID;
    return ZK::StreamMgr::Fnv1FoldedAscii<uint32_t>(name, kIdOfEmptyName, ZK::StreamMgr::kFnv1Prime32);
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
