#include "ZkAudiolib/Common/FrontEnd/EngineManagers.h"

#include "ZkAudiolib/Common/Banks/ThreadedBankManager.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdentification.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kManagersPool = ZkMemID_EngineSingletons;

// Allocates the manager (unless its global is set), publishes it, then initialises it.
template <typename Manager, typename Global, typename Initialise>
ZKRESULT Create(Global*& global, Initialise initialise)
{
    if (global != nullptr)
        return ZK_Success;
    Manager* manager = ZK::ZkNew<Manager>(kManagersPool);
    if (manager == nullptr)
        return ZK_InsufficientMemory;
    global = manager;
    return initialise(*manager);
}

// Runs the manager's termination (when it exists), destroys and frees it, and clears its global.
template <typename Manager, typename Terminate>
void Destroy(Manager*& global, Terminate terminate)
{
    Manager* manager = global;
    if (manager == nullptr)
        return;
    terminate(*manager);
    ZK::ZkDelete(kManagersPool, manager);
    global = nullptr;
}

ZKRESULT CreateBankManager(bool threaded)
{
    auto initialise = [](BankManager& manager) { return manager.Init(); };
    return threaded ? Create<ThreadedBankManager>(g_pBankManager, initialise)
                    : Create<BankManager>(g_pBankManager, initialise);
}
} // namespace

ZKRESULT CreateEngineManagers(const ZkInitSettings& settings)
{
    ZKRESULT result = Create<ObjectIndex>(g_pObjectIndex, [](ObjectIndex& index) {
        return index.InitTables() ? ZK_Success : ZK_InsufficientMemory;
    });
    if (result == ZK_Success)
        result = Create<CZkRTPCMgr>(g_pRTPCMgr, [](CZkRTPCMgr& manager) { return manager.Init(); });
    if (result == ZK_Success)
        result = CreateBankManager(settings.bankThread != 0);
    if (result == ZK_Success)
        result = Create<CZkPlayingMgr>(g_pPlayingMgr, [](CZkPlayingMgr& manager) { return manager.CreateCallbackEvent(); });
    if (result == ZK_Success)
        result = Create<PlayPositionRepository>(g_pPlayPositionRepository,
                                                [](PlayPositionRepository& repository) { return repository.Init(); });
    if (result == ZK_Success)
        result = Create<CZkRegistryMgr>(g_pRegistryMgr, [](CZkRegistryMgr& manager) { return manager.Init(); });
    if (result == ZK_Success)
        result = Create<CZkModulatorMgr>(g_pModulatorMgr, [](CZkModulatorMgr& manager) { return manager.Init(); });
    if (result == ZK_Success)
        result = Create<CZkTransitionMgr>(g_pTransitionMgr, [](CZkTransitionMgr&) { return ZK_Success; });
    if (result == ZK_Success)
        result = Create<CZkSharedItemArray>(g_pSharedItemArray, [&settings](CZkSharedItemArray& players) {
            players.Clear();
            return players.Init(settings.sharedItemCapacity);
        });
    if (result == ZK_Success)
        result = Create<CZkSwitchMgr>(g_pSwitchMgr, [](CZkSwitchMgr& manager) { return manager.Init(); });
    if (result == ZK_Success)
        result = Create<CZkStateMgr>(g_pStateMgr, [](CZkStateMgr& manager) { return manager.Init(); });
    return result;
}

ZKRESULT CreateEventManager(uint32_t ringBytes)
{
    return Create<EventManager>(g_pEventMgr, [ringBytes](EventManager& events) { return events.Init(ringBytes); });
}

void DestroyEventManager()
{
    Destroy(g_pEventMgr, [](EventManager& events) { events.Term(); });
}

void DestroyBankManager()
{
    Destroy(g_pBankManager, [](BankManager& manager) { manager.Term(); });
}

void DestroyEngineManagers()
{
    if (g_pObjectIndex != nullptr)
    {
        g_pObjectIndex->ReleaseSynthesizedObjects();
        g_pObjectIndex->ReleaseDynamicSequences();
        g_pObjectIndex->ReleaseGroupEntries();
    }
    FreeBankIdentification();
    Destroy(g_pSharedItemArray, [](CZkSharedItemArray& players) { players.Term(); });
    Destroy(g_pTransitionMgr, [](CZkTransitionMgr& manager) { manager.Term(); });
    Destroy(g_pRegistryMgr, [](CZkRegistryMgr& manager) { manager.Term(); });
    Destroy(g_pPlayingMgr, [](CZkPlayingMgr& manager) {
        manager.TermPlayingIDs();
        manager.Term();
    });
    Destroy(g_pPlayPositionRepository, [](PlayPositionRepository& repository) { repository.Term(); });
    Destroy(g_pSwitchMgr, [](CZkSwitchMgr& manager) { manager.Term(); });
    Destroy(g_pStateMgr, [](CZkStateMgr& manager) { manager.Term(); });
    Destroy(g_pRTPCMgr, [](CZkRTPCMgr& manager) { manager.Term(); });
    Destroy(g_pModulatorMgr, [](CZkModulatorMgr& manager) { manager.Term(); });
    Destroy(g_pObjectIndex, [](ObjectIndex& index) { index.FreeTables(); });
}
} // namespace ZK::SoundEngine
