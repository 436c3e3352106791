#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

#include "ZkAudiolib/Common/Containers/ZkFixedNodeStore.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/IZkRenderSide.h"

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kPool = ZkMemID_Processing;

struct PlayingEntry
{
    PlayingEntry* next;
    CZkPlayingInstance* instance;
};

struct VoiceQueue
{
    ZK::ZkFixedNodeStore<ZkVoiceCommand, kPool> nodes;
    ZkVoiceCommand* head = nullptr;
    ZkVoiceCommand* tail = nullptr;
    uint32_t queued = 0;
    uint32_t launchCounter = 0;
    bool startPending = false;
    PlayingEntry* playingHead = nullptr;
    PlayingEntry* playingTail = nullptr;
    uint32_t playingCount = 0;
};

VoiceQueue g_queue;

// Unlinks node (whose predecessor is previous, null at the head) and gives it back.
void Unlink(ZkVoiceCommand* previous, ZkVoiceCommand* node)
{
    if (node->IsStart() && node->instance != nullptr)
        node->instance->OnStartCommandGone();
    (previous != nullptr ? previous->next : g_queue.head) = node->next;
    if (g_queue.tail == node)
        g_queue.tail = previous;
    --g_queue.queued;
    g_queue.nodes.Destroy(node);
}

void RemoveCommandsOf(const CZkPlayingInstance* instance)
{
    ZkVoiceCommand* previous = nullptr;
    for (ZkVoiceCommand* node = g_queue.head; node != nullptr;)
    {
        ZkVoiceCommand* next = node->next;
        if (node->instance == instance)
            Unlink(previous, node);
        else
            previous = node;
        node = next;
    }
}

void Execute(const ZkVoiceCommand& command, CZkVoice* voice)
{
    IZkRenderSide& render = *g_pRenderSide;
    switch (command.Code())
    {
    case ZkVoiceCommand_Play:
        render.Start(voice);
        break;
    case ZkVoiceCommand_PlayPaused:
        render.Start(voice);
        render.Pause(voice);
        break;
    case ZkVoiceCommand_Pause:
        render.Pause(voice);
        break;
    case ZkVoiceCommand_Resume:
        render.Resume(voice);
        break;
    case ZkVoiceCommand_StopSource:
        render.StopSourceOfContext(voice, *command.instance);
        break;
    case ZkVoiceCommand_ReevaluateSource:
        render.ReevaluateSource(voice);
        break;
    default:
        break;
    }
}

// The start commands whose instance has no voice yet ask for one. A dead instance that never had a
// voice ends here: nothing else would end it.
void GiveVoices()
{
    ZkVoiceCommand* previous = nullptr;
    for (ZkVoiceCommand* node = g_queue.head; node != nullptr;)
    {
        ZkVoiceCommand* next = node->next;
        CZkPlayingInstance& instance = *node->instance;
        bool keep = true;
        if (instance.Voice() == nullptr && node->IsStart())
        {
            if (instance.IsDead())
            {
                keep = false;
                Unlink(previous, node);
                instance.PostEndNotification(1);
            }
            else if (g_pRenderSide->CreateVoice(instance) != ZK_Success)
            {
                keep = false;
                Unlink(previous, node);
            }
        }
        if (keep)
            previous = node;
        node = next;
    }
}

enum class GroupCheck
{
    Ready,   // every start of the group has a ready voice
    Waiting, // a voice is not ready yet: the group waits for the next frame
    Changed, // a node was removed: the pass starts again from the head
};

// Step 1 of a group: its start commands must all have ready voices.
GroupCheck CheckStarts(ZkVoiceCommand* groupPrevious, ZkVoiceCommand* first, uint32_t launch)
{
    ZkVoiceCommand* previous = groupPrevious;
    for (ZkVoiceCommand* node = first; node != nullptr && node->launch == launch; node = node->next)
    {
        if (node->IsStart() && !node->IsReady())
        {
            CZkPlayingInstance& instance = *node->instance;
            CZkVoice* voice = instance.Voice();
            if (instance.IsDead())
            {
                // Stopped before its voice started: a voice ends the instance itself; without one
                // the end is posted here.
                Unlink(previous, node);
                if (voice == nullptr)
                    instance.PostEndNotification(1);
                return GroupCheck::Changed;
            }
            if (voice == nullptr)
            {
                Unlink(previous, node);
                return GroupCheck::Changed;
            }
            const ZKRESULT pending = g_pRenderSide->RemovePendingVoice(instance, voice);
            if (pending == ZK_Fail)
            {
                Unlink(previous, node);
                return GroupCheck::Changed;
            }
            if (pending == ZK_NotReadyYet)
                return GroupCheck::Waiting;
            node->SetReady();
        }
        previous = node;
    }
    return GroupCheck::Ready;
}

// Step 2 of a group: ready commands run and leave; the others wait. Returns the last node kept.
ZkVoiceCommand* RunGroup(ZkVoiceCommand* groupPrevious, uint32_t launch)
{
    ZkVoiceCommand* previous = groupPrevious;
    ZkVoiceCommand* node = previous != nullptr ? previous->next : g_queue.head;
    while (node != nullptr && node->launch == launch)
    {
        ZkVoiceCommand* next = node->next;
        CZkVoice* voice = node->IsStart() || node->IsReady() ? node->instance->Voice()
                                                             : g_pRenderSide->FindVoiceForSource(*node);
        if (!node->IsStart() && voice == nullptr)
        {
            Unlink(previous, node); // nothing to act on
        }
        else if (node->IsReady())
        {
            Execute(*node, voice);
            Unlink(previous, node);
        }
        else
        {
            previous = node;
        }
        node = next;
    }
    return previous;
}

void RunReadyGroups()
{
    ZkVoiceCommand* groupPrevious = nullptr;
    ZkVoiceCommand* first = g_queue.head;
    while (first != nullptr)
    {
        const uint32_t launch = first->launch;
        const GroupCheck check = CheckStarts(groupPrevious, first, launch);
        if (check == GroupCheck::Changed)
        {
            groupPrevious = nullptr;
            first = g_queue.head;
            continue;
        }
        if (check == GroupCheck::Ready)
        {
            groupPrevious = RunGroup(groupPrevious, launch);
        }
        else
        {
            for (ZkVoiceCommand* node = first; node != nullptr && node->launch == launch; node = node->next)
                groupPrevious = node;
        }
        first = groupPrevious != nullptr ? groupPrevious->next : g_queue.head;
    }
}

void UnlinkPlaying(PlayingEntry* previous, PlayingEntry* entry)
{
    (previous != nullptr ? previous->next : g_queue.playingHead) = entry->next;
    if (g_queue.playingTail == entry)
        g_queue.playingTail = previous;
    --g_queue.playingCount;
    ZK::MemoryMgr::Free(kPool, entry);
}
} // namespace

ZKRESULT ZkVoiceLists::Init()
{
    Term();
    return g_queue.nodes.Init(kBlockNodes);
}

void ZkVoiceLists::Term()
{
    FreePlayingList();
    while (g_queue.head != nullptr)
        Unlink(nullptr, g_queue.head);
    g_queue.nodes.Term();
    g_queue.launchCounter = 0;
    g_queue.startPending = false;
}

ZKRESULT ZkVoiceLists::PostCommand(ZkVoiceCommandCode code, CZkPlayingInstance* instance)
{
    ZkVoiceCommand* node = g_queue.nodes.Create();
    if (node == nullptr)
        return ZK_Fail;
    node->instance = instance;
    node->launch = g_queue.launchCounter;
    node->word = code;
    (g_queue.tail != nullptr ? g_queue.tail->next : g_queue.head) = node;
    g_queue.tail = node;
    ++g_queue.queued;
    if (code < ZkVoiceCommand_Pause)
        g_queue.startPending = true;
    return ZK_Success;
}

void ZkVoiceLists::RemoveInstance(CZkPlayingInstance* instance)
{
    RemoveCommandsOf(instance);
    PlayingEntry* before = nullptr;
    for (PlayingEntry* entry = g_queue.playingHead; entry != nullptr; before = entry, entry = entry->next)
    {
        if (entry->instance == instance)
        {
            UnlinkPlaying(before, entry);
            break;
        }
    }
}

void ZkVoiceLists::ProcessActive()
{
    if (g_queue.startPending)
        ProcessActiveNodes();
    RunReadyGroups();
}

void ZkVoiceLists::ProcessActiveNodes()
{
    GiveVoices();
    g_queue.startPending = false;
}

ZKRESULT ZkVoiceLists::AddPlaying(CZkPlayingInstance* instance)
{
    auto* entry = static_cast<PlayingEntry*>(ZK::MemoryMgr::Malloc(kPool, sizeof(PlayingEntry)));
    if (entry == nullptr)
        return ZK_InsufficientMemory;
    *entry = PlayingEntry{nullptr, instance};
    (g_queue.playingTail != nullptr ? g_queue.playingTail->next : g_queue.playingHead) = entry;
    g_queue.playingTail = entry;
    ++g_queue.playingCount;
    return ZK_Success;
}

void ZkVoiceLists::UpdatePlaying(uint32_t frames)
{
    PlayingEntry* previous = nullptr;
    for (PlayingEntry* entry = g_queue.playingHead; entry != nullptr;)
    {
        PlayingEntry* next = entry->next;
        CZkPlayingInstance& instance = *entry->instance;
        if (instance.IsDead())
        {
            const bool startWaited = instance.StartQueued();
            RemoveCommandsOf(&instance);
            if (startWaited && instance.Voice() == nullptr)
                instance.PostEndNotification(1); // killed before its voice: its end comes from here
            UnlinkPlaying(previous, entry);
        }
        else
        {
            instance.CountDownStartDelay(frames);
            previous = entry;
        }
        entry = next;
    }
}

void ZkVoiceLists::FreePlayingList()
{
    while (g_queue.playingHead != nullptr)
        UnlinkPlaying(nullptr, g_queue.playingHead);
}

void ZkVoiceLists::IncrementLaunchCounter()
{
    ++g_queue.launchCounter;
}
uint32_t ZkVoiceLists::LaunchCounter()
{
    return g_queue.launchCounter;
}
uint32_t ZkVoiceLists::QueuedCount()
{
    return g_queue.queued;
}
bool ZkVoiceLists::StartPending()
{
    return g_queue.startPending;
}
const ZkVoiceCommand* ZkVoiceLists::FirstCommand()
{
    return g_queue.head;
}
uint32_t ZkVoiceLists::PlayingCount()
{
    return g_queue.playingCount;
}
} // namespace ZK::SoundEngine
