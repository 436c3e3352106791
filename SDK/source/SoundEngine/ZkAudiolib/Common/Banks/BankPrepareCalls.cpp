// The interface calls that prepare banks, events and game-sync values, and the engine-wide bank
// calls (clearing, cancelling a cookie, the reader's I/O settings).
#include "ZkAudiolib/Common/Banks/BankCallSupport.h"
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdFromName.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint8_t kMaxBankLoadPriority = 100;

BankRequest BankPreparation(PreparationType type, ZkBankID bankID, ZkBankContent content)
{
    BankRequest request;
    request.kind = type == Preparation_Unload ? ZkBankRequestUnprepareBank : ZkBankRequestPrepareBank;
    request.bankID = bankID;
    request.data.preparation.content = content;
    request.data.preparation.decode = type == Preparation_LoadAndDecode ? 1 : 0;
    return request;
}

template <typename Char>
ZKRESULT NamedBankPreparation(PreparationType type, const Char* name, ZkBankContent content, BankRequest& request)
{
    if (name == nullptr)
        return ZK_InvalidParameter;
    request = BankPreparation(type, GetBankIDFromString(name), content);
    request.fileName = BankCalls::CopyFileName(name);
    request.nameOwned = 1;
    return request.fileName != nullptr ? ZK_Success : ZK_InsufficientMemory;
}

// The ids of a request: one inline, several in an array of the request's own (memory pool 0), made
// by id(index). False when the array cannot be allocated.
template <typename Id>
bool TakeIDs(uint32_t count, ZkUniqueID& inlineID, ZkUniqueID*& array, Id&& id)
{
    if (count == 1)
    {
        inlineID = id(0);
        return true;
    }
    array = static_cast<ZkUniqueID*>(ZK::MemoryMgr::Malloc(BankCalls::kPool, sizeof(ZkUniqueID) * size_t{count}));
    if (array == nullptr)
        return false;
    for (uint32_t index = 0; index < count; ++index)
        array[index] = id(index);
    return true;
}

// The id of an element of the caller's array: an id as it is, a name hashed (a null name is id 0).
ZkUniqueID IDOf(ZkUniqueID id)
{
    return id;
}
template <typename Char>
ZkUniqueID IDOf(const Char* name)
{
    return name != nullptr ? GetIDFromString(name) : ZK_INVALID_UNIQUE_ID;
}

// Kind 2 (type 0) or 3 with the events' ids. 31 for a null array or a count of 0; 52 when the ids
// cannot be kept.
template <typename Element>
ZKRESULT EventPreparation(PreparationType type, const Element* events, uint32_t count, BankRequest& request)
{
    if (events == nullptr || count == 0)
        return ZK_InvalidParameter;
    request.kind = type == Preparation_Load ? ZkBankRequestPrepareEvents : ZkBankRequestUnprepareEvents;
    request.data.events.eventCount = count;
    const bool taken = TakeIDs(count, request.data.events.eventID, request.data.events.eventIDs,
                               [&](uint32_t index) { return IDOf(events[index]); });
    return taken ? ZK_Success : ZK_InsufficientMemory;
}

// Kind 4 with the group and its values' ids: as EventPreparation.
template <typename Group, typename Element>
ZKRESULT GameSyncPreparation(PreparationType type, ZkGroupType groupType, Group group, const Element* values,
                             uint32_t count, BankRequest& request)
{
    if (values == nullptr || count == 0)
        return ZK_InvalidParameter;
    request.kind = ZkBankRequestPrepareGameSyncs;
    request.data.gameSyncs.groupType = groupType;
    request.data.gameSyncs.groupID = IDOf(group);
    request.data.gameSyncs.prepare = type == Preparation_Load ? 1 : 0;
    request.data.gameSyncs.valueCount = count;
    const bool taken = TakeIDs(count, request.data.gameSyncs.valueID, request.data.gameSyncs.valueIDs,
                               [&](uint32_t index) { return IDOf(values[index]); });
    return taken ? ZK_Success : ZK_InsufficientMemory;
}
} // namespace

ZKRESULT PrepareBank(PreparationType type, ZkBankID bankID, ZkBankContent content)
{
    return BankCalls::SubmitAndWait(BankPreparation(type, bankID, content));
}

ZKRESULT PrepareBank(PreparationType type, ZkBankID bankID, ZkBankCallbackFunc callback, void* cookie,
                     ZkBankContent content)
{
    return BankCalls::Submit(BankPreparation(type, bankID, content), callback, cookie);
}

ZKRESULT PrepareBank(PreparationType type, const char* name, ZkBankContent content)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return NamedBankPreparation(type, name, content, request); });
}

ZKRESULT PrepareBank(PreparationType type, const char* name, ZkBankCallbackFunc callback, void* cookie,
                     ZkBankContent content)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return NamedBankPreparation(type, name, content, request); },
        callback, cookie);
}

ZKRESULT PrepareBank(PreparationType type, const wchar_t* name, ZkBankContent content)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return NamedBankPreparation(type, name, content, request); });
}

ZKRESULT PrepareBank(PreparationType type, const wchar_t* name, ZkBankCallbackFunc callback, void* cookie,
                     ZkBankContent content)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return NamedBankPreparation(type, name, content, request); },
        callback, cookie);
}

ZKRESULT PrepareEvent(PreparationType type, const ZkUniqueID* eventIDs, uint32_t count)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return EventPreparation(type, eventIDs, count, request); });
}

ZKRESULT PrepareEvent(PreparationType type, const ZkUniqueID* eventIDs, uint32_t count, ZkBankCallbackFunc callback,
                      void* cookie)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return EventPreparation(type, eventIDs, count, request); },
        callback, cookie);
}

ZKRESULT PrepareEvent(PreparationType type, const char** eventNames, uint32_t count)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return EventPreparation(type, eventNames, count, request); });
}

ZKRESULT PrepareEvent(PreparationType type, const char** eventNames, uint32_t count, ZkBankCallbackFunc callback,
                      void* cookie)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return EventPreparation(type, eventNames, count, request); },
        callback, cookie);
}

ZKRESULT PrepareEvent(PreparationType type, const wchar_t** eventNames, uint32_t count)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return EventPreparation(type, eventNames, count, request); });
}

ZKRESULT PrepareEvent(PreparationType type, const wchar_t** eventNames, uint32_t count, ZkBankCallbackFunc callback,
                      void* cookie)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return EventPreparation(type, eventNames, count, request); },
        callback, cookie);
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, ZkUniqueID groupID, const ZkUniqueID* values,
                          uint32_t count)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return GameSyncPreparation(type, groupType, groupID, values, count, request); });
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, ZkUniqueID groupID, const ZkUniqueID* values,
                          uint32_t count, ZkBankCallbackFunc callback, void* cookie)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) { return GameSyncPreparation(type, groupType, groupID, values, count, request); },
        callback, cookie);
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const char* groupName, const char** valueNames,
                          uint32_t count)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) {
            return GameSyncPreparation(type, groupType, groupName, valueNames, count, request);
        });
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const char* groupName, const char** valueNames,
                          uint32_t count, ZkBankCallbackFunc callback, void* cookie)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) {
            return GameSyncPreparation(type, groupType, groupName, valueNames, count, request);
        },
        callback, cookie);
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const wchar_t* groupName,
                          const wchar_t** valueNames, uint32_t count)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) {
            return GameSyncPreparation(type, groupType, groupName, valueNames, count, request);
        });
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const wchar_t* groupName,
                          const wchar_t** valueNames, uint32_t count, ZkBankCallbackFunc callback, void* cookie)
{
    return BankCalls::SubmitMade(
        [&](BankRequest& request) {
            return GameSyncPreparation(type, groupType, groupName, valueNames, count, request);
        },
        callback, cookie);
}

ZKRESULT ClearPreparedEvents()
{
    BankRequest request;
    request.kind = ZkBankRequestClearPreparedEvents;
    return BankCalls::SubmitAndWait(request);
}

ZKRESULT ClearBanks()
{
    const ZKRESULT cleared = ClearPreparedEvents();
    if (cleared != ZK_Success)
        return cleared;
    BankRequest request;
    request.kind = ZkBankRequestClearBanks;
    return BankCalls::SubmitAndWait(request);
}

void CancelBankCallbackCookie(void* cookie)
{
    if (BankManager* manager = g_pBankManager)
        manager->CancelCookie(cookie);
}

ZKRESULT SetBankLoadIOSettings(float throughputBytesPerMs, signed char priority)
{
    BankManager* manager = g_pBankManager;
    if (manager == nullptr)
        return ZK_Fail;
    // Negative throughputs and NaN are refused; the priority is read as an unsigned byte.
    const auto unsignedPriority = static_cast<uint8_t>(priority);
    if (!(throughputBytesPerMs >= 0.0f) || unsignedPriority > kMaxBankLoadPriority)
        return ZK_InvalidParameter;
    manager->Reader().SetIOSettings(throughputBytesPerMs, unsignedPriority);
    return ZK_Success;
}
} // namespace ZK::SoundEngine
