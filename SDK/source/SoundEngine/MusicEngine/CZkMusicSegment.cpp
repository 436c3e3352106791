#include "MusicEngine/CZkMusicSegment.h"

#include "MusicEngine/MusicBankFields.h"
#include "MusicEngine/NewIndexedNode.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstring>

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
// The smallest marker: id, position and an empty name's terminator.
constexpr size_t kMinMarkerBytes = sizeof(uint32_t) + sizeof(double) + 1;
} // namespace

CZkMusicSegment* CZkMusicSegment::Create(ZkUniqueID id)
{
    return NewIndexedNode<CZkMusicSegment>(id);
}

CZkMusicSegment::~CZkMusicSegment() { FreeMarkers(m_markers, m_markerCount); }

void CZkMusicSegment::FreeMarkers(ZkMusicMarker* markers, uint32_t count)
{
    if (markers == nullptr)
        return;
    for (uint32_t index = 0; index < count; ++index)
    {
        if (markers[index].name != nullptr)
            ZK::MemoryMgr::Free(kNamePool, markers[index].name);
    }
    ZK::MemoryMgr::Free(kMarkerPool, markers);
}

ZKRESULT CZkMusicSegment::ReadFromBank(const uint8_t* payload, uint32_t size)
{
    if (Category() != kCategoryMusicSegment)
        return ZK_AlreadyExists;
    ZK::ZkByteCursor cursor(payload, size);
    const ZKRESULT result = ReadMusicNodePayload(cursor);
    if (result != ZK_Success)
        return result;
    double durationMs = 0.0;
    int32_t duration = 0;
    if (!cursor.Read(durationMs) || !MsToSamples(durationMs, duration) || duration < 0)
        return ZK_InvalidFile;
    m_duration = duration;
    return ReadMarkers(cursor);
}

ZKRESULT CZkMusicSegment::ReadMarkers(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kMinMarkerBytes))
        return ZK_InvalidFile;
    if (count == 0)
        return ZK_Success; // the markers stay as they were
    auto* markers = static_cast<ZkMusicMarker*>(ZK::MemoryMgr::Malloc(kMarkerPool, sizeof(ZkMusicMarker) * count));
    if (markers == nullptr)
        return ZK_InsufficientMemory;
    ZKRESULT result = ZK_Success;
    uint32_t read = 0;
    for (; read < count; ++read)
    {
        ZkMusicMarker& marker = markers[read];
        double positionMs = 0.0;
        const char* text = nullptr;
        size_t length = 0;
        if (!cursor.Read(marker.id) || !cursor.Read(positionMs) || !MsToSamples(positionMs, marker.position) ||
            !ReadZeroTerminated(cursor, text, length))
        {
            result = ZK_InvalidFile;
            break;
        }
        // Entry <= ... <= exit <= duration, from the segment's start.
        if (marker.position < 0 || marker.position > m_duration ||
            (read > 0 && marker.position < markers[read - 1].position))
        {
            result = ZK_InvalidFile;
            break;
        }
        marker.name = nullptr;
        if (length > 0)
        {
            marker.name = static_cast<char*>(ZK::MemoryMgr::Malloc(kNamePool, length + 1));
            if (marker.name == nullptr)
            {
                result = ZK_Fail;
                break;
            }
            std::memcpy(marker.name, text, length);
            marker.name[length] = '\0';
        }
    }
    if (result != ZK_Success)
    {
        FreeMarkers(markers, read);
        return result;
    }
    FreeMarkers(m_markers, m_markerCount);
    m_markers = markers;
    m_markerCount = count;
    return ZK_Success;
}
} // namespace ZK::MusicEngine
