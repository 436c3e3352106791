#include "ZkAudiolib/Common/Modulators/CZkModulatorItemKind.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"

namespace ZK::SoundEngine
{
namespace
{
template <int32_t Kind>
class CZkModulatorItemKind final : public IZkBankItemKind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::Modulators; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        return size >= sizeof(uint32_t) ? CZkModulator::Create(ZK::LoadLittleEndian<uint32_t>(body), Kind) : nullptr;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool) override
    {
        return static_cast<CZkModulator*>(object)->SetFromBank(body, size);
    }
};
} // namespace

IZkBankItemKind& LfoItemKind()
{
    static CZkModulatorItemKind<ZkModulatorKind_Lfo> kind;
    return kind;
}

IZkBankItemKind& EnvelopeItemKind()
{
    static CZkModulatorItemKind<ZkModulatorKind_Envelope> kind;
    return kind;
}

IZkBankItemKind& TimeModulatorItemKind()
{
    static CZkModulatorItemKind<ZkModulatorKind_Time> kind;
    return kind;
}
} // namespace ZK::SoundEngine
