// SourceMediaRef::ReadFromBank: the source block of a sound's (or music track's) bank body, which
// names its media:
//
//   uint32 plug-in id (low 4 bits: 1 codec, 2 source plug-in, 0 none), uint8 stream type,
//   uint32 source id, uint32 in-memory media size, uint8 source flags,
//   for a source plug-in: uint32 parameter size, then the parameter bytes (left in place)
//
// and what a media reference takes of it: media id and file id = the source id, the size, flag bit
// 0 = source flag bit 0 (language-specific), bit 1 = (stream type 1) (prefetched), bit 10 = source
// flag bit 3 (no file id), for a codec the storage kind: in memory for stream type 0, a file
// stream for stream types 1 and 2, and the plug-in id (a codec's key, a source plug-in's id) as the
// source type word.
//
// Threading and ownership: bank loading; the record points into the caller's bytes.
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkMediaRef;

constexpr uint32_t kPluginTypeMask = 0xF;
constexpr uint32_t kPluginTypeNone = 0;
constexpr uint32_t kPluginTypeCodec = 1;
constexpr uint32_t kPluginTypeSource = 2;

struct ZkSourceMediaRecord
{
    uint32_t pluginID = 0;
    uint8_t streamType = 0;
    ZkUniqueID sourceID = 0;
    uint32_t mediaSize = 0;
    uint8_t sourceFlags = 0;
    const uint8_t* params = nullptr; // a source plug-in's parameter block, in the bank's bytes
    uint32_t paramSize = 0;

    uint32_t PluginType() const { return pluginID & kPluginTypeMask; }
};

namespace SourceMediaRef
{
// Reads the block at the cursor (moved past it on 1). 1; 7 when a field or the parameter block runs
// past the cursor's bytes; 2 for a plug-in type other than 0, 1, 2 or a codec stream type above 2.
ZKRESULT ReadFromBank(ZK::ZkByteCursor& cursor, ZkSourceMediaRecord& record);
// Gives the media reference what the record names (its other fields are left as they are).
void ApplyTo(const ZkSourceMediaRecord& record, ZkMediaRef& media);
} // namespace SourceMediaRef
} // namespace ZK::SoundEngine
