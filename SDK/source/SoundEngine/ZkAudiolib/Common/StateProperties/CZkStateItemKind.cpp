#include "ZkAudiolib/Common/StateProperties/CZkStateItemKind.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/StateProperties/CZkState.h"

namespace ZK::SoundEngine
{
namespace
{
class CZkStateItemKind final : public IZkBankItemKind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::States; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        return size >= sizeof(uint32_t) ? CZkState::Create(ZK::LoadLittleEndian<uint32_t>(body)) : nullptr;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool) override
    {
        return CZkState::ReadFromBank(static_cast<CZkState*>(object), body, size);
    }
};
} // namespace

IZkBankItemKind& StateItemKind()
{
    static CZkStateItemKind kind;
    return kind;
}
} // namespace ZK::SoundEngine
