// The payload part that segments and containers share.
#include "MusicEngine/CZkMusicNode.h"

#include "MusicEngine/MusicBankFields.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cmath>

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
constexpr uint8_t kBankFlagOverridesTempo = 0x02;
constexpr uint8_t kBankFlagOverridesTarget = 0x04;
constexpr uint8_t kBankFlagTargetIsBus = 0x08;
constexpr size_t kGridBytes = 23;
constexpr size_t kStingerBytes = 24;
} // namespace

ZKRESULT CZkMusicNode::ReadMusicNodePayload(ZK::ZkByteCursor& cursor)
{
    uint8_t flags = 0;
    if (!cursor.Skip(sizeof(ZkUniqueID)) || !cursor.Read(flags))
        return ZK_InvalidFile;
    m_musicFlags = 0;
    if ((flags & kBankFlagOverridesTempo) != 0)
        m_musicFlags |= kFlagOverridesTempo;
    if ((flags & kBankFlagOverridesTarget) != 0)
        m_musicFlags |= kFlagOverridesTarget;
    if ((flags & kBankFlagTargetIsBus) != 0)
        m_musicFlags |= kFlagTargetIsBus;

    ZKRESULT result = SetBaseFromBank(cursor, false);
    if (result != ZK_Success)
        return result;

    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, sizeof(ZkUniqueID)))
        return ZK_InvalidFile;
    if (count > kMaxChildren)
        return ZK_EffectInOtherSlot;
    if (ReserveChildren(m_childCount + count) != ZK_Success)
        return ZK_InsufficientMemory;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkUniqueID id = 0;
        cursor.Read(id);
        result = AddChildByID(id);
        if (result != ZK_Success && result != ZK_InvalidID)
            return result;
    }
    if ((result = ReadGrid(cursor)) != ZK_Success)
        return result;
    return ReadStingers(cursor);
}

ZKRESULT CZkMusicNode::ReadGrid(ZK::ZkByteCursor& cursor)
{
    if (cursor.Remaining() < kGridBytes)
        return ZK_InvalidFile;
    double periodMs = 0.0, offsetMs = 0.0;
    float tempo = 0.0f;
    uint8_t beatsPerBar = 0, beatValue = 0, own = 0;
    cursor.Read(periodMs);
    cursor.Read(offsetMs);
    cursor.Read(tempo);
    cursor.Read(beatsPerBar);
    cursor.Read(beatValue);
    cursor.Read(own);
    m_musicFlags &= ~kFlagOwnGrid;
    if (own == 0)
        return ZK_Success; // the grid is inherited
    // A tempo that is not finite and positive, a beat value of 0 or a negative period would make
    // an infinite, undefined or negative grid that no sync search can step through.
    if (!std::isfinite(tempo) || tempo <= 0.0f || beatValue == 0 || !(periodMs >= 0.0))
        return ZK_InvalidFile;
    const double rate = static_cast<double>(ZkAudioSettings::SampleRate());
    const double beat = 60.0 / tempo * 4.0 / beatValue * rate;
    ZkMusicGrid grid;
    grid.tempo = tempo;
    if (!RoundToSamples(std::ceil(beat), grid.beat) || !RoundToSamples(std::ceil(beatsPerBar * beat), grid.bar) ||
        !MsToSamplesCeil(periodMs, grid.period) || !MsToSamplesCeil(offsetMs, grid.offset))
        return ZK_InvalidFile;
    m_grid = grid;
    m_musicFlags |= kFlagOwnGrid;
    return ZK_Success;
}

ZKRESULT CZkMusicNode::ReadStingers(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kStingerBytes))
        return ZK_InvalidFile;
    if (count == 0)
    {
        m_stingers.Term();
        return ZK_Success;
    }
    m_stingers.RemoveAll();
    if (m_stingers.Reserve(count) != ZK_Success)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkMusicStinger stinger;
        cursor.Read(stinger.triggerID);
        cursor.Read(stinger.segmentID);
        cursor.Read(stinger.syncKind);
        cursor.Read(stinger.cueFilter);
        cursor.Read(stinger.minIntervalMs);
        cursor.Read(stinger.searchNextSegment);
        m_stingers.AddLast(stinger);
    }
    return ZK_Success;
}
} // namespace ZK::MusicEngine
