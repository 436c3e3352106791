// The render pass and the destruction of every voice at the engine's end do not exist yet: each
// answers ZK_NotImplemented (4) and does nothing, so frames are counted and ticks run, but nothing
// is rendered. The render pass's part replaces this file.
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkAudioRenderer::RenderPass() { return ZK_NotImplemented; }

ZKRESULT CZkAudioRenderer::DestroyAllVoices() { return ZK_NotImplemented; }
} // namespace ZK::SoundEngine
