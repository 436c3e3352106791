// The interface calls that prepare banks, events and game-sync values, and the engine-wide bank
// calls (clearing, cancelling a cookie, the reader's I/O settings). The preparations themselves are
// not built yet: their requests are made and queued as usual, and answer 4 when they run.
#include "ZkAudiolib/Common/Banks/BankCallSupport.h"
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdFromName.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <cmath>
#include <cstring>

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

template <typename Id>
ZKRESULT EventPreparation(PreparationType type, uint32_t count, BankRequest& request, Id&& id)
{
    if (count == 0)
        return ZK_InvalidParameter;
    request.kind = type == Preparation_Load ? ZkBankRequestPrepareEvents : ZkBankRequestUnprepareEvents;
    request.data.events.eventCount = count;
    return TakeIDs(count, request.data.events.eventID, request.data.events.eventIDs, id) ? ZK_Success
                                                                                        : ZK_InsufficientMemory;
}

template <typename Id>
ZKRESULT GameSyncPreparation(PreparationType type, ZkGroupType groupType, ZkUniqueID groupID, uint32_t count,
                             BankRequest& request, Id&& id)
{
    request.kind = ZkBankRequestPrepareGameSyncs;
    request.data.gameSyncs.groupType = groupType;
    request.data.gameSyncs.groupID = groupID;
    request.data.gameSyncs.prepare = type == Preparation_Load ? 1 : 0;
    request.data.gameSyncs.valueCount = count;
    return TakeIDs(count, request.data.gameSyncs.valueID, request.data.gameSyncs.valueIDs, id)
               ? ZK_Success
               : ZK_InsufficientMemory;
}

// A null name gives id 0.
template <typename Char>
ZkUniqueID NameID(const Char* name)
{
    return name != nullptr ? GetIDFromString(name) : ZK_INVALID_UNIQUE_ID;
}

ZKRESULT Finish(ZKRESULT made, BankRequest& request)
{
    return made == ZK_Success ? BankCalls::SubmitAndWait(request) : made;
}

ZKRESULT Finish(ZKRESULT made, BankRequest& request, ZkBankCallbackFunc callback, void* cookie)
{
    return made == ZK_Success ? BankCalls::Submit(request, callback, cookie) : made;
}
} // namespace

ZKRESULT PrepareBank(PreparationType type, ZkBankID bankID, ZkBankContent content)
{
    BankRequest request = BankPreparation(type, bankID, content);
    return BankCalls::SubmitAndWait(request);
}

ZKRESULT PrepareBank(PreparationType type, ZkBankID bankID, ZkBankCallbackFunc callback, void* cookie,
                     ZkBankContent content)
{
    BankRequest request = BankPreparation(type, bankID, content);
    return BankCalls::Submit(request, callback, cookie);
}

ZKRESULT PrepareBank(PreparationType type, const char* name, ZkBankContent content)
{
    BankRequest request;
    return Finish(NamedBankPreparation(type, name, content, request), request);
}

ZKRESULT PrepareBank(PreparationType type, const char* name, ZkBankCallbackFunc callback, void* cookie,
                     ZkBankContent content)
{
    BankRequest request;
    return Finish(NamedBankPreparation(type, name, content, request), request, callback, cookie);
}

ZKRESULT PrepareBank(PreparationType type, const wchar_t* name, ZkBankContent content)
{
    BankRequest request;
    return Finish(NamedBankPreparation(type, name, content, request), request);
}

ZKRESULT PrepareBank(PreparationType type, const wchar_t* name, ZkBankCallbackFunc callback, void* cookie,
                     ZkBankContent content)
{
    BankRequest request;
    return Finish(NamedBankPreparation(type, name, content, request), request, callback, cookie);
}

ZKRESULT PrepareEvent(PreparationType type, const ZkUniqueID* eventIDs, uint32_t count)
{
    BankRequest request;
    if (eventIDs == nullptr)
        return ZK_InvalidParameter;
    return Finish(EventPreparation(type, count, request, [&](uint32_t index) { return eventIDs[index]; }), request);
}

ZKRESULT PrepareEvent(PreparationType type, const ZkUniqueID* eventIDs, uint32_t count, ZkBankCallbackFunc callback,
                      void* cookie)
{
    BankRequest request;
    if (eventIDs == nullptr)
        return ZK_InvalidParameter;
    return Finish(EventPreparation(type, count, request, [&](uint32_t index) { return eventIDs[index]; }), request,
                  callback, cookie);
}

ZKRESULT PrepareEvent(PreparationType type, const char** eventNames, uint32_t count)
{
    BankRequest request;
    if (eventNames == nullptr)
        return ZK_InvalidParameter;
    return Finish(EventPreparation(type, count, request, [&](uint32_t index) { return NameID(eventNames[index]); }),
                  request);
}

ZKRESULT PrepareEvent(PreparationType type, const char** eventNames, uint32_t count, ZkBankCallbackFunc callback,
                      void* cookie)
{
    BankRequest request;
    if (eventNames == nullptr)
        return ZK_InvalidParameter;
    return Finish(EventPreparation(type, count, request, [&](uint32_t index) { return NameID(eventNames[index]); }),
                  request, callback, cookie);
}

ZKRESULT PrepareEvent(PreparationType type, const wchar_t** eventNames, uint32_t count)
{
    BankRequest request;
    if (eventNames == nullptr)
        return ZK_InvalidParameter;
    return Finish(EventPreparation(type, count, request, [&](uint32_t index) { return NameID(eventNames[index]); }),
                  request);
}

ZKRESULT PrepareEvent(PreparationType type, const wchar_t** eventNames, uint32_t count, ZkBankCallbackFunc callback,
                      void* cookie)
{
    BankRequest request;
    if (eventNames == nullptr)
        return ZK_InvalidParameter;
    return Finish(EventPreparation(type, count, request, [&](uint32_t index) { return NameID(eventNames[index]); }),
                  request, callback, cookie);
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, ZkUniqueID groupID, const ZkUniqueID* values,
                          uint32_t count)
{
    BankRequest request;
    if (values == nullptr || count == 0)
        return ZK_InvalidParameter;
    return Finish(GameSyncPreparation(type, groupType, groupID, count, request,
                                      [&](uint32_t index) { return values[index]; }),
                  request);
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, ZkUniqueID groupID, const ZkUniqueID* values,
                          uint32_t count, ZkBankCallbackFunc callback, void* cookie)
{
    BankRequest request;
    if (values == nullptr || count == 0)
        return ZK_InvalidParameter;
    return Finish(GameSyncPreparation(type, groupType, groupID, count, request,
                                      [&](uint32_t index) { return values[index]; }),
                  request, callback, cookie);
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const char* groupName, const char** valueNames,
                          uint32_t count)
{
    BankRequest request;
    if (valueNames == nullptr || count == 0)
        return ZK_InvalidParameter;
    return Finish(GameSyncPreparation(type, groupType, NameID(groupName), count, request,
                                      [&](uint32_t index) { return NameID(valueNames[index]); }),
                  request);
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const char* groupName, const char** valueNames,
                          uint32_t count, ZkBankCallbackFunc callback, void* cookie)
{
    BankRequest request;
    if (valueNames == nullptr || count == 0)
        return ZK_InvalidParameter;
    return Finish(GameSyncPreparation(type, groupType, NameID(groupName), count, request,
                                      [&](uint32_t index) { return NameID(valueNames[index]); }),
                  request, callback, cookie);
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const wchar_t* groupName,
                          const wchar_t** valueNames, uint32_t count)
{
    BankRequest request;
    if (valueNames == nullptr || count == 0)
        return ZK_InvalidParameter;
    return Finish(GameSyncPreparation(type, groupType, NameID(groupName), count, request,
                                      [&](uint32_t index) { return NameID(valueNames[index]); }),
                  request);
}

ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const wchar_t* groupName,
                          const wchar_t** valueNames, uint32_t count, ZkBankCallbackFunc callback, void* cookie)
{
    BankRequest request;
    if (valueNames == nullptr || count == 0)
        return ZK_InvalidParameter;
    return Finish(GameSyncPreparation(type, groupType, NameID(groupName), count, request,
                                      [&](uint32_t index) { return NameID(valueNames[index]); }),
                  request, callback, cookie);
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

ZKRESULT DecodeBank(const void*, uint32_t, ZkMemoryId, void*&, uint32_t&)
{
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
