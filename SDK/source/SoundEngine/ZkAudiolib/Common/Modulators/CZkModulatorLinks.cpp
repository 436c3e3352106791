#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"

#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTargets.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"
#include "ZkAudiolib/Common/Parameters/ZkRTPCTypes.h"

#include <new>

namespace ZK::SoundEngine
{
CZkModulatorLinks* CZkModulatorLinks::Create()
{
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkModulatorLinks));
    if (memory == nullptr)
        return nullptr;
    auto* links = new (memory) CZkModulatorLinks();
    // Without the block the links still work: their nodes are then allocated one by one.
    void* block = ZK::MemoryMgr::Malloc(kPool, sizeof(LinkNode) * kBlockNodes);
    if (block != nullptr)
    {
        links->m_block = static_cast<LinkNode*>(block);
        links->m_blockNodes = kBlockNodes;
        for (uint32_t index = kBlockNodes; index-- > 0;)
        {
            LinkNode* node = new (links->m_block + index) LinkNode{links->m_free, nullptr, {}};
            links->m_free = node;
        }
    }
    return links;
}

void CZkModulatorLinks::Release()
{
    if (--m_refCount > 0)
        return;
    Destroy();
    this->~CZkModulatorLinks();
    ZK::MemoryMgr::Free(kPool, this);
}

bool CZkModulatorLinks::IsBlockNode(const LinkNode* node) const
{
    return m_block != nullptr && node >= m_block && node < m_block + m_blockNodes;
}

CZkModulatorLinks::LinkNode* CZkModulatorLinks::TakeNode()
{
    if (m_free != nullptr)
    {
        LinkNode* node = m_free;
        m_free = node->next;
        node->next = nullptr;
        return node;
    }
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(LinkNode));
    return memory != nullptr ? new (memory) LinkNode{nullptr, nullptr, {}} : nullptr;
}

ZKRESULT CZkModulatorLinks::AddInstance(CZkModulatorInstance* instance, const ZkModulatorTrigger& trigger,
                                        const ZkModulatorTargetKey& key)
{
    LinkNode* node = m_head;
    while (node != nullptr && node->instance != instance)
        node = node->next;
    if (node == nullptr)
    {
        node = TakeNode();
        if (node == nullptr)
            return ZK_Fail;
        node->instance = instance;
        instance->AddRef();
        instance->AddUser();
        for (uint32_t depth = 0; depth < m_pauseDepth; ++depth)
            instance->AddPausedUser();
        if (m_pauseDepth != 0 && instance->IsHeld())
            instance->HoldPendingValue();
        if (m_tail != nullptr)
            m_tail->next = node;
        else
            m_head = node;
        m_tail = node;
        ++m_linkCount;
    }

    // The target's parameters that the instance drives through links.
    if (key.target != nullptr && key.kind == ZkRTPCSubscriberKind_TargetList && instance->Modulator() != nullptr)
    {
        const auto* list = static_cast<const CZkParamTargetList*>(key.target);
        if (auto* owner = static_cast<CZkHierarchyNode*>(list->OwnerNode()))
            owner->NotifyParamChange(node->entries, instance->Modulator()->ID(), trigger.gameObject);
    }
    else if (key.target != nullptr && instance->Modulator() != nullptr &&
             (key.kind == ZkRTPCSubscriberKind_LayerA || key.kind == ZkRTPCSubscriberKind_LayerCrossfade))
    {
        static_cast<const CZkContainerLayer*>(key.target)->CollectModulatorTargets(node->entries,
                                                                                   instance->Modulator()->ID());
    }
    return ZK_Success;
}

void CZkModulatorLinks::Destroy()
{
    for (LinkNode* node = m_head; node != nullptr;)
    {
        LinkNode* next = node->next;
        CZkModulatorInstance* instance = node->instance;
        for (uint32_t depth = 0; depth < m_pauseDepth; ++depth)
            instance->RemovePausedUser();
        instance->RemoveUser();
        instance->Release();
        node->entries.Term();
        node->instance = nullptr;
        if (IsBlockNode(node))
        {
            node->next = m_free;
            m_free = node;
        }
        else
        {
            node->~LinkNode();
            ZK::MemoryMgr::Free(kPool, node);
        }
        node = next;
    }
    m_head = nullptr;
    m_tail = nullptr;
    m_linkCount = 0;
    m_free = nullptr;
    if (m_block != nullptr)
        ZK::MemoryMgr::Free(kPool, m_block);
    m_block = nullptr;
    m_blockNodes = 0;
    m_pauseDepth = 0;
}

void CZkModulatorLinks::ResetEntries()
{
    for (LinkNode* node = m_head; node != nullptr; node = node->next)
        node->entries.RemoveAll();
}

void CZkModulatorLinks::ReleaseAll(int64_t frames)
{
    for (LinkNode* node = m_head; node != nullptr; node = node->next)
        node->instance->ScheduleRelease(frames);
}

void CZkModulatorLinks::ForgetVoices()
{
    for (LinkNode* node = m_head; node != nullptr; node = node->next)
        node->instance->ForgetVoices();
}

ZKRESULT ZkModulatorLinksHandle::EnsureLinks()
{
    if (links == nullptr)
        links = CZkModulatorLinks::Create();
    return links != nullptr ? ZK_Success : ZK_Fail;
}

void ZkModulatorLinksHandle::Release()
{
    if (links == nullptr)
        return;
    links->ForgetVoices();
    CZkModulatorLinks* held = links;
    links = nullptr;
    held->Release();
}
} // namespace ZK::SoundEngine
