// The hashes by which files are named in look-up tables: FNV-1 (multiply, then exclusive-or) over
// the bytes of a name with only the ASCII capitals 'A'..'Z' folded to lower case. The 32-bit form is
// the sound engine's id of a name (banks in a file package are found by it); the 64-bit form names
// the external files of a file package. Wide names are hashed over their UTF-8 bytes.
//
// Threading: pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZK::StreamMgr
{
constexpr uint32_t kFnv1Offset32 = 0x811C9DC5u;
constexpr uint32_t kFnv1Prime32 = 0x01000193u;
constexpr uint64_t kFnv1Offset64 = 0xCBF29CE484222325ull;
constexpr uint64_t kFnv1Prime64 = 0x100000001B3ull;

template <typename Hash>
constexpr Hash Fnv1FoldedAscii(const char* utf8, Hash offset, Hash prime)
{
    Hash hash = offset;
    for (const auto* byte = reinterpret_cast<const unsigned char*>(utf8); *byte != 0; ++byte)
    {
        hash *= prime;
        hash ^= (*byte >= 'A' && *byte <= 'Z') ? static_cast<unsigned char>(*byte + 0x20) : *byte;
    }
    return hash;
}

constexpr size_t kIdTextBytes = 260;          // 259 bytes of UTF-8 text and the zero
constexpr size_t kIdTextWideCharacters = 258; // characters of a wide name converted at most

// The UTF-8 text an id is computed from: the first length characters of a wide name (at most 258),
// or the empty text when their UTF-8 form passes 259 bytes (a name is never cut in the middle).
void IdTextOfName(const wchar_t* name, size_t length, char (&utf8)[kIdTextBytes]);
// The sound engine's 32-bit id of the first length characters of a wide name (as
// ZK::SoundEngine::GetIDFromString of that text: at most 258 characters are used, and a text whose
// UTF-8 form passes 259 bytes hashes as the empty name).
uint32_t FileIdOfName(const wchar_t* name, size_t length);
// 64-bit FNV-1 of the lower-cased UTF-8 bytes of a whole wide name.
uint64_t ExternalFileIdOfName(const wchar_t* name);
} // namespace ZK::StreamMgr
