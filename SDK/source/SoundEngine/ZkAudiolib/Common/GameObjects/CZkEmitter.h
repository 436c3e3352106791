// CZkEmitter: where a game object sounds from: one or more positions (transform and input channel
// mask), the multi-position mode, per-listener obstruction and occlusion values, a scaling factor
// for attenuation distances, and a dirty bit asking for its geometry to be recomputed.
//
// Threading: audio thread, or the game thread under the global engine lock.
// Ownership: a component of its game object (memory pool 4); owns its position records (pool 5),
// its obstruction table and value arrays (pool 0). Every emitter is in the global emitter list.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// One obstruction record of one emitter position towards one listener.
struct ZkObstructionValue
{
    float occlusion;
    float obstruction;
    float spreadPercent; // used when no spread curve applies
    float spreadCap;     // percent
};

struct ZkListenerObstruction
{
    ZkGameObjectID listenerID;
    ZK::ZkArray<ZkObstructionValue>* values; // one per position given, pool 0
};

class CZkEmitter final : public CZkListedComponent<CZkEmitter>
{
public:
    static constexpr ZkMemoryId kPositionPool = ZkMemID_Processing;
    static constexpr uint32_t kDirtyBit = 0x1;
    static constexpr uint8_t kMultiPositionMask = 0x7;
    static constexpr ZkObstructionValue kNewObstruction = {0.0f, 0.0f, 0.0f, 100.0f};

    CZkEmitter() = default;
    ~CZkEmitter() override;

    // Replaces the positions (count may be 0). Out of memory leaves no positions (52).
    ZKRESULT SetPositions(const ZkChannelEmitter* records, uint32_t count, uint32_t mode);
    // Stores n obstruction/occlusion pairs for the listener (see the .cpp). 1; 52 out of memory.
    ZKRESULT SetObstructionOcclusion(ZkGameObjectID listenerID, const ZkObstructionOcclusionValues* values, uint32_t n);
    // Drops the obstruction records of listeners not in the ascending id list.
    void PruneListeners(const ZkGameObjectID* sortedListenerIDs, uint32_t count);

    uint16_t PositionCount() const { return m_positionCount; }
    const ZkChannelEmitter* Positions() const { return m_positions; }
    uint32_t MultiPositionMode() const { return m_modeFlags & kMultiPositionMask; }
    float ScalingFactor() const { return m_scalingFactor; }
    void SetScalingFactor(float factor) { m_scalingFactor = factor; }
    bool IsDirty() const { return (m_flags & kDirtyBit) != 0; }
    void SetDirty() { m_flags |= kDirtyBit; }
    void ClearDirty() { m_flags &= ~kDirtyBit; }
    const ZK::ZkArray<ZkListenerObstruction>& Obstructions() const { return m_obstructions; }
    const ZkListenerObstruction* FindObstruction(ZkGameObjectID listenerID) const;

private:
    void FreePositions();

    ZkChannelEmitter* m_positions = nullptr;
    ZK::ZkArray<ZkListenerObstruction> m_obstructions;
    uint16_t m_positionCount = 0;
    uint8_t m_modeFlags = 0;
    ZK::ZkArray<uint32_t> m_spare; // free for the positioning code; emptied with the emitter
    float m_scalingFactor = 1.0f;
    uint32_t m_flags = kDirtyBit;
};
} // namespace ZK::SoundEngine
