// The "STMG" chunk: the engine limits, state groups, game-parameter-driven switch groups, game
// parameters and dialogue group entries of an Init bank. The chunk is checked whole before any of
// it is applied, so a malformed chunk changes nothing; then it is applied under the global engine
// lock.
#include "ZkAudiolib/Common/Banks/BankParse.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

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

// Applies each record of a section {u32 count, records}: apply reads one record and hands it to the
// manager, which must exist when the section holds records. The first failure ends the section.
template <typename Manager>
ZKRESULT ApplySection(ZK::ZkByteCursor& cursor, Manager* manager, ZKRESULT (*apply)(ZK::ZkByteCursor&, Manager&))
{
    uint32_t count = 0;
    cursor.Read(count);
    if (count > 0 && manager == nullptr)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        const ZKRESULT result = apply(cursor, *manager);
        if (result != ZK_Success)
            return result;
    }
    return ZK_Success;
}

ZKRESULT ApplyStateGroup(ZK::ZkByteCursor& cursor, CZkStateMgr& states)
{
    uint32_t group = 0, defaultTime = 0, transitions = 0;
    cursor.Read(group);
    cursor.Read(defaultTime);
    cursor.Read(transitions);
    ZKRESULT result = states.AddStateGroup(group);
    if (result == ZK_Success)
        result = states.SetDefaultTransitionTime(group, defaultTime);
    for (uint32_t transition = 0; transition < transitions && result == ZK_Success; ++transition)
    {
        uint32_t from = 0, to = 0, time = 0;
        cursor.Read(from);
        cursor.Read(to);
        cursor.Read(time);
        result = states.AddStateTransition(group, from, to, time, false);
    }
    return result;
}

ZKRESULT ApplySwitchGroup(ZK::ZkByteCursor& cursor, CZkSwitchMgr& switches)
{
    uint32_t group = 0, parameter = 0, points = 0;
    uint8_t parameterType = 0;
    cursor.Read(group);
    cursor.Read(parameter);
    cursor.Read(parameterType);
    cursor.Read(points);
    const uint8_t* bytes = cursor.Take(size_t{points} * kSwitchPointBytes);
    if (points == 0)
        return ZK_Success;
    // The manager takes aligned points; the bank's may lie anywhere.
    auto* copy = static_cast<ZkSwitchGroupPoint*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, size_t{points} * kSwitchPointBytes));
    if (copy == nullptr)
        return ZK_InsufficientMemory;
    std::memcpy(copy, bytes, size_t{points} * kSwitchPointBytes);
    const ZKRESULT result = switches.SetSwitchGroupRTPC(group, parameter, parameterType, copy, points);
    ZK::MemoryMgr::Free(ZkMemID_Default, copy);
    return result;
}

ZKRESULT ApplyGameParameter(ZK::ZkByteCursor& cursor, CZkRTPCMgr& parameters)
{
    ZkRTPCParamRecord record{};
    cursor.Read(record.id);
    cursor.Read(record.defaultValue);
    cursor.Read(record.rampMode);
    cursor.Read(record.rampUp);
    cursor.Read(record.rampDown);
    cursor.Read(record.builtInRow);
    return parameters.AddParamFromBank(record);
}

ZKRESULT ApplyGroupEntry(ZK::ZkByteCursor& cursor, ObjectIndex& index)
{
    ZkGroupEntryRecord record{};
    cursor.Read(record);
    return index.FindOrCreateGroupEntry(record.id, record);
}
} // namespace

ZKRESULT BankManager::ReadGameSyncs(Parse&, uint32_t size)
{
    return ReadSection(size, ZK_ShortBankRead, [](const uint8_t* body, uint32_t bodySize) {
        if (!GameSyncsAreWhole(body, bodySize))
            return ZK_InvalidFile;
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        ZK::ZkByteCursor cursor(body, bodySize);
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
        ZKRESULT result = ApplySection(cursor, g_pStateMgr, ApplyStateGroup);
        if (result == ZK_Success)
            result = ApplySection(cursor, g_pSwitchMgr, ApplySwitchGroup);
        if (result == ZK_Success)
            result = ApplySection(cursor, g_pRTPCMgr, ApplyGameParameter);
        if (result == ZK_Success)
            result = ApplySection(cursor, g_pObjectIndex, ApplyGroupEntry);
        return result;
    });
}
} // namespace ZK::SoundEngine
