// CZkActiveInstances: the list of container play contexts that receive broadcast actions.
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

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
} // namespace

void CZkActiveInstances::AddPlayContext(CZkContainerPlayContext* context)
{
    for (CZkContainerPlayContext* item = g_playContexts.head; item != nullptr; item = item->pNextPlayContext)
    {
        if (item == context)
            return;
    }
    context->pNextPlayContext = nullptr;
    if (g_playContexts.tail != nullptr)
        g_playContexts.tail->pNextPlayContext = context;
    else
        g_playContexts.head = context;
    g_playContexts.tail = context;
    ++g_playContexts.count;
}

void CZkActiveInstances::RemovePlayContext(CZkContainerPlayContext* context)
{
    CZkContainerPlayContext* previous = nullptr;
    for (CZkContainerPlayContext* item = g_playContexts.head; item != nullptr; item = item->pNextPlayContext)
    {
        if (item != context)
        {
            previous = item;
            continue;
        }
        (previous != nullptr ? previous->pNextPlayContext : g_playContexts.head) = item->pNextPlayContext;
        if (g_playContexts.tail == item)
            g_playContexts.tail = previous;
        item->pNextPlayContext = nullptr;
        --g_playContexts.count;
        return;
    }
}

uint32_t CZkActiveInstances::PlayContextCount() { return g_playContexts.count; }

void CZkActiveInstances::BroadcastToPlayContexts(const ZkActionParams& params)
{
    for (CZkContainerPlayContext* context = g_playContexts.head; context != nullptr;)
    {
        // A stop takes the context out of the list: its successor is read first.
        CZkContainerPlayContext* next = context->pNextPlayContext;
        context->ExecuteAction(params);
        context = next;
    }
}
} // namespace ZK::SoundEngine
