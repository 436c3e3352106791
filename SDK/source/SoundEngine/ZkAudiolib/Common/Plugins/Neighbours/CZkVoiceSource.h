// CZkVoiceSource (declaration only): the base of the voice pipeline's sources, which codec creators
// make. The plug-in registry only destroys them (their first virtual operation, then pool 5).
//
// Threading: a source is used by the thread rendering its voice. Ownership: memory pool 5.
#pragma once

namespace ZK::SoundEngine
{
class CZkVoiceSource
{
public:
    virtual ~CZkVoiceSource() = default;
};
} // namespace ZK::SoundEngine
