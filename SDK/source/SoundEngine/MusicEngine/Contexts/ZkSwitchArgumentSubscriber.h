// ZkSwitchArgumentSubscriber: a switch context follows one argument (a switch or state group) of
// its container through one of these: it keeps the argument's current value for the play and
// tells the context when it changes.
//
// Threading: engine thread, under the global engine lock (the state and switch managers notify
// from there). Ownership: its switch context's array (pool 0); the destructor unregisters it.
#pragma once

#include "ZkAudiolib/Common/GameSyncs/CZkGroupSubscriber.h"

#include <cstdint>

namespace ZK::MusicEngine
{
class CZkMusicSwitchContext;

class ZkSwitchArgumentSubscriber final : public SoundEngine::CZkGroupSubscriber
{
public:
    ZkSwitchArgumentSubscriber(CZkMusicSwitchContext& context, uint32_t argument) : m_context(context), argumentIndex(argument) {}
    ~ZkSwitchArgumentSubscriber() override = default;

    // A notification for another game object, or for a key the filter holds a more specific value
    // for, concerns this play only for a state group (states have no game object). An unchanged
    // value is ignored; a new one is kept and the context follows it.
    void OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key, const SoundEngine::CZkRTPCOverrideFilter* filter) override;

    ZkUniqueID currentValue = 0;
    uint32_t kind = 0; // 0 switch group, 1 state group

private:
    CZkMusicSwitchContext& m_context;

public:
    uint32_t argumentIndex = 0;
};
} // namespace ZK::MusicEngine
