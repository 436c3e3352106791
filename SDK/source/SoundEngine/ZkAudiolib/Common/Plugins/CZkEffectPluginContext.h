// CZkEffectPluginContext: the host context of an effect plug-in in a voice's effect slot (every
// service is the base's); the effect's own custom data does not exist (null, 0), and the voice's
// information interface is reachable through it.
//
// Threading: the thread rendering the voice. Ownership: embedded in its effect stage, which binds
// it to the voice and slot when the effect starts; the media references are the context's.
#pragma once

#include "ZkAudiolib/Common/Plugins/CZkPluginContextBase.h"

namespace ZK
{
class IZkVoiceInfo;
} // namespace ZK

namespace ZK::SoundEngine
{
class CZkEffectPluginContext final : public CZkPluginContextBase
{
public:
    uint32_t GetCustomData(const void*& data, uint32_t& size) override;
    // The voice-information interface of the owning voice (null for a bus).
    ZK::IZkVoiceInfo* GetVoiceInterface() const;
};
} // namespace ZK::SoundEngine
