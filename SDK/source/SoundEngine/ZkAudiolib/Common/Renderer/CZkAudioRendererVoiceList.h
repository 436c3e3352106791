// The renderer's voice state: the voice list (the array the voice job reads; ordered by the main
// source's key, front first) and the pending list of voices whose source is still being prepared
// (linked through the voice's pending link).
//
// Threading: engine thread, under the global engine lock; a voice job only reads the array.
// Ownership: the array (memory pool 5); both lists own their voices.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::SoundEngine
{
struct ZkRendererVoiceList
{
    ZK::ZkArray<CZkVoice*, ZkMemID_Processing> voices;
    CZkVoice* pendingHead = nullptr;
    CZkVoice* pendingTail = nullptr;
};

ZkRendererVoiceList& RendererVoices();
// The instance forgets the voice, which is destroyed.
void DestroyVoice(CZkVoice* voice);
} // namespace ZK::SoundEngine
