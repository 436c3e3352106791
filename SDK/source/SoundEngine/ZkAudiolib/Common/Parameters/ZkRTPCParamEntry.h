// ZkRTPCParamEntry: everything the game-parameter manager knows of one game parameter: its default
// value and ramp settings, its built-in row, the tree of its scoped values, the transitions that are
// moving its values, and its active and inactive subscribers (sorted by kind, then address).
//
// Threading: audio thread (and queries) under the global engine lock.
// Ownership: owned by CZkRTPCMgr's parameter table (memory pool 0); owns its tree, its links and its
// two subscriber arrays, not the subscriptions.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCKeyTree.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCSubscription.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCTransitionLink.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCTypes.h"

namespace ZK::SoundEngine
{
struct ZkRTPCParamEntry
{
    explicit ZkRTPCParamEntry(ZkUniqueID paramID) : id(paramID) {}
    ~ZkRTPCParamEntry();

    ZkUniqueID id;
    ZkRTPCParamEntry* pNextItem = nullptr;
    float defaultValue = 0.0f;
    uint32_t rampMode = ZkRTPCRampMode_None;
    float rampUp = 0.0f;
    float rampDown = 0.0f;
    uint32_t builtInRow = 0;
    ZkRTPCKeyTree tree;
    ZkRTPCTransitionLink* links = nullptr; // newest first
    ZK::ZkArray<ZkRTPCSubscription*> active;
    ZK::ZkArray<ZkRTPCSubscription*> inactive;

    // The transition link whose key equals key in all six parts, or null.
    ZkRTPCTransitionLink* FindLink(const ZkRTPCKey& key) const;
    // The link keyed on this game object and nothing else (the global key for a null object), or
    // null.
    ZkRTPCTransitionLink* FindObjectLink(const CZkRegisteredObj* object) const;
    // Unlinks the link, leaves its transition and frees it.
    void DropLink(ZkRTPCTransitionLink* link);
    void DropLink(const ZkRTPCKey& key);
    void DropAllLinks();

    // Ramp time for a change from current to target under the parameter's settings, merged into
    // the request's time (the larger one); returns the resulting time.
    ZkTimeMs ApplyRampTime(TransParamsBase& transition, float current, float target) const;

    // Starts or retargets the transition of key from start to target. False when nothing ramps
    // (start equals target, or memory ran out): the caller then stores the value itself.
    bool StartOrRetargetTransition(const ZkRTPCKey& key, float start, float target, const TransParamsBase& transition,
                                   uint32_t resetFlag);

    // Sorted insertion into, and removal from, one list. Removal reports whether it was there.
    static bool InsertSorted(ZK::ZkArray<ZkRTPCSubscription*>& list, ZkRTPCSubscription* subscription);
    static bool RemoveFrom(ZK::ZkArray<ZkRTPCSubscription*>& list, ZkRTPCSubscription* subscription);
    bool Holds(const ZkRTPCSubscription* subscription) const;
};
} // namespace ZK::SoundEngine
