// The playlist container's histories and its step-mode selection.
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/GameObjects/CZkPerObjectNodeList.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <algorithm>
#include <functional>

namespace ZK::SoundEngine
{
CZkPlayHistory* CZkPlaylistContainerNode::NewHistory() const
{
    if (m_playMode != kPlayModeRandom)
        return CZkSequenceHistory::Create();
    CZkRandomHistory* history = CZkRandomHistory::Create(m_entries->Count(), m_avoidRepeatCount);
    if (history != nullptr && m_weighted)
        history->totalWeight = history->remainingWeight = static_cast<int32_t>(m_entries->TotalWeight());
    return history;
}

uint32_t CZkPlaylistContainerNode::FindObject(CZkGameObject* object, bool& found) const
{
    const ObjectHistory* at = std::lower_bound(m_objectHistories.begin(), m_objectHistories.end(), object,
                                               [](const ObjectHistory& entry, CZkGameObject* key) {
                                                   return std::less<>()(entry.object, key);
                                               });
    found = at != m_objectHistories.end() && at->object == object;
    return static_cast<uint32_t>(at - m_objectHistories.begin());
}

CZkPlayHistory* CZkPlaylistContainerNode::FindOrCreateHistory(CZkGameObject* object)
{
    if (m_globalScope || object == nullptr)
    {
        if (m_globalHistory == nullptr)
            m_globalHistory = NewHistory();
        return m_globalHistory;
    }
    bool found = false;
    const uint32_t index = FindObject(object, found);
    if (found)
        return m_objectHistories[index].history;
    CZkPlayHistory* history = NewHistory();
    if (history != nullptr && !SetObjectHistory(object, history))
    {
        history->Release();
        return nullptr;
    }
    return history;
}

bool CZkPlaylistContainerNode::SetObjectHistory(CZkGameObject* object, CZkPlayHistory* history)
{
    bool found = false;
    const uint32_t index = FindObject(object, found);
    if (found)
    {
        m_objectHistories[index].history->Release();
        m_objectHistories[index].history = history;
        return true;
    }
    // The game object tells the container when it goes, so its history goes with it.
    CZkPerObjectNodeList* nodes = static_cast<CZkRegisteredObj*>(object)->GetOrCreatePerObjectNodeList();
    return nodes != nullptr && nodes->AddNode(ID(), false) == ZK_Success &&
           m_objectHistories.Insert(index, ObjectHistory{object, history}) != nullptr;
}

bool CZkPlaylistContainerNode::Fits(const CZkPlayHistory& history) const
{
    const uint32_t count = m_entries->Count();
    const bool weighted = m_playMode == kPlayModeRandom && m_weighted;
    return history.IsConsistent(count, weighted ? m_entries->TotalWeight() : int64_t{kDefaultEntryWeight} * count);
}

void CZkPlaylistContainerNode::ClearHistories()
{
    for (ObjectHistory& entry : m_objectHistories)
        entry.history->Release();
    m_objectHistories.Term();
    if (m_globalHistory != nullptr)
        m_globalHistory->Release();
    m_globalHistory = nullptr;
}

void CZkPlaylistContainerNode::ResetHistory(CZkGameObject* object)
{
    if (m_continuous)
        return;
    if (object == nullptr)
    {
        ClearHistories();
        return;
    }
    if (m_globalScope)
        return;
    bool found = false;
    const uint32_t index = FindObject(object, found);
    if (!found)
        return;
    m_objectHistories[index].history->Release();
    m_objectHistories.Erase(index);
}

ZKRESULT CZkPlaylistContainerNode::RemoveGameObjectData(CZkGameObject* object)
{
    bool found = false;
    const uint32_t index = FindObject(object, found);
    if (found)
    {
        m_objectHistories[index].history->Release();
        m_objectHistories.Erase(index);
    }
    return CZkContainerNode::RemoveGameObjectData(object);
}

CZkHierarchyNode* CZkPlaylistContainerNode::PlayableEntry(uint32_t index, CZkGameObject* object) const
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(m_entries->ID(index), false));
    uint8_t status = 0;
    if (node != nullptr && !CheckPlayable(node, object, status))
    {
        node->Release();
        return nullptr;
    }
    return node;
}

int32_t CZkPlaylistContainerNode::NextIndex(CZkPlayHistory& history, bool firstAttempt, int32_t previous)
{
    const uint32_t count = m_entries->Count();
    if (history.HistoryKind() == CZkPlayHistory::Kind::Sequence)
        return static_cast<CZkSequenceHistory&>(history).Step(count, m_reverseAtEnd, nullptr);
    auto& random = static_cast<CZkRandomHistory&>(history);
    const ZkRandomSettings settings = RandomSettings();
    if (firstAttempt || m_randomType != 0 || previous < 0)
        return random.RandomIndex(*m_entries, settings, nullptr, ZK::ZkLcg64::Engine());
    // Standard random mode probes onwards from a pick that could not play instead of drawing again.
    for (uint32_t step = 1; step <= count; ++step)
    {
        const uint32_t index = (static_cast<uint32_t>(previous) + step) % count;
        if (random.IsEligible(index, settings))
        {
            random.RecordRecent(*m_entries, settings, index);
            return static_cast<int32_t>(index);
        }
    }
    return -1;
}

CZkHierarchyNode* CZkPlaylistContainerNode::SelectForStep(CZkGameObject* object, int32_t* selected)
{
    int32_t ignored = -1;
    int32_t& chosen = selected != nullptr ? *selected : ignored;
    chosen = 0;
    const uint32_t count = m_entries != nullptr ? m_entries->Count() : 0;
    if (count == 0)
        return nullptr;
    if (count == 1)
        return PlayableEntry(0, object);
    CZkPlayHistory* history = FindOrCreateHistory(object);
    if (history == nullptr || !Fits(*history))
        return nullptr;
    int32_t index = -1;
    for (uint32_t attempt = 0; attempt < count; ++attempt)
    {
        index = NextIndex(*history, attempt == 0, index);
        if (index < 0)
            return nullptr;
        chosen = index;
        if (CZkHierarchyNode* node = PlayableEntry(static_cast<uint32_t>(index), object))
            return node;
    }
    return nullptr;
}
} // namespace ZK::SoundEngine
