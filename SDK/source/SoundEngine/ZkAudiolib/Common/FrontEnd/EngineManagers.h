// The engine's managers as Init creates them and Term destroys them: each is allocated from memory
// pool 16, published in its global, then initialised; a null global means that the manager does not
// exist. Creation follows the engine's fixed order and stops at the first failure; destruction is
// safe in any partial state (each manager is torn down only when its global is set, and every
// global is cleared).
//
// Threading: the thread that runs Init and Term, before the engine's threads start and after they
// stop. Ownership: the managers belong to the engine between the two.
#pragma once

#include <ZK/SoundEngine/Common/ZkInitSettings.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
// The object index, game parameters, bank manager (threaded or plain by bankThread), playing
// manager, play positions, game-object registry, modulators, transitions, shared item array,
// switches and states, in that order. 1; 52 when a manager cannot be allocated or the object index
// cannot set up its tables; else the failing initialiser's result.
ZKRESULT CreateEngineManagers(const ZkInitSettings& settings);
// The event manager with its ring of ringBytes (its thread is not started). 1; 52 when it cannot be
// allocated; else the ring's result (31 for a ring too small).
ZKRESULT CreateEventManager(uint32_t ringBytes);
// Each: terminates, destroys and frees the manager and clears its global (nothing without one).
void DestroyEventManager();
void DestroyBankManager();
// The rest, after the event manager and the bank manager have gone, in the engine's order: the
// object index's contents, the bank identification, then each manager, the object index last.
void DestroyEngineManagers();
} // namespace ZK::SoundEngine
