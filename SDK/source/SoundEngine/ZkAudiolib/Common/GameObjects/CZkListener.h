// CZkListener: the component of a game object that is used as a listener: its position and
// orientation with a precomputed rotation frame (side = top x front), its scaling factor, and its
// spatialization: whether it pans in three dimensions, its channel configuration and per-channel
// volume offsets in decibels (kept beside their linear gains, so the panning step converts
// nothing).
//
// Every change puts the listener's game object into the registry's dirty-listener list, which marks
// at the next tick the emitters that hear it.
//
// Threading: audio thread, or the game thread under the global engine lock.
// Ownership: a component of its game object (memory pool 4); owns its offset block (pool 4). Every
// listener is in the global listener list.
#pragma once

#include "ZkAudiolib/Common/GameObjects/CZkObjectComponent.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkListener final : public CZkListedComponent<CZkListener>
{
public:
    CZkListener() = default;
    ~CZkListener() override { FreeOffsets(); }

    // Takes the first position and the scaling factor of its object's emitter, when it has one, and
    // marks itself dirty. 1.
    ZKRESULT Init(ZkGameObjectID id) override;

    // Each: 1, or 52 when the dirty-listener list cannot grow.
    ZKRESULT SetTransform(const ZkChannelEmitter& record);
    ZKRESULT SetScalingFactor(float factor);
    // Recomputes every listener's frame and marks it dirty (a device's panning rule changed).
    static void RefreshAll();
    // Message 18. 1; 31 unknown object; 52 no listener can be made; 78 offsets for a configuration
    // of 0 channels; 2 no offset block can be allocated (the old offsets are gone then).
    static ZKRESULT SetSpatialization(ZkGameObjectID id, bool spatialized, ZkChannelConfig config, const float* offsets);

    const ZkTransform& Transform() const { return m_transform; }
    const ZkVector& Side() const { return m_side; }
    const ZkVector& Top() const { return m_top; }
    const ZkVector& Front() const { return m_front; }
    float ScalingFactor() const { return m_scalingFactor; }
    bool IsSpatialized() const { return m_spatialized != 0; }
    ZkChannelConfig ChannelConfig() const { return m_config; }
    // Null without offsets; one value per channel of ChannelConfig().
    const float* VolumeOffsetsDB() const { return m_offsetsDB; }
    const float* VolumeOffsetGains() const { return m_offsetGains; }
    // Floats reserved per array (the channel count rounded up to 4).
    uint32_t OffsetCapacity() const { return m_offsetCapacity; }

private:
    void FreeOffsets();
    void RecomputeFrame();
    ZKRESULT MarkDirty() const;

    float* m_offsetBlock = nullptr;
    float* m_offsetsDB = nullptr;
    float* m_offsetGains = nullptr;
    uint32_t m_offsetCapacity = 0;
    ZkChannelConfig m_config;
    ZkVector m_side = {1.0f, 0.0f, 0.0f};
    ZkVector m_top = {0.0f, 1.0f, 0.0f};
    ZkVector m_front = {0.0f, 0.0f, 1.0f};
    ZkTransform m_transform = kZkDefaultTransform;
    float m_scalingFactor = 1.0f;
    uint8_t m_spatialized = 1;
};

// The listener's spatialization (queries, under the global engine lock). 1; 31 when the object or
// its listener is missing.
ZKRESULT GetListenerSpatializationImpl(ZkGameObjectID id, bool& spatialized, const float*& offsetsDB,
                                       ZkChannelConfig& config);
} // namespace ZK::SoundEngine
