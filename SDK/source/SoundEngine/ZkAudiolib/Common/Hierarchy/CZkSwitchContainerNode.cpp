#include "ZkAudiolib/Common/Hierarchy/CZkSwitchContainerNode.h"

#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkGroupNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkPlayContextBlocks.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr size_t kChildSettingsBytes = 14;
constexpr size_t kAssignmentBytes = 2 * sizeof(uint32_t);
} // namespace

CZkSwitchContainerNode::CZkSwitchContainerNode(ZkUniqueID id) : CZkChildContextContainer(id) {}

CZkSwitchContainerNode::~CZkSwitchContainerNode()
{
    while (m_contexts != nullptr)
        RemoveContext(m_contexts, false);
    m_subscriber.Unregister();
    if (m_preparedCount > 0 && g_pStateMgr != nullptr)
        g_pStateMgr->RemoveGroupNode(this, m_preparedGroupType, m_preparedGroupID);
}

CZkSwitchContainerNode* CZkSwitchContainerNode::Create(ZkUniqueID id)
{
    return CreateIndexed<CZkSwitchContainerNode>(id);
}

ZKRESULT CZkSwitchContainerNode::ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial)
{
    ZK::ZkByteCursor cursor(body, size);
    ZKRESULT result = ReadCommonBody(node, ZkNodeCategory_Switch, cursor, partial);
    if (result != ZK_Success)
        return result == ZK_NothingToReport ? ZK_Success : result;
    auto* container = static_cast<CZkSwitchContainerNode*>(node);
    if ((result = container->ReadSwitchFields(cursor)) != ZK_Success)
        return result;
    if ((result = ReadChildList(*container, cursor)) != ZK_Success)
        return result;
    if ((result = container->ReadAssignments(cursor)) == ZK_Success)
        result = container->ReadChildSettings(cursor);
    if (result != ZK_Success)
        container->UnlinkAll();
    return result;
}

ZKRESULT CZkSwitchContainerNode::ReadSwitchFields(ZK::ZkByteCursor& cursor)
{
    uint8_t groupType = 0;
    ZkUniqueID groupID = 0;
    ZkUniqueID defaultValue = 0;
    uint8_t continuous = 0;
    if (!cursor.Read(groupType) || !cursor.Read(groupID) || !cursor.Read(defaultValue) || !cursor.Read(continuous))
        return ZK_InvalidFile;
    if (groupID != m_groupID || groupType != m_groupType)
    {
        m_groupID = groupID;
        m_groupType = groupType;
        // A container that plays follows its new group at once.
        const bool active = PlayCount() > 0 || VirtualCount() > 0;
        if (active && (continuous != 0 || m_subscribed))
        {
            const ZKRESULT result = m_subscriber.Register(m_groupID, m_groupType);
            if (result != ZK_Success)
                return result;
            m_subscribed = true;
        }
    }
    m_defaultValue = defaultValue;
    m_continuous = continuous != 0;
    return ZK_Success;
}

ZKRESULT CZkSwitchContainerNode::ReadAssignments(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    // Each assignment takes at least its value and its count.
    if (!cursor.Read(count) || !cursor.Holds(count, kAssignmentBytes))
        return ZK_InvalidFile;
    if (m_values.Reserve(count) != ZK_Success)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkUniqueID value = 0;
        uint32_t children = 0;
        if (!cursor.Read(value) || !cursor.Read(children) || !cursor.Holds(children, sizeof(ZkUniqueID)))
            return ZK_InvalidFile;
        for (uint32_t child = 0; child < children; ++child)
        {
            ZkUniqueID id = 0;
            cursor.Read(id);
            const ZKRESULT result = m_values.Assign(value, id);
            if (result != ZK_Success)
                return result;
        }
    }
    return ZK_Success;
}

ZKRESULT CZkSwitchContainerNode::ReadChildSettings(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kChildSettingsBytes))
        return ZK_InvalidFile;
    for (uint32_t index = 0; index < count; ++index)
    {
        CZkSwitchChildSettings settings;
        uint8_t flagsHigh = 0;
        uint8_t mode = 0;
        cursor.Read(settings.childID);
        cursor.Read(flagsHigh);
        cursor.Read(mode);
        cursor.Read(settings.fadeOutMs);
        cursor.Read(settings.fadeInMs);
        settings.flags = CZkSwitchChildSettings::FromBank(flagsHigh, mode);
        if (m_settings.Set(settings) != ZK_Success)
            return ZK_Fail;
    }
    return ZK_Success;
}

void CZkSwitchContainerNode::UnlinkAll()
{
    RemoveAllChildren();
    m_values.Clear();
    m_settings.Clear();
}

void CZkSwitchContainerNode::RemoveChild(CZkHierarchyNode* child)
{
    if (child->Parent() == this)
        m_settings.Remove(child->ID());
    CZkChildContextContainer::RemoveChild(child);
}

// --- Play ---

ZKRESULT CZkSwitchContainerNode::AddContext(const PlayLaunchParams& params)
{
    ZkPlayCount count;
    count.gameObject = params.gameObject;
    count.checkLimits = false;
    count.toBus = false;
    // A refusal counts nothing: the records of every level are made before any count.
    if (PlayCountUp(count) != ZK_Success)
        return ZK_Fail;
    CZkContainerPlayContext::RegisterForUpdates(this);
    CZkSwitchPlayContext* context = ZkPlayContextBlocks<CZkSwitchPlayContext>::Take(*this);
    if (context == nullptr)
    {
        PlayCountDown(params.gameObject, false);
        CZkContainerPlayContext::UnregisterFromUpdates(this);
        return ZK_Fail;
    }
    if (params.gameObject != nullptr)
        params.gameObject->AddRef();
    context->gameObject = params.gameObject;
    context->playingID = params.playingID;
    context->externalSources = params.externalSources;
    if (context->externalSources != nullptr)
        context->externalSources->AddRef();
    context->path = params.path;
    context->paused = params.playType == 1;
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->AddPlayingIDRef(params.playingID);
    context->next = m_contexts;
    m_contexts = context;
    ++m_contextCount;
    CZkActiveInstances::AddPlayContext(context);
    Follow();
    return ZK_Success;
}

ZkObjectValue CZkSwitchContainerNode::CountPlay(CZkGameObject* object, ZkUniqueID value)
{
    if (object == nullptr || g_pRegistryMgr == nullptr)
        return ZkObjectValue{value, 1};
    const ZkObjectValue stored = g_pRegistryMgr->GetObjectValue(object, ID());
    const ZkObjectValue now =
        stored.count > 0 && stored.value == value ? ZkObjectValue{value, stored.count + 1} : ZkObjectValue{value, 1};
    g_pRegistryMgr->AddObjectValue(object, ID(), now);
    return now;
}

ZKRESULT CZkSwitchContainerNode::PlayOneChild(ZkUniqueID childID, PlayLaunchParams& params, bool takesChain)
{
    auto* child = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(childID, false));
    if (child == nullptr)
        return ZK_InvalidID; // not loaded: skipped
    PlayLaunchParams copy;
    if (!params.CopyTo(copy))
    {
        child->Release();
        return ZK_InsufficientMemory;
    }
    ZKRESULT result = ZK_Success;
    if (params.playChain != nullptr && !takesChain)
    {
        // Each child goes on along a chain of its own that comes back to this container.
        CZkPlayChain* chain = NewChildChain(params.playChain);
        copy.playChain->Release();
        copy.playChain = chain;
        if (chain == nullptr)
            result = ZK_InsufficientMemory;
    }
    if (result == ZK_Success)
    {
        bool found = false;
        for (uint32_t index = 0; index < ChildCount() && !found; ++index)
        {
            if (Child(index) == child)
            {
                copy.path.Push(index, false);
                found = true;
            }
        }
        result = PlayChild(child, copy);
    }
    copy.FreeArrays();
    child->Release();
    return result;
}

ZKRESULT CZkSwitchContainerNode::PlayEntry(const CZkSwitchValueEntry& entry, PlayLaunchParams& params, uint32_t count,
                                           uint32_t& started)
{
    ZKRESULT last = ZK_Success;
    // A value of one child hands the incoming chain on to it: the chain goes on from the child as
    // if the container were not there, and the container counts nothing of it.
    const bool handsOver = params.playChain != nullptr && entry.children.Length() == 1;
    for (uint32_t index = 0; index < entry.children.Length(); ++index)
    {
        const ZkUniqueID childID = entry.children[index];
        if (count > 1 && m_settings.For(childID).FirstOnly())
            continue;
        last = PlayOneChild(childID, params, handsOver);
        if (last == ZK_Success)
            ++started;
    }
    return last;
}

ZKRESULT CZkSwitchContainerNode::PlayChildren(PlayLaunchParams& params)
{
    auto* registered = dynamic_cast<CZkRegisteredObj*>(params.gameObject);
    ZkUniqueID value = CZkGroupSubscriber::GetGroupValue(registered, m_groupID, m_groupType);
    if (m_continuous && params.midiEvent.type == 0 && AddContext(params) != ZK_Success)
        return ZK_Fail;
    const CZkSwitchValueEntry* entry = m_values.Find(value);
    if (entry == nullptr)
    {
        entry = m_values.Find(m_defaultValue);
        value = m_defaultValue;
    }
    const bool chained = params.playChain != nullptr;
    if (entry == nullptr)
        return chained ? ZK_Fail : ZK_Success;
    const ZkObjectValue played = CountPlay(params.gameObject, value);
    uint32_t started = 0;
    const ZKRESULT last = PlayEntry(*entry, params, played.count, started);
    if (chained && started == 0 && !m_continuous)
        return ContinueChain(params);
    return started > 0 ? ZK_Success : last;
}
} // namespace ZK::SoundEngine
