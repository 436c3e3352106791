// ZkDuckRecord: the duck that one ducking bus applies to one property (0 or 5) of a ducked bus,
// kept by the ducked bus (its owner). The record's value (dB, 0 = no duck) moves through a
// transition; every value the transition reports changes the owner's duck for the property, which
// the owner passes on when it moved. A releasing record (moving back to 0) ends at exactly 0.
//
// Threading: audio thread, under the global engine lock.
// Ownership: a node of the owner's record list (memory pool 0); the record is the user of its
// running transition, which it leaves before it goes (LeaveTransition).
#pragma once

#include "ZkAudiolib/Common/Parameters/ZkTransitionUser.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkBus;
class CZkTransition;

class ZkDuckRecord final : public ZkTransitionUser
{
public:
    ZkDuckRecord(CZkBus* owner, ZkUniqueID duckingBusID, uint8_t property)
        : duckingBusID(duckingBusID), property(property)
    {
        Init(owner);
    }

    // The owner, no transition, value 0, not releasing.
    void Init(CZkBus* owner);
    // Moves the value to target over timeMs along curve: a running transition is retargeted;
    // without one a transition is made when the value differs and the time is not 0; otherwise (or
    // when no transition can be made) the value is set at once.
    void MoveTo(float target, ZkTimeMs timeMs, uint32_t curve, bool release);
    // Keeps the value where it is: not releasing, a running transition ends here at once.
    void Hold();
    // Leaves a running transition.
    void LeaveTransition();
    // A transition's report (kind: the property): the owner's duck before and after the new value.
    void TransUpdateValue(uint32_t, float newValue, bool done) override { TransitionUpdate(newValue, done); }
    void TransitionUpdate(float value, bool done);

    ZkDuckRecord* next = nullptr;
    ZkUniqueID duckingBusID;
    CZkBus* owner = nullptr;
    CZkTransition* transition = nullptr;
    float value = 0.0f;
    uint8_t releasing = 0;
    uint8_t property;
};
} // namespace ZK::SoundEngine
