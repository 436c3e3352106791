// CZkEffectContext: one running plug-in's view of its effect object. It holds the plug-in's own
// parameter object (a clone of the object's parameter block, which the plug-in is initialised
// with and reads while it runs), a reference on the effect object, the key that scopes its game
// parameters (the instance's game object, or the global key), and the contributions that make up
// each parameter's value.
//
// Life cycle: owned by its user (an effect stage, a mix bus slot or mixer, an output device slot,
// an instance's effect list); the effect object fills it (CZkEffectObject::CreateInstancePlugin or
// CreatePluginInstance); the user binds its plug-in context (Bind), initialises the plug-in with
// the context's parameters (InitPlugin), and ends with Term (or Unsubscribe), which unsubscribes
// it, destroys its parameters, unlinks it and releases the effect object. A context that was never
// filled, or was already ended, ends as a no-op.
//
// Threading: audio thread, under the global engine lock; the effect object's lock guards its list.
// Ownership: the parameter object (pool-2 plug-in allocator), the contribution array (pool 0) and
// one reference on the effect object.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Effects/ZkEffectRecords.h"

#include <ZK/SoundEngine/Common/IZkEffectPlugin.h>
#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkEffectObject;
class CZkMixContext;
class CZkPluginContextBase;

class CZkEffectContext
{
public:
    static constexpr ZkMemoryId kContributionPool = ZkMemID_Default;

    CZkEffectContext() = default;
    ~CZkEffectContext() { Term(); }
    CZkEffectContext(const CZkEffectContext&) = delete;
    CZkEffectContext& operator=(const CZkEffectContext&) = delete;

    // Binds the user's plug-in context to its owner and slot, with the effect object as the
    // provider of the plug-in's media.
    void Bind(CZkPluginContextBase& pluginContext, CZkMixContext* owner, uint32_t slot) const;
    // Starts an in-place effect plug-in with the context's parameters (the devices' slots). The
    // plug-in's own result.
    ZKRESULT InitPlugin(ZK::IZkInPlaceEffectPlugin& plugin, ZK::IZkPluginMemAlloc* allocator,
                        ZK::IZkEffectPluginContext* pluginContext, ZK::ZkEffectFormat& format) const;
    // Unsubscribe (the context keeps no temporary parameter copy of its own).
    void Term() { Unsubscribe(); }
    // Every game-parameter subscription ends, the key goes back to the global key, the parameters
    // are destroyed, the context leaves the effect object's list and releases it, and its
    // contributions are freed.
    void Unsubscribe();

    bool IsFilled() const { return m_effect != nullptr; }
    CZkEffectObject* Effect() const { return m_effect; }
    // The plug-in's parameter object; null when the effect object has no parameter block.
    ZK::IZkPluginParam* Params() const { return m_params; }
    const ZkRTPCKey& Key() const { return m_key; }
    const ZK::ZkArray<ZkEffectContribution, kContributionPool>& Contributions() const { return m_contributions; }
    ZK::ZkArray<ZkEffectContribution, kContributionPool>& Contributions() { return m_contributions; }
    CZkEffectContext* NextOfEffect() const { return m_next; }

    // The total of a parameter over its contributions for kind (0.0 or 1.0 first; kind 4 leaves
    // the initial value out once another contribution of it exists).
    float Total(uint16_t paramID, uint8_t kind) const;
    // Forgets every contribution to a parameter.
    void RemoveContributions(uint16_t paramID);
    // Sends a value to the plug-in's parameter (4 bytes); nothing without parameters.
    void Send(uint16_t paramID, float value) const;

private:
    friend class CZkEffectObject;

    // Subscribes one of the effect object's subscriptions for this context (which receives the
    // game parameter's current value at once). False when the game-parameter manager refuses.
    bool SubscribeOne(const ZkEffectSubscription& subscription);
    // Sends a driven parameter after creation: its contributions and its state contributions
    // combined by the state property's kind (or the value's driven kind).
    void SendInitial(const ZkEffectInitialValue& initial);

    ZK::IZkPluginParam* m_params = nullptr;
    CZkEffectObject* m_effect = nullptr;
    ZkRTPCKey m_key;
    ZK::ZkArray<ZkEffectContribution, kContributionPool> m_contributions;
    CZkEffectContext* m_next = nullptr;
};

// The contribution setter of the plug-in parameters of a context.
class CZkEffectParams
{
public:
    // Type 1 sends value itself at once. Otherwise the contribution {keyID, secondKey, paramID} takes
    // value (appended when absent, as far as the array can grow) and the total of paramID for type
    // is sent.
    static void SetParam(CZkEffectContext& context, uint32_t keyID, uint32_t secondKey, uint16_t paramID,
                         uint8_t type, float value);
};
} // namespace ZK::SoundEngine
