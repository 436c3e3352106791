// ZkMixInstanceView: what a mix context (a voice or a mix-bus instance) reads of its node instance
// when it computes its connections' volumes and matrices. The voice and the bus refresh it from
// their own instance before the render pass computes connection volumes; the mix context never
// reaches into the instance itself, so it serves both kinds of instance alike.
//
// Threading and ownership: a plain record inside its mix context, written and read on the engine
// thread under the global engine lock.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/ZkNodeSettings.h"
#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkAttenuation;
class ZkListenerGainTable;

// The positioning block of the instance: values stored as percentages.
struct ZkMixPositioning
{
    // Bits of flags.
    static constexpr uint32_t kPannerModeMask = 0x7;   // bits 0-2
    static constexpr uint32_t kFlag3D = 0x8;           // bit 3: positioned in three dimensions
    static constexpr uint32_t kFlagPanner = 0x10;      // bit 4: the panner's own flag
    static constexpr uint32_t kSpatialModeShift = 5;   // bits 5-7
    static constexpr uint32_t kSpatialKindShift = 8;   // bits 8-10
    static constexpr uint32_t kFlagAttenuation = 0x800; // bit 11: attenuation enabled

    float panX = 0.0f;
    float panY = 0.0f;
    float panZ = 0.0f;
    float rayGain = 100.0f;   // scales the ray gain
    float spread = 0.0f;
    float centre = 0.0f;      // share of the front centre speaker in two-dimensional panning
    float ratio = 100.0f;     // handed to mixer plug-ins
    uint32_t flags = 0;

    // Takes a node's positioning values and 3-D settings: pan values, centre, spread, panner mode,
    // the 3-D flag (has3D), the spatialization (0 none, 1 by position, 2 with orientation) as the
    // spatial mode, and whether an attenuation is in use.
    void Take(const ZkPositioningValues& values, const Zk3DModeInfo& mode, bool attenuation);

    uint32_t PannerMode() const { return flags & kPannerModeMask; }
    bool Is3D() const { return (flags & kFlag3D) != 0; }
    uint32_t SpatialMode() const { return (flags >> kSpatialModeShift) & 0x7; }
    uint32_t SpatialKind() const { return (flags >> kSpatialKindShift) & 0x7; }
};

struct ZkMixInstanceView
{
    float modulationGain = 1.0f;       // product of the volume modulators (1.0 without)
    float outputLevel = 1.0f;          // the instance's cached output level, linear
    bool tracksRays = false;           // rays (emitter positions x listeners) drive the levels
    ZkRay* rays = nullptr;             // the instance's rays; a ray's level is its dry gain
    uint32_t rayCount = 0;
    CZkAttenuation* attenuation = nullptr; // of the instance's positioning (held by the instance)
    uint32_t multiPositionMode = 0;    // the emitter's: 1 sums its positions' matrices
    const ZkListenerGainTable* dryLevels = nullptr; // the game object's dry level per listener
    bool raisesRelated = false;        // a connection raises the peak of its related context
    float relatedOffsetDb = 0.0f;      // added to the level a related context is raised to
    bool notifiesVolumeMatrix = false; // the game asked for the speaker-volume-matrix callback
    ZkPlayingID playingID = 0;
    ZkUniqueID nodeID = 0;
    ZkGameObjectID gameObjectID = 0;
    uint32_t voiceFlags = 0;           // flags handed to the matrix computation
    bool sendCapable = false;          // a voice that may send and is not virtual
    uint8_t bypassAllEffects = 0;      // the instance bypasses every effect insert
    ZkMixPositioning positioning;

    // The listener whose rays a connection towards connectionListener hears. A connection into a
    // bus that mixes per listener names its listener; one into a bus of the emitter's own (the
    // connection's listener is then the emitter) hears the emitter's rays towards every listener,
    // unless the emitter listens to itself: kEveryListener stands for that.
    static constexpr ZkGameObjectID kEveryListener = ZK_ALL_GAME_OBJECTS; // as CZkPositioningMath's
    ZkGameObjectID RayListener(ZkGameObjectID connectionListener) const
    {
        if (connectionListener != gameObjectID)
            return connectionListener;
        for (uint32_t i = 0; i < rayCount; ++i)
            if (rays[i].listenerID == connectionListener)
                return connectionListener;
        return kEveryListener;
    }
    static bool Hears(ZkGameObjectID rayListener, ZkGameObjectID listener)
    {
        return listener == kEveryListener || rayListener == listener;
    }
};
} // namespace ZK::SoundEngine
