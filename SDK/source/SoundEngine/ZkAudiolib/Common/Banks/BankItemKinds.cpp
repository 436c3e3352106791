// The item kinds built so far. None of the engine's bank object classes exists yet: states,
// sounds, actions, events, containers, buses, attenuations, dialogue events, effects and
// modulators each register their kind here when they are built. Until then a bank holding one of
// them ends its parse with 4.
#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

#include <array>

namespace ZK::SoundEngine::BankItemKinds
{
namespace
{
std::array<IZkBankItemKind*, 256>& Kinds()
{
    static std::array<IZkBankItemKind*, 256> kinds{};
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
} // namespace ZK::SoundEngine::BankItemKinds
