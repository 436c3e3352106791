// CZkModulator::Attach: a play starts (or joins) the modulator's instance for its key.
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTargets.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTrigger.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
// The owner of the key's scope records the modulator, so that its instances stop when the owner
// goes (its parameter scope is cleared): the playing instance when the key names one, else the
// playing id, else the game object. False when the owner is gone or cannot record it.
bool RecordInOwnerScope(const ZkRTPCKey& key, ZkUniqueID modulatorID)
{
    if (key.instance != nullptr)
        return key.instance->RegisterScopedModulator(modulatorID) == ZK_Success;
    if (key.playingID != 0)
        return g_pPlayingMgr != nullptr && g_pPlayingMgr->RegisterScopedModulator(key.playingID, modulatorID) == ZK_Success;
    if (key.gameObject != nullptr)
        return key.gameObject->ParamScope().AddModulator(modulatorID) == ZK_Success;
    return true; // the global scope has no owner that goes away
}
} // namespace

ZKRESULT CZkModulator::Attach(const ZkModulatorTargetKey& key, const ZkModulatorTrigger& trigger,
                              CZkModulatorMgr& manager, ZkModulatorLinksHandle* links)
{
    const int32_t scope = std::max(Scope(), key.minimumScope);
    const ZkRTPCKey instanceKey = ReduceKeyToScope(trigger.Key(), scope);
    ZkModulatorInstanceTree::Slot* slot = m_instances.FindOrInsertSlot(instanceKey);
    if (slot == nullptr)
        return ZK_Fail;
    const bool slotWasEmpty = slot->hasInstance == 0;
    CZkModulatorInstance* existing = slotWasEmpty ? nullptr : slot->instance;

    bool created = false;
    CZkModulatorInstance* instance = CreateInstance(existing, trigger, key.nodeInstance, scope, created);
    if (instance == nullptr)
    {
        if (slotWasEmpty)
            m_instances.RemoveKey(instanceKey);
        return ZK_Fail;
    }
    if (instance != existing)
        m_instances.Store(*slot, instance);

    if (links != nullptr)
    {
        if (links->EnsureLinks() != ZK_Success)
            return ZK_Fail;
        const ZKRESULT linked = links->links->AddInstance(instance, trigger, key);
        if (linked != ZK_Success)
            return linked;
        if (links->releaseFrame != ZkModulatorLinksHandle::kNotReleased)
            links->links->ReleaseAll(links->releaseFrame);
    }

    if (created)
    {
        if (!RecordInOwnerScope(instanceKey, ID()) || !manager.AppendInstance(instance))
        {
            // The owner is gone: the instance leaves the tree at once (the links may still hold it
            // until their holder goes; it is finished for them).
            instance->MarkStopped();
            m_instances.RemoveKey(instanceKey);
        }
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
