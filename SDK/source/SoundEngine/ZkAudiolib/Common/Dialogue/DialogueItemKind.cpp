#include "ZkAudiolib/Common/Dialogue/DialogueItemKind.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Dialogue/CZkDialogueEvent.h"

namespace ZK::SoundEngine
{
namespace
{
class CZkDialogueEventItemKind final : public IZkBankItemKind
{
public:
    ZkIndexKind Table() const override { return ZkIndexKind::DialogueEvents; }
    CZkIndexedObject* Create(const uint8_t* body, uint32_t size) override
    {
        return size >= sizeof(uint32_t) ? CZkDialogueEvent::Create(ZK::LoadLittleEndian<uint32_t>(body)) : nullptr;
    }
    ZKRESULT Read(CZkIndexedObject* object, const uint8_t* body, uint32_t size, LoadedBank&, bool) override
    {
        // Every object of the dialogue-event table is a dialogue event.
        return static_cast<CZkDialogueEvent*>(object)->SetFromBank(body, size);
    }
};
} // namespace

IZkBankItemKind& DialogueEventItemKind()
{
    static CZkDialogueEventItemKind kind;
    return kind;
}
} // namespace ZK::SoundEngine
