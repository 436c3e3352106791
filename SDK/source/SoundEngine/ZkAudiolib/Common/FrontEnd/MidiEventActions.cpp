#include "ZkAudiolib/Common/FrontEnd/MidiEventActions.h"

#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

namespace ZK::SoundEngine::MidiEventActions
{
namespace
{
// Visits the target of every play action of the event, and of the events its post-event actions
// post (as deep as nested posts may go).
template <typename Visit>
void ForEachPlayedNode(const CZkEventObject& event, Visit visit, uint32_t depth)
{
    for (CZkEventAction* action = event.FirstAction(); action != nullptr; action = action->pNextAction)
    {
        if (action->Type() == kPostEventActionType && depth < EventManager::kMaxNestedPosts && g_pObjectIndex != nullptr)
        {
            if (CZkIndexedObject* posted = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, action->TargetID()))
            {
                ForEachPlayedNode(*static_cast<CZkEventObject*>(posted), visit, depth + 1);
                posted->Release();
            }
        }
        if (action->Type() != kPlayActionType)
            continue;
        if (CZkHierarchyNode* node = action->GetTargetNode())
        {
            visit(*node);
            node->Release();
        }
    }
}

bool TakesMidi(const CZkHierarchyNode& node)
{
    const uint32_t category = node.Category();
    return category >= ZkNodeCategory_Playlist && category <= ZkNodeCategory_Layered;
}
} // namespace

bool Qualifies(ZkGameObjectID gameObject)
{
    if (gameObject == ZK_ALL_GAME_OBJECTS)
        return true;
    CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(gameObject) : nullptr;
    return object != nullptr && object->Emitter() != nullptr;
}

void Post(const CZkIndexedObject* event, ZkGameObjectID gameObject, ZkPlayingID playingID, const ZkMIDIPost* posts,
          uint32_t count, bool absolute)
{
    if (event == nullptr || g_pMidiPostMgr == nullptr || gameObject == ZK_ALL_GAME_OBJECTS)
        return;
    // Every object of the event table is an event.
    ForEachPlayedNode(*static_cast<const CZkEventObject*>(event), [&](CZkHierarchyNode& node) {
        if (TakesMidi(node))
            g_pMidiPostMgr->PostMidiEvents(node.ID(), gameObject, playingID, posts, count, absolute);
    }, 0);
}

void Stop(const CZkIndexedObject* event, ZkGameObjectID gameObject, ZkPlayingID playingID)
{
    if (g_pMidiPostMgr == nullptr)
        return;
    if (event == nullptr)
    {
        g_pMidiPostMgr->StopMidiOnEvent(0, gameObject, playingID);
        return;
    }
    ForEachPlayedNode(*static_cast<const CZkEventObject*>(event), [&](CZkHierarchyNode& node) {
        g_pMidiPostMgr->StopMidiOnEvent(node.ID(), gameObject, playingID);
    }, 0);
}
} // namespace ZK::SoundEngine::MidiEventActions
