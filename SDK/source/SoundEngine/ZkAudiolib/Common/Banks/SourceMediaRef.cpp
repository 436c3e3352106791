#include "ZkAudiolib/Common/Banks/SourceMediaRef.h"

#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

namespace ZK::SoundEngine::SourceMediaRef
{
namespace
{
constexpr uint8_t kStreamTypeInMemory = 0;
constexpr uint8_t kStreamTypePrefetched = 1;
constexpr uint8_t kLastCodecStreamType = 2;
constexpr uint8_t kSourceFlagLanguage = 0x1;
constexpr uint8_t kSourceFlagNoFileID = 0x8;
} // namespace

ZKRESULT ReadFromBank(ZK::ZkByteCursor& cursor, ZkSourceMediaRecord& record)
{
    ZK::ZkByteCursor check = cursor;
    ZkSourceMediaRecord read;
    if (!check.Read(read.pluginID) || !check.Read(read.streamType) || !check.Read(read.sourceID) ||
        !check.Read(read.mediaSize) || !check.Read(read.sourceFlags))
        return ZK_InvalidFile;
    switch (read.PluginType())
    {
    case kPluginTypeNone:
        break;
    case kPluginTypeCodec:
        if (read.streamType > kLastCodecStreamType)
            return ZK_Fail;
        break;
    case kPluginTypeSource:
        // The parameter block must lie within the item: a size from the file steers no read.
        if (!check.Read(read.paramSize))
            return ZK_InvalidFile;
        read.params = check.Take(read.paramSize);
        if (read.params == nullptr)
            return ZK_InvalidFile;
        break;
    default:
        return ZK_Fail;
    }
    record = read;
    cursor = check;
    return ZK_Success;
}

void ApplyTo(const ZkSourceMediaRecord& record, ZkMediaRef& media)
{
    media.mediaID = record.sourceID;
    media.fileID = static_cast<int32_t>(record.sourceID);
    media.mediaSize = record.mediaSize;
    uint32_t flags = media.flags & ~(kMediaFlagLanguage | kMediaFlagPrefetch | kMediaFlagNoFileID | kMediaKindMask);
    if ((record.sourceFlags & kSourceFlagLanguage) != 0)
        flags |= kMediaFlagLanguage;
    if (record.streamType == kStreamTypePrefetched)
        flags |= kMediaFlagPrefetch;
    if ((record.sourceFlags & kSourceFlagNoFileID) != 0)
        flags |= kMediaFlagNoFileID;
    media.flags = flags;
    if (record.PluginType() == kPluginTypeCodec)
        media.SetKind(record.streamType == kStreamTypeInMemory ? kMediaKindInMemory : kMediaKindOwned);
    // The plug-in id is the reference's type word: a codec's key tells the voice which decoder
    // reads the media; the external-source plug-ins' ids tell the play that the media come with
    // the post.
    media.sourceType = record.PluginType() != kPluginTypeNone ? static_cast<int32_t>(record.pluginID) : kNoSourceType;
}
} // namespace ZK::SoundEngine::SourceMediaRef
