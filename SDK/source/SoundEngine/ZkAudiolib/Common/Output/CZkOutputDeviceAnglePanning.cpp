// Panning of a bare horizontal angle on the device's layout: the power-to-amplitude gains of one
// direction, by the stereo law on a stereo output under panning rule 1, else pairwise on the ring.
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"

#include "ZkAudiolib/Common/Panning/SpeakerMasks.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"

#include <cmath>

ZKRESULT CZkOutputDevice::ComputeAnglePanning(float azimuth, ZkChannelConfig output, float* gains)
{
    using namespace ZkSpeakerMasks;
    const uint32_t speakers = output.Mask() & ~ZK_SPEAKER_LOW_FREQUENCY;
    if (!IsConsistentSpeakerConfig(output) || speakers == 0 || CountOf(speakers) > 7 || (output.Mask() & ~kPlanar) != 0)
        return ZK_Fail;
    if (!std::isfinite(azimuth))
        return ZK_InvalidParameter;
    for (uint32_t c = 0; c < output.NumChannels(); ++c)
        gains[c] = 0.0f;
    if (CountOf(speakers) == 1)
    {
        gains[0] = 1.0f; // a single speaker plays every direction
        return ZK_Success;
    }
    const float x = std::sin(azimuth);
    if (panningRule == 1 && speakers == kStereo)
    {
        CZkSpeakerPan::PanStereoLaw(x, 1.0f, gains);
    }
    else
    {
        ZK::Platform::ZkScopedLock lock(m_lock);
        const ZkSpeakerLayout* layout = GetSpeakerLayout(output);
        if (layout == nullptr || !layout->IsPlanar())
            return ZK_Fail;
        CZkSpeakerPan::PanPairwise(layout->ring.pairs, layout->ring.positionCount, x, std::cos(azimuth), 1.0f,
                                   layout->ring.channels, gains);
    }
    for (uint32_t c = 0; c < output.NumChannels(); ++c)
        gains[c] = std::sqrt(gains[c]);
    return ZK_Success;
}
