#include "ZkAudiolib/Common/Hierarchy/CZkGroupNode.h"


namespace ZK::SoundEngine
{
CZkGroupNode* CZkGroupNode::Create(ZkUniqueID id) { return CreateIndexed<CZkGroupNode>(id); }

ZKRESULT ReadChildList(CZkContainerNode& container, ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, sizeof(ZkUniqueID)))
        return ZK_InvalidFile;
    if (container.ReserveChildren(container.ChildCount() + count) != ZK_Success)
        return ZK_InsufficientMemory;
    const ZK::ZkByteCursor start = cursor;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkUniqueID id = 0;
        cursor.Read(id);
        const ZKRESULT result = container.AddChildByID(id);
        if (result != ZK_Success && result != ZK_InvalidID)
        {
            // Unlink what this list linked, so a failed read leaves the children free.
            ZK::ZkByteCursor again = start;
            for (uint32_t linked = 0; linked < index; ++linked)
            {
                again.Read(id);
                container.RemoveChildByID(id);
            }
            return result;
        }
    }
    return ZK_Success;
}

ZKRESULT CZkGroupNode::ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial)
{
    ZK::ZkByteCursor cursor(body, size);
    const ZKRESULT base = ReadCommonBody(node, ZkNodeCategory_Group, cursor, partial);
    if (base != ZK_Success)
        return base == ZK_NothingToReport ? ZK_Success : base;
    return ReadChildList(*static_cast<CZkGroupNode*>(node), cursor);
}
} // namespace ZK::SoundEngine
