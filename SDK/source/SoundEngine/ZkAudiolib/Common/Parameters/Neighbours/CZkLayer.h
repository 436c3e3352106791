// CZkLayer (declaration only): a layer of a layered container, an indexed object. Game parameters
// drive its crossfade (subscriber kinds 4 and 5, bit 60) and its associated children's parameters.
//
// Threading: audio thread, under the global engine lock. Ownership: the object index's (counted).
#pragma once

#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkRTPCOverrideFilter;

class CZkLayer : public CZkIndexedObject
{
public:
    using CZkIndexedObject::CZkIndexedObject;
    // Not built yet: the owner is never known to play.
    bool IsOwnerPlaying() const { return false; }
    // Not built yet: 4.
    ZKRESULT UpdateCrossfade(const ZkRTPCKey&, float, float, const CZkRTPCOverrideFilter*) { return ZK_NotImplemented; }
    ZKRESULT SetParamFromRTPC(uint32_t, float, float) { return ZK_NotImplemented; }
    ZKRESULT RefreshFromRTPC(bool) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
