#include "MusicEngine/CZkMusicSwitchContainer.h"

#include "MusicEngine/NewIndexedNode.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkKeyValueList.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamedMediaRequest.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
constexpr ZkMemoryId kArgumentPool = ZkMemID_BankObjects;
// The most arguments a path of values is built for on the stack.
constexpr uint32_t kMaxPathOnStack = 32;
} // namespace

CZkMusicSwitchContainer* CZkMusicSwitchContainer::Create(ZkUniqueID id)
{
    return NewIndexedNode<CZkMusicSwitchContainer>(id);
}

CZkMusicSwitchContainer::~CZkMusicSwitchContainer()
{
    if (m_preparations > 0 && g_pStateMgr != nullptr && m_argumentCount == 1)
        g_pStateMgr->RemoveGroupNode(this, m_kinds[0] == kArgumentState ? 1 : 0, m_groups[0]);
    FreeArguments();
}

void CZkMusicSwitchContainer::FreeArguments()
{
    if (m_groups != nullptr)
        ZK::MemoryMgr::Free(kArgumentPool, m_groups);
    if (m_kinds != nullptr)
        ZK::MemoryMgr::Free(kArgumentPool, m_kinds);
    m_groups = nullptr;
    m_kinds = nullptr;
    m_argumentCount = 0;
}

ZKRESULT CZkMusicSwitchContainer::ReadFromBank(const uint8_t* payload, uint32_t size)
{
    if (Category() != kCategoryMusicSwitch)
        return ZK_AlreadyExists;
    ZK::ZkByteCursor cursor(payload, size);
    ZKRESULT result = ReadMusicNodePayload(cursor);
    if (result != ZK_Success || (result = ReadRules(cursor)) != ZK_Success)
        return result;
    uint8_t continueFlag = 0;
    uint32_t count = 0;
    if (!cursor.Read(continueFlag) || !cursor.Read(count) || !cursor.Holds(count, sizeof(ZkUniqueID) + 1))
        return ZK_InvalidFile;
    m_continue = continueFlag != 0 ? 1 : 0;
    FreeArguments();
    if (count > 0)
    {
        m_groups = static_cast<ZkUniqueID*>(ZK::MemoryMgr::Malloc(kArgumentPool, sizeof(ZkUniqueID) * count));
        m_kinds = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kArgumentPool, count));
        if (m_groups == nullptr || m_kinds == nullptr)
        {
            FreeArguments();
            return ZK_InsufficientMemory;
        }
        m_argumentCount = count;
        for (uint32_t index = 0; index < count; ++index)
            cursor.Read(m_groups[index]);
        for (uint32_t index = 0; index < count; ++index)
            cursor.Read(m_kinds[index]);
    }
    uint32_t treeSize = 0;
    uint8_t mode = 0;
    if (!cursor.Read(treeSize) || !cursor.Read(mode) || cursor.Remaining() < treeSize)
        return ZK_InvalidFile;
    m_tree.mode = mode;
    return m_tree.SetData(cursor.Take(treeSize), treeSize, count);
}

ZKRESULT CZkMusicSwitchContainer::SetIntProperty(uint32_t id, int32_t value)
{
    if (id == kPropTreeMode)
    {
        m_tree.mode = static_cast<uint8_t>(value);
        return ZK_Success;
    }
    return CZkMusicContainer::SetIntProperty(id, value);
}

void CZkMusicSwitchContainer::CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const
{
    const CZkHierarchyNode* chosen = nullptr;
    if (active && m_argumentCount <= kMaxPathOnStack)
    {
        uint32_t path[kMaxPathOnStack] = {};
        const ZkRTPCKey key = ZkRTPCKey::ForObject(request.gameObject);
        for (uint32_t index = 0; index < m_argumentCount; ++index)
        {
            const ZkUniqueID group = m_groups[index];
            request.groups.AddLast(ZkStreamedMediaRequest::GroupEntry(group, m_kinds[index]));
            if (request.overrideGroupID != 0 && group == request.overrideGroupID)
                path[index] = request.overrideValue;
            else if (m_kinds[index] == kArgumentState)
                path[index] = g_pStateMgr != nullptr ? g_pStateMgr->GetState(group) : 0;
            else
                path[index] = g_pSwitchMgr != nullptr ? g_pSwitchMgr->GetSwitch(group, key) : 0;
        }
        const ZkUniqueID target = m_tree.ResolvePath(ID(), path, m_argumentCount, 0, nullptr, nullptr);
        for (uint32_t index = 0; index < ChildCount(); ++index)
        {
            if (target != 0 && ChildAt(static_cast<uint16_t>(index))->ID() == target)
                chosen = ChildAt(static_cast<uint16_t>(index));
        }
        if (chosen != nullptr)
            chosen->CollectStreamedMedia(request, true);
    }
    for (uint32_t index = 0; index < ChildCount(); ++index)
    {
        const CZkHierarchyNode* child = ChildAt(static_cast<uint16_t>(index));
        if (child != chosen)
            child->CollectStreamedMedia(request, false);
    }
}

bool CZkMusicSwitchContainer::PreparesByGameSync() const
{
    return GetEngineSettings().gameSyncPreparation != 0 && m_argumentCount == 1;
}

ZKRESULT CZkMusicSwitchContainer::PrepareMedia()
{
    return PreparesByGameSync() ? PrepareByGameSync() : CZkMusicContainer::PrepareMedia();
}

void CZkMusicSwitchContainer::UnprepareMedia()
{
    if (PreparesByGameSync())
        UnprepareByGameSync();
    else
        CZkMusicContainer::UnprepareMedia();
}

ZKRESULT CZkMusicSwitchContainer::OnPreparedValue(ZkUniqueID value, bool prepare)
{
    if (m_preparations == 0 || m_argumentCount != 1)
        return ZK_Success;
    const ZkUniqueID node = CZkKeyValueList::Find(m_tree, value);
    if (node == 0)
        return ZK_Success;
    if (!prepare)
    {
        UnprepareByID(node);
        return ZK_Success;
    }
    return PrepareByID(node);
}
} // namespace ZK::MusicEngine
