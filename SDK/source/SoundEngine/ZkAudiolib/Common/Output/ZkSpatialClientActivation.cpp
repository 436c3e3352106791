#include "ZkAudiolib/Common/Output/ZkSpatialClientActivation.h"

#include <Platform/Audio/TaskMemory.h>
#include <Platform/PlatformRandom.h>

#include <cstring>

namespace ZK::SoundEngine
{
using namespace ZK::Platform;

namespace
{
// The program's id and version as the spatial client's activation record names them.
constexpr Guid kApplicationId{0x6B3F1D27, 0x4C90, 0x4E1A, {0x9A, 0x52, 0x1E, 0x7D, 0x33, 0xC8, 0x05, 0xB4}};
constexpr int32_t kMajorVersion = 1;
} // namespace

bool MakeActivationBlob(const void* record, uint32_t size, PropertyValue& value)
{
    value = PropertyValue{};
    value.blob = AllocateTaskMemory(size);
    if (value.blob == nullptr)
        return false;
    std::memcpy(value.blob, record, size);
    value.blobSize = size;
    value.kind = PropertyKind::Blob;
    return true;
}

AudioResult ActivateSpatialClient(IEndpoint* endpoint, ISpatialAudioClient** client)
{
    *client = nullptr;
    if (endpoint == nullptr)
        return kAudioInvalidArgument;
    SpatialClientActivationParams activation;
    if (!FillRandomBytes(&activation.tracingContextId, sizeof(activation.tracingContextId)))
        activation.tracingContextId = Guid{};
    activation.applicationId = kApplicationId;
    activation.majorVersion = kMajorVersion;
    PropertyValue parameters;
    AudioResult activated = kAudioOutOfMemory;
    if (MakeActivationBlob(&activation, sizeof(activation), parameters))
        activated = endpoint->ActivateWithParameters(InterfaceId::SpatialAudioClient, parameters, reinterpret_cast<void**>(client));
    ClearPropertyValue(parameters);
    if (AudioFailed(activated))
        ReleaseAndClear(*client);
    return activated;
}
} // namespace ZK::SoundEngine
