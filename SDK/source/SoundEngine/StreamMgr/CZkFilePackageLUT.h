// CZkFilePackageLUT: the look-up tables of a file package, read in place in the copy of its header:
// the language map (lower-case UTF-16 names and their ids, sorted by code units), the sound-bank and
// streamed-file tables (20-byte entries keyed by a 32-bit file id and a language id) and the
// external-file table (24-byte entries keyed by a 64-bit id). Every table is sorted by id, then by
// language id, and searched by bisection.
//
// Header image (little-endian): "ZKPK", u32 header size (bytes after this field up to the end of
// the tables), u32 version, then the byte sizes of the language map, the bank table, the streamed-
// file table and the external-file table, then the four tables one after the other from offset 28.
//
// Bounds: Check refuses a header whose tables, counts or names do not lie inside it, so that no
// look-up ever reads outside the header copy (the counts in the file are not trusted). A table of
// size 0 is absent and finds nothing, as does a table whose count is 0.
//
// Threading: none of its own; the package list's lock guards the current language id and the
// searches. Ownership: views into the header copy, which the package owns.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstddef>
#include <cstdint>

namespace ZK::StreamMgr
{
constexpr uint32_t kPackageMagic = 0x4B504B5Au; // "ZKPK" read as a little-endian u32
constexpr uint32_t kPackagePrologueBytes = 8;   // magic and header size
constexpr uint32_t kPackageTablesOffset = 28;
constexpr uint32_t kLanguageEntryBytes = 8;
constexpr uint32_t kFileEntryBytes = 20;
constexpr uint32_t kExternalFileEntryBytes = 24;

// Where one packed file lies: at startBlock × blockSize in the package, fileSize bytes long.
struct ZkPackedFile
{
    uint32_t blockSize;
    uint32_t fileSize;
    uint32_t startBlock;
};

class CZkFilePackageLUT
{
public:
    CZkFilePackageLUT() = default;
    virtual ~CZkFilePackageLUT() = default;

    // Checks a whole header image of headerLength bytes (header size + 8): a version other than 0,
    // the four tables inside the header, every count inside its table and every language name,
    // terminated, inside the map. 1, or 2 when anything does not hold.
    static ZKRESULT Check(const uint8_t* header, uint64_t headerLength);
    // Points the tables into a header that Check accepted.
    void Setup(const uint8_t* header);

    bool HasLanguageMap() const { return m_languageMap != nullptr; }
    uint32_t LanguageCount() const;
    // The map's id of a language name ('A' to 'Z' folded to lower case), 0 when it is not in the
    // map, the map is absent or the name is null.
    uint16_t LanguageIdOf(const wchar_t* language) const;
    uint16_t CurrentLanguageId() const { return m_currentLanguageId; }
    void SetCurrentLanguageId(uint16_t languageId) { m_currentLanguageId = languageId; }

    // A bank (fileType 0: the bank table first) or a streamed file by its 32-bit id, in the current
    // language when the flags say the file depends on it, else in language 0.
    bool FindFile(uint32_t fileId, const ZkFileOpenFlags& flags, ZkPackedFile& out) const;
    // An external file by its 64-bit id, with the same language rule.
    bool FindExternalFile(uint64_t fileId, const ZkFileOpenFlags& flags, ZkPackedFile& out) const;

private:
    uint32_t LanguageKey(const ZkFileOpenFlags& flags) const
    {
        return flags.isLanguageSpecific ? m_currentLanguageId : 0u;
    }

    uint16_t m_currentLanguageId = 0;
    const uint8_t* m_languageMap = nullptr;
    const uint8_t* m_bankTable = nullptr;
    const uint8_t* m_streamedFileTable = nullptr;
    const uint8_t* m_externalFileTable = nullptr;
};
} // namespace ZK::StreamMgr
