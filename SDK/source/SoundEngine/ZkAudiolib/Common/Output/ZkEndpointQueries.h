// Small questions the engine asks of a platform endpoint: its name for people, and whether it is
// in one of the states of a mask; and the apartment the device functions of the game thread open
// around their work.
//
// Threading: any thread. Ownership: nothing is kept.
#pragma once

#include <Platform/Audio/EndpointInterfaces.h>

#include <cstddef>
#include <cstdint>

namespace ZK::SoundEngine
{
// Copies the endpoint's friendly name (cut to capacity - 1 characters, always terminated). False
// when it has none (the output is then empty).
bool ReadEndpointName(ZK::Platform::IEndpoint* endpoint, wchar_t* name, size_t capacity);
// The endpoint's state bit; 0 when it cannot be read.
uint32_t EndpointState(ZK::Platform::IEndpoint* endpoint);

// Starts the calling thread's apartment for the life of the object, as every call into the
// system's audio endpoints from a thread of the application does.
class ZkScopedApartment
{
public:
    ZkScopedApartment();
    ~ZkScopedApartment();
    ZkScopedApartment(const ZkScopedApartment&) = delete;
    ZkScopedApartment& operator=(const ZkScopedApartment&) = delete;

private:
    bool m_started = false;
};
} // namespace ZK::SoundEngine
