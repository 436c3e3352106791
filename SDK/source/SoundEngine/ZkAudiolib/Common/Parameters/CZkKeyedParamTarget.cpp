#include "ZkAudiolib/Common/Parameters/CZkKeyedParamTarget.h"

#include "ZkAudiolib/Common/Parameters/CZkParamTargetRegistry.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

namespace ZK::SoundEngine
{
CZkKeyedParamTarget::~CZkKeyedParamTarget() { Unregister(kAllParamBits, true); }

void CZkKeyedParamTarget::SetParamValue(ZkUniqueID ownerID, uint32_t bit, float value, float delta)
{
    uint32_t effectiveBit = bit;
    if (bit == kInheritedBitSource && m_registeredNode != nullptr && m_registeredNode->ID() != ownerID)
        effectiveBit = kInheritedBitReplacement;
    OnParamValue(effectiveBit, bit, ownerID, value, delta);
}

void CZkKeyedParamTarget::RegisterWithNode(CZkHierarchyNode* node, uint64_t mask, bool flag)
{
    if (node == nullptr)
        return;
    node->GetInheritedProperties(this, mask, flag);
    Register(node);
}

void CZkKeyedParamTarget::Register(CZkHierarchyNode* node)
{
    if (node == nullptr || m_registeredNode != nullptr)
        return;
    // Out of memory for the registry entry: the target silently stays unregistered.
    if (CZkParamTargetRegistry::Instance().Add(node, this))
        m_registeredNode = node;
}

void CZkKeyedParamTarget::Unregister(uint64_t mask, bool flag)
{
    if (m_registeredNode == nullptr)
        return;
    CZkHierarchyNode* node = m_registeredNode;
    CZkParamTargetRegistry::Instance().Remove(node, this);
    node->ClearInheritedSubscriptions(this, mask, flag);
    m_registeredNode = nullptr;
}

void CZkKeyedParamTarget::Refresh()
{
    uint64_t mask = 0;
    GetParamMask(mask);
    const bool flag = GetMaskFlag();
    if (m_registeredNode != nullptr)
        m_registeredNode->GetInheritedProperties(this, mask, flag);
}
} // namespace ZK::SoundEngine
