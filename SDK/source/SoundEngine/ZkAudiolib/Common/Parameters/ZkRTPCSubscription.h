// ZkRTPCSubscription: one subscriber's interest in game parameters for one parameter bit: the target
// object, its kind, the key it listens for, and its curves (each naming the game parameter it maps).
// Kept in the game-parameter manager's subscription table, keyed by (target, bit), and in the
// active or inactive list of each parameter its curves name.
//
// Threading: audio thread, under the global engine lock.
// Ownership: owned by CZkRTPCMgr (memory pool 0); it owns its curve array and each curve's points.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Parameters/CZkCurve.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCTypes.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkRTPCCurveRef
{
    uint32_t curveID;
    ZkUniqueID paramID;
    CZkCurve curve;
    uint32_t cachedSegment;
};

struct ZkRTPCSubscription
{
    void* target = nullptr;
    uint32_t bit = 0;
    ZkRTPCSubscription* pNextItem = nullptr; // subscription-table chain
    uint32_t hashKey = 0;                    // low 32 bits of target address + bit
    ZkRTPCKey key;
    uint32_t kind = 0;
    uint32_t combineMode = 0;
    ZK::ZkArray<ZkRTPCCurveRef> curves;

    static uint32_t HashOf(const void* target, uint32_t bit)
    {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target)) + bit;
    }

    ~ZkRTPCSubscription() { FreeCurves(); }

    // Index of the curve with curveID, or curves.Length().
    uint32_t FindCurve(uint32_t curveID) const;
    bool NamesParam(ZkUniqueID paramID) const;
    // Removes one curve (freeing its points).
    void RemoveCurve(uint32_t index);
    void FreeCurves();

    // Sum of the outputs of this parameter's curves at x.
    float SumCurvesAt(ZkUniqueID paramID, float x);
    // Product (combine mode 3, from 1.0) or sum of this parameter's curve outputs at x.
    float CombineCurvesAt(ZkUniqueID paramID, float x);
    // Ordering of the parameters' subscriber lists: kind, then address.
    static bool Before(const ZkRTPCSubscription* a, const ZkRTPCSubscription* b)
    {
        return a->kind != b->kind ? a->kind < b->kind : a < b;
    }
};
} // namespace ZK::SoundEngine
