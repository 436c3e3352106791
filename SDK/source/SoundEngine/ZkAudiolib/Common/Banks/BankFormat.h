// The layout of a sound bank (".bnk"): a sequence of chunks {four-character tag, u32 body size,
// body}, little-endian, whose first chunk is the bank header "BKHD". The constants and records here
// are shared by the bank parser and the bank manager.
//
// Threading and ownership: constants and plain records.
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkFourCC.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
namespace BankTag
{
constexpr uint32_t Header = ZK::ZkFourCC("BKHD");
constexpr uint32_t MediaIndex = ZK::ZkFourCC("DIDX");
constexpr uint32_t MediaData = ZK::ZkFourCC("DATA");
constexpr uint32_t Hierarchy = ZK::ZkFourCC("HIRC");
constexpr uint32_t BankNames = ZK::ZkFourCC("STID");
constexpr uint32_t GameSyncs = ZK::ZkFourCC("STMG");
constexpr uint32_t Environment = ZK::ZkFourCC("ENVS");
constexpr uint32_t Platform = ZK::ZkFourCC("PLAT");
constexpr uint32_t PluginLibraries = ZK::ZkFourCC("INIT");
} // namespace BankTag

// Versions: 140 is read in full; 118 to 139 may only bring media ("DIDX" and "DATA").
constexpr uint32_t kBankVersion = 140;
constexpr uint32_t kOldestMediaBankVersion = 118;
// Below this version the media block is aligned to 16 bytes whatever the header says.
constexpr uint32_t kFirstVersionWithAlignment = 135;
constexpr uint32_t kDefaultMediaAlignment = 16;

constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kBankHeaderBytes = 20;
constexpr uint32_t kItemHeaderBytes = 5;
// The smallest item: its 5-byte header and no body. An item body starts with its u32 id.
constexpr uint32_t kItemIdBytes = 4;

// Memory id of a loaded bank's media block: the shared heap, category 3.
constexpr ZkMemoryId kBankDataMemID = ZkMemID_SharedHeap | 3;

// The bank header ("BKHD" body), as read from the file.
struct ZkBankHeader
{
    uint32_t version;
    uint32_t bankID;
    uint32_t field8;    // not interpreted
    uint16_t alignment; // of the media block
    uint16_t field14;   // not interpreted
    uint32_t field16;   // not interpreted
};
static_assert(sizeof(ZkBankHeader) == kBankHeaderBytes, "the bank header is 20 bytes");

// One "DIDX" entry: where a media lies in the "DATA" body. Media id 0 is an empty entry.
struct ZkMediaEntry
{
    uint32_t mediaID;
    uint32_t offset;
    uint32_t size;
};
static_assert(sizeof(ZkMediaEntry) == 12, "a media index entry is 12 bytes");

// How a bank reaches the parser.
enum ZkBankSourceKind : uint32_t
{
    ZkBankSourceByName = 0,
    ZkBankSourceByID = 1,
    ZkBankSourceMemoryView = 2, // read in place from the caller's block
    ZkBankSourceMemoryCopy = 3, // read from the caller's block, media copied
};

// What a parse does.
enum ZkBankParseType : uint32_t
{
    ZkBankParseLoad = 0,
    ZkBankParsePrepareWithMedia = 1,
    ZkBankParsePrepareStructure = 2,
    ZkBankParseAddPreparedMedia = 3,
};

// Hierarchy item types that the parser treats specially.
namespace BankItemType
{
constexpr uint8_t Sound = 2;
constexpr uint8_t Action = 3;
constexpr uint8_t Event = 4;
constexpr uint8_t Bus = 8;
constexpr uint8_t LastEngineType = 22;
} // namespace BankItemType
} // namespace ZK::SoundEngine
