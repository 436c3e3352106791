// CZkSwitchGroup: one switch group of the switch manager: its values (global and per game object),
// its subscriptions, and, for a group driven by a game parameter, the switch states that the
// parameter's curve indexes.
//
// Threading: audio thread, under the global engine lock.
// Ownership: the switch manager's (memory pool 2); the subscriptions belong to the manager's table.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameSyncs/ZkSwitchValues.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGroupSubscriber;

// A subscriber's subscription (memory pool 2), keyed in the manager's table by the subscriber's
// address.
struct ZkSwitchSubscription
{
    CZkGroupSubscriber* subscriber = nullptr;
    ZkSwitchSubscription* pNextItem = nullptr;
    uint32_t hashKey = 0; // low 32 bits of the subscriber's address
    ZkUniqueID groupID = 0;
    uint8_t active = 1; // 0 while an unsubscription waits for the end of a deferral
};

class CZkSwitchGroup
{
public:
    explicit CZkSwitchGroup(ZkUniqueID id) : groupID(id) {}

    bool IsParameterDriven() const { return parameterID != 0; }
    // The index that curve output x selects: x truncated toward zero; -1 for NaN and for outputs
    // outside the range of indexes (no float-to-integer conversion that could overflow).
    static int32_t CurveIndex(float x)
    {
        constexpr float kIndexLimit = 2147483520.0f; // the largest float below 2^31
        if (!(x > -1.0f) || !(x <= kIndexLimit))
            return -1;
        return static_cast<int32_t>(x);
    }
    // The state that curve output x selects; 0 out of range.
    ZkUniqueID StateAtCurveOutput(float x) const
    {
        const int32_t index = CurveIndex(x);
        return index >= 0 && static_cast<uint32_t>(index) < states.Length() ? states[static_cast<uint32_t>(index)] : 0;
    }

    ZkUniqueID groupID;
    CZkSwitchGroup* pNextItem = nullptr;
    ZK::ZkArray<ZkUniqueID, ZkMemID_BankObjects> states; // state of curve point i
    ZkUniqueID parameterID = 0; // 0: the group is set directly
    uint32_t parameterType = 0;
    ZK::ZkArray<ZkSwitchSubscription*> subscriptions; // ascending by address
    ZkSwitchValues values;
};
} // namespace ZK::SoundEngine
