// CZkPositioningParams: the positioning record a play keeps of its node's positioning settings:
// the attenuation they name, looked up once and held. GetAttenuation answers the held pointer, else
// looks the id up in the object index (a counted reference, cached); the record gives the
// reference back when it is reset, when the id changes, or when it goes.
//
// Threading: engine thread (the look-up takes the attenuation table's lock). Ownership: the
// reference to the attenuation is the record's.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
class CZkAttenuation;

class CZkPositioningParams
{
public:
    CZkPositioningParams() = default;
    ~CZkPositioningParams() { Reset(); }
    CZkPositioningParams(const CZkPositioningParams&) = delete;
    CZkPositioningParams& operator=(const CZkPositioningParams&) = delete;

    // The settings name another attenuation (0: none): a held one is given back.
    void SetAttenuationID(ZkUniqueID id);
    ZkUniqueID AttenuationID() const { return m_attenuationID; }
    // The held attenuation, else the one of the id with a reference (kept); null for id 0 or an
    // unknown id (looked up again at the next call).
    CZkAttenuation* GetAttenuation();
    // The held attenuation without a look-up (null when none is held).
    CZkAttenuation* HeldAttenuation() const { return m_attenuation; }
    // Gives the held attenuation back; the id stays.
    void Reset();

private:
    ZkUniqueID m_attenuationID = 0;
    CZkAttenuation* m_attenuation = nullptr;
};
} // namespace ZK::SoundEngine
