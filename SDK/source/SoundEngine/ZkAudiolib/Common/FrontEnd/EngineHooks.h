// EngineHooks: the extension points through which the interactive music engine hooks itself into
// the sound engine when it starts. Each setter only stores its pointer; null means no hook.
//
// The hierarchy-item handler reads the bank items the sound engine does not build itself (types
// 0, 10 to 13 and above 22): the bank parser calls it with the item's 5-byte header {type, u32
// size}, the bank record and the bank id, while the item body is still unread in the bank
// manager's reader. It reads the body from that reader, appends what it creates to the bank
// record (BankManager::AddLoadedItem) and answers a result; 3 means it does not take the item,
// and the parser then skips the body itself.
//
// Threading: set during the music engine's initialisation and cleared at its termination, while
// no bank is being parsed; called on the bank thread. Ownership: nothing owned.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct LoadedBank;

using ZkHierarchyItemHandler = ZKRESULT (*)(const uint8_t* itemHeader, LoadedBank* bank, ZkBankID bankID);

namespace EngineHooks
{
void SetHierarchyItemHandler(ZkHierarchyItemHandler handler);
ZkHierarchyItemHandler GetHierarchyItemHandler();
} // namespace EngineHooks
} // namespace ZK::SoundEngine
