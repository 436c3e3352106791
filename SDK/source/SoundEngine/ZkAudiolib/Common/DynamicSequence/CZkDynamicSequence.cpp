// The sequence object: creation, references, the playlist lock the game takes, the getters of the
// game thread, and what the engine thread does when an item is popped or advanced.
#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequence.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequencePlayContext.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

namespace ZK::SoundEngine
{
namespace
{
ZkIndexTable& SequenceTable() { return g_pObjectIndex->Table(ZkIndexKind::DynamicSequences); }
} // namespace

CZkDynamicSequence::CZkDynamicSequence(ZkPlayingID playingID, DynamicSequence::DynamicSequenceType type)
    : CZkIndexedObject(playingID), m_playingID(playingID), m_type(type)
{
}

CZkDynamicSequence::~CZkDynamicSequence()
{
    m_playlist.Term();
    m_previous.ClearExternalSources();
    m_latest.ClearExternalSources();
    if (m_currentSources != nullptr)
        m_currentSources->Release();
    if (m_gameObject != nullptr)
        m_gameObject->Release();
}

CZkDynamicSequence* CZkDynamicSequence::Create(ZkPlayingID playingID, DynamicSequence::DynamicSequenceType type)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    auto* sequence = ZK::ZkNew<CZkDynamicSequence>(kPool, playingID, type);
    if (sequence == nullptr)
        return nullptr;
    if (SequenceTable().Insert(sequence) != ZK_Success)
    {
        ZK::ZkDelete(kPool, sequence);
        return nullptr;
    }
    return sequence;
}

CZkDynamicSequence* CZkDynamicSequence::Find(ZkPlayingID playingID, bool withClosed)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    auto* sequence = static_cast<CZkDynamicSequence*>(SequenceTable().GetPtrAndAddRef(playingID));
    if (sequence != nullptr && !withClosed && sequence->IsClosing())
    {
        sequence->Release();
        return nullptr;
    }
    return sequence;
}

uint32_t CZkDynamicSequence::AddRef() { return SequenceTable().AddRef(this); }

uint32_t CZkDynamicSequence::Release() { return SequenceTable().Release(this); }

void CZkDynamicSequence::Destroy() { ZK::ZkDelete(kPool, this); }

CZkDynamicSequence::Playlist* CZkDynamicSequence::LockPlaylist()
{
    m_lock.Enter();
    if (m_playlistHolds++ == 0)
        m_playlistHolder.store(std::this_thread::get_id(), std::memory_order_relaxed);
    return &m_playlist;
}

ZKRESULT CZkDynamicSequence::UnlockPlaylist()
{
    // Leaving a lock another thread holds is undefined: a thread that holds no LockPlaylist of
    // this sequence is refused and changes nothing.
    if (m_playlistHolder.load(std::memory_order_relaxed) != std::this_thread::get_id())
        return ZK_Fail;
    if (--m_playlistHolds == 0)
        m_playlistHolder.store(std::thread::id{}, std::memory_order_relaxed);
    // Read while the lock is held: the engine thread changes both under it.
    const bool wantsItem = m_state == kWaiting && !m_playlist.IsEmpty();
    m_lock.Leave();
    if (wantsItem)
    {
        AddRef(); // the message's
        const ZkDynamicSequenceCommandMessage body{this, kCommandPlaylistUnlocked, 0, ZkCurveInterpolation_Linear};
        if (MessagePosting::PostFixed(ZkMessage_DynamicSequenceCommand, body) != ZK_Success)
            Release();
    }
    Release(); // the reference LockPlaylist kept
    return ZK_Success;
}

void CZkDynamicSequence::GetPauseTimes(uint32_t& pauseStart, uint32_t& pausedFrames)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    pauseStart = m_pauseStart;
    pausedFrames = m_pausedFrames;
    m_pausedFrames = 0;
}

void CZkDynamicSequence::GetPlayingItem(ZkUniqueID& audioNodeID, void*& customInfo)
{
    ZK::Platform::ZkScopedLock guard(m_lock);
    audioNodeID = m_latest.audioNodeID;
    customInfo = m_latest.customInfo;
}

void CZkDynamicSequence::SetGameObject(CZkRegisteredObj* object)
{
    if (object != nullptr)
        object->AddRef();
    if (m_gameObject != nullptr)
        m_gameObject->Release();
    m_gameObject = object;
}

uint32_t CZkDynamicSequence::FrameCounter() const
{
    return g_pEventMgr != nullptr ? g_pEventMgr->FramesRendered() : 0;
}

void CZkDynamicSequence::NotifyItem(ZkUniqueID nodeID, void* customInfo)
{
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->NotifyDynamicSequenceItemEnd(m_playingID, nodeID, customInfo);
}

ZkUniqueID CZkDynamicSequence::PopNextItem(uint32_t& delayMs, void*& customInfo)
{
    if (m_gameObject == nullptr)
        return 0;
    ZK::Platform::ZkScopedLock guard(m_lock);
    m_latest.audioNodeID = 0;
    m_latest.customInfo = nullptr;
    bool found = false;
    while (m_state != kStopped && !m_playlist.IsEmpty())
    {
        const Item& first = m_playlist[0];
        if (first.audioNodeID == 0)
        {
            void* info = first.customInfo;
            m_playlist.Erase(0);
            NotifyItem(0, info);
            continue;
        }
        m_latest.Assign(first);
        delayMs = first.delayMs;
        customInfo = first.customInfo;
        m_playlist.Erase(0);
        found = true;
        break;
    }
    if (!found && m_state != kStopped)
        m_state = kWaiting;
    return m_latest.audioNodeID;
}

ZkUniqueID CZkDynamicSequence::AdvanceItem(uint32_t& delayMs, void*& customInfo, ZkExternalSourceArray*& sources)
{
    {
        ZK::Platform::ZkScopedLock guard(m_lock);
        m_previous.Assign(m_latest);
    }
    const ZkUniqueID node = PopNextItem(delayMs, customInfo);
    ZkExternalSourceArray* next = node != 0 ? m_latest.externalSources : nullptr;
    if (next != nullptr)
        next->AddRef();
    if (sources != nullptr)
        sources->Release();
    sources = next;
    return node;
}

CZkPlayingInstance* CZkDynamicSequence::CreatePlayContext(const PlayLaunchParams& params, CZkHierarchyNode* node,
                                                          const ZkMediaRef* media, const ZkPriorityRecord& priority)
{
    return ZK::ZkNew<CZkDynamicSequencePlayContext>(CZkPlayingInstance::kPool, params, node, media, priority, this);
}

void CZkDynamicSequence::Close()
{
    if (m_closeHandled)
        return;
    m_closeHandled = true;
    MarkClosing();
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->RemovePlayingIDRef(m_playingID);
    // The table's reference goes too: the sequence lives on only while messages, play contexts or
    // a locked playlist hold it.
    Release();
}

void CZkDynamicSequence::ReleaseAtTermination()
{
    if (m_closeHandled)
        return; // Close dropped both already
    m_closeHandled = true;
    if (g_pPlayingMgr != nullptr)
        g_pPlayingMgr->RemovePlayingIDRef(m_playingID);
    Release();
}
} // namespace ZK::SoundEngine
