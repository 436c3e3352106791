// CZkParamScope: the ids of the modulators and game parameters that hold values under one owner's
// scope (a game object or a playing instance), so that they are cleared when the owner goes.
//
// Threading: audio thread, under the global engine lock.
// Ownership: owns its two sorted id arrays (memory pool 0).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
class CZkParamScope
{
public:
    // Records a game parameter (kept sorted, no duplicates). 1, or 52 when the array cannot grow.
    ZKRESULT AddParameter(ZkUniqueID id);
    ZKRESULT AddModulator(ZkUniqueID id);
    bool HasParameter(ZkUniqueID id) const;
    uint32_t ParameterCount() const { return m_parameters.Length(); }

    // Removes the key's values of every recorded parameter (and modulator) and forgets them.
    void Clear(const ZkRTPCKey& key);

private:
    static ZKRESULT AddSorted(ZK::ZkArray<ZkUniqueID>& ids, ZkUniqueID id);

    ZK::ZkArray<ZkUniqueID> m_modulators;
    ZK::ZkArray<ZkUniqueID> m_parameters;
};
} // namespace ZK::SoundEngine
