// CZkSrcFileCodec (declaration only): the file source that decodes the built-in PCM codec. The
// plug-in registry registers its two creators as the built-in codec (company 0, codec 1).
//
// Threading: as CZkVoiceSource. Ownership: memory pool 5.
#pragma once

namespace ZK::SoundEngine
{
class CZkSrcFileCodec
{
public:
    // Not built yet: no source is created (null).
    static void* CreateFileSource(void*) { return nullptr; }
    static void* CreateBankSource(void*) { return nullptr; }
};
} // namespace ZK::SoundEngine
