// The filter pair of one mix connection: the listener filters of the rays its listener hears, on
// the connection's path, with the attenuation and environment of the connection's input.
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"

namespace ZK::SoundEngine
{
void CZkPositioningMath::ComputeListenerFilters(ZkRay* rays, uint32_t rayCount, CZkMixerInputContext& connection)
{
    const ZkMixInstanceView& view = connection.GetInputContext().View();
    const ZkGameObjectID listener = view.RayListener(connection.listenerID);
    const uint32_t path = PathOfConnection(connection.connectionType);
    float lowPass = kNoFiltering;
    float highPass = kNoFiltering;
    ComputeListenerFilters(view.attenuation, g_pEnvCurves, rays, rayCount, listener, path, lowPass, highPass);
    connection.listenerLowPass = lowPass;
    connection.listenerHighPass = highPass;
}
} // namespace ZK::SoundEngine
