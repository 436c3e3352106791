// IZkMixerInputContext: what a mixer plug-in of a bus sees of one of the bus's inputs (a voice or
// a child bus): the input itself, its connection type, a word of its own to keep with the input,
// the input's positioning settings, its listener records and curves, and the volume matrices the
// engine computed for it.
//
// Threading: the thread rendering the bus (the engine thread or a bus job). Ownership: the engine
// owns every context; a plug-in only borrows them while the input is connected.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK
{
// The game-object services and the voice information of an input (provided by voices).
class IZkGameObjectInfo;
class IZkVoiceInfo;
} // namespace ZK

namespace ZK::SoundEngine
{
struct ZkMixPositioning;
struct ZkRay;

class IZkMixerInputContext
{
public:
    virtual ~IZkMixerInputContext() = default;
    // The first plug-in parameters attached to the input's instance that are not the mixer-input
    // marker; null when none.
    virtual ZK::IZkPluginParam* GetAttachedParams() const = 0;
    virtual ZK::IZkVoiceInfo* GetInputVoiceInterface() const = 0;
    virtual ZK::IZkGameObjectInfo* GetInput() const = 0;
    virtual uint32_t GetConnectionType() const = 0;
    virtual uint64_t GetUserData() const = 0;
    virtual void SetUserData(uint64_t data) = 0;
    virtual float GetPositioningRatio() const = 0;
    virtual uint32_t GetPannerMode() const = 0;
    // The panner position, each coordinate in [-1, 1].
    virtual void GetPannerPosition(float& x, float& y, float& z) const = 0;
    virtual bool IsPannerFlagSet() const = 0;
    virtual uint32_t GetSpatialMode() const = 0;
    // The input instance's records towards this connection's listener.
    virtual uint32_t GetListenerRecordCount() const = 0;
    // 1 with a copy of record index; 2 when there is none.
    virtual ZKRESULT GetListenerRecord(uint32_t index, ZkRay& record) const = 0;
    // The input instance's positioning curves at the record's distance, x 0.01; 0 when the record
    // is gone.
    virtual float EvaluateCurveB(uint32_t index) const = 0;
    virtual float EvaluateCurveA(uint32_t index) const = 0;
    virtual const ZkMixPositioning* ForwardToPositioning() const = 0;
    // Copies the first entry's two matrices ((output channels rounded up to 4) x input channels
    // floats each), or zero-fills both when the entry has none.
    virtual void GetVolumeMatrices(float* current, float* previous) const = 0;
    virtual uint32_t GetSpatialKind() const = 0;
};
} // namespace ZK::SoundEngine
