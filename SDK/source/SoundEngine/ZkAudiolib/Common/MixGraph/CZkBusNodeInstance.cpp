#include "ZkAudiolib/Common/MixGraph/CZkBusNodeInstance.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkVoiceParams.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"

#include <new>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kAuxSends = 4;

// Head of the engine's list of bus instances with active sends.
CZkBusNodeInstance* g_activeSendsHead = nullptr;
} // namespace

CZkBusNodeInstance::CZkBusNodeInstance(CZkMixBus& owner, CZkHierarchyNode* node, CZkGameObject* object)
    : CZkNodeInstanceBase(object, node, false), m_owner(&owner)
{
}

ZKRESULT CZkBusNodeInstance::Create(CZkMixBus& owner, CZkHierarchyNode* node, CZkGameObject* object,
                                    CZkBusNodeInstance*& instance)
{
    instance = nullptr;
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkBusNodeInstance));
    if (memory == nullptr)
        return ZK_InsufficientMemory;
    auto* made = new (memory) CZkBusNodeInstance(owner, node, object);
    const ZKRESULT result = made->Subscribe();
    if (result != ZK_Success)
    {
        // The base gives back what its start took and its references.
        made->Term();
        made->~CZkBusNodeInstance();
        ZK::MemoryMgr::Free(kPool, made);
        return result;
    }
    instance = made;
    return ZK_Success;
}

void CZkBusNodeInstance::Destroy(CZkBusNodeInstance*& instance)
{
    if (instance == nullptr)
        return;
    instance->Unsubscribe();
    instance->~CZkBusNodeInstance();
    ZK::MemoryMgr::Free(kPool, instance);
    instance = nullptr;
}

ZKRESULT CZkBusNodeInstance::Subscribe()
{
    // The node's media first (its prepare step), then the parameter target, tracker and effects.
    if (Node() != nullptr && Node()->PrepareMedia() != ZK_Success)
        return ZK_Fail;
    const ZKRESULT result = Start();
    if (result != ZK_Success && Node() != nullptr)
        Node()->UnprepareMedia();
    return result;
}

void CZkBusNodeInstance::Unsubscribe()
{
    // The node's media goes back while the instance still holds the node: Term releases that
    // reference, which may be the node's last (the banks were cleared while the bus idled).
    if (Node() != nullptr)
        Node()->UnprepareMedia();
    Term();
    UnlinkActiveSend();
}

void CZkBusNodeInstance::SendsChanged() { SetSendValue(kUnsetSendValue); }

void CZkBusNodeInstance::SetParameterValue(uint32_t type, float value, float delta)
{
    if (type == kParamVolume)
    {
        m_volumeDb += delta;
        return;
    }
    if (type >= kParamAuxSend0 && type < kParamAuxSend0 + kAuxSends)
    {
        if (m_owner->AddSendLevel(type - kParamAuxSend0, delta))
            SendsChanged();
        return;
    }
    if (type == kParamProperty33)
    {
        if (m_owner->AddProperty33(delta))
            SendsChanged();
        return;
    }
    CZkNodeInstanceBase::SetParameterValue(type, value, delta);
}

void CZkBusNodeInstance::RefreshFromNode()
{
    CZkNodeInstanceBase::RefreshFromNode();
    SetSendValue(kUnsetSendValue);
    if (Node() != nullptr)
    {
        CZkGameObject* object = m_owner->Key().GameObject();
        // The bus volume in force now: the subscription brings only later changes, as deltas. Left
        // at 0 dB, a bus made while its level was silent (-4096 dB) would rise to +4096 dB, an
        // infinite gain, when the level came back.
        m_volumeDb = Node()->LevelSum(kBusVolumeProperty, object);
        // The bus pans its output by the node's positioning settings.
        const ZkPositioningValues positioning = Node()->GetPositioningValues(object);
        m_owner->View().positioning.Take(positioning, Node()->Get3DModeInfo(object), Attenuation() != nullptr);
        // A bus positioned in three dimensions collects its rays (and takes its attenuation) at
        // its next frame.
        if (positioning.has3D)
            MarkPositioningDirty();
        // The aux send levels and the property-33 value of the node for the bus's game object.
        ZkVoiceParams params;
        Node()->InitMixParams(params, object);
        bool changed = false;
        for (uint32_t send = 0; send < kAuxSends; ++send)
            changed = m_owner->AddSendLevel(send, params.userAuxLevels[send] - m_owner->SendLevel(send)) || changed;
        changed = m_owner->AddProperty33(params.property33 - m_owner->Property33()) || changed;
        if (changed)
            SendsChanged();
    }
    if (HasActiveSends() && !IsInActiveSendList())
        PushActiveSend();
}

bool CZkBusNodeInstance::IsInActiveSendList() const { return g_activeSendsHead == this || m_previous != nullptr; }

void CZkBusNodeInstance::PushActiveSend()
{
    m_previous = nullptr;
    m_next = g_activeSendsHead;
    if (g_activeSendsHead != nullptr)
        g_activeSendsHead->m_previous = this;
    g_activeSendsHead = this;
}

void CZkBusNodeInstance::UnlinkActiveSend()
{
    if (!IsInActiveSendList())
        return;
    (m_previous != nullptr ? m_previous->m_next : g_activeSendsHead) = m_next;
    if (m_next != nullptr)
        m_next->m_previous = m_previous;
    m_previous = nullptr;
    m_next = nullptr;
}

CZkBusNodeInstance* CZkBusNodeInstance::FirstWithActiveSends() { return g_activeSendsHead; }

void CZkBusNodeInstance::UpdateActiveSends()
{
    CZkBusNodeInstance* next = nullptr;
    for (CZkBusNodeInstance* instance = g_activeSendsHead; instance != nullptr; instance = next)
    {
        next = instance->m_next;
        instance->m_owner->BuildSends();
        if (instance->m_owner->Sends().IsEmpty())
            instance->UnlinkActiveSend();
    }
}
} // namespace ZK::SoundEngine
