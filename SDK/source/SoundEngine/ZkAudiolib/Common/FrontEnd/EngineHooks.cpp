#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"

namespace ZK::SoundEngine::EngineHooks
{
namespace
{
ZkHierarchyItemHandler g_hierarchyItemHandler = nullptr;
StateChangeHandler g_stateChangeHandler = nullptr;
BankUnloadHandler g_bankUnloadHandler = nullptr;
} // namespace

void SetHierarchyItemHandler(ZkHierarchyItemHandler handler)
{
    g_hierarchyItemHandler = handler;
}

ZkHierarchyItemHandler GetHierarchyItemHandler()
{
    return g_hierarchyItemHandler;
}

void SetStateChangeHandler(StateChangeHandler handler) { g_stateChangeHandler = handler; }
StateChangeHandler GetStateChangeHandler() { return g_stateChangeHandler; }
void SetBankUnloadHandler(BankUnloadHandler handler) { g_bankUnloadHandler = handler; }
BankUnloadHandler GetBankUnloadHandler() { return g_bankUnloadHandler; }
} // namespace ZK::SoundEngine::EngineHooks
