#include "ZkAudiolib/Common/Hierarchy/CZkContainerItemKinds.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Hierarchy/CZkGroupNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLayeredContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSwitchContainerNode.h"

namespace ZK::SoundEngine
{
namespace
{
template <typename Node>
class CZkContainerItemKind final : public IZkBankItemKind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::Nodes; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        return size >= sizeof(uint32_t) ? Node::Create(ZK::LoadLittleEndian<uint32_t>(body)) : nullptr;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool alreadyPresent) override
    {
        return Node::ReadFromBank(static_cast<CZkHierarchyNode*>(object), body, size, alreadyPresent);
    }
    bool ReadsAgain(CZkIndexedObject*) override { return false; }
};
} // namespace

IZkBankItemKind& PlaylistItemKind()
{
    static CZkContainerItemKind<CZkPlaylistContainerNode> kind;
    return kind;
}

IZkBankItemKind& SwitchItemKind()
{
    static CZkContainerItemKind<CZkSwitchContainerNode> kind;
    return kind;
}

IZkBankItemKind& GroupItemKind()
{
    static CZkContainerItemKind<CZkGroupNode> kind;
    return kind;
}

IZkBankItemKind& LayeredItemKind()
{
    static CZkContainerItemKind<CZkLayeredContainerNode> kind;
    return kind;
}
} // namespace ZK::SoundEngine
