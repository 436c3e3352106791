#include "ZkAudiolib/Common/Midi/CZkMidiTarget.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

namespace ZK::SoundEngine
{
CZkMidiTarget::CZkMidiTarget(CZkRegisteredObj* gameObject, ZkUniqueID nodeID, ZkPlayingID playingID)
    : m_gameObject(gameObject), m_playingID(playingID), m_nodeID(nodeID), m_noGameObject(gameObject == nullptr)
{
    if (m_gameObject != nullptr)
        m_gameObject->AddRef();
}

CZkMidiTarget::~CZkMidiTarget()
{
    if (m_holdsPlayingID && g_pPlayingMgr != nullptr)
        g_pPlayingMgr->RemovePlayingIDRef(m_playingID);
    if (m_node != nullptr)
        m_node->Release();
    if (m_bus != nullptr)
        m_bus->Release();
    if (m_gameObject != nullptr)
        m_gameObject->Release();
}

ZKRESULT CZkMidiTarget::Init()
{
    if (!FindNode())
        return ZK_Fail;
    // The playing id stays alive (its end-of-event waits) while the target may still play on it.
    if (m_playingID != 0 && g_pPlayingMgr != nullptr)
    {
        g_pPlayingMgr->AddPlayingIDRef(m_playingID);
        m_holdsPlayingID = true;
    }
    return ZK_Success;
}

bool CZkMidiTarget::FindNode()
{
    if (g_pObjectIndex == nullptr)
        return false;
    CZkIndexedObject* found = g_pObjectIndex->GetNodePtrAndAddRef(m_nodeID, m_nodeIsBus);
    if (m_nodeIsBus)
    {
        m_bus = dynamic_cast<CZkHierarchyNode*>(found);
        if (m_bus == nullptr && found != nullptr)
            found->Release();
        return m_bus != nullptr;
    }
    m_node = dynamic_cast<CZkPlayableNode*>(found);
    if (m_node == nullptr && found != nullptr)
        found->Release();
    return m_node != nullptr;
}

void CZkMidiTarget::MarkStopped()
{
    if (m_stopped)
        return;
    m_stopped = true;
    if (m_holdsPlayingID && g_pPlayingMgr != nullptr)
        g_pPlayingMgr->RemovePlayingIDRef(m_playingID);
    m_holdsPlayingID = false;
}

void CZkMidiTarget::Release()
{
    if (--m_refCount == 0)
        Free();
}
} // namespace ZK::SoundEngine
