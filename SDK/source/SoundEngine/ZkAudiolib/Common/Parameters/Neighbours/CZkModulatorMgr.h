// CZkModulatorMgr (declaration only): the engine's modulators and their subscriptions. Game-
// parameter subscriptions of parameter type 2 are handed to it; it also answers for modulator ids
// that have no game-parameter entry.
//
// Threading: audio thread, under the global engine lock. Ownership: the engine's singleton.
#pragma once

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
struct ZkRTPCSubscription;

class CZkModulatorMgr
{
public:
    // Not built yet: 4 (the subscription is not made).
    ZKRESULT AddSubscription(ZkUniqueID, ZkRTPCSubscription*) { return ZK_NotImplemented; }
    // Not built yet: 4 (nothing held a subscription).
    ZKRESULT RemoveSubscription(ZkRTPCSubscription*, ZkUniqueID) { return ZK_NotImplemented; }
    // Not built yet: no modulator value is known.
    bool GetValue(ZkUniqueID, const ZkRTPCKey&, float&) { return false; }
    bool IsModulator(ZkUniqueID) { return false; }
    // Stops the modulator's instances whose key matches (an owner of scoped values went away). Not
    // built yet: 4 (no modulator instance exists).
    ZKRESULT StopForKey(ZkUniqueID, const ZkRTPCKey&) { return ZK_NotImplemented; }
};

// Null until the modulator manager exists.
inline CZkModulatorMgr* g_pModulatorMgr = nullptr;
} // namespace ZK::SoundEngine
