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
// The state-change handler is consulted by the state manager before a state change that is not
// immediate: true keeps the group's current state (the music engine takes the change over, to
// apply it in time with the music).
//
// The bank-unload handler is called by the engine thread with the bank record when it handles an
// unload-bank message, before the bank's objects are released.
//
// Threading: set during the music engine's initialisation, while no bank is being parsed and the
// engine does not tick; the music engine leaves them installed at its end (they then find an empty
// music state and change nothing); the item handler is called on the bank
// thread, the state-change and bank-unload handlers on the audio thread. Ownership: nothing owned.
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

using StateChangeHandler = bool (*)(ZkUniqueID groupID, ZkUniqueID stateID);
void SetStateChangeHandler(StateChangeHandler handler);
StateChangeHandler GetStateChangeHandler();

using BankUnloadHandler = void (*)(LoadedBank* bank);
void SetBankUnloadHandler(BankUnloadHandler handler);
BankUnloadHandler GetBankUnloadHandler();
} // namespace EngineHooks
} // namespace ZK::SoundEngine
