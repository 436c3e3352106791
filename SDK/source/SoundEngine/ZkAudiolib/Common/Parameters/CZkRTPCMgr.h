// CZkRTPCMgr: the engine's store of game parameters. A game parameter is a 32-bit id with a default
// value, optional ramp settings and an optional built-in row. The game sets values per scope
// (ZkRTPCKey: global, game object, playing id, MIDI target, channel, note, playing instance); the
// manager keeps them in one ZkRTPCKeyTree per parameter, ramps changes through transitions, and
// pushes every change, mapped through the subscribers' curves, to the objects that subscribed.
//
// Subscribers by kind: 0 node-instance built-in values, 1 effect plug-in parameters, 2 hierarchy
// nodes' CZkParamTargetList, 3 modulators, 4 and 5 container layers, 6 switch groups. While a
// subscription of kind 2, 4 or 5 is active it holds a reference on its subscriber.
//
// Threading: everything runs on the audio thread under the global engine lock; the game thread's
// queries (values, defaults) take that lock first. Subscribers may subscribe or unsubscribe while
// being notified (notifications walk a copy of the subscriber list).
// Ownership: the manager owns its parameter entries and subscriptions (memory pool 0). One manager
// exists, reached through g_pRTPCMgr; Init/Term leave no state behind.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCParamEntry.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCSubscription.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCTypes.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkRTPCOverrideFilter;

class CZkRTPCMgr
{
public:
    static constexpr uint32_t kInitialBucketCount = 11;

    CZkRTPCMgr() = default;
    ~CZkRTPCMgr() { Term(); }
    CZkRTPCMgr(const CZkRTPCMgr&) = delete;
    CZkRTPCMgr& operator=(const CZkRTPCMgr&) = delete;

    // 11 buckets per table and the pitch-bend entry (131, default 64). 1, or 52.
    ZKRESULT Init();
    // Frees every entry, link, subscription and table; releases no subscriber reference.
    ZKRESULT Term();

    // --- Bank set-up (the Init bank's game-parameter list) ---
    // Each: 1; 52 when the entry cannot be created; 95 for a value that is not finite.
    ZKRESULT SetDefaultValue(ZkUniqueID id, float value);
    ZKRESULT SetParamSettings(ZkUniqueID id, uint32_t rampMode, float rampUp, float rampDown);
    // Binds the parameter to built-in row 1..9 (31 for another row; 52 out of memory).
    ZKRESULT BindBuiltInParam(uint32_t row, ZkUniqueID id);
    // One record of the list: default, settings, and the binding for a non-zero row.
    ZKRESULT AddParamFromBank(const ZkRTPCParamRecord& record);

    // --- Values ---
    // 1; 2 when a new entry cannot be allocated; 95 for a value that is not finite. A value whose
    // scope refuses it (a playing id that no longer plays) or that finds no memory is dropped (1).
    ZKRESULT SetRTPCInternal(ZkUniqueID id, float value, const ZkRTPCKey& key, TransParamsBase& transition,
                             ZkValueMeaning meaning, bool firstValueImmediate);
    ZKRESULT SetRTPCInternal(ZkUniqueID id, float value, CZkRegisteredObj* object, ZkPlayingID playingID,
                             TransParamsBase& transition, ZkValueMeaning meaning);
    ZKRESULT SetRTPCImmediate(ZkUniqueID id, float value, const ZkRTPCKey& key);
    // Every parameter bound to the row takes the value for the key, at once.
    void SetBuiltInValue(uint32_t row, const ZkRTPCKey& key, float value);
    void ResetRTPCValueForKey(ZkUniqueID id, const ZkRTPCKey& key, TransParamsBase& transition);
    void ResetRTPCValueForObject(ZkUniqueID id, CZkRegisteredObj* object, ZkPlayingID playingID,
                                 TransParamsBase& transition);

    float GetDefaultValue(ZkUniqueID id, bool& found) const;
    // The best-matching scoped value for key (key rewritten to its scope): true; else the default
    // (0 for an unknown parameter) and false.
    bool GetRTPCValue(ZkUniqueID id, ZkRTPCKey& key, float& value);
    // Removes every subscription keyed exactly on key, every transition and every value that key
    // matches, for one parameter (a game object or playing instance going away).
    void UnsubscribeKey(ZkUniqueID id, const ZkRTPCKey& key);

    // --- Subscriptions ---
    ZKRESULT SubscribeRTPC(void* target, ZkUniqueID paramID, uint32_t paramType, uint32_t combineMode, uint32_t bit,
                           uint32_t curveID, uint32_t scaling, const ZkCurvePoint* points, uint32_t pointCount,
                           const ZkRTPCKey& key, uint32_t kind, bool active);
    void UnsubscribeRTPC(void* target, uint32_t bit);
    void UnsubscribeRTPCCurve(void* target, uint32_t bit, uint32_t curveID, bool& stillSubscribed);
    void ActivateSubscriptions(void* target, uint64_t bitMask);
    void DeactivateSubscriptions(void* target, uint64_t bitMask);
    void ActivateCrossfadeSubscription(void* target, ZkUniqueID id, bool active);
    ZKRESULT SubscribeLayerCrossfade(void* layer, ZkUniqueID id, uint32_t paramType, bool active);
    ZKRESULT SubscribeSwitchGroup(void* group, ZkUniqueID id, uint32_t paramType, const ZkCurvePoint* points,
                                  uint32_t pointCount, uint32_t scaling);
    // The combined value of the curves that drive the subscriber's parameter bit, at the values
    // that best match key: their outputs summed from 0, or multiplied from 1.0 in combine mode 3.
    // 0 when nothing drives the bit. Writes the curves' cached segments.
    float GetModulatorValue(const void* subscriber, uint32_t bit, const ZkRTPCKey& key);
    // The first curve of (target, bit 60) at the value that best matches key; 0 without one.
    float EvaluateTargetCurve(void* target, const ZkRTPCKey& key);
    // The subscription's curves (all, or those of paramID when not 0) at their current values for
    // its key, summed (or multiplied for combine mode 3).
    float EvaluateSubscription(ZkRTPCSubscription* subscription, ZkUniqueID paramID = 0);
    // The same at the values that best match key instead of the subscription's own key.
    float EvaluateSubscriptionFor(ZkRTPCSubscription* subscription, const ZkRTPCKey& key, ZkUniqueID paramID = 0);
    void PushCurrentValue(ZkRTPCSubscription* subscription, ZkUniqueID paramID);

    // --- Inspection (queries, tests, tools) ---
    ZkRTPCParamEntry* FindEntry(ZkUniqueID id) { return m_params.Find(id); }
    ZkRTPCSubscription* FindSubscription(const void* target, uint32_t bit) const;
    uint32_t ParamCount() const { return m_params.Length(); }
    uint32_t SubscriptionCount() const { return m_subscriptions.Length(); }
    const ZK::ZkArray<ZkUniqueID>& BuiltInRow(uint32_t row) const { return m_builtInRows[row]; }

    // Delivers a change of the parameter (or modulator) id for key to one subscriber, through its
    // curves of that id; the filter (may be null) skips subscribers a more specific value overrides.
    void NotifyOne(ZkUniqueID id, ZkRTPCSubscription& subscription, float oldValue, float newValue,
                   const ZkRTPCKey& key, const CZkRTPCOverrideFilter* filter);

    // Called by a transition link with each value of its ramp.
    void DeliverTransitionValue(ZkRTPCTransitionLink* link, float value, bool done);

private:
    using ParamTable = ZK::CZkHashTable<ZkRTPCParamEntry, &ZkRTPCParamEntry::pNextItem, &ZkRTPCParamEntry::id>;
    using SubscriptionTable =
        ZK::CZkHashTable<ZkRTPCSubscription, &ZkRTPCSubscription::pNextItem, &ZkRTPCSubscription::hashKey>;

    ZkRTPCParamEntry* FindOrCreateEntry(ZkUniqueID id);
    bool ScopeAccepts(const ZkRTPCKey& key, ZkUniqueID id);
    void NotifySubscribers(ZkRTPCParamEntry& entry, float oldValue, float newValue, const ZkRTPCKey& key,
                           bool withFilter);
    float CurrentValueFor(ZkUniqueID paramID, const ZkRTPCKey& key);

    // Subscriber references of the active lists (kinds 2, 4 and 5).
    static void AddSubscriberRef(const ZkRTPCSubscription& subscription);
    static void ReleaseSubscriberRef(const ZkRTPCSubscription& subscription);
    // Removes the subscription from both lists of entry; true when it was active.
    bool DetachFromEntry(ZkRTPCParamEntry& entry, ZkRTPCSubscription* subscription);
    // Removes the subscription from every entry its curves name (every entry when none held it).
    void DetachFromAllEntries(ZkRTPCSubscription* subscription);
    void DestroySubscription(ZkRTPCSubscription* subscription);
    void MoveSubscription(ZkRTPCSubscription* subscription, ZkUniqueID paramID, bool toActive);

    ParamTable m_params;
    SubscriptionTable m_subscriptions;
    ZK::ZkArray<ZkUniqueID> m_builtInRows[kRTPCBuiltInRows];
};

extern CZkRTPCMgr* g_pRTPCMgr;
} // namespace ZK::SoundEngine
