// IZkVoiceInfo: what an effect or mixer plug-in may ask about the voice it runs on: the playing id
// of its play, its priority and its current pitch ratio. A voice offers it (its second interface);
// plug-ins reach it through their context or through a mix connection.
//
// Threading: the thread rendering the voice. Ownership: the voice's; plug-ins only borrow it.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK
{
class IZkVoiceInfo
{
public:
    virtual ZkPlayingID GetPlayingID() const = 0;
    // 0 to 100, truncated to an integer.
    virtual uint32_t GetPriority() const = 0;
    virtual float GetPitchRatio() const = 0;

protected:
    virtual ~IZkVoiceInfo() = default;
};
} // namespace ZK
