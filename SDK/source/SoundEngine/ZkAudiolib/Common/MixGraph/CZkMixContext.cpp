// CZkMixContext: the connections of the mix graph (made, removed, counted) and the send list.
#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Positioning/ZkRay.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <new>

namespace ZK::SoundEngine
{
namespace
{
// A speaker configuration of two channels or more must be one the destination's device can lay
// out without its LFE, or at least without LFE and centre.
bool DeviceSupports(CZkOutputDevice* device, ZkChannelConfig config)
{
    if (device == nullptr || config.Type() != ZkChannelConfigType_Standard || config.NumChannels() < 2)
        return true;
    if (device->GetSpeakerLayout(config) != nullptr)
        return true;
    if (!config.HasCenter())
        return false;
    const uint32_t reduced = config.Mask() & ~(ZK_SPEAKER_LOW_FREQUENCY | ZK_SPEAKER_FRONT_CENTER);
    return device->GetSpeakerLayout(ZkChannelConfig::FromMask(reduced)) != nullptr;
}
} // namespace

CZkMixContext::~CZkMixContext()
{
    while (m_outputs != nullptr)
        RemoveConnection(m_outputs);
    while (m_inputsHead != nullptr)
        m_inputsHead->GetInputContext().RemoveConnection(m_inputsHead);
    m_sends.Term();
    m_scratch.Term();
}

CZkMixerInputContext* CZkMixContext::ConnectTo(CZkMixBus& destination, uint32_t type)
{
    // A voice's connection relates to the context that the destination's own dry path for the
    // same listener feeds.
    const ZkGameObjectID busListener = destination.GetKeyGameObjectID();
    const ZkGameObjectID listener = busListener != ZK_ALL_GAME_OBJECTS ? busListener : m_view.gameObjectID;
    CZkMixContext* related = nullptr;
    if (!IsBus())
        for (CZkMixerInputContext* c = destination.FirstOutput(); c != nullptr; c = c->nextOutput)
            if (c->connectionType == kConnectionDirect && c->listenerID == listener)
            {
                related = c->GetOutputBus();
                break;
            }

    void* memory = ZK::MemoryMgr::Malign(CZkMixerInputContext::kPool, sizeof(CZkMixerInputContext),
                                         CZkMixerInputContext::kAlignment);
    if (memory == nullptr)
        return nullptr;
    auto* connection = new (memory) CZkMixerInputContext(*this, destination, related, type, m_view.sendCapable);
    connection->AddEntry(0, 0);
    destination.RegisterInput(connection);
    connection->nextOutput = m_outputs;
    m_outputs = connection;
    destination.LinkInput(connection);

    if (!DeviceSupports(destination.GetOutputDevice(), GetOutputConfig()))
    {
        RemoveConnection(connection);
        return nullptr;
    }
    return connection;
}

void CZkMixContext::RemoveConnection(CZkMixerInputContext* connection)
{
    for (CZkMixerInputContext** link = &m_outputs; *link != nullptr; link = &(*link)->nextOutput)
        if (*link == connection)
        {
            *link = connection->nextOutput;
            break;
        }
    CZkMixBus* destination = connection->GetOutputBus();
    destination->UnlinkInput(connection);
    destination->UnregisterInput(connection);
    connection->~CZkMixerInputContext();
    ZK::MemoryMgr::Free(CZkMixerInputContext::kPool, connection);
    if ((m_flags & kFlagGraphOnRemove) != 0)
        CZkAudioRenderer::SetGraphDirty(0);
}

void CZkMixContext::LinkInput(CZkMixerInputContext* connection)
{
    connection->nextInput = nullptr;
    (m_inputsTail != nullptr ? m_inputsTail->nextInput : m_inputsHead) = connection;
    m_inputsTail = connection;
}

void CZkMixContext::UnlinkInput(CZkMixerInputContext* connection)
{
    CZkMixerInputContext* previous = nullptr;
    for (CZkMixerInputContext* c = m_inputsHead; c != nullptr; previous = c, c = c->nextInput)
    {
        if (c != connection)
            continue;
        (previous != nullptr ? previous->nextInput : m_inputsHead) = c->nextInput;
        if (m_inputsTail == c)
            m_inputsTail = previous;
        return;
    }
}

uint32_t CZkMixContext::CountConnectionsOfType(uint32_t type) const
{
    uint32_t count = 0;
    for (const CZkMixerInputContext* c = m_outputs; c != nullptr; c = c->nextOutput)
        count += c->connectionType == type ? 1u : 0u;
    return count;
}

void CZkMixContext::ClearConnectionBuffers()
{
    for (CZkMixerInputContext* c = m_outputs; c != nullptr; c = c->nextOutput)
        for (uint32_t i = 0; i < c->EntryCount(); ++i)
            c->Entry(i).buffer = nullptr;
}

void CZkMixContext::BuildSends()
{
    m_sends.RemoveAll();
    CollectSends(m_sends);
    if (g_pObjectIndex == nullptr)
        return;
    for (const ZkSendRecord& record : m_sends)
    {
        auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(record.auxBusID, true));
        if (node == nullptr)
            continue;
        if (node->NeedsProcessing())
            CZkAudioRenderer::ConnectSend(node, record, this);
        node->Release();
    }
}

uint32_t CZkMixContext::CountListenerRecords(ZkGameObjectID listenerID) const
{
    const ZkGameObjectID heard = m_view.RayListener(listenerID);
    uint32_t count = 0;
    for (uint32_t i = 0; i < m_view.rayCount; ++i)
        count += ZkMixInstanceView::Hears(m_view.rays[i].listenerID, heard) ? 1u : 0u;
    return count;
}

ZKRESULT CZkMixContext::GetListenerRecord(ZkGameObjectID listenerID, uint32_t index, ZkRay& record) const
{
    const ZkGameObjectID heard = m_view.RayListener(listenerID);
    for (uint32_t i = 0; i < m_view.rayCount; ++i)
    {
        if (!ZkMixInstanceView::Hears(m_view.rays[i].listenerID, heard))
            continue;
        if (index-- == 0)
        {
            record = m_view.rays[i];
            return ZK_Success;
        }
    }
    return ZK_Fail;
}
} // namespace ZK::SoundEngine
