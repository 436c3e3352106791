// CZkVoice: what the mix view holds of a positioned instance: its rays of the frame, attenuated,
// the positioning settings its connections pan by in three dimensions, and whether the game reads
// its matrices.
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>

namespace ZK::SoundEngine
{
void CZkVoice::RefreshPositioningView(CZkPlayingInstance& instance)
{
    ZkMixInstanceView& view = View();
    CZkGameObject* object = instance.GameObjectOf();
    view.gameObjectID = object != nullptr ? object->ID() : 0;
    view.rays = instance.Rays();
    view.rayCount = instance.RayCount();
    view.attenuation = instance.Attenuation();
    // The game asked for the voice's matrices when it posted the play with that callback.
    view.notifiesVolumeMatrix = g_pPlayingMgr != nullptr && (g_pPlayingMgr->GetPlayingIDFlags(instance.PlayingID()) &
                                                             ZkCallbackType_SpeakerVolumeMatrix) != 0;
    const CZkHierarchyNode* node = instance.Node();
    ZkMixPositioning& positioning = view.positioning;
    const ZkPositioningValues values =
        node != nullptr && instance.IsPositioned() ? node->GetPositioningValues(object) : ZkPositioningValues{};
    view.tracksRays = values.has3D;
    if (!values.has3D)
    {
        // Panned in two dimensions, as the voice's connections were made.
        positioning.flags &= ~ZkMixPositioning::kFlag3D;
        return;
    }
    positioning.Take(values, node->Get3DModeInfo(object), view.attenuation != nullptr);
    const CZkEmitter* emitter = object != nullptr ? object->Emitter() : nullptr;
    view.multiPositionMode = emitter != nullptr ? emitter->MultiPositionMode() : 0;
}

float CZkVoice::EvaluateCurveA(float distance) const
{
    const CZkPlayingInstance* instance = Instance();
    return instance != nullptr ? instance->EvaluateCurveA(distance) : 0.0f;
}

float CZkVoice::EvaluateCurveB(float distance) const
{
    const CZkPlayingInstance* instance = Instance();
    return instance != nullptr ? instance->EvaluateCurveB(distance) : 0.0f;
}
} // namespace ZK::SoundEngine
