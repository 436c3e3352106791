#include "StreamMgr/CZkFilePackageLUT.h"

#include <cstring>

namespace ZK::StreamMgr
{
namespace
{
constexpr uint32_t kHeaderSizeOffset = 4;
constexpr uint32_t kVersionOffset = 8;
constexpr uint32_t kTableSizesOffset = 12;
constexpr uint32_t kTableCount = 4;
// Language names are compared as UTF-16 code units: a current language (at most 31 characters)
// takes at most two units a character, and its terminator.
constexpr size_t kLanguageUnits = 2 * (ZK_MaxLanguageChars - 1) + 1;

uint32_t ReadU32(const uint8_t* at)
{
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

uint64_t ReadU64(const uint8_t* at)
{
    uint64_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

uint16_t ReadU16(const uint8_t* at)
{
    uint16_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Every name of the map lies inside it and ends with a zero unit before its end.
bool NamesInside(const uint8_t* map, uint32_t mapSize, uint32_t count)
{
    for (uint32_t index = 0; index < count; ++index)
    {
        uint64_t at = ReadU32(map + 4 + uint64_t{index} * kLanguageEntryBytes);
        for (;; at += 2)
        {
            if (at + 2 > mapSize)
                return false;
            if (ReadU16(map + at) == 0)
                break;
        }
    }
    return true;
}

// A table of size 0 is absent; otherwise its count and entries must fit it. Sizes are computed in
// 64 bits: count × entry size wraps in 32.
bool TableFits(const uint8_t* table, uint32_t size, uint32_t entryBytes)
{
    if (size == 0)
        return true;
    if (size < 4)
        return false;
    return 4 + uint64_t{ReadU32(table)} * entryBytes <= size;
}

// Folds 'A'..'Z' and writes the name as UTF-16 code units with a terminator. False when it does
// not fit (no language in a map can be that long).
bool ToLowerUtf16(const wchar_t* name, uint16_t (&units)[kLanguageUnits])
{
    size_t count = 0;
    for (; *name != 0; ++name)
    {
        auto codePoint = static_cast<uint32_t>(*name);
        if (codePoint >= 'A' && codePoint <= 'Z')
            codePoint += 0x20;
        if (codePoint >= 0x10000 && codePoint <= 0x10FFFF)
        {
            if (count + 2 >= kLanguageUnits)
                return false;
            codePoint -= 0x10000;
            units[count++] = static_cast<uint16_t>(0xD800 + (codePoint >> 10));
            units[count++] = static_cast<uint16_t>(0xDC00 + (codePoint & 0x3FF));
            continue;
        }
        if (count + 1 >= kLanguageUnits)
            return false;
        units[count++] = static_cast<uint16_t>(codePoint > 0x10FFFF ? 0xFFFD : codePoint);
    }
    units[count] = 0;
    return true;
}

// <0, 0, >0 as the key sorts before, with, or after the map's name (code units, the shorter
// first when one is the start of the other).
int CompareName(const uint16_t* key, const uint8_t* name)
{
    for (;; ++key, name += 2)
    {
        const uint16_t unit = ReadU16(name);
        if (*key != unit)
            return *key < unit ? -1 : 1;
        if (unit == 0)
            return 0;
    }
}

// Bisection over count entries of entryBytes each, from the table's first entry; compare(entry)
// tells whether the key sorts before (<0), on (0) or after (>0) the entry.
template <typename Compare>
const uint8_t* Bisect(const uint8_t* table, uint32_t entryBytes, Compare compare)
{
    if (table == nullptr)
        return nullptr;
    // Signed bounds: an empty table gives hi = -1 and no probe at all.
    int64_t lo = 0;
    int64_t hi = int64_t{ReadU32(table)} - 1;
    while (lo <= hi)
    {
        const int64_t middle = lo + (hi - lo) / 2;
        const uint8_t* entry = table + 4 + middle * entryBytes;
        const int order = compare(entry);
        if (order == 0)
            return entry;
        if (order < 0)
            hi = middle - 1;
        else
            lo = middle + 1;
    }
    return nullptr;
}

template <typename Id>
int CompareKey(Id id, uint32_t language, Id entryId, uint32_t entryLanguage)
{
    if (id != entryId)
        return id < entryId ? -1 : 1;
    if (language != entryLanguage)
        return language < entryLanguage ? -1 : 1;
    return 0;
}

const uint8_t* FindIn(const uint8_t* table, uint32_t fileId, uint32_t language)
{
    return Bisect(table, kFileEntryBytes, [&](const uint8_t* entry) {
        return CompareKey(fileId, language, ReadU32(entry), ReadU32(entry + 16));
    });
}

void ReadPlacement(const uint8_t* fields, ZkPackedFile& out)
{
    out.blockSize = ReadU32(fields);
    out.fileSize = ReadU32(fields + 4);
    out.startBlock = ReadU32(fields + 8);
}
} // namespace

ZKRESULT CZkFilePackageLUT::Check(const uint8_t* header, uint64_t headerLength)
{
    if (header == nullptr || headerLength < kPackageTablesOffset)
        return ZK_Fail;
    if (ReadU32(header) != kPackageMagic || ReadU32(header + kHeaderSizeOffset) == 0 ||
        uint64_t{ReadU32(header + kHeaderSizeOffset)} + kPackagePrologueBytes != headerLength ||
        ReadU32(header + kVersionOffset) == 0)
        return ZK_Fail;
    uint32_t sizes[kTableCount];
    uint64_t end = kPackageTablesOffset;
    for (uint32_t table = 0; table < kTableCount; ++table)
    {
        sizes[table] = ReadU32(header + kTableSizesOffset + 4 * table);
        end += sizes[table];
    }
    if (end > headerLength)
        return ZK_Fail;
    const uint8_t* map = header + kPackageTablesOffset;
    const uint8_t* banks = map + sizes[0];
    const uint8_t* streamed = banks + sizes[1];
    const uint8_t* external = streamed + sizes[2];
    if (!TableFits(map, sizes[0], kLanguageEntryBytes) || !TableFits(banks, sizes[1], kFileEntryBytes) ||
        !TableFits(streamed, sizes[2], kFileEntryBytes) || !TableFits(external, sizes[3], kExternalFileEntryBytes))
        return ZK_Fail;
    if (sizes[0] != 0 && !NamesInside(map, sizes[0], ReadU32(map)))
        return ZK_Fail;
    return ZK_Success;
}

void CZkFilePackageLUT::Setup(const uint8_t* header)
{
    const uint8_t* table = header + kPackageTablesOffset;
    const uint8_t** views[kTableCount] = {&m_languageMap, &m_bankTable, &m_streamedFileTable, &m_externalFileTable};
    for (uint32_t index = 0; index < kTableCount; ++index)
    {
        const uint32_t size = ReadU32(header + kTableSizesOffset + 4 * index);
        *views[index] = size != 0 ? table : nullptr;
        table += size;
    }
}

uint32_t CZkFilePackageLUT::LanguageCount() const
{
    return m_languageMap != nullptr ? ReadU32(m_languageMap) : 0;
}

uint16_t CZkFilePackageLUT::LanguageIdOf(const wchar_t* language) const
{
    uint16_t key[kLanguageUnits];
    if (m_languageMap == nullptr || language == nullptr || !ToLowerUtf16(language, key))
        return 0;
    const uint8_t* map = m_languageMap;
    const uint8_t* entry = Bisect(map, kLanguageEntryBytes,
                                  [&](const uint8_t* at) { return CompareName(key, map + ReadU32(at)); });
    return entry != nullptr ? static_cast<uint16_t>(ReadU32(entry + 4)) : 0;
}

bool CZkFilePackageLUT::FindFile(uint32_t fileId, const ZkFileOpenFlags& flags, ZkPackedFile& out) const
{
    const uint32_t language = LanguageKey(flags);
    const uint8_t* entry = nullptr;
    if (flags.fileType == ZK_FileTypeSoundBank)
        entry = FindIn(m_bankTable, fileId, language);
    if (entry == nullptr)
        entry = FindIn(m_streamedFileTable, fileId, language);
    if (entry == nullptr)
        return false;
    ReadPlacement(entry + 4, out);
    return true;
}

bool CZkFilePackageLUT::FindExternalFile(uint64_t fileId, const ZkFileOpenFlags& flags, ZkPackedFile& out) const
{
    const uint32_t language = LanguageKey(flags);
    const uint8_t* entry = Bisect(m_externalFileTable, kExternalFileEntryBytes, [&](const uint8_t* at) {
        return CompareKey(fileId, language, ReadU64(at), ReadU32(at + 20));
    });
    if (entry == nullptr)
        return false;
    ReadPlacement(entry + 8, out);
    return true;
}
} // namespace ZK::StreamMgr
