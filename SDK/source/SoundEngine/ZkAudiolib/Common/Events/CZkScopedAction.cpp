#include "ZkAudiolib/Common/Events/CZkScopedAction.h"

#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequence.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr size_t kExceptionBytes = sizeof(uint32_t) + sizeof(uint8_t);
} // namespace

ZKRESULT CZkScopedAction::ReadParams(ZK::ZkByteCursor& cursor)
{
    if (!ReadCurve(cursor))
        return ZK_InvalidFile;
    const ZKRESULT extra = ReadExtraParams(cursor);
    return extra == ZK_Success ? ReadExceptions(cursor) : extra;
}

ZKRESULT CZkScopedAction::ReadExceptions(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.ReadVarUint(count) || !cursor.Holds(count, kExceptionBytes))
        return ZK_InvalidFile;
    m_exceptions.RemoveAll();
    if (count > m_exceptions.Capacity() && m_exceptions.Reserve(count) != ZK_Success)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        uint32_t id = 0;
        uint8_t isBus = 0;
        cursor.Read(id);
        cursor.Read(isBus);
        m_exceptions.AddLast(ZkNodeKey{id, static_cast<uint8_t>(isBus != 0 ? 1 : 0)});
    }
    return ZK_Success;
}

bool CZkScopedAction::IsException(ZkUniqueID id, bool isBus) const
{
    for (const ZkNodeKey& entry : m_exceptions)
    {
        if (entry.id == id && (entry.isBus != 0) == isBus)
            return true;
    }
    return false;
}

ZKRESULT CZkScopedAction::AddException(ZkUniqueID id, bool isBus)
{
    if (IsException(id, isBus))
        return ZK_Success;
    return m_exceptions.AddLast(ZkNodeKey{id, static_cast<uint8_t>(isBus ? 1 : 0)}) != nullptr ? ZK_Success
                                                                                             : ZK_Fail;
}

void CZkScopedAction::RemoveException(ZkUniqueID id, bool isBus)
{
    for (uint32_t index = 0; index < m_exceptions.Length(); ++index)
    {
        if (m_exceptions[index].id == id && (m_exceptions[index].isBus != 0) == isBus)
        {
            m_exceptions.Erase(index);
            return;
        }
    }
}

ZkActionParams CZkScopedAction::MakeParams(ZkActionCode code, const PendingAction& pending) const
{
    ZkActionParams params = MakeCommand(code, pending);
    FillActionParams(params);
    return params;
}

void CZkScopedAction::ExecuteOnAll(ZkActionParams params, bool withSequences)
{
    params.exceptions = m_exceptions.Data();
    params.exceptionCount = m_exceptions.Length();
    if (withSequences)
        BroadcastToDynamicSequences(params.code, params.gameObject);
    CZkBus::ExecuteActionOnPlayingID(params);
}

void CZkScopedAction::BroadcastToDynamicSequences(ZkActionCode code, CZkGameObject* object)
{
    if (g_pObjectIndex == nullptr)
        return;
    ZkIndexTable& table = g_pObjectIndex->Table(ZkIndexKind::DynamicSequences);
    ZK::ZkArray<CZkIndexedObject*> sequences;
    {
        ZK::Platform::ZkScopedLock guard(table.Lock());
        for (uint32_t bucket = 0; bucket < table.Table().BucketCount(); ++bucket)
        {
            for (CZkIndexedObject* sequence = table.Table().Bucket(bucket); sequence != nullptr;
                 sequence = sequence->pNextItem)
            {
                if (sequences.AddLast(sequence) != nullptr)
                    ++sequence->refCount; // under the table's lock, as AddRef would
            }
        }
    }
    for (CZkIndexedObject* sequence : sequences)
    {
        static_cast<CZkDynamicSequence*>(sequence)->OnActionCommand(code, object);
        sequence->Release();
    }
}
} // namespace ZK::SoundEngine
