// CZkStateProperties::ReadStateChunk: the state section of a node's or effect object's bank body.
//
//   varint property count; per property: varint property id, byte kind, byte decibel flag
//   varint group count; per group: uint32 group id, byte sync type, varint state count,
//                                  per state: uint32 state id, uint32 state object id
//
// The chunk is read checked (ZkCheckedRead.h): a chunk running past its body changes nothing.
#include "ZkAudiolib/Common/Bytes/ZkCheckedRead.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateProperties.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateGroupLink.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kMaxPropertyID = 0xFFFF;

// Walks the chunk; with an owner, applies it. 1 when the walk reached the chunk's end.
ZKRESULT WalkStateChunk(ZK::ZkByteCursor& cursor, CZkStateProperties* owner, ZK::ZkArray<ZkStateProperty>* list)
{
    uint32_t propertyCount = 0;
    if (!cursor.ReadVarUint(propertyCount))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < propertyCount; ++index)
    {
        uint32_t propertyID = 0;
        uint8_t kind = 0;
        uint8_t decibels = 0;
        if (!cursor.ReadVarUint(propertyID) || propertyID > kMaxPropertyID || !cursor.Read(kind) || !cursor.Read(decibels))
            return ZK_InvalidFile;
        if (list != nullptr)
            (*list)[index] = ZkStateProperty{static_cast<uint16_t>(propertyID), kind,
                                             decibels != 0 ? kStatePropertyFlagDecibels : uint8_t{0}};
    }

    uint32_t groupCount = 0;
    if (!cursor.ReadVarUint(groupCount))
        return ZK_InvalidFile;
    if (owner != nullptr && groupCount != 0 && !owner->EnsureStateStorage())
        return ZK_InsufficientMemory;
    for (uint32_t group = 0; group < groupCount; ++group)
    {
        ZkUniqueID groupID = 0;
        uint8_t syncType = 0;
        uint32_t stateCount = 0;
        if (!cursor.Read(groupID) || !cursor.Read(syncType) || !cursor.ReadVarUint(stateCount))
            return ZK_InvalidFile;
        CZkStateGroupLink* link = nullptr;
        if (owner != nullptr)
        {
            link = owner->AddStateGroup(groupID, true);
            if (link == nullptr)
                return ZK_Fail;
            link->syncType = syncType;
        }
        for (uint32_t index = 0; index < stateCount; ++index)
        {
            ZkUniqueID stateID = 0;
            ZkUniqueID stateObjectID = 0;
            if (!cursor.Read(stateID) || !cursor.Read(stateObjectID))
                return ZK_InvalidFile;
            if (link != nullptr)
            {
                const ZKRESULT added = link->AddState(stateObjectID, stateID, true);
                if (added != ZK_Success)
                    return added;
            }
        }
    }
    return ZK_Success;
}

// The number of state properties the chunk starts with (the cursor is not moved).
uint32_t PeekPropertyCount(const ZK::ZkByteCursor& cursor)
{
    ZK::ZkByteCursor peek = cursor;
    uint32_t count = 0;
    peek.ReadVarUint(count);
    return count;
}
} // namespace

ZKRESULT CZkStateProperties::ReadStateChunk(ZK::ZkByteCursor& cursor)
{
    const ZKRESULT result = ZK::ReadChecked(cursor, [this](ZK::ZkByteCursor& at, bool apply) {
        if (!apply)
            return WalkStateChunk(at, nullptr, nullptr);
        // With a count of 0 the property list stays as it was.
        ZK::ZkArray<ZkStateProperty>* list = nullptr;
        if (const uint32_t count = PeekPropertyCount(at); count != 0)
        {
            if (!EnsureStateStorage() || !ResizePropertyList(count))
                return ZK_InsufficientMemory;
            list = &StateStorage()->properties;
        }
        return WalkStateChunk(at, this, list);
    });
    if (result != ZK_Success)
        return result;
    m_stateUse = 1;
    OnStateUseChanged();
    return ZK_Success;
}

bool CZkStateProperties::SkipStateChunk(ZK::ZkByteCursor& cursor)
{
    return WalkStateChunk(cursor, nullptr, nullptr) == ZK_Success;
}
} // namespace ZK::SoundEngine
