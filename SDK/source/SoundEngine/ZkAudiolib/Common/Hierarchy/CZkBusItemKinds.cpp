#include "ZkAudiolib/Common/Hierarchy/CZkBusItemKinds.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

namespace ZK::SoundEngine
{
namespace
{
// Every object of the bus table is a bus.
CZkBus* BusOf(CZkIndexedObject* object) { return static_cast<CZkBus*>(static_cast<CZkHierarchyNode*>(object)); }

// A kind of bus item: Bus::Create makes it, CZkBus::SetFromBank reads it.
template <typename Bus, typename Kind>
class CZkBusKindOf : public Kind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::Buses; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        return size >= sizeof(uint32_t) ? Bus::Create(ZK::LoadLittleEndian<uint32_t>(body)) : nullptr;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool) override
    {
        return BusOf(object)->SetFromBank(body, size);
    }
};

class CZkBusItemKind final : public CZkBusKindOf<CZkBus, IZkBankBusKind>
{
public:
    CZkIndexedObject* FirstTopLevelBus() override
    {
        return CZkBus::TopLevelCount() != 0 ? CZkBus::TopLevelAt(0) : nullptr;
    }
    bool IsTopLevel(CZkIndexedObject* bus) override { return BusOf(bus)->IsTopLevel(); }
    ZKRESULT AddTopLevelBus(CZkIndexedObject* bus) override { return CZkBus::AddTopLevel(BusOf(bus)); }
    uint32_t ResolveDeviceID(CZkIndexedObject* bus) override { return BusOf(bus)->ResolveOutputShareSet(); }
    void SetDeviceID(CZkIndexedObject* bus, uint32_t deviceID) override { BusOf(bus)->SetDeviceID(deviceID); }
};

using CZkBusType18ItemKind = CZkBusKindOf<CZkBusType18, IZkBankItemKind>;
} // namespace

IZkBankItemKind& BusItemKind()
{
    static CZkBusItemKind kind;
    return kind;
}

IZkBankItemKind& BusType18ItemKind()
{
    static CZkBusType18ItemKind kind;
    return kind;
}
} // namespace ZK::SoundEngine
