#include "ZkAudiolib/Common/Hierarchy/CZkLayeredContainerNode.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkGroupNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLayerPlayContext.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"

namespace ZK::SoundEngine
{
CZkLayeredContainerNode* CZkLayeredContainerNode::Create(ZkUniqueID id)
{
    return CreateIndexed<CZkLayeredContainerNode>(id);
}

CZkLayeredContainerNode::~CZkLayeredContainerNode()
{
    while (m_contexts != nullptr)
        RemoveContext(m_contexts);
    ReleaseLayers();
}

ZKRESULT CZkLayeredContainerNode::ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial)
{
    ZK::ZkByteCursor cursor(body, size);
    ZKRESULT result = ReadCommonBody(node, ZkNodeCategory_Layered, cursor, partial);
    if (result != ZK_Success)
        return result == ZK_NothingToReport ? ZK_Success : result;
    auto* container = static_cast<CZkLayeredContainerNode*>(node);
    if ((result = ReadChildList(*container, cursor)) != ZK_Success)
        return result;
    result = container->ReadLayers(cursor);
    uint8_t continuous = 0;
    if (result == ZK_Success && !cursor.Read(continuous))
        result = ZK_InvalidFile;
    if (result != ZK_Success)
    {
        // Nothing of the read stays: its children are free again and its layers gone.
        container->ReleaseLayers();
        container->UnlinkChildren();
        return result;
    }
    container->m_continuous = continuous != 0;
    return ZK_Success;
}

ZKRESULT CZkLayeredContainerNode::ReadLayers(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    // A record is 15 bytes at least.
    constexpr size_t kSmallestRecord = 15;
    if (!cursor.Read(count) || !cursor.Holds(count, kSmallestRecord))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkUniqueID id = 0;
        ZK::ZkByteCursor peek = cursor;
        if (!peek.Read(id))
            return ZK_InvalidFile;
        CZkContainerLayer* layer = CZkContainerLayer::Find(id);
        ZKRESULT result = ZK_Success;
        if (layer != nullptr)
        {
            // Loaded already (by another bank): re-owned, its record parsed and dropped.
            layer->SetOwner(this);
            result = CZkContainerLayer::SkipRecord(cursor);
        }
        else
        {
            layer = CZkContainerLayer::Create(id);
            if (layer == nullptr)
                return ZK_Fail;
            layer->SetOwner(this);
            result = layer->ReadFromBank(cursor);
        }
        if (result == ZK_Success && m_layers.AddLast(layer) == nullptr)
            result = ZK_Fail;
        if (result != ZK_Success)
        {
            layer->SetOwner(nullptr);
            layer->Release();
            return result;
        }
    }
    return ZK_Success;
}

void CZkLayeredContainerNode::ReleaseLayers()
{
    for (CZkContainerLayer* layer : m_layers)
    {
        layer->SetOwner(nullptr);
        layer->Release();
    }
    m_layers.Term();
}

void CZkLayeredContainerNode::UnlinkChildren()
{
    RemoveAllChildren();
}

ZKRESULT CZkLayeredContainerNode::AddChild(CZkHierarchyNode* child)
{
    const ZKRESULT result = CZkChildContextContainer::AddChild(child);
    if (result == ZK_Success)
    {
        for (CZkContainerLayer* layer : m_layers)
            layer->LinkChild(child);
    }
    return result;
}

void CZkLayeredContainerNode::RemoveChild(CZkHierarchyNode* child)
{
    for (CZkContainerLayer* layer : m_layers)
        layer->UnlinkChild(child);
    CZkChildContextContainer::RemoveChild(child);
}

ZKRESULT CZkLayeredContainerNode::PlayCountUp(ZkPlayCount& play)
{
    const bool wasActive = IsActive();
    const ZKRESULT result = CZkChildContextContainer::PlayCountUp(play);
    if (!wasActive && IsActive())
    {
        for (CZkContainerLayer* layer : m_layers)
            layer->Subscribe(true);
    }
    return result;
}

void CZkLayeredContainerNode::PlayCountDown(CZkGameObject* object, bool toBus)
{
    const bool wasActive = IsActive();
    // The layers go on being needed until the count is down; they stay while this runs.
    for (CZkContainerLayer* layer : m_layers)
        layer->AddRef();
    CZkChildContextContainer::PlayCountDown(object, toBus);
    const bool deactivated = wasActive && !IsActive();
    for (CZkContainerLayer* layer : m_layers)
    {
        if (deactivated)
            layer->Subscribe(false);
        layer->Release();
    }
}

ZKRESULT CZkLayeredContainerNode::PlayChildren(PlayLaunchParams& params)
{
    return m_continuous ? PlayContinuous(params) : PlayOnce(params);
}

ZKRESULT CZkLayeredContainerNode::PlayOnce(PlayLaunchParams& params)
{
    CZkPlayChain* incoming = params.playChain;
    const uint32_t count = ChildCount();
    if (incoming != nullptr && count == 1)
        return PlayChild(Child(0), params); // the one child takes the chain over
    // The chain stays counted here while the children each get their own.
    if (incoming != nullptr && AddChainRef(incoming) != ZK_Success)
        return ZK_Fail;
    ZKRESULT result = ZK_Fail;
    bool started = false;
    for (uint32_t index = 0; index < ChildCount(); ++index)
    {
        PlayLaunchParams child;
        if (!params.CopyTo(child))
        {
            result = ZK_InsufficientMemory;
            continue;
        }
        if (incoming != nullptr)
        {
            incoming->Release();
            child.playChain = NewChildChain(incoming);
            if (child.playChain == nullptr)
            {
                child.FreeArrays();
                result = ZK_InsufficientMemory;
                continue;
            }
        }
        result = PlayChild(Child(index), child);
        started = started || result == ZK_Success;
        child.FreeArrays();
    }
    if (incoming == nullptr)
        return started ? ZK_Success : result;
    if (started)
    {
        ReleaseChainRef(incoming);
        return ZK_Success;
    }
    return ContinueChain(params);
}

uint32_t CZkLayeredContainerNode::SilentLayers(ZkUniqueID childID, const ZkRTPCKey& key) const
{
    uint32_t silent = 0;
    for (CZkContainerLayer* layer : m_layers)
    {
        if (layer->IsChildSilent(childID, key))
            ++silent;
    }
    return silent;
}

ZKRESULT CZkLayeredContainerNode::PlayContinuous(PlayLaunchParams& params)
{
    ZkPlayCount activity;
    activity.gameObject = params.gameObject;
    activity.checkLimits = false;
    activity.toBus = false;
    // Without limit tests only a missing activity record refuses, and then nothing was counted.
    if (PlayCountUp(activity) != ZK_Success)
        return ZK_Fail;
    CZkContainerPlayContext::RegisterForUpdates(this);
    CZkLayerPlayContext* context = CZkLayerPlayContext::Take(*this, params);
    if (context == nullptr)
    {
        PlayCountDown(params.gameObject, false);
        CZkContainerPlayContext::UnregisterFromUpdates(this);
        return ZK_Fail;
    }
    context->next = m_contexts;
    m_contexts = context;
    CZkActiveInstances::AddPlayContext(context);
    // The play's modulators run from its start, for the children that start now or later; one
    // that cannot be had leaves the children unmodulated by it, not silent.
    context->RunLayerModulators();

    const ZkRTPCKey key = context->Key();
    ZKRESULT result = ZK_Success;
    for (uint32_t index = 0; index < ChildCount(); ++index)
    {
        const ZkUniqueID childID = Child(index)->ID();
        const uint32_t silent = SilentLayers(childID, key);
        if (!context->SetChild(childID, silent))
        {
            result = ZK_InsufficientMemory;
            continue;
        }
        if (silent != 0)
            continue;
        PlayLaunchParams child;
        if (!params.CopyTo(child))
        {
            result = ZK_InsufficientMemory;
            continue;
        }
        if (child.playChain != nullptr)
            child.playChain->Release();
        child.playChain = nullptr;
        result = PlayChild(Child(index), child);
        child.FreeArrays();
    }
    return result;
}
} // namespace ZK::SoundEngine
