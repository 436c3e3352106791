#include "ZkAudiolib/Common/Events/CZkPlaybackCommandAction.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkPlaybackCommandAction::ReadExtraParams(ZK::ZkByteCursor& cursor)
{
    uint8_t byte = 0;
    if (!cursor.Read(byte))
        return ZK_InvalidFile;
    m_options = static_cast<uint8_t>((byte >> m_firstOptionBit) & m_optionMask);
    return ZK_Success;
}

ZKRESULT CZkPlaybackCommandAction::Execute(PendingAction& pending)
{
    switch (Scope())
    {
    case ZkActionScope_TargetAllObjects:
    case ZkActionScope_TargetOneObject:
    {
        CZkHierarchyNode* target = GetTargetNode();
        if (target == nullptr)
            return ZK_Success; // nothing to act on, pending actions included
        const ZKRESULT result = target->ExecuteAction(MakeParams(m_code, pending));
        OnTargetPending(*target, pending);
        target->Release();
        return result;
    }
    case ZkActionScope_AllAllObjects:
    case ZkActionScope_AllOneObject:
        ExecuteOnAllObjects(MakeParams(m_code, pending));
        OnAllPending(pending);
        return ZK_Success;
    default:
        return ZK_Success;
    }
}
} // namespace ZK::SoundEngine
