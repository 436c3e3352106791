// The bank's item kinds of containers: playlist containers (hierarchy item type 5), switch
// containers (type 6), group nodes (type 7) and layered containers (type 9). They live in the object index's actor-mixer table and are not read again when
// another bank brings them; an id that names a node of another category is read to 91 (counted as
// success, the node untouched).
//
// Threading and ownership: as IZkBankItemKind (static objects; the registry points at them).
#pragma once

#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

namespace ZK::SoundEngine
{
constexpr uint8_t kPlaylistItemType = 5;
constexpr uint8_t kSwitchItemType = 6;
constexpr uint8_t kGroupItemType = 7;
constexpr uint8_t kLayeredItemType = 9;

IZkBankItemKind& PlaylistItemKind();
IZkBankItemKind& GroupItemKind();
IZkBankItemKind& SwitchItemKind();
IZkBankItemKind& LayeredItemKind();
} // namespace ZK::SoundEngine
