// CZkLayerAssociation: one child of a layered container as one of its layers sees it: the child's
// id, the child node once it is loaded and a child of the layer's owner, the crossfade curve that
// turns the layer's parameter into the child's gain (with its cached segment), the child's playing
// instances under the container (their gains follow the curve), and the audible ranges of the
// curve (ZkRangeList).
//
// A plain record (layers keep their associations in a ZkArray): the owning layer calls Term before
// dropping it.
//
// Threading: audio thread, under the global engine lock. Ownership: the layer's; the curve block
// (pool 0), the instance array (pool 0) and the range list (pool 2) are the association's; the
// child node and the instances are not (the node is linked only while it is the owner's child, and
// an instance leaves before it ends).
#pragma once

#include "ZkAudiolib/Common/Hierarchy/ZkRangeList.h"
#include "ZkAudiolib/Common/Parameters/CZkCurve.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>
#include <type_traits>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkPlayingInstance;

class CZkLayerAssociation
{
public:
    static constexpr ZkMemoryId kInstancePool = ZkMemID_Default;

    // Replaces the curve by the bank points (none for count 0) and rebuilds the audible ranges.
    // 1; 52 when the curve cannot be allocated (the association then has no curve and no ranges).
    ZKRESULT SetCurve(const ZkCurvePoint* points, uint32_t count);
    // Whether the association gives a gain (its curve has points).
    bool HasCurve() const { return curve.PointCount() != 0; }
    // The curve at value (1.0 without a curve: the child keeps its level).
    float GainAt(float value) { return HasCurve() ? curve.Evaluate(value, cachedSegment) : 1.0f; }
    bool IsSilentAt(float value) const { return ZkRangeList::IsOutside(audibleRanges, value); }

    // Tracks an instance (once). False out of memory.
    bool AddInstance(CZkPlayingInstance* instance);
    // Stops tracking it (the last one takes its place; the array goes when it empties).
    void RemoveInstance(CZkPlayingInstance* instance);
    uint32_t InstanceCount() const { return instanceCount; }
    CZkPlayingInstance* Instance(uint32_t index) const { return instances[index]; }

    void Term();

    ZkUniqueID childID = 0;
    CZkHierarchyNode* child = nullptr;
    CZkCurve curve;
    uint32_t cachedSegment = kCurveFirstSegment;
    CZkPlayingInstance** instances = nullptr;
    uint32_t instanceCount = 0;
    uint32_t instanceCapacity = 0;
    ZkRangeList* audibleRanges = nullptr;
};
static_assert(std::is_trivially_copyable_v<CZkLayerAssociation>, "layers keep associations in a ZkArray");
} // namespace ZK::SoundEngine
