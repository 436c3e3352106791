// Prepared events: an event's preparation prepares what its play actions play (the bank of each
// target structure-only, the target node and its media) and follows the events it plays. The first
// preparation does the work, the last unpreparation undoes it; the counts in between only count.
#include "ZkAudiolib/Common/Banks/BankManager.h"

#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/Events/CZkPlayAction.h"
#include "ZkAudiolib/Common/Events/ZkActionTypes.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

// The events of the chain being walked, the first at the bottom: an event that plays an event
// already on it would walk forever, and is skipped by both walks alike so that they stay balanced.
struct BankManager::EventPath
{
    const CZkEventObject* events[kMaxPreparationDepth];
    uint32_t depth = 0;

    bool Holds(const CZkEventObject* event) const
    {
        for (uint32_t index = 0; index < depth; ++index)
        {
            if (events[index] == event)
                return true;
        }
        return false;
    }
};

namespace
{
// The event of the index with one look-up reference, or null (also for an object of the event
// table that is not an event).
CZkEventObject* FindEvent(ZkUniqueID eventID)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    CZkIndexedObject* found = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, eventID);
    if (found == nullptr)
        return nullptr;
    auto* event = dynamic_cast<CZkEventObject*>(found);
    if (event == nullptr)
        found->Release();
    return event;
}

bool IsPlay(const CZkEventAction& action)
{
    return action.Type() == kPlayActionType;
}

bool IsPlayEvent(const CZkEventAction& action)
{
    return action.Type() == kPostEventActionType;
}

ZkBankID BankOf(const CZkEventAction& action)
{
    return static_cast<const CZkPlayAction&>(action).BankID();
}
} // namespace

ZKRESULT BankManager::PrepareEvent(ZkUniqueID eventID)
{
    CZkEventObject* event = FindEvent(eventID);
    if (event == nullptr)
        return ZK_InvalidID;
    ZKRESULT result = ZK_Success;
    if (event->PreparationCount() > 0)
        event->SetPreparationCount(event->PreparationCount() + 1);
    else
    {
        result = PrepareEventActions(*event);
        if (result == ZK_Success)
        {
            event->AddRef(); // the preparation's
            event->SetPreparationCount(1);
        }
    }
    event->Release();
    return result;
}

ZKRESULT BankManager::UnprepareEvent(ZkUniqueID eventID)
{
    CZkEventObject* event = FindEvent(eventID);
    if (event == nullptr)
        return ZK_InvalidID;
    if (event->PreparationCount() > 0)
    {
        event->SetPreparationCount(event->PreparationCount() - 1);
        if (event->PreparationCount() == 0)
        {
            UnprepareEventActions(*event);
            event->Release(); // the preparation's
        }
    }
    event->Release();
    return ZK_Success;
}

ZKRESULT BankManager::PrepareEventActions(CZkEventObject& event)
{
    EventPath path;
    path.events[path.depth++] = &event;
    return PrepareActions(event, path);
}

void BankManager::UnprepareEventActions(CZkEventObject& event)
{
    EventPath path;
    path.events[path.depth++] = &event;
    UnprepareActions(event, path);
}

ZKRESULT BankManager::PrepareActions(CZkEventObject& event, EventPath& path)
{
    ZKRESULT result = ZK_Success;
    CZkEventAction* failed = nullptr;
    for (CZkEventAction* action = event.FirstAction(); action != nullptr; action = action->pNextAction)
    {
        if (IsPlay(*action))
        {
            // The target's bank, structure only, as its file name says (else by id).
            BankRequest request;
            request.bankID = BankOf(*action);
            request.fileName = const_cast<char*>(m_bankNames.Find(request.bankID));
            request.sourceKind = request.fileName != nullptr ? ZkBankSourceByName : ZkBankSourceByID;
            result = PrepareBankRequest(request, 0, false, false);
            if (result == ZK_Success)
            {
                result = CZkHierarchyNode::PrepareByID(action->TargetID());
                if (result != ZK_Success)
                    ReleaseBankPreparation(request.bankID);
            }
        }
        else if (IsPlayEvent(*action))
        {
            CZkEventObject* played = FindEvent(action->TargetID());
            if (played == nullptr)
                result = ZK_Fail;
            else
            {
                if (!path.Holds(played))
                {
                    if (path.depth == kMaxPreparationDepth)
                        result = ZK_Fail; // a chain this deep is taken for a runaway
                    else
                    {
                        path.events[path.depth++] = played;
                        result = PrepareActions(*played, path);
                        --path.depth;
                    }
                }
                played->Release();
            }
        }
        if (result != ZK_Success)
        {
            failed = action;
            break;
        }
    }
    if (failed == nullptr)
        return ZK_Success;
    // What was prepared before the failing action is undone, in list order.
    for (CZkEventAction* action = event.FirstAction(); action != failed; action = action->pNextAction)
        UnprepareAction(*action, path);
    return result;
}

void BankManager::UnprepareActions(CZkEventObject& event, EventPath& path)
{
    for (CZkEventAction* action = event.FirstAction(); action != nullptr; action = action->pNextAction)
        UnprepareAction(*action, path);
}

void BankManager::UnprepareAction(CZkEventAction& action, EventPath& path)
{
    if (IsPlay(action))
    {
        CZkHierarchyNode::UnprepareByID(action.TargetID());
        ReleaseBankPreparation(BankOf(action));
        return;
    }
    if (!IsPlayEvent(action))
        return;
    CZkEventObject* played = FindEvent(action.TargetID());
    if (played == nullptr)
        return;
    // The same events are skipped as when it was prepared.
    if (!path.Holds(played) && path.depth < kMaxPreparationDepth)
    {
        path.events[path.depth++] = played;
        UnprepareActions(*played, path);
        --path.depth;
    }
    played->Release();
}

void BankManager::ReleaseBankPreparation(ZkBankID bankID)
{
    // Records come and go on this thread only (the engine thread never frees a record that
    // preparations hold), so the record found stays while the lock is left.
    LoadedBank* bank = nullptr;
    {
        ZkScopedLock guard(CZkLockedIdTable::Lock());
        bank = static_cast<LoadedBank*>(m_bankTable.Find({bankID, 0}));
    }
    if (bank != nullptr)
        LoadedBank::ReleasePreparation(bank, false);
}

void BankManager::ClearPreparedEvents()
{
    if (g_pObjectIndex == nullptr)
        return;
    ZkScopedLock engineGuard(g_EngineLock);
    ZkIndexTable& events = g_pObjectIndex->Table(ZkIndexKind::Events);
    ZkScopedLock tableGuard(events.Lock());
    for (uint32_t bucket = 0; bucket < events.BucketCount(); ++bucket)
    {
        // Undoing a preparation may free a bank whose objects include other events of this bucket:
        // the walk starts the bucket again after each event it clears.
        bool cleared = true;
        while (cleared)
        {
            cleared = false;
            for (CZkIndexedObject* object = events.Table().Bucket(bucket); object != nullptr;
                 object = object->pNextItem)
            {
                auto* event = dynamic_cast<CZkEventObject*>(object);
                if (event == nullptr || event->PreparationCount() == 0)
                    continue;
                event->AddRef(); // the event must outlive the release of its preparation's reference
                event->SetPreparationCount(0);
                UnprepareEventActions(*event);
                event->Release(); // the preparation's
                event->Release();
                cleared = true;
                break;
            }
        }
    }
}
} // namespace ZK::SoundEngine
