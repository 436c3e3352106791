// The playlist container's part of the history blob (the game's GetContainerHistory and
// SetContainerHistory): its histories written and read in place.
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint64_t kGlobalRecordID = ~0ull;

template <typename T>
bool WriteValue(WriteBytesInterface& bytes, T value)
{
    int32_t written = 0;
    return bytes.WriteBytes(&value, sizeof(T), written);
}

// A record read and checked, waiting to replace a history.
struct PendingHistory
{
    CZkGameObject* object; // null: the global history
    CZkPlayHistory* history;
};

void ReleasePending(ZK::ZkArray<PendingHistory>& pending)
{
    for (PendingHistory& entry : pending)
        entry.history->Release();
    pending.RemoveAll();
}
} // namespace

bool CZkPlaylistContainerNode::WriteHistories(WriteBytesInterface& bytes) const
{
    if (!WriteValue(bytes, m_playMode))
        return false;
    if (m_globalScope)
    {
        if (!WriteValue(bytes, m_globalHistory != nullptr ? 1u : 0u))
            return false;
        return m_globalHistory == nullptr || (WriteValue(bytes, kGlobalRecordID) && m_globalHistory->Write(bytes));
    }
    if (!WriteValue(bytes, m_objectHistories.Length()))
        return false;
    for (const ObjectHistory& entry : m_objectHistories)
    {
        if (!WriteValue(bytes, static_cast<uint64_t>(entry.object->ID())) || !entry.history->Write(bytes))
            return false;
    }
    return true;
}

ZKRESULT CZkPlaylistContainerNode::ReadHistories(ZK::ZkByteCursor& cursor)
{
    uint8_t playMode = 0;
    uint32_t records = 0;
    if (!cursor.Read(playMode) || !cursor.Read(records) || playMode != m_playMode)
        return ZK_Fail;
    ZK::ZkArray<PendingHistory> pending;
    for (uint32_t record = 0; record < records; ++record)
    {
        uint64_t objectID = 0;
        CZkPlayHistory* history = m_playMode == kPlayModeRandom ? static_cast<CZkPlayHistory*>(CZkRandomHistory::Create(0, 0))
                                                                : CZkSequenceHistory::Create();
        if (history == nullptr)
        {
            ReleasePending(pending);
            return ZK_InsufficientMemory;
        }
        if (!cursor.Read(objectID) || history->Read(cursor) != ZK_Success)
        {
            history->Release();
            ReleasePending(pending);
            return ZK_Fail;
        }
        const bool global = objectID == kGlobalRecordID;
        CZkGameObject* object = global || g_pRegistryMgr == nullptr
                                    ? nullptr
                                    : g_pRegistryMgr->GetObj(static_cast<ZkGameObjectID>(objectID));
        // Kept: the global record in global scope, a registered object's record in per-object
        // scope. Anything else is read past and dropped.
        const bool kept = global ? m_globalScope : (object != nullptr && !m_globalScope);
        if (!kept)
        {
            history->Release();
            continue;
        }
        if (!Fits(*history) || pending.AddLast(PendingHistory{object, history}) == nullptr)
        {
            const bool fits = Fits(*history);
            history->Release();
            ReleasePending(pending);
            return fits ? ZK_InsufficientMemory : ZK_Fail;
        }
    }
    for (uint32_t index = 0; index < pending.Length(); ++index)
    {
        PendingHistory& entry = pending[index];
        if (entry.object == nullptr)
        {
            if (m_globalHistory != nullptr)
                m_globalHistory->Release();
            m_globalHistory = entry.history;
        }
        else if (!SetObjectHistory(entry.object, entry.history))
        {
            // Out of memory part-way: what is left is dropped; the histories set stay valid.
            for (uint32_t rest = index; rest < pending.Length(); ++rest)
                pending[rest].history->Release();
            return ZK_InsufficientMemory;
        }
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
