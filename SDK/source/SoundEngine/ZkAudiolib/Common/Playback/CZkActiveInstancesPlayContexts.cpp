// The play-context list of the active instances: the per-play contexts that containers keep,
// which actions for every game object reach before the instances.
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstancesState.h"
#include "ZkAudiolib/Common/Playback/CZkContainerPlayContext.h"

namespace ZK::SoundEngine
{
namespace
{
struct PlayContextList
{
    CZkContainerPlayContext* head = nullptr;
    CZkContainerPlayContext* tail = nullptr;
    uint32_t count = 0;
};

PlayContextList g_playContexts;

bool Listed(const CZkContainerPlayContext* context)
{
    for (const CZkContainerPlayContext* at = g_playContexts.head; at != nullptr; at = at->nextPlayContext)
    {
        if (at == context)
            return true;
    }
    return false;
}
} // namespace

void CZkActiveInstances::AddPlayContext(CZkContainerPlayContext* context)
{
    if (context == nullptr || Listed(context))
        return;
    context->nextPlayContext = nullptr;
    (g_playContexts.tail != nullptr ? g_playContexts.tail->nextPlayContext : g_playContexts.head) = context;
    g_playContexts.tail = context;
    ++g_playContexts.count;
}

void CZkActiveInstances::RemovePlayContext(CZkContainerPlayContext* context)
{
    CZkContainerPlayContext* previous = nullptr;
    for (CZkContainerPlayContext* at = g_playContexts.head; at != nullptr; previous = at, at = at->nextPlayContext)
    {
        if (at != context)
            continue;
        (previous != nullptr ? previous->nextPlayContext : g_playContexts.head) = at->nextPlayContext;
        if (g_playContexts.tail == at)
            g_playContexts.tail = previous;
        at->nextPlayContext = nullptr;
        --g_playContexts.count;
        return;
    }
}

uint32_t CZkActiveInstances::PlayContextCount() { return g_playContexts.count; }

void BroadcastToPlayContexts(const ZkActionParams& params)
{
    // The next link is read first: a stopped context leaves the list and is destroyed.
    for (CZkContainerPlayContext* at = g_playContexts.head; at != nullptr;)
    {
        CZkContainerPlayContext* next = at->nextPlayContext;
        at->ExecuteAction(params);
        at = next;
    }
}
} // namespace ZK::SoundEngine
