#include "ZkAudiolib/Common/Events/EventItemKinds.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Events/CZkActionFactory.h"
#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kActionTypeOffset = 4;
constexpr uint32_t kActionTypedBytes = kActionTypeOffset + sizeof(uint16_t);

class CZkActionItemKind final : public IZkBankItemKind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::Actions; }
    uint32_t MinimumBodyBytes() const override { return kActionTypedBytes; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        if (size < kActionTypedBytes)
            return nullptr;
        return CZkActionFactory::Create(ZK::LoadLittleEndian<uint16_t>(body + kActionTypeOffset),
                                        ZK::LoadLittleEndian<uint32_t>(body));
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool) override
    {
        // Every object of the action table is an action.
        return static_cast<CZkEventAction*>(object)->ReadFromBank(body, size);
    }
    bool ReadsAgain(CZkIndexedObject* object) override
    {
        const auto* action = static_cast<const CZkEventAction*>(object);
        return action->Type() == kPlayActionType && (action->Flags() & CZkEventAction::kFlagHasBankID) == 0;
    }
};

class CZkEventItemKind final : public IZkBankItemKind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::Events; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        return size >= sizeof(uint32_t) ? CZkEventObject::Create(ZK::LoadLittleEndian<uint32_t>(body)) : nullptr;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool) override
    {
        return static_cast<CZkEventObject*>(object)->ReadFromBank(body, size);
    }
    bool IndexesAfterRead() const override { return true; }
    ZKRESULT AddToIndex(CZkIndexedObject* object) override
    {
        return static_cast<CZkEventObject*>(object)->AddToIndex();
    }
};
} // namespace

IZkBankItemKind& ActionItemKind()
{
    static CZkActionItemKind kind;
    return kind;
}

IZkBankItemKind& EventItemKind()
{
    static CZkEventItemKind kind;
    return kind;
}
} // namespace ZK::SoundEngine
