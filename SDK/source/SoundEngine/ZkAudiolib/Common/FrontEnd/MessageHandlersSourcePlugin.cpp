// The handler of message 40: a source plug-in played on its own. The plug-in runs from a sound node
// the engine makes for it on first use, under the id ((plug-in x 4096 + company) x 16 | 2) with bit
// 31 set (no bank object has it), whose media name the custom effect of the same id: the effect
// holds the plug-in's default parameters, the sound plays it through the source plug-in host. Both
// objects stay in the object index until the engine terminates (their creation reference is the
// index's, released with every synthesized object).
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"
#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kCommandStop = 1;

// The run-time sound of the plug-in, with a reference for the caller; made (with its custom effect)
// when absent. Null out of memory, or when the id is another kind of node.
CZkSoundNode* SourcePluginSound(uint32_t pluginField, uint32_t companyField)
{
    const ZkUniqueID id = CZkEffectObject::SourcePluginObjectID(pluginField, companyField);
    if (CZkIndexedObject* effect = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::CustomEffects, id))
        effect->Release();
    else if (CZkEffectObject::FindOrCreateSourcePlugin(pluginField, companyField) == nullptr)
        return nullptr;
    if (CZkIndexedObject* found = g_pObjectIndex->GetNodePtrAndAddRef(id, false))
    {
        auto* node = static_cast<CZkHierarchyNode*>(found);
        if (node->Category() == ZkNodeCategory_Sound)
            return static_cast<CZkSoundNode*>(node);
        node->Release();
        return nullptr;
    }
    CZkSoundNode* sound = CZkSoundNode::Create(id);
    if (sound == nullptr)
        return nullptr;
    sound->SetSourcePlugin(id & ~kSynthesizedObjectIdBit, id);
    sound->AddRef();
    return sound;
}
} // namespace

namespace MessageHandlers
{
void SourcePlugin(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSourcePluginMessage>(message);
    if (g_pObjectIndex == nullptr)
        return;
    if (body.command == kCommandStop)
    {
        const ZkUniqueID id = CZkEffectObject::SourcePluginObjectID(body.pluginID, body.companyID);
        CZkIndexedObject* found = g_pObjectIndex->GetNodePtrAndAddRef(id, false);
        if (found == nullptr)
            return;
        ZkActionParams stop;
        stop.code = ZkActionCode_Stop;
        stop.playingID = body.playingID;
        stop.isGlobal = true;
        static_cast<CZkHierarchyNode*>(found)->ExecuteAction(stop);
        found->Release();
        return;
    }
    CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(body.gameObject) : nullptr;
    if (object == nullptr)
        return;
    CZkSoundNode* sound = SourcePluginSound(body.pluginID, body.companyID);
    if (sound == nullptr)
        return;
    PlayLaunchParams launch;
    launch.Init();
    launch.gameObject = object;
    launch.playingID = body.playingID;
    sound->Launch(launch);
    launch.FreeArrays();
    sound->Release();
}
} // namespace MessageHandlers
} // namespace ZK::SoundEngine
