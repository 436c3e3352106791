// CZkEffectStateProperties: the state-driven side of an effect object. Its state properties are
// plug-in parameter ids with a kind; its state groups drive them. A value change of one group
// reaches every running context of the effect object as a contribution with key id 2 (the group id
// as second key); when the states have been applied as a whole, or state use is switched, every
// context rebuilds every driven parameter from its initial value, its game parameters and its
// state groups.
//
// Threading: audio thread, or under the global engine lock (bank loading). The effect object's
// context list is walked without its lock: contexts come and go during the engine tick, which
// holds the global engine lock.
// Ownership: a member of its effect object; it owns its storage (memory pool 2) and, through it,
// its links and its property list.
#pragma once

#include "ZkAudiolib/Common/StateProperties/CZkStateProperties.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEffectContext;
class CZkEffectObject;
struct ZkEffectInitialValue;

class CZkEffectStateProperties final : public CZkStateProperties
{
public:
    static constexpr ZkMemoryId kStoragePool = ZkMemID_BankObjects;

    explicit CZkEffectStateProperties(CZkEffectObject& owner) : m_owner(owner) {}
    // Transitions cleared and groups removed (while the storage exists), then the storage freed.
    ~CZkEffectStateProperties() override;

    // Transitions of plug-in parameters always run.
    bool OnStateTransitionStarted(uint16_t) override { return true; }
    void OnStateTransitionEnded() override {}
    // The list is replaced (without applying); the first initial value of each listed parameter
    // takes the entry's kind as its driven kind; with apply the states are applied, which rebuilds
    // every context. Without storage nothing more than the base's attempt happens.
    void SetStateProperties(uint32_t count, const ZkStatePropertyInput* entries, bool apply) override;
    void OnStatesApplied() override { RebuildContexts(); }
    void OnStateValueChanged(uint16_t propertyID, uint8_t kind, ZkUniqueID groupID, float oldValue, float newValue,
                             bool transitionEnded) override;
    void OnStateUseChanged() override { RebuildContexts(); }
    bool EnsureStateStorage() override;
    ZkStateStorage* StateStorage() const override { return m_storage; }

    // Appends the contribution {2, group, paramID, x} of every link to the context (x = the link's
    // value, or 0.0 when it has none or state use is off) and adds x to total. True when a link was
    // visited; false (nothing changed) without storage or links.
    bool AddStateContributions(CZkEffectContext& context, uint16_t paramID, float& total) const;
    // The same with 1.0 as the neutral value, multiplying total.
    bool MultiplyStateContributions(CZkEffectContext& context, uint16_t paramID, float& total) const;

    // The first entry of the property list for paramID; null when none (or no storage).
    const ZkStateProperty* FindProperty(uint16_t paramID) const;
    // Empties the context's contributions and rebuilds every driven initial value of the effect
    // object, sending each total to the context's plug-in.
    void RebuildContext(CZkEffectContext& context) const;
    // Rebuilds one parameter of one context from its initial value (the five steps of a rebuild).
    void RebuildParameter(CZkEffectContext& context, const ZkEffectInitialValue& initial) const;

private:
    bool StateContributions(CZkEffectContext& context, uint16_t paramID, float& total, bool multiply) const;
    void RebuildContexts() const;

    CZkEffectObject& m_owner;
    ZkStateStorage* m_storage = nullptr;
};
} // namespace ZK::SoundEngine
