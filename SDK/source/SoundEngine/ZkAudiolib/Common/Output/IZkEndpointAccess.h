// The engine's view of the system's audio endpoints, as the sinks use it: the endpoints with their
// device ids (the FNV-1 ids of their id strings), found by index or by id (0: the default console
// endpoint), under a lock the sink takes while it walks the list. The endpoint-access factory is
// the process-wide object that hands this view out, making the shared endpoint notifier when
// there is none yet (plug-ins reach it through their global context).
//
// Threading: engine thread (and the game thread's device queries, under the lock).
// Ownership: an endpoint handed out carries one reference for the caller.
#pragma once

#include <cstdint>

namespace ZK::Platform
{
class IEndpoint;
}

namespace ZK::SoundEngine
{
// The id of an endpoint whose id string could not be read.
constexpr uint32_t kInvalidEndpointID = 0xFFFFFFFFu;

class IZkEndpointAccess
{
public:
    virtual uint32_t GetEndpointCount() = 0;
    // The endpoint with a reference added and its id; null and kInvalidEndpointID past the end.
    virtual ZK::Platform::IEndpoint* GetEndpoint(uint32_t index, uint32_t& deviceID) = 0;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // The endpoint of that id (0: the default console endpoint) with a reference added; null and
    // kInvalidEndpointID when there is none.
    virtual ZK::Platform::IEndpoint* FindEndpoint(uint32_t deviceID, uint32_t& foundID) = 0;

protected:
    ~IZkEndpointAccess() = default;
};

class IZkEndpointAccessFactory
{
public:
    // The shared notifier's endpoint access, made when missing; null when it cannot be made.
    virtual IZkEndpointAccess* GetEndpointAccess() = 0;

protected:
    ~IZkEndpointAccessFactory() = default;
};
} // namespace ZK::SoundEngine
