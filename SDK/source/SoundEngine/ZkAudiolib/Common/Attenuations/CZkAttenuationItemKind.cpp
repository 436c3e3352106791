#include "ZkAudiolib/Common/Attenuations/CZkAttenuationItemKind.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

namespace ZK::SoundEngine
{
namespace
{
class CZkAttenuationItemKind final : public IZkBankItemKind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::Attenuations; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        return size >= sizeof(uint32_t) ? CZkAttenuation::Create(ZK::LoadLittleEndian<uint32_t>(body)) : nullptr;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool) override
    {
        return static_cast<CZkAttenuation*>(object)->ReadFromBank(body, size);
    }
};
} // namespace

IZkBankItemKind& AttenuationItemKind()
{
    static CZkAttenuationItemKind kind;
    return kind;
}
} // namespace ZK::SoundEngine
