#include "ZkAudiolib/Common/Effects/CZkEffectItemKinds.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"

namespace ZK::SoundEngine
{
namespace
{
class CZkEffectItemKind final : public IZkBankItemKind
{
public:
    using Creator = CZkEffectObject* (*)(ZkUniqueID);
    CZkEffectItemKind(ZkIndexKind table, Creator create) : m_table(table), m_create(create) {}

    ZkIndexKind Table() const override { return m_table; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        return size >= sizeof(uint32_t) ? m_create(ZK::LoadLittleEndian<uint32_t>(body)) : nullptr;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool) override
    {
        return static_cast<CZkEffectObject*>(object)->ReadFromBank(body, size);
    }

private:
    ZkIndexKind m_table;
    Creator m_create;
};
} // namespace

IZkBankItemKind& SharedEffectItemKind()
{
    static CZkEffectItemKind kind(ZkIndexKind::SharedEffects, &CZkEffectObject::CreateShared);
    return kind;
}

IZkBankItemKind& CustomEffectItemKind()
{
    static CZkEffectItemKind kind(ZkIndexKind::CustomEffects, &CZkEffectObject::CreateCustom);
    return kind;
}

IZkBankItemKind& AudioDeviceItemKind()
{
    static CZkEffectItemKind kind(ZkIndexKind::AudioDevices, &CZkEffectObject::CreateDevice);
    return kind;
}
} // namespace ZK::SoundEngine
