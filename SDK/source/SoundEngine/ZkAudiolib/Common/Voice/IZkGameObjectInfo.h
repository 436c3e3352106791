// IZkGameObjectInfo: the game-object services a voice offers the plug-ins that run on it (its
// primary interface): the game object and its emitter positions towards the listeners (rays), the
// instance's own positions and positioning settings, the listeners of the game object, the voice's
// information, and two services of its source (what it is playing, and the move of its data).
//
// Threading: the thread rendering the voice. Ownership: the voice's; plug-ins only borrow it.
#pragma once

#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK
{
class IZkVoiceInfo;

// What a source is playing (position and rate of the block being delivered), with the frames the
// resampling stage holds and has not converted yet.
struct ZkSourceInfo
{
    uint32_t positionSamples = 0xFFFFFFFFu;
    float rate = 1.0f;
    uint32_t durationSamples = 0xFFFFFFFFu;
    uint32_t sampleRate = 1;
    uint32_t pendingFrames = 0;
};

class IZkGameObjectInfo
{
public:
    virtual ZkGameObjectID GetGameObjectID() const = 0;
    // Emitter positions x listeners.
    virtual uint32_t GetRayCount() const = 0;
    // 1 with a copy of the ray; 2 out of range.
    virtual ZKRESULT GetEmitterPosition(uint32_t index, ZK::SoundEngine::ZkRay& ray) const = 0;
    virtual uint32_t GetPositionCount() const = 0;
    // 1 with a copy of the instance's position; 2 out of range.
    virtual ZKRESULT GetPositionRecord(uint32_t index, ZkChannelEmitter& position) const = 0;
    // The 3-bit positioning type of the instance.
    virtual uint32_t GetPositioningType() const = 0;
    virtual float GetSpread() const = 0;
    // The ids of the game object's listeners: count in, count out (null ids: only counted); false
    // when they did not all fit.
    virtual bool GetListeners(ZkGameObjectID* ids, uint32_t& count) const = 0;
    // 1 with the listener's position and orientation; 2 when it is not one of the object's.
    virtual ZKRESULT GetListenerData(ZkGameObjectID listener, ZkTransform& transform) const = 0;
    virtual IZkVoiceInfo* GetVoiceInfo() = 0;
    // What the voice's main source is playing (2 without one).
    virtual ZKRESULT GetSourceInfo(ZkSourceInfo& info) const = 0;
    // The source moved its data from oldBase to newBase: the frames held by the resampling stage
    // follow.
    virtual void RelocateSourceData(const uint8_t* newBase, const uint8_t* oldBase) = 0;

protected:
    virtual ~IZkGameObjectInfo() = default;
};
} // namespace ZK
