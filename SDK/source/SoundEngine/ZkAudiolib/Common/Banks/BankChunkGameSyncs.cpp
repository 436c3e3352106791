// The "STMG" chunk: the engine limits, state groups, game-parameter-driven switch groups, game
// parameters and dialogue group entries of an Init bank. The chunk is checked whole before any of
// it is applied, so a malformed chunk changes nothing; then it is applied under the global engine
// lock.
#include "ZkAudiolib/Common/Banks/BankParse.h"

#include "ZkAudiolib/Common/Banks/Neighbours/CZkStateMgr.h"
#include "ZkAudiolib/Common/Banks/Neighbours/EngineLimits.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/Neighbours/CZkSwitchMgr.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr size_t kLimitsBytes = sizeof(float) + 2 * sizeof(uint16_t);
constexpr size_t kTransitionBytes = 3 * sizeof(uint32_t);
constexpr size_t kSwitchGroupHeaderBytes = 2 * sizeof(uint32_t) + 1 + sizeof(uint32_t);
constexpr size_t kSwitchPointBytes = sizeof(ZkSwitchGroupPoint);
constexpr size_t kGameParameterBytes = 4 * sizeof(uint32_t) + sizeof(float) + 1;
constexpr size_t kGroupEntryBytes = sizeof(ZkGroupEntryRecord);

// Steps over count records, each of fixed bytes plus an inner count of inner records.
bool SkipCounted(ZK::ZkByteCursor& cursor, size_t headerBytes, size_t innerCountOffset, size_t innerBytes)
{
    uint32_t count = 0;
    if (!cursor.Read(count))
        return false;
    for (uint32_t index = 0; index < count; ++index)
    {
        const uint8_t* header = cursor.Take(headerBytes);
        if (header == nullptr)
            return false;
        const uint32_t inner =
            innerBytes == 0 ? 0 : ZK::LoadLittleEndian<uint32_t>(header + innerCountOffset);
        if (!cursor.Holds(inner, innerBytes) || !cursor.Skip(size_t{inner} * innerBytes))
            return false;
    }
    return true;
}

// True when the sections fill the chunk exactly: a count that is off makes the sections after it
// land beside their fields, and the chunk no longer ends where its last section does.
bool GameSyncsAreWhole(const uint8_t* body, uint32_t size)
{
    ZK::ZkByteCursor cursor(body, size);
    if (!cursor.Skip(kLimitsBytes))
        return false;
    if (!SkipCounted(cursor, 3 * sizeof(uint32_t), 2 * sizeof(uint32_t), kTransitionBytes))
        return false;
    if (!SkipCounted(cursor, kSwitchGroupHeaderBytes, 2 * sizeof(uint32_t) + 1, kSwitchPointBytes))
        return false;
    uint32_t parameters = 0;
    if (!cursor.Read(parameters) || !cursor.Holds(parameters, kGameParameterBytes) ||
        !cursor.Skip(size_t{parameters} * kGameParameterBytes))
        return false;
    uint32_t entries = 0;
    return cursor.Read(entries) && cursor.Holds(entries, kGroupEntryBytes) &&
           cursor.Remaining() == size_t{entries} * kGroupEntryBytes;
}

ZKRESULT ApplyStateGroups(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    cursor.Read(count);
    if (count > 0 && g_pStateMgr == nullptr)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        uint32_t group = 0, defaultTime = 0, transitions = 0;
        cursor.Read(group);
        cursor.Read(defaultTime);
        cursor.Read(transitions);
        ZKRESULT result = g_pStateMgr->AddStateGroup(group);
        if (result == ZK_Success)
            result = g_pStateMgr->SetDefaultTransitionTime(group, defaultTime);
        for (uint32_t transition = 0; transition < transitions && result == ZK_Success; ++transition)
        {
            uint32_t from = 0, to = 0, time = 0;
            cursor.Read(from);
            cursor.Read(to);
            cursor.Read(time);
            result = g_pStateMgr->AddStateTransition(group, from, to, time, false);
        }
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}

ZKRESULT ApplySwitchGroups(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    cursor.Read(count);
    for (uint32_t index = 0; index < count; ++index)
    {
        uint32_t group = 0, parameter = 0, points = 0;
        uint8_t parameterType = 0;
        cursor.Read(group);
        cursor.Read(parameter);
        cursor.Read(parameterType);
        cursor.Read(points);
        const uint8_t* bytes = cursor.Take(size_t{points} * kSwitchPointBytes);
        if (points == 0)
            continue;
        if (g_pSwitchMgr == nullptr)
            return ZK_Fail;
        // The manager takes aligned points; the bank's may lie anywhere.
        auto* copy = static_cast<ZkSwitchGroupPoint*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, size_t{points} * kSwitchPointBytes));
        if (copy == nullptr)
            return ZK_InsufficientMemory;
        std::memcpy(copy, bytes, size_t{points} * kSwitchPointBytes);
        const ZKRESULT result = g_pSwitchMgr->SetSwitchGroupRTPC(group, parameter, parameterType, copy, points);
        ZK::MemoryMgr::Free(ZkMemID_Default, copy);
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}

ZKRESULT ApplyGameParameters(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    cursor.Read(count);
    if (count > 0 && g_pRTPCMgr == nullptr)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkRTPCParamRecord record{};
        cursor.Read(record.id);
        cursor.Read(record.defaultValue);
        cursor.Read(record.rampMode);
        cursor.Read(record.rampUp);
        cursor.Read(record.rampDown);
        cursor.Read(record.builtInRow);
        const ZKRESULT result = g_pRTPCMgr->AddParamFromBank(record);
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}

ZKRESULT ApplyGroupEntries(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    cursor.Read(count);
    if (count > 0 && g_pObjectIndex == nullptr)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkGroupEntryRecord record{};
        cursor.Read(record);
        const ZKRESULT result = g_pObjectIndex->FindOrCreateGroupEntry(record.id, record);
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}
} // namespace

ZKRESULT BankManager::ReadGameSyncs(Parse&, uint32_t size)
{
    const uint8_t* body = nullptr;
    ZKRESULT result = TakeBody(size, body, ZK_ShortBankRead);
    if (result != ZK_Success)
        return result;
    if (!GameSyncsAreWhole(body, size))
    {
        m_reader.ReleaseData();
        return ZK_InvalidFile;
    }
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        ZK::ZkByteCursor cursor(body, size);
        float threshold = 0.0f;
        uint16_t maxVoices = 0;
        uint16_t secondLimit = 0;
        cursor.Read(threshold);
        cursor.Read(maxVoices);
        cursor.Read(secondLimit);
        // The bank's own priority decides whether these apply; their results are not checked.
        SetVolumeThresholdFromBank(threshold, kBankSettingPriority);
        SetMaxNumVoicesLimitFromBank(maxVoices, kBankSettingPriority);
        SetSecondVoiceLimitFromBank(secondLimit, kBankSettingPriority);
        result = ApplyStateGroups(cursor);
        if (result == ZK_Success)
            result = ApplySwitchGroups(cursor);
        if (result == ZK_Success)
            result = ApplyGameParameters(cursor);
        if (result == ZK_Success)
            result = ApplyGroupEntries(cursor);
    }
    m_reader.ReleaseData();
    return result;
}
} // namespace ZK::SoundEngine
