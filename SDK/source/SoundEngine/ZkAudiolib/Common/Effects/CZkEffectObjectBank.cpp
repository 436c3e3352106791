// CZkEffectObject::ReadFromBank: the body of item types 16, 17 and 21 (little-endian; varint = 7-bit
// groups, most significant first):
//
//   u32 id; u32 plug-in id; u32 data size N; N bytes of parameter data
//   u8 media count M; M x {u8 index (ignored), u32 media id}
//   u16 subscription count S; S x {u32 game parameter, u8 parameter type, u8 kind, varint target
//        parameter, u32 curve id, u8 scaling, u16 point count P, P x 12-byte points}
//   state chunk
//   u16 initial-value count V; V x {varint parameter id, u8 driven kind, u32 value}
//   type 21: u8 override (an effect object has no override mask: read and unused), u8 count; with a
//        count, u8 bypass bits and count x {u8 slot, u32 effect id, u8 share-set flag, u8 unused}
//
// The body is walked whole before anything is applied: a count or field running past the item, or
// an item longer than its body, is 7, and the plug-in never sees data beyond it.
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"

#include "ZkAudiolib/Common/Bytes/ZkCheckedRead.h"
#include "ZkAudiolib/Common/Parameters/ZkBankRTPCEntry.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kMaxParameterID = 0xFFFF;
} // namespace

ZKRESULT CZkEffectObject::ReadFromBank(const uint8_t* body, uint32_t size)
{
    ZK::ZkByteCursor cursor(body, size);
    return ZK::ReadChecked(cursor, [this, end = body + size](ZK::ZkByteCursor& at, bool apply) {
        const ZKRESULT result = ReadBody(at, apply);
        // The body fills its item exactly: bytes left over mean a count or size was wrong, and
        // what was read after it is not what the bank meant.
        return result == ZK_Success && !apply && at.Current() != end ? ZK_InvalidFile : result;
    });
}

ZKRESULT CZkEffectObject::ReadBody(ZK::ZkByteCursor& cursor, bool apply)
{
    // 1 and 2. The id (the creator used it) and the parameter block.
    uint32_t id = 0;
    uint32_t newPluginID = 0;
    uint32_t dataSize = 0;
    if (!cursor.Read(id) || !cursor.Read(newPluginID) || !cursor.Read(dataSize))
        return ZK_InvalidFile;
    const uint8_t* data = cursor.Take(dataSize);
    if (data == nullptr)
        return ZK_InvalidFile;
    if (apply && newPluginID != kNoPlugin)
    {
        const ZKRESULT set = SetPluginFromFactory(newPluginID, data, dataSize);
        // An unregistered plug-in leaves the object without a block and the read goes on.
        if (set == ZK_Fail)
            return ZK_InsufficientMemory;
        if (set != ZK_Success && set != ZK_PluginNotRegistered)
            return set;
    }

    // 3. Media.
    uint8_t mediaCount = 0;
    if (!cursor.Read(mediaCount) || !cursor.Holds(mediaCount, sizeof(uint8_t) + sizeof(uint32_t)))
        return ZK_InvalidFile;
    if (apply && m_media.Reserve(m_media.Length() + mediaCount) != ZK_Success)
        return ZK_InsufficientMemory;
    for (uint32_t index = 0; index < mediaCount; ++index)
    {
        uint8_t ignored = 0;
        ZkUniqueID mediaID = 0;
        cursor.Read(ignored);
        cursor.Read(mediaID);
        if (apply)
            m_media.AddLast(mediaID);
    }

    // 4. Subscriptions (contexts made later subscribe them; none exists while a bank creates).
    uint16_t subscriptionCount = 0;
    if (!cursor.Read(subscriptionCount))
        return ZK_InvalidFile;
    if (apply && m_subscriptions.Reserve(subscriptionCount) != ZK_Success)
        return ZK_InsufficientMemory;
    for (uint32_t index = 0; index < subscriptionCount; ++index)
    {
        ZkBankRTPCEntry entry;
        if (!entry.Read(cursor) || entry.bit > kMaxParameterID)
            return ZK_InvalidFile;
        if (!apply)
            continue;
        // The bank's points are not aligned for the curve: they are copied first.
        const ZKRESULT added = entry.WithAlignedPoints([&](const ZkCurvePoint* points, uint32_t count) {
            const ZkEffectSubscriptionInput input{entry.paramID, entry.paramType, entry.combineMode,
                                                  static_cast<uint16_t>(entry.bit), entry.curveID, entry.scaling,
                                                  points, count};
            return AddSubscription(input, false);
        });
        if (added != ZK_Success)
            return added;
    }

    // 5. State chunk.
    if (apply)
    {
        const ZKRESULT states = m_stateProperties.ReadStateChunk(cursor);
        if (states != ZK_Success)
            return states;
    }
    else if (!CZkStateProperties::SkipStateChunk(cursor))
    {
        return ZK_InvalidFile;
    }

    // 6. Initial values.
    uint16_t valueCount = 0;
    if (!cursor.Read(valueCount))
        return ZK_InvalidFile;
    if (apply && m_initialValues.Reserve(m_initialValues.Length() + valueCount) != ZK_Success)
        return ZK_InsufficientMemory;
    for (uint32_t index = 0; index < valueCount; ++index)
    {
        uint32_t paramID = 0;
        uint8_t kind = 0;
        float value = 0.0f;
        if (!cursor.ReadVarUint(paramID) || paramID > kMaxParameterID || !cursor.Read(kind) || !cursor.Read(value))
            return ZK_InvalidFile;
        if (apply && SetInitialValue(static_cast<uint16_t>(paramID), kind, value) != ZK_Success)
            return ZK_InsufficientMemory;
    }

    if (!IsDevice())
        return ZK_Success;
    return ReadDeviceEffects(cursor, apply);
}

ZKRESULT CZkEffectObject::ReadDeviceEffects(ZK::ZkByteCursor& cursor, bool apply)
{
    uint8_t override = 0;
    if (!cursor.Read(override))
        return ZK_InvalidFile;
    if (!apply)
    {
        uint8_t count = 0;
        if (!cursor.Read(count))
            return ZK_InvalidFile;
        return count == 0 || cursor.Skip(sizeof(uint8_t) + 7 * size_t{count}) ? ZK_Success : ZK_InvalidFile;
    }
    const ZKRESULT result = m_deviceEffects.ReadEffectList(cursor);
    if (result == ZK_Success)
        RefreshDevices();
    return result;
}
} // namespace ZK::SoundEngine
