// ZkMediaRef: how a sound node, a music track or a playing instance names its media: a media id
// (the source id within banks), a file id for streaming, the media size, storage flags, and a data
// pointer (media in memory, or the owned copy of a file name).
//
// Flags: bits 2-6 storage kind (kMediaKindOwned: the data pointer is an owned buffer, a file name,
// freed on reset; kMediaKindByID: set by media id; kMediaKindInMemory: media in memory, in a bank or
// set by the game), bit 7 the data pointer is valid (resident media), bit 8 the reference belongs
// to its playing instance, bit 9 open by file name, bit 10 no file id. The bank reader also sets
// bit 0 (language-specific media) and bit 1 (prefetched stream).
//
// Life cycle: Init, the setters, Free. Prepare and Unprepare pair up: media that is needed and not
// resident is prepared through the bank manager's media index.
//
// Threading: audio thread, or bank loading under the global engine lock. No lock of its own.
// Ownership: a plain record; it owns its data pointer only for kind kMediaKindOwned (pool 0).
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
constexpr uint32_t kMediaKindShift = 2;
constexpr uint32_t kMediaKindMask = 0x7Cu; // bits 2-6
constexpr uint32_t kMediaKindOwned = 1;
constexpr uint32_t kMediaKindByID = 2;
constexpr uint32_t kMediaKindInMemory = 3;
constexpr uint32_t kMediaFlagLanguage = 0x1;
constexpr uint32_t kMediaFlagPrefetch = 0x2;
constexpr uint32_t kMediaFlagResident = 0x80;   // data pointer valid
constexpr uint32_t kMediaFlagInstanceOwned = 0x100;
constexpr uint32_t kMediaFlagByName = 0x200;
constexpr uint32_t kMediaFlagNoFileID = 0x400;
constexpr uint32_t kMediaResetMask = 0x7FFu; // bits 0-10
constexpr int32_t kNoFileID = -1;
constexpr int32_t kNoSourceType = -1;

// What SetInMemory copies.
struct ZkMediaInfo
{
    ZkUniqueID mediaID = 0;
    int32_t fileID = kNoFileID;
    uint32_t size = 0;
    uint32_t flags = 0;
};

struct ZkMediaRef
{
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    ZkUniqueID mediaID = 0;
    int32_t fileID = kNoFileID;
    uint32_t mediaSize = 0; // 0: no media needed
    uint32_t flags = 0;
    void* data = nullptr;
    int32_t sourceType = kNoSourceType;

    uint32_t Kind() const { return (flags & kMediaKindMask) >> kMediaKindShift; }
    void SetKind(uint32_t kind) { flags = (flags & ~kMediaKindMask) | (kind << kMediaKindShift & kMediaKindMask); }
    bool IsResident() const { return (flags & kMediaFlagResident) != 0; }
    bool HasMedia() const { return mediaSize != 0 || IsResident() || Kind() != 0; }

    // Flags bits 0-10 cleared, no data, media id 0, file id -1, size 0, no source type.
    void Init();
    // Frees an owned buffer, then as Init except the source type.
    void Free();
    // A copy in pool 0 (an owned file name is copied too); null when out of memory.
    ZkMediaRef* Clone() const;
    // Media by id: kind kMediaKindByID, no file id, size 0, no data (not resident), no source type.
    void SetMedia(ZkUniqueID id);
    // An external source: its type word, the file name copied (pool 0; none when null or out of
    // memory), the file id; kind kMediaKindOwned with bit 7, bit 9 = byName, bit 8 = owned.
    void SetExternal(ZkUniqueID id, int32_t typeWord, const wchar_t* fileName, int32_t fileID, bool byName,
                     bool instanceOwned);
    // Media the caller holds in memory (null memory: the variant that only takes the fields).
    void SetInMemory(int32_t typeWord, void* memory, const ZkMediaInfo& info);
    // 1 when no media is needed or the data is resident; otherwise the bank manager's preparation of
    // the media (2 without a bank manager).
    ZKRESULT Prepare() const;
    // Undoes Prepare.
    void Unprepare() const;

private:
    void FreeOwnedData();
};
} // namespace ZK::SoundEngine
