// The renderer's mix-bus instances that the bus nodes tell of their changes, and the auxiliary
// sends of mix contexts, do not exist yet: each of these answers ZK_NotImplemented (4) and reaches
// nobody. The mix graph's own part replaces this file with the real operations.
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkAudioRenderer::MarkBusInstancesDirty(ZkUniqueID, uint32_t) { return ZK_NotImplemented; }

ZKRESULT CZkAudioRenderer::NotifyBusInstances(ZkUniqueID) { return ZK_NotImplemented; }

ZKRESULT CZkAudioRenderer::ForwardBusNotification(ZkUniqueID, uint32_t, uint32_t) { return ZK_NotImplemented; }

ZKRESULT CZkAudioRenderer::PropagateBusPropertyChange(ZkUniqueID, uint32_t, float, float) { return ZK_NotImplemented; }

ZKRESULT CZkAudioRenderer::SetBusInstanceValue(ZkUniqueID, float, uint32_t) { return ZK_NotImplemented; }

ZKRESULT CZkAudioRenderer::SetBusVolumeCallbackFlag(ZkUniqueID, bool) { return ZK_NotImplemented; }

ZKRESULT CZkAudioRenderer::SetBusMeteringFlags(ZkUniqueID, uint32_t) { return ZK_NotImplemented; }

ZKRESULT CZkAudioRenderer::ConnectSend(CZkHierarchyNode*, const ZkSendRecord&, CZkMixContext*) { return ZK_NotImplemented; }
} // namespace ZK::SoundEngine
