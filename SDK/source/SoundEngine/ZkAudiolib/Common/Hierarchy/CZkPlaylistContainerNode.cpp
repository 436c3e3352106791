#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Hierarchy/CZkGroupNode.h"

#include <cmath>
#include <limits>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint8_t kFlagRestartEachPlay = 0x02;
constexpr uint8_t kFlagReverseAtEnd = 0x04;
constexpr uint8_t kFlagContinuous = 0x08;
constexpr uint8_t kFlagGlobalScope = 0x10;
constexpr uint8_t kHighestPlayMode = 1;

float FiniteOrZero(float value) { return std::isfinite(value) ? value : 0.0f; }

template <typename T>
void Store(T& field, T value, bool& changed)
{
    changed = changed || field != value;
    field = value;
}
} // namespace

CZkPlaylistContainerNode::CZkPlaylistContainerNode(ZkUniqueID id) : CZkContainerNode(id) { SetBusFlag(false); }

CZkPlaylistContainerNode::~CZkPlaylistContainerNode()
{
    ClearHistories();
    if (m_entries != nullptr)
        m_entries->Release();
}

CZkPlaylistContainerNode* CZkPlaylistContainerNode::Create(ZkUniqueID id)
{
    // The list exists from creation: a node without one is never indexed.
    CZkPlaylistEntries* entries = CZkPlaylistEntries::Create(kPlayModeSequence);
    if (entries == nullptr)
        return nullptr;
    auto* playlist = CreateIndexed<CZkPlaylistContainerNode>(id);
    if (playlist == nullptr)
    {
        entries->Release();
        return nullptr;
    }
    playlist->m_entries = entries;
    return playlist;
}

ZkRandomSettings CZkPlaylistContainerNode::RandomSettings() const
{
    return ZkRandomSettings{m_avoidRepeatCount, m_randomType, m_weighted};
}

ZKRESULT CZkPlaylistContainerNode::ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial)
{
    ZK::ZkByteCursor cursor(body, size);
    ZKRESULT result = ReadCommonBody(node, ZkNodeCategory_Playlist, cursor, partial);
    if (result != ZK_Success)
        return result == ZK_NothingToReport ? ZK_Success : result;
    auto* playlist = static_cast<CZkPlaylistContainerNode*>(node);
    if ((result = playlist->ReadSettings(cursor)) != ZK_Success)
        return result;
    if ((result = ReadChildList(*playlist, cursor)) != ZK_Success)
        return result;
    if ((result = playlist->ReadEntries(cursor)) != ZK_Success)
        playlist->UnlinkChildren();
    return result;
}

ZKRESULT CZkPlaylistContainerNode::ReadSettings(ZK::ZkByteCursor& cursor)
{
    uint16_t loopCount = 0;
    int16_t loopMin = 0;
    int16_t loopMax = 0;
    float times[3] = {};
    uint16_t avoidRepeat = 0;
    uint8_t transitionKind = 0;
    uint8_t randomType = 0;
    uint8_t playMode = 0;
    uint8_t flags = 0;
    if (!cursor.Read(loopCount) || !cursor.Read(loopMin) || !cursor.Read(loopMax) || !cursor.Read(times[0]) ||
        !cursor.Read(times[1]) || !cursor.Read(times[2]) || !cursor.Read(avoidRepeat) || !cursor.Read(transitionKind) ||
        !cursor.Read(randomType) || !cursor.Read(playMode) || !cursor.Read(flags))
        return ZK_InvalidFile;
    playMode &= 0x07;
    if (playMode > kHighestPlayMode)
        return ZK_InvalidFile;
    if (playMode != m_playMode || m_entries == nullptr)
    {
        CZkPlaylistEntries* entries = CZkPlaylistEntries::Create(playMode);
        if (entries == nullptr)
            return ZK_Fail;
        if (m_entries != nullptr)
            m_entries->Release();
        m_entries = entries;
        m_playMode = playMode;
        ResetPlayback();
    }
    m_loopCount = loopCount;
    m_loopRandomMin = loopCount != 0 ? loopMin : 0;
    m_loopRandomMax = loopCount != 0 ? loopMax : 0;
    m_transitionTime = FiniteOrZero(times[0]);
    m_transitionRandomMin = FiniteOrZero(times[1]);
    m_transitionRandomMax = FiniteOrZero(times[2]);
    bool changed = false;
    Store(m_avoidRepeatCount, avoidRepeat, changed);
    Store(m_transitionKind, static_cast<uint8_t>(transitionKind & 0x0F), changed);
    Store(m_randomType, static_cast<uint8_t>(randomType & 0x03), changed);
    Store(m_restartEachPlay, (flags & kFlagRestartEachPlay) != 0, changed);
    Store(m_continuous, (flags & kFlagContinuous) != 0, changed);
    Store(m_globalScope, (flags & kFlagGlobalScope) != 0, changed);
    m_reverseAtEnd = (flags & kFlagReverseAtEnd) != 0;
    if (changed)
        ResetPlayback();
    return ZK_Success;
}

ZKRESULT CZkPlaylistContainerNode::ReadEntries(ZK::ZkByteCursor& cursor)
{
    uint16_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, 2 * sizeof(uint32_t)))
        return ZK_InvalidFile;
    int64_t total = m_entries->TotalWeight();
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkUniqueID id = 0;
        uint32_t weight = 0;
        cursor.Read(id);
        cursor.Read(weight);
        total += weight;
        if (weight != static_cast<uint32_t>(kDefaultEntryWeight))
            m_weighted = true;
        // Histories keep weights and their sums in 32 signed bits.
        if (m_playMode == kPlayModeRandom && total > std::numeric_limits<int32_t>::max())
            return ZK_InvalidFile;
        if (m_playMode == kPlayModeRandom && m_entries->Contains(id))
            return ZK_DuplicateUniqueID;
        if (m_entries->Append(id, static_cast<int32_t>(weight)) != ZK_Success)
            return ZK_Fail;
        ResetPlayback();
    }
    return ZK_Success;
}

void CZkPlaylistContainerNode::UnlinkChildren()
{
    RemoveAllChildren();
    if (m_entries != nullptr)
        m_entries->Clear();
}

void CZkPlaylistContainerNode::ResetPlayback()
{
    ClearHistories();
    if (!m_hasPlayed)
        return;
    // Its queued items (the next items of continuous plays, delayed plays) go with what plays.
    if (g_pEventMgr != nullptr)
    {
        g_pEventMgr->StopPausedPendingActionsOfNode(this);
        g_pEventMgr->StopActivePendingActionsOfNode(this);
    }
    ExecuteAction(ZkActionCode_Stop, nullptr, 0, ZkCurveInterpolation_Linear, 0);
}

ZKRESULT CZkPlaylistContainerNode::PlayChildren(PlayLaunchParams& params)
{
    m_hasPlayed = true;
    if (m_continuous)
        return PlayContinuous(params);
    int32_t index = 0;
    CZkHierarchyNode* child = SelectForStep(params.gameObject, &index);
    if (child == nullptr)
        return params.playChain != nullptr ? ContinuePlayChain(params) : ZK_Fail;
    params.path.Push(static_cast<uint32_t>(index), false);
    const ZKRESULT result = PlayChild(child, params);
    child->Release();
    return result;
}
} // namespace ZK::SoundEngine
