#include "ZkAudiolib/Common/Hierarchy/CZkSoundItemKind.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"

namespace ZK::SoundEngine
{
namespace
{
class CZkSoundItemKind final : public IZkBankItemKind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::Nodes; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        return size >= sizeof(uint32_t) ? CZkSoundNode::Create(ZK::LoadLittleEndian<uint32_t>(body)) : nullptr;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool alreadyPresent) override
    {
        // Every object of the actor-mixer table is a hierarchy node.
        return CZkSoundNode::ReadFromBank(static_cast<CZkHierarchyNode*>(object), body, size, alreadyPresent);
    }
    bool ReadsAgain(CZkIndexedObject* object) override
    {
        auto* node = static_cast<CZkHierarchyNode*>(object);
        return node->Category() != ZkNodeCategory_Sound || static_cast<CZkSoundNode*>(node)->ReadsAgain();
    }
};
} // namespace

IZkBankItemKind& SoundItemKind()
{
    static CZkSoundItemKind kind;
    return kind;
}
} // namespace ZK::SoundEngine
