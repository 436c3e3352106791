// The queries about what plays: the playing manager's three questions (under its own lock), the
// attenuation radii of the active objects, and what the hierarchy's nodes tell about themselves.
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EventLookup.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkQueryParameters.h>

#include <cstring>

namespace ZK::SoundEngine::Query
{
namespace
{
// Finds an object of the index with a reference, hands it to ask and releases it. 15 when absent.
template <typename Ask>
ZKRESULT AskIndexed(ZkIndexKind kind, ZkUniqueID id, Ask ask)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    CZkIndexedObject* object = g_pObjectIndex->GetPtrAndAddRef(kind, id);
    if (object == nullptr)
        return ZK_InvalidID;
    const ZKRESULT result = ask(object);
    object->Release();
    return result;
}

// The node tables hold hierarchy nodes only.
CZkHierarchyNode& AsNode(CZkIndexedObject* node)
{
    return *static_cast<CZkHierarchyNode*>(node);
}

template <typename Value>
ZKRESULT CustomProperty(ZkUniqueID audioNodeID, uint32_t propertyID, Value& value)
{
    return AskIndexed(ZkIndexKind::Nodes, audioNodeID, [&](CZkIndexedObject* node) {
        ZkPropertyValue stored;
        if (!AsNode(node).FindIdValuedProperty(propertyID, stored))
            return ZK_PartialSuccess;
        std::memcpy(&value, &stored.bits, sizeof(stored.bits));
        return ZK_Success;
    });
}
} // namespace

ZKRESULT GetPlayingIDsFromGameObject(ZkGameObjectID gameObject, uint32_t& count, ZkPlayingID* playingIDs)
{
    if (count > 0 && playingIDs == nullptr)
        return ZK_InvalidParameter;
    if (g_pPlayingMgr == nullptr)
        return ZK_Fail;
    return g_pPlayingMgr->GetPlayingIDsFromGameObject(gameObject, count, playingIDs);
}

ZkUniqueID GetEventIDFromPlayingID(ZkPlayingID playingID)
{
    return g_pPlayingMgr != nullptr ? g_pPlayingMgr->GetEventIDFromPlayingID(playingID) : ZK_INVALID_UNIQUE_ID;
}

ZkGameObjectID GetGameObjectFromPlayingID(ZkPlayingID playingID)
{
    return g_pPlayingMgr != nullptr ? g_pPlayingMgr->GetGameObjectFromPlayingID(playingID) : ZK_ALL_GAME_OBJECTS;
}

ZKRESULT GetMaxRadius(ZkRadiusInfo* radii, uint32_t& count)
{
    if (count > 0 && radii == nullptr)
        return ZK_InvalidParameter;
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    return CZkActiveInstances::GetMaxRadiusAll(radii, count);
}

float GetMaxRadius(ZkGameObjectID gameObject)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    return CZkActiveInstances::GetMaxRadius(gameObject);
}

ZKRESULT GetCustomPropertyValue(ZkUniqueID audioNodeID, uint32_t propertyID, int32_t& value)
{
    return CustomProperty(audioNodeID, propertyID, value);
}

ZKRESULT GetCustomPropertyValue(ZkUniqueID audioNodeID, uint32_t propertyID, float& value)
{
    return CustomProperty(audioNodeID, propertyID, value);
}

ZKRESULT GetPositioningInfo(ZkUniqueID audioNodeID, ZkPositioningInfo& info)
{
    return AskIndexed(ZkIndexKind::Nodes, audioNodeID,
                      [&](CZkIndexedObject* node) { return AsNode(node).GetPositioningInfo(info); });
}

ZKRESULT QueryAudioObjectIDs(ZkUniqueID eventID, uint32_t& count, ZkObjectInfo* objectInfos)
{
    if (count > 0 && objectInfos == nullptr)
        return ZK_InvalidParameter;
    // An event's play targets, else the node of that id itself, counted and written alike.
    const ZKRESULT result = AskIndexed(ZkIndexKind::Events, eventID, [&](CZkIndexedObject* event) {
        return static_cast<CZkEventObject*>(event)->CollectPlayTargets(count, objectInfos);
    });
    if (result != ZK_InvalidID)
        return result;
    return AskIndexed(ZkIndexKind::Nodes, eventID, [&](CZkIndexedObject* node) {
        if (count == 0)
        {
            count = 1;
            return ZK_PartialSuccess;
        }
        objectInfos[0] = CZkEventObject::PlayTargetInfo(AsNode(node));
        count = 1;
        return ZK_Success;
    });
}

ZKRESULT QueryAudioObjectIDs(const char* eventName, uint32_t& count, ZkObjectInfo* objectInfos)
{
    const ZkUniqueID id = LenientID(eventName);
    return id == ZK_INVALID_UNIQUE_ID ? ZK_InvalidID : QueryAudioObjectIDs(id, count, objectInfos);
}

ZKRESULT QueryAudioObjectIDs(const wchar_t* eventName, uint32_t& count, ZkObjectInfo* objectInfos)
{
    const ZkUniqueID id = LenientID(eventName);
    return id == ZK_INVALID_UNIQUE_ID ? ZK_InvalidID : QueryAudioObjectIDs(id, count, objectInfos);
}
} // namespace ZK::SoundEngine::Query
