#include "MusicEngine/ZkMusicTransitionRule.h"

#include "MusicEngine/MusicBankFields.h"
#include "MusicEngine/CZkMusicSegment.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <algorithm>

namespace ZK::MusicEngine
{
namespace
{
ZKRESULT ReadIdList(ZK::ZkByteCursor& cursor, ZkUniqueID*& list, uint32_t& count)
{
    if (!cursor.Read(count) || !cursor.Holds(count, sizeof(ZkUniqueID)))
        return ZK_InvalidFile;
    if (count == 0)
        return ZK_Success;
    list = static_cast<ZkUniqueID*>(ZK::MemoryMgr::Malloc(ZkMusicTransitionRule::kListPool, sizeof(ZkUniqueID) * count));
    if (list == nullptr)
    {
        count = 0;
        return ZK_Fail;
    }
    for (uint32_t index = 0; index < count; ++index)
        cursor.Read(list[index]);
    return ZK_Success;
}

bool ReadFade(ZK::ZkByteCursor& cursor, ZkMusicFade& fade)
{
    int32_t offsetMs = 0;
    return cursor.Read(fade.timeMs) && cursor.Read(fade.curve) && cursor.Read(offsetMs) &&
           OffsetMsToSamples(offsetMs, fade.offset);
}

ZkUniqueID g_defaultList[1] = {kAnyNode};
ZkMusicTransitionRule g_defaultRule;
} // namespace

bool ZkMusicTransitionRule::ListHolds(const ZkUniqueID* list, uint32_t count, ZkUniqueID id)
{
    if (count == 0)
        return false;
    if (list[0] == kAnyNode)
        return true;
    return std::binary_search(list, list + count, id);
}

ZKRESULT ZkMusicTransitionRule::ReadFromBank(ZK::ZkByteCursor& cursor)
{
    ZKRESULT result = ReadIdList(cursor, sources, sourceCount);
    if (result != ZK_Success || (result = ReadIdList(cursor, destinations, destinationCount)) != ZK_Success)
        return result;
    uint32_t sync = 0;
    uint8_t postExit = 0;
    if (!ReadFade(cursor, sourceFade) || !cursor.Read(sync) || !cursor.Read(sourceCue) || !cursor.Read(postExit))
        return ZK_InvalidFile;
    sourceFlags = static_cast<uint8_t>((sync & kSyncKindMask) | ((postExit & 1) != 0 ? kPlayPostExit : 0));
    uint16_t mode = 0, entry = 0;
    uint8_t preEntry = 0, useSourceCue = 0, hasSegment = 0;
    if (!ReadFade(cursor, destinationFade) || !cursor.Read(destinationCue) || !cursor.Read(destinationValue) ||
        !cursor.Read(mode) || !cursor.Read(entry) || !cursor.Read(preEntry) || !cursor.Read(useSourceCue) ||
        !cursor.Read(hasSegment))
        return ZK_InvalidFile;
    destinationFlags = static_cast<uint8_t>((mode & kModeMask) | ((entry & kModeMask) << kEntryShift) |
                                            ((preEntry & 1) != 0 ? kPlayPreEntry : 0) |
                                            ((useSourceCue & 1) != 0 ? kUseSourceCue : 0));
    if (hasSegment == 0)
        return ZK_Success;
    segment = ZK::ZkNew<ZkMusicTransitionSegment>(kSegmentPool);
    if (segment == nullptr)
        return ZK_Fail;
    uint8_t segmentPreEntry = 0, segmentPostExit = 0;
    if (!cursor.Read(segment->segmentID) || !ReadFade(cursor, segment->fadeIn) || !ReadFade(cursor, segment->fadeOut) ||
        !cursor.Read(segmentPreEntry) || !cursor.Read(segmentPostExit))
        return ZK_InvalidFile;
    segment->playPreEntry = (segmentPreEntry & 1) != 0;
    segment->playPostExit = (segmentPostExit & 1) != 0;
    return ZK_Success;
}

void ZkMusicTransitionRule::Free()
{
    if (sources != nullptr)
        ZK::MemoryMgr::Free(kListPool, sources);
    if (destinations != nullptr)
        ZK::MemoryMgr::Free(kListPool, destinations);
    if (segment != nullptr)
        ZK::ZkDelete(kSegmentPool, segment);
    sources = destinations = nullptr;
    sourceCount = destinationCount = 0;
    segment = nullptr;
}

ZkMusicTransitionRule& ZkMusicTransitionRule::ResetDefault()
{
    g_defaultRule = ZkMusicTransitionRule{};
    g_defaultRule.sources = g_defaultList;
    g_defaultRule.sourceCount = 1;
    g_defaultRule.destinations = g_defaultList;
    g_defaultRule.destinationCount = 1;
    g_defaultRule.sourceFlags = ZkMusicSync_ExitCue | kPlayPostExit;
    return g_defaultRule;
}
} // namespace ZK::MusicEngine
