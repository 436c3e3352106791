// CZkEffectContext (declaration only): an instance's subscription to the parameters of the effect
// object that runs in one of its effect slots: the effect object and the parameter object its
// plug-in is initialised with, kept current by the effect object's game parameters.
//
// Not built yet: the effect object fills the record when it creates the instance's plug-in
// parameters (CZkEffectObject::CreateInstancePlugin); Unsubscribe reaches nobody.
//
// Threading: engine thread. Ownership: embedded in its effect stage; the parameters belong to the
// effect object's instance.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkEffectObject;

class CZkEffectContext
{
public:
    // Not built yet: 4, nothing was subscribed.
    ZKRESULT Unsubscribe() { return ZK_NotImplemented; }

    CZkEffectObject* effect = nullptr;
    ZK::IZkPluginParam* params = nullptr;
};
} // namespace ZK::SoundEngine
