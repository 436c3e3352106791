#include "ZkAudiolib/Common/Positioning/CZkPositioningParams.h"

#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"

namespace ZK::SoundEngine
{
void CZkPositioningParams::SetAttenuationID(ZkUniqueID id)
{
    if (id == m_attenuationID)
        return;
    Reset();
    m_attenuationID = id;
}

CZkAttenuation* CZkPositioningParams::GetAttenuation()
{
    if (m_attenuation == nullptr)
        m_attenuation = CZkAttenuation::Find(m_attenuationID);
    return m_attenuation;
}

void CZkPositioningParams::Reset()
{
    if (m_attenuation != nullptr)
        m_attenuation->Release();
    m_attenuation = nullptr;
}
} // namespace ZK::SoundEngine
