#include "MusicEngine/CZkMusicNode.h"

#include "MusicEngine/Contexts/MusicNodePlays.h"

#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamedMediaRequest.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstring>

namespace ZK::MusicEngine
{
using namespace SoundEngine;

CZkMusicNode::CZkMusicNode(ZkUniqueID id) : CZkPlayableNode(id) { SetBusFlag(false); }

CZkMusicNode::~CZkMusicNode()
{
    FreeChildren();
    m_stingers.Term();
}

bool CZkMusicNode::IsMusicNode(const CZkHierarchyNode* node)
{
    const ZkNodeCategory category = node->Category();
    return category == kCategoryMusicSegment || category == kCategoryMusicPlaylist || category == kCategoryMusicSwitch;
}

void CZkMusicNode::FreeChildren()
{
    if (m_children != &m_inlineChild)
        ZK::MemoryMgr::Free(kArrayPool, m_children);
    m_children = &m_inlineChild;
    m_childCapacity = 1;
    m_childCount = 0;
}

ZKRESULT CZkMusicNode::ReserveChildren(uint32_t count)
{
    if (count <= m_childCapacity)
        return ZK_Success;
    auto* grown = static_cast<CZkHierarchyNode**>(ZK::MemoryMgr::Malloc(kArrayPool, sizeof(CZkHierarchyNode*) * count));
    if (grown == nullptr)
        return ZK_InsufficientMemory;
    if (m_childCount > 0)
        std::memcpy(grown, m_children, sizeof(CZkHierarchyNode*) * m_childCount);
    if (m_children != &m_inlineChild)
        ZK::MemoryMgr::Free(kArrayPool, m_children);
    m_children = grown;
    m_childCapacity = count;
    return ZK_Success;
}

ZKRESULT CZkMusicNode::CanAddChild(const CZkHierarchyNode* child) const
{
    if (m_childCount >= kMaxChildren)
        return ZK_EffectInOtherSlot; // 9: the child list is full
    if (!AcceptsChild(child->Category()))
        return ZK_NotImplemented;
    if (child == this)
        return ZK_BusWouldBeOwnChild;
    if (child->Parent() != nullptr)
        return child->Parent() == this ? ZK_AlreadyAChild : ZK_ChildRoutedElsewhere;
    for (uint32_t index = 0; index < m_childCount; ++index)
    {
        if (m_children[index] == child)
            return ZK_AlreadyAChild;
    }
    // An ancestor as a child would close a cycle of parents.
    if (HasAncestor(child))
        return ZK_BusWouldBeOwnChild;
    return ZK_Success;
}

ZKRESULT CZkMusicNode::AddChild(CZkHierarchyNode* child)
{
    const ZKRESULT valid = CanAddChild(child);
    if (valid != ZK_Success)
        return valid;
    if (m_childCount == m_childCapacity)
    {
        const uint64_t grown = uint64_t{m_childCapacity} + m_childCapacity / 2 + 1;
        if (ReserveChildren(static_cast<uint32_t>(grown < kMaxChildren ? grown : kMaxChildren)) != ZK_Success)
            return ZK_InsufficientMemory;
    }
    m_children[m_childCount++] = child;
    child->SetParent(this);
    return ZK_Success;
}

ZKRESULT CZkMusicNode::AddChildByID(ZkUniqueID id)
{
    if (id == 0)
        return ZK_InvalidShareSetID; // 14: a child id of 0
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    auto* child = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(id, false));
    if (child == nullptr)
        return ZK_InvalidID;
    const ZKRESULT result = AddChild(child);
    child->Release();
    return result;
}

void CZkMusicNode::RemoveChild(CZkHierarchyNode* child)
{
    for (uint32_t index = 0; index < m_childCount; ++index)
    {
        if (m_children[index] != child)
            continue;
        std::memmove(m_children + index, m_children + index + 1, sizeof(CZkHierarchyNode*) * (m_childCount - index - 1));
        --m_childCount;
        return;
    }
}

void CZkMusicNode::UnlinkChildren()
{
    while (m_childCount > 0)
    {
        CZkHierarchyNode* child = m_children[--m_childCount];
        // The child's link holds a reference on this node; this node holds one on itself
        // meanwhile, so dropping the link cannot destroy it here.
        AddRef();
        child->SetParent(nullptr);
        Release();
    }
    FreeChildren();
}

ZKRESULT CZkMusicNode::ExecuteAction(const ZkActionParams& params)
{
    AddRef(); // the node stays while its children take the action
    if (params.code == SoundEngine::ZkActionCode_Seek)
    {
        // Segments and switch containers seek their plays (a segment keeps the fraction in 0..1);
        // playlists leave seeks to their children.
        if (Category() == kCategoryMusicSegment || Category() == kCategoryMusicSwitch)
            SeekPlays(*this, params, Category() == kCategoryMusicSegment);
    }
    else
    {
        ApplyActionToPlays(*this, params);
    }
    FollowStateTransitions(params);
    const bool withExceptions = params.exceptionCount > 0;
    if (withExceptions || PlayCount() > 0)
    {
        ForEachChildReversed(
            [&](CZkHierarchyNode& child)
            {
                if (params.throughBuses && child.OutputBus() != nullptr)
                    return;
                if (withExceptions && child.IsExcepted(params))
                    return;
                child.ExecuteAction(params);
            });
    }
    Release();
    return ZK_Success;
}

ZKRESULT CZkMusicNode::PrepareStingerSegments()
{
    for (uint32_t index = 0; index < m_stingers.Length(); ++index)
    {
        const ZkUniqueID segment = m_stingers[index].segmentID;
        if (segment == 0)
            continue;
        const ZKRESULT result = PrepareByID(segment);
        if (result != ZK_Success)
        {
            UnprepareStingerSegments(index);
            return result;
        }
    }
    return ZK_Success;
}

void CZkMusicNode::UnprepareStingerSegments(uint32_t count)
{
    for (uint32_t index = 0; index < count && index < m_stingers.Length(); ++index)
    {
        if (m_stingers[index].segmentID != 0)
            UnprepareByID(m_stingers[index].segmentID);
    }
}

ZKRESULT CZkMusicNode::PrepareOwnSegments()
{
    ZKRESULT result = PrepareStingerSegments();
    if (result != ZK_Success)
        return result;
    result = PrepareTransitionSegments();
    if (result != ZK_Success)
        UnprepareStingerSegments(m_stingers.Length());
    return result;
}

void CZkMusicNode::UnprepareOwnSegments()
{
    UnprepareTransitionSegments();
    UnprepareStingerSegments(m_stingers.Length());
}

ZKRESULT CZkMusicNode::PrepareMedia()
{
    ZKRESULT result = PrepareOwnSegments();
    if (result != ZK_Success)
        return result;
    for (uint32_t index = 0; index < m_childCount; ++index)
    {
        result = m_children[index]->PrepareMedia();
        if (result != ZK_Success)
        {
            while (index-- > 0)
                UnprepareHeld(*m_children[index]);
            UnprepareOwnSegments();
            return result;
        }
    }
    return ZK_Success;
}

void CZkMusicNode::UnprepareMedia()
{
    for (uint32_t index = 0; index < m_childCount;)
    {
        if (UnprepareHeld(*m_children[index]))
            ++index;
    }
    UnprepareOwnSegments();
}

void CZkMusicNode::CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const
{
    for (uint32_t index = 0; index < m_childCount; ++index)
        m_children[index]->CollectStreamedMedia(request, active);
}

ZKRESULT CZkMusicNode::SetFloatProperty(uint32_t id, float value)
{
    if (id == kPropPlaybackSpeed && GetFloatProperty(id) != value)
    {
        const ZKRESULT stored = StoreProperty(id, ZkPropertyValue::FromFloat(value));
        if (stored != ZK_Success)
            return stored;
        MusicEngineState::Get().RequestSpeedRefresh(0);
    }
    return CZkPlayableNode::SetFloatProperty(id, value);
}

void CZkMusicNode::ReceiveParamValue(uint32_t bit, const ZkRTPCKey& key, float value, float delta,
                                     const CZkRTPCOverrideFilter* filter)
{
    if (bit == kParamPlaybackSpeed)
    {
        MusicEngineState::Get().RequestSpeedRefresh(0);
        return;
    }
    ParamTargets().SetParamValue(bit, key, value, delta, filter);
}

void CZkMusicNode::NotifyParam(uint32_t parameter)
{
    if (parameter == kParamPlaybackSpeed)
        MusicEngineState::Get().RequestSpeedRefresh(0);
}

void CZkMusicNode::NotifyParamMask(uint64_t mask, uint8_t value)
{
    if ((mask & (1ull << kParamPlaybackSpeed)) != 0)
        MusicEngineState::Get().RequestSpeedRefresh(value);
    constexpr uint64_t kOwnBits = 0x1ull | 0x4ull | 0x8ull;
    if ((mask & ~kOwnBits) == 0)
        return;
    for (uint32_t index = 0; index < m_childCount; ++index)
    {
        if (m_children[index]->PlayCount() > 0 && IsMusicNode(m_children[index]))
            static_cast<CZkMusicNode*>(m_children[index])->NotifyParamMask(mask, value);
    }
}

void CZkMusicNode::NotifyParamWithValue(uint32_t parameter, uint8_t value)
{
    if (parameter == kParamPlaybackSpeed)
    {
        MusicEngineState::Get().RequestSpeedRefresh(value);
        return;
    }
    for (uint32_t index = 0; index < m_childCount; ++index)
    {
        if (m_children[index]->PlayCount() > 0 && IsMusicNode(m_children[index]))
            static_cast<CZkMusicNode*>(m_children[index])->NotifyParamWithValue(parameter, value);
    }
}

float CZkMusicNode::OwnSpeedFactor(const ZkRTPCKey& key) const
{
    float factor = GetFloatProperty(kPropPlaybackSpeed);
    if ((StateDrivenMask() & (1ull << kParamPlaybackSpeed)) != 0)
        factor *= StateValue(kParamPlaybackSpeed);
    if ((ParamTargets().UsedBits() & (1ull << kParamPlaybackSpeed)) != 0 && g_pRTPCMgr != nullptr)
        factor *= g_pRTPCMgr->GetModulatorValue(&ParamTargets(), kParamPlaybackSpeed, key);
    return factor;
}

float CZkMusicNode::EffectivePlaybackSpeed(float value, const ZkRTPCKey& key) const
{
    for (const CZkHierarchyNode* node = this; node != nullptr && IsMusicNode(node); node = node->Parent())
        value *= static_cast<const CZkMusicNode*>(node)->OwnSpeedFactor(key);
    return value;
}

const ZkMusicGrid& CZkMusicNode::EffectiveGrid() const
{
    static const ZkMusicGrid kNoGrid{};
    for (const CZkHierarchyNode* node = this; node != nullptr && IsMusicNode(node); node = node->Parent())
    {
        const auto* music = static_cast<const CZkMusicNode*>(node);
        if ((music->m_musicFlags & kFlagOwnGrid) != 0)
            return music->m_grid;
    }
    return kNoGrid;
}

ZKRESULT CZkMusicNode::EffectiveStingers(ZK::ZkArray<ZkMusicStinger>& out) const
{
    out.RemoveAll();
    // The chain from this node up; walked from the top down without a list of its own.
    uint32_t depth = 0;
    for (const CZkHierarchyNode* node = this; node != nullptr && IsMusicNode(node); node = node->Parent())
        ++depth;
    while (depth-- > 0)
    {
        const CZkHierarchyNode* level = this;
        for (uint32_t up = 0; up < depth; ++up)
            level = level->Parent();
        for (const ZkMusicStinger& stinger : static_cast<const CZkMusicNode*>(level)->m_stingers)
        {
            for (uint32_t index = 0; index < out.Length(); ++index)
            {
                if (out[index].triggerID == stinger.triggerID)
                {
                    out.EraseSwap(index);
                    break;
                }
            }
            if (out.AddLast(stinger) == nullptr)
                return ZK_Fail;
        }
    }
    return ZK_Success;
}

void CZkMusicNode::MidiTarget(bool& overrides, ZkUniqueID& target, bool& isBus) const
{
    overrides = (m_musicFlags & kFlagOverridesTarget) != 0;
    target = static_cast<ZkUniqueID>(GetIntProperty(kPropMidiTarget));
    isBus = (m_musicFlags & kFlagTargetIsBus) != 0;
}

void CZkMusicNode::MidiTempo(bool& overrides, float& tempo) const
{
    overrides = (m_musicFlags & kFlagOverridesTempo) != 0;
    tempo = GetFloatProperty(kPropMidiTempo);
}

bool CZkMusicNode::HasSubscriptionInChildren(ZkUniqueID groupID) const
{
    for (uint32_t index = 0; index < m_childCount; ++index)
    {
        if (m_children[index]->HasSubscriptionInChain(groupID, false))
            return true;
    }
    return HasSubscriptionInChain(groupID, false);
}
} // namespace ZK::MusicEngine
