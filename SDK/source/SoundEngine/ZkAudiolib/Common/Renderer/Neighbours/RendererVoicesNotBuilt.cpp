// The renderer's voice list does not exist yet: there is no voice to route again after a graph
// update. The render pass's part replaces this file with the real walk over its voices.
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

namespace ZK::SoundEngine
{
void CZkAudioRenderer::RerouteVoices() {}
} // namespace ZK::SoundEngine
