// The item kinds built so far: state objects, sounds, actions, events, buses, dialogue events,
// modulators, attenuations, effect objects, playlist and switch containers and group nodes. Other containers register their kind here when they
// are built. Until then a bank holding one of them ends its parse with 4.
#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuationItemKind.h"
#include "ZkAudiolib/Common/Banks/BankFormat.h"
#include "ZkAudiolib/Common/Dialogue/DialogueItemKind.h"
#include "ZkAudiolib/Common/Effects/CZkEffectItemKinds.h"
#include "ZkAudiolib/Common/Events/EventItemKinds.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBusItemKinds.h"
#include "ZkAudiolib/Common/Hierarchy/CZkContainerItemKinds.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundItemKind.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorItemKind.h"
#include "ZkAudiolib/Common/StateProperties/CZkStateItemKind.h"

#include <array>

namespace ZK::SoundEngine::BankItemKinds
{
namespace
{
constexpr uint8_t kStateItemType = 1;
constexpr uint8_t kSoundItemType = 2;
constexpr uint8_t kActionItemType = 3;
constexpr uint8_t kEventItemType = 4;
constexpr uint8_t kDialogueEventItemType = 15;
constexpr uint8_t kBusType18ItemType = 18;

std::array<IZkBankItemKind*, 256> BuiltInKinds()
{
    std::array<IZkBankItemKind*, 256> kinds{};
    kinds[kStateItemType] = &StateItemKind();
    kinds[kSoundItemType] = &SoundItemKind();
    kinds[kActionItemType] = &ActionItemKind();
    kinds[kEventItemType] = &EventItemKind();
    kinds[BankItemType::Bus] = &BusItemKind();
    kinds[kDialogueEventItemType] = &DialogueEventItemKind();
    kinds[kBusType18ItemType] = &BusType18ItemKind();
    kinds[kLfoItemType] = &LfoItemKind();
    kinds[kEnvelopeItemType] = &EnvelopeItemKind();
    kinds[kTimeModulatorItemType] = &TimeModulatorItemKind();
    kinds[kAttenuationItemType] = &AttenuationItemKind();
    kinds[kSharedEffectItemType] = &SharedEffectItemKind();
    kinds[kCustomEffectItemType] = &CustomEffectItemKind();
    kinds[kAudioDeviceItemType] = &AudioDeviceItemKind();
    kinds[kPlaylistItemType] = &PlaylistItemKind();
    kinds[kSwitchItemType] = &SwitchItemKind();
    kinds[kGroupItemType] = &GroupItemKind();
    kinds[kLayeredItemType] = &LayeredItemKind();
    return kinds;
}

std::array<IZkBankItemKind*, 256>& Kinds()
{
    static std::array<IZkBankItemKind*, 256> kinds = BuiltInKinds();
    return kinds;
}
} // namespace

IZkBankItemKind* Get(uint8_t type)
{
    return IsHandlerType(type) ? nullptr : Kinds()[type];
}

IZkBankItemKind* Set(uint8_t type, IZkBankItemKind* kind)
{
    IZkBankItemKind* previous = Kinds()[type];
    Kinds()[type] = kind;
    return previous;
}

void RestoreBuiltIn() { Kinds() = BuiltInKinds(); }
} // namespace ZK::SoundEngine::BankItemKinds
