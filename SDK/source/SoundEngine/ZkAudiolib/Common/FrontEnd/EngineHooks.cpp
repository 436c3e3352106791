#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"

namespace ZK::SoundEngine::EngineHooks
{
namespace
{
ZkHierarchyItemHandler g_hierarchyItemHandler = nullptr;
} // namespace

void SetHierarchyItemHandler(ZkHierarchyItemHandler handler)
{
    g_hierarchyItemHandler = handler;
}

ZkHierarchyItemHandler GetHierarchyItemHandler()
{
    return g_hierarchyItemHandler;
}
} // namespace ZK::SoundEngine::EngineHooks
