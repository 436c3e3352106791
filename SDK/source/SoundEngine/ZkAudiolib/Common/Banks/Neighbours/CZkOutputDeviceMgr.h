// CZkOutputDeviceMgr (declaration only): the output devices. The bank parser asks for the main
// device for its top-level bus rule.
//
// Threading: under the global engine lock. Ownership: the engine's.
#pragma once

#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"

namespace ZK::SoundEngine
{
class CZkOutputDeviceMgr
{
public:
    // Not built yet: there is no device (null).
    static CZkOutputDevice* GetMainDevice() { return nullptr; }
};
} // namespace ZK::SoundEngine
