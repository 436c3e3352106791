// The renderer's voice list and job fan-out do not exist yet: there is no voice to route again
// after a graph update, and no job callback (everything runs on the engine thread). The render
// pass's part replaces this file with the real walk over its voices and the settings' callback.
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

namespace ZK::SoundEngine
{
void CZkAudioRenderer::RerouteVoices() {}

bool CZkAudioRenderer::HasJobCallback() { return false; }
} // namespace ZK::SoundEngine
