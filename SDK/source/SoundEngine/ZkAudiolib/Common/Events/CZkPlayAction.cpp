#include "ZkAudiolib/Common/Events/CZkPlayAction.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
// A draw times this is a percentage in [0, 100].
constexpr double kDrawToPercent = 100.0 / 2147483647.0;
} // namespace

ZKRESULT CZkPlayAction::ReadParams(ZK::ZkByteCursor& cursor)
{
    if (!ReadCurve(cursor) || !cursor.Read(m_bankID))
        return ZK_InvalidFile;
    SetFlagBits(kFlagHasBankID, true);
    return ZK_Success;
}

bool CZkPlayAction::DrawProbability() const
{
    const uint8_t* stored = Properties().Find(ZkProp_PlayProbability);
    if (stored == nullptr)
        return true;
    const float percent = ZK::LoadLittleEndian<float>(stored);
    if (percent == 0.0f || std::isnan(percent))
        return false;
    return !(ZK::ZkLcg64::Engine().Draw() * kDrawToPercent > percent);
}

ZKRESULT CZkPlayAction::Execute(PendingAction& pending)
{
    if (!DrawProbability())
        return ZK_Success;
    CZkHierarchyNode* target = GetTargetNode();
    if (target == nullptr)
        return ZK_InvalidID;
    const ZkPlayRecord& play = pending.PlayRecord();
    PlayLaunchParams launch;
    launch.gameObject = pending.GameObject();
    launch.playingID = pending.playingID;
    launch.sampleOffset = pending.sampleOffset;
    launch.fadeInTime = GetFadeTime();
    launch.fadeInCurve = Curve();
    launch.externalSources = play.externalSources;
    if (launch.externalSources != nullptr)
        launch.externalSources->AddRef();
    launch.midiEvent = play.midiEvent;
    launch.midiValue = play.midiValue;
    launch.launchFlags |= PlayLaunchParams::kFlagFirstItem;
    if ((Flags() & kFlagRunTime) != 0)
        launch.launchFlags |= PlayLaunchParams::kFlagRunTimeAction;
    return LaunchOn(target, launch);
}

ZKRESULT CZkPlayAction::LaunchOn(CZkHierarchyNode* target, PlayLaunchParams& launch)
{
    auto* playable = dynamic_cast<CZkPlayableNode*>(target);
    const ZKRESULT result = playable != nullptr ? playable->Launch(launch) : ZK_InvalidID;
    ZkVoiceLists::IncrementLaunchCounter();
    target->Release();
    launch.FreeArrays();
    return result;
}
} // namespace ZK::SoundEngine
