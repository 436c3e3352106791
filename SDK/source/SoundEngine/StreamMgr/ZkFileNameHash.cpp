#include "StreamMgr/ZkFileNameHash.h"

#include "Platform/PlatformText.h"

#include <cwchar>

namespace ZK::StreamMgr
{
namespace
{
// Room for a wide path of 259 characters in UTF-8 (at most 4 bytes each) and its zero.
constexpr size_t kExternalNameBytes = 259 * 4 + 1;
} // namespace

void IdTextOfName(const wchar_t* name, size_t length, char (&utf8)[kIdTextBytes])
{
    wchar_t head[kIdTextWideCharacters + 1];
    if (length > kIdTextWideCharacters)
        length = kIdTextWideCharacters;
    wmemcpy(head, name, length);
    head[length] = L'\0';
    utf8[0] = '\0';
    // The conversion either fits whole or gives nothing: a cut name would hash to another id.
    if (Platform::WideToUtf8(head, nullptr, 0) < kIdTextBytes)
        Platform::WideToUtf8(head, utf8, kIdTextBytes);
}

uint32_t FileIdOfName(const wchar_t* name, size_t length)
{
    char utf8[kIdTextBytes];
    IdTextOfName(name, length, utf8);
    return Fnv1FoldedAscii<uint32_t>(utf8, kFnv1Offset32, kFnv1Prime32);
}

uint64_t ExternalFileIdOfName(const wchar_t* name)
{
    char utf8[kExternalNameBytes];
    Platform::WideToUtf8(name, utf8, sizeof utf8);
    return Fnv1FoldedAscii<uint64_t>(utf8, kFnv1Offset64, kFnv1Prime64);
}
} // namespace ZK::StreamMgr
