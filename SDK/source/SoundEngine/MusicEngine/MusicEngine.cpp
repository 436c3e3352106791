// ZK::MusicEngine's entry points: the settings, the start that hooks the music engine into the
// sound engine, its end, and the segment positions the game asks for.
#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include "MusicEngine/CZkSegmentInfoTable.h"
#include "MusicEngine/MusicEngineHooks.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"

namespace ZK::MusicEngine
{
void GetDefaultInitSettings(ZkMusicSettings& settings)
{
    settings.lookAheadFactor = kDefaultLookAheadFactor;
}

ZKRESULT Init(ZkMusicSettings* settings)
{
    MusicEngineState& music = MusicEngineState::Get();
    // A second start would lose the first one's records and run every callback twice.
    if (music.IsRunning())
        return ZK_Fail;
    if (music.Start(settings != nullptr ? settings->lookAheadFactor : kDefaultLookAheadFactor) != ZK_Success)
        return ZK_Fail;
    ZKRESULT result = SoundEngine::RegisterGlobalCallback(&ZkMusicFrameCallback, kFrameCallbackLocation, nullptr,
                                                          kFrameCallbackPluginType, 0, kFrameCallbackPluginID);
    if (result == ZK_Success)
    {
        result = SoundEngine::RegisterGlobalCallback(&ZkMusicTermCallback, kTermCallbackLocation);
        if (result != ZK_Success)
            SoundEngine::UnregisterGlobalCallback(&ZkMusicFrameCallback, kFrameCallbackLocation);
    }
    if (result != ZK_Success)
    {
        music.Release();
        return result;
    }
    SoundEngine::EngineHooks::SetStateChangeHandler(&ZkMusicStateChangeHook);
    SoundEngine::EngineHooks::SetHierarchyItemHandler(&ZkMusicObjectFactoryHook);
    SoundEngine::EngineHooks::SetBankUnloadHandler(&ZkMusicBankUnloadHook);
    return ZK_Success;
}

void Term()
{
    // Only the per-frame work stops here. The termination callback stays registered and releases
    // the music's tables when the sound engine ends; the hooks stay installed and find an empty
    // music state from then on.
    SoundEngine::UnregisterGlobalCallback(&ZkMusicFrameCallback, kFrameCallbackLocation);
}

ZKRESULT GetPlayingSegmentInfo(ZkPlayingID playingID, ZkSegmentInfo& info, bool extrapolate)
{
    return CZkSegmentInfoTable::ProcessTable().Read(playingID, info, extrapolate);
}
} // namespace ZK::MusicEngine
