// The playing-id table: registration, references, the end of a playing id, and the queries.
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"

namespace ZK::SoundEngine
{
CZkPlayingMgr* g_pPlayingMgr = nullptr;

CZkPlayingMgr::~CZkPlayingMgr()
{
    TermPlayingIDs();
    Term();
}

ZKRESULT CZkPlayingMgr::CreateCallbackEvent()
{
    if (!m_inFlight.Init(ZK::Platform::EventReset::Manual))
        return ZK_Fail;
    m_inFlight.Set();
    ZK::Platform::ZkScopedLock guard(m_lock);
    return m_records.InitBuckets(kInitialBucketCount) ? ZK_Success : ZK_InsufficientMemory;
}

void CZkPlayingMgr::TermPlayingIDs()
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    for (uint32_t bucket = 0; bucket < m_records.BucketCount(); ++bucket)
    {
        for (ZkPlayingIdRecord* record = m_records.Bucket(bucket); record != nullptr;)
        {
            ZkPlayingIdRecord* next = record->next;
            FreeRecord(record);
            record = next;
        }
    }
    m_records.Term();
}

void CZkPlayingMgr::Term()
{
    m_metering.Term();
    m_inFlight.Term();
    m_callbacksRunning = 0;
}

void CZkPlayingMgr::FreeRecord(ZkPlayingIdRecord* record)
{
    if (record->gameObject != nullptr)
        record->gameObject->Release();
    if (record->externalSources != nullptr)
        record->externalSources->Release();
    ZK::ZkDelete(kRecordPool, record);
}

ZKRESULT CZkPlayingMgr::Register(ZkPlayingID playingID, ZkGameObjectID gameObject,
                                 ZkExternalSourceArray* externalSources, ZkCallbackFunc callback,
                                 void* cookie, uint32_t flags, ZkUniqueID eventID)
{
    if (playingID == ZK_INVALID_PLAYING_ID)
        return ZK_InvalidParameter;
    auto* record = ZK::ZkNew<ZkPlayingIdRecord>(kRecordPool);
    if (record == nullptr)
        return ZK_Fail;
    record->playingID = playingID;
    record->gameObjectID = gameObject;
    record->eventID = eventID;
    record->callback = callback;
    record->cookie = cookie;
    record->flags = callback != nullptr ? flags : flags & ZkPlayingIdRecord::kKeptWithoutCallback;
    record->externalSources = externalSources;
    if (externalSources != nullptr)
        externalSources->AddRef();

    ZKRESULT inserted = ZK_Fail;
    {
        ZK::Platform::ZkScopedLock guard(m_lock);
        inserted = m_records.Insert(record);
    }
    if (inserted != ZK_Success)
    {
        FreeRecord(record);
        return ZK_Fail;
    }
    return ZK_Success;
}

ZKRESULT CZkPlayingMgr::AddPlayingID(const ZkPostEventMessage& message, ZkCallbackFunc callback, void* cookie,
                                     uint32_t flags, ZkUniqueID eventID)
{
    return Register(message.playingID, message.gameObject, message.externalSources, callback, cookie, flags,
                    eventID);
}

ZKRESULT CZkPlayingMgr::AddPlayingIDNoMessage(ZkPlayingID playingID, ZkGameObjectID gameObject,
                                              ZkCallbackFunc callback, void* cookie, uint32_t flags,
                                              ZkUniqueID eventID)
{
    return Register(playingID, gameObject, nullptr, callback, cookie, flags, eventID);
}

void CZkPlayingMgr::AddPlayingIDRef(ZkPlayingID playingID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    if (ZkPlayingIdRecord* record = m_records.Find(playingID))
        ++record->pendingRefs;
}

void CZkPlayingMgr::RemovePlayingIDRef(ZkPlayingID playingID)
{
    m_lock.Enter();
    ZkPlayingIdRecord* record = m_records.Find(playingID);
    if (record == nullptr)
    {
        m_lock.Leave();
        return;
    }
    // More releases than references would wrap the count and keep the playing id forever.
    if (record->pendingRefs > 0)
        --record->pendingRefs;
    EndCheckAndUnlock(record);
}

bool CZkPlayingMgr::HasPlayingID(ZkPlayingID playingID, ZkGameObjectID gameObject, ZkUniqueID eventID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    ZkPlayingIdRecord* record = m_records.Find(playingID);
    if (record == nullptr || record->gameObjectID != gameObject || record->eventID != eventID)
        return false;
    ++record->pendingRefs;
    return true;
}

ZKRESULT CZkPlayingMgr::AddInstanceToPlayingID(ZkPlayingID playingID, CZkPlayingInstance* instance,
                                               CZkRegisteredObj* gameObject, uint32_t& flags)
{
    flags = 0;
    if (instance == nullptr)
        return ZK_Fail;
    ZK::Platform::ZkScopedLock guard(m_lock);
    ZkPlayingIdRecord* record = m_records.Find(playingID);
    if (record == nullptr)
        return ZK_Success;
    flags = record->flags;
    if (record->instances.AddLast(instance) == nullptr)
        return ZK_Fail;
    // One reference for the record's whole life, however often its list empties and fills again.
    if (record->gameObject == nullptr && gameObject != nullptr)
    {
        gameObject->AddRef();
        record->gameObject = gameObject;
    }
    return ZK_Success;
}

void CZkPlayingMgr::RemoveInstanceFromPlayingID(ZkPlayingID playingID, CZkPlayingInstance* instance)
{
    m_lock.Enter();
    ZkPlayingIdRecord* record = m_records.Find(playingID);
    if (record == nullptr)
    {
        m_lock.Leave();
        return;
    }
    record->instances.Erase(record->instances.Find(instance));
    EndCheckAndUnlock(record);
}

void CZkPlayingMgr::EndCheckAndUnlock(ZkPlayingIdRecord* record)
{
    if (!record->IsDone())
    {
        m_lock.Leave();
        return;
    }
    record->instances.Term();
    // The buffering record of a streamed source exists whether or not play positions were asked for.
    if ((record->flags & ZkPostFlag_RecordPlayPositions) != 0 && g_pPlayPositionRepository != nullptr)
        g_pPlayPositionRepository->RemovePlayingID(record->playingID);
    else
        StreamBufferingRepository::Remove(record->playingID);

    const ZkCallbackFunc endOfEvent = record->Wants(ZkCallbackType_EndOfEvent) ? record->callback : nullptr;
    ZkPlayingCallbackInfo info;
    info.cookie = record->cookie;
    info.gameObjID = record->gameObjectID;
    info.playingID = record->playingID;
    info.eventID = record->eventID;

    m_records.Unlink(record);
    record->paramScope.Clear(ZkRTPCKey::ForObject(record->gameObject, record->playingID));
    FreeRecord(record);

    if (endOfEvent != nullptr)
        CallUnlocked(endOfEvent, ZkCallbackType_EndOfEvent, info);
    else
        m_lock.Leave();
}

ZKRESULT CZkPlayingMgr::RegisterScoped(ZkPlayingID playingID, ZkUniqueID id, bool isModulator)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    ZkPlayingIdRecord* record = m_records.Find(playingID);
    if (record == nullptr)
        return ZK_NothingToReport;
    return isModulator ? record->paramScope.AddModulator(id) : record->paramScope.AddParameter(id);
}

ZKRESULT CZkPlayingMgr::RegisterScopedModulator(ZkPlayingID playingID, ZkUniqueID modulatorID)
{
    return RegisterScoped(playingID, modulatorID, true);
}

ZKRESULT CZkPlayingMgr::RegisterScopedParameter(ZkPlayingID playingID, ZkUniqueID parameterID)
{
    return RegisterScoped(playingID, parameterID, false);
}

ZkUniqueID CZkPlayingMgr::GetEventIDFromPlayingID(ZkPlayingID playingID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const ZkPlayingIdRecord* record = m_records.Find(playingID);
    return record != nullptr ? record->eventID : ZK_INVALID_UNIQUE_ID;
}

uint32_t CZkPlayingMgr::GetPlayingIDFlags(ZkPlayingID playingID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const ZkPlayingIdRecord* record = m_records.Find(playingID);
    return record != nullptr ? record->flags : 0u;
}

ZkGameObjectID CZkPlayingMgr::GetGameObjectFromPlayingID(ZkPlayingID playingID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const ZkPlayingIdRecord* record = m_records.Find(playingID);
    return record != nullptr ? record->gameObjectID : ZK_ALL_GAME_OBJECTS;
}

void* CZkPlayingMgr::GetPlayingIDUserData(ZkPlayingID playingID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const ZkPlayingIdRecord* record = m_records.Find(playingID);
    return record != nullptr ? record->cookie : nullptr;
}

const ZkPlayingInstanceList* CZkPlayingMgr::FindPlayingID(ZkPlayingID playingID)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    const ZkPlayingIdRecord* record = m_records.Find(playingID);
    return record != nullptr ? &record->instances : nullptr;
}

ZKRESULT CZkPlayingMgr::GetPlayingIDsFromGameObject(ZkGameObjectID gameObject, uint32_t& count,
                                                    ZkPlayingID* playingIDs)
{
    if (count != 0 && playingIDs == nullptr)
        return ZK_InvalidParameter;
    ZK::Platform::ZkScopedLock guard(m_lock);
    const uint32_t room = count;
    uint32_t found = 0;
    ForEachRecord(
        [&](const ZkPlayingIdRecord& record)
        {
            if (record.gameObjectID != gameObject)
                return;
            if (room == 0)
                ++found;
            else if (found < room)
                playingIDs[found++] = record.playingID;
        });
    count = found;
    return ZK_Success;
}

uint32_t CZkPlayingMgr::PlayingIDCount()
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    return m_records.Length();
}

uint32_t CZkPlayingMgr::BucketCount()
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    return m_records.BucketCount();
}
} // namespace ZK::SoundEngine
