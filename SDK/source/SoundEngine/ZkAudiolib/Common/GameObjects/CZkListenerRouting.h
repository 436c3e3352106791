// CZkListenerRouting: which listeners a game object's emitter is heard by, its dry level towards
// each (output bus volume), and its aux sends per listener. An object without a routing of its own,
// or whose routing has not set its own listeners (or sends), follows the global default routing,
// which holds the default listeners. The routing's listener set is the union of the listener ids of
// its effective dry and aux tables; every id in it that names a registered object gets a listener
// component.
//
// Threading: audio thread, or the game thread under the global engine lock.
// Ownership: a component of its game object (memory pool 4), or the default routing (no owner,
// created on first use, freed by TermPositioningGlobals). Every routing is in the global routing
// list.
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"
#include "ZkAudiolib/Common/GameObjects/ZkListenerGainTable.h"
#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// How a listener message changes a routing.
enum ZkListenerOperation : uint32_t
{
    ZkListenerOperation_Set = 0,
    ZkListenerOperation_Add = 1,
    ZkListenerOperation_Remove = 2,
};

class CZkListenerRouting final : public CZkListedComponent<CZkListenerRouting>
{
public:
    CZkListenerRouting() = default;
    ~CZkListenerRouting() override { FreeStorage(); }

    // The default routing, created on first use (both own flags set); null out of memory.
    static CZkListenerRouting* GetDefault();
    // The default routing when it exists (no creation).
    static CZkListenerRouting* ExistingDefault();
    static void DestroyDefault();
    bool IsDefault() const { return this == ExistingDefault(); }

    const ZkListenerGainTable& EffectiveDryTable() const;
    const ZkListenerGainTable& EffectiveAuxTable() const;
    const ZkListenerSet& Listeners() const { return m_listeners; }
    bool HasListener(ZkGameObjectID id) const { return m_listeners.Contains(id); }
    bool OwnsListeners() const { return m_ownListeners != 0; }
    bool OwnsSends() const { return m_ownSends != 0; }

    // The listener operations (messages 14 and 16) and the routing handlers of the registry.
    void SetListeners(const ZkListenerSet& listeners);
    void AddListeners(const ZkListenerSet& listeners);
    void RemoveListeners(const ZkListenerSet& listeners);
    void Apply(ZkListenerOperation operation, const ZkListenerSet& listeners);
    void ResetToDefault();
    void SetAllDryLevels(float gain);
    void SetDryLevel(ZkGameObjectID listenerID, float gain);
    void SetAuxSends(const ZkAuxSendValue* values, uint32_t count);
    // Rebuilds the listener set (and, for the default routing, that of every routing following it).
    void Recompute();

    // Frees both tables and the set's storage.
    void FreeStorage();

private:
    // Makes the dry table an own copy of the default's when it follows the default. True when the
    // copy was made now; copyNeededButFailed tells a refused copy apart.
    bool CopyDefaults(bool& copyNeededButFailed);
    void RecomputeOwn();

    ZkListenerGainTable m_dry;
    ZkListenerGainTable m_aux;
    ZkListenerSet m_listeners;
    uint8_t m_ownListeners = 0;
    uint8_t m_ownSends = 0;
};

// Frees the global state of positioning: the default routing.
void TermPositioningGlobals();
} // namespace ZK::SoundEngine
