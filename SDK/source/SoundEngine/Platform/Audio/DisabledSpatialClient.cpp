#include "Platform/Audio/DisabledSpatialClient.h"

#include <new>

namespace ZK::Platform
{
namespace
{
class DisabledSpatialClient final : public AudioObject<ISpatialAudioClient, InterfaceId::SpatialAudioClient>
{
public:
    AudioResult GetMaxDynamicObjectCount(uint32_t* count) override
    {
        if (count == nullptr)
            return kAudioInvalidArgument;
        *count = 0;
        return kAudioOk;
    }
    AudioResult GetSupportedAudioObjectFormatEnumerator(IAudioFormatEnumerator** enumerator) override
    {
        if (enumerator != nullptr)
            *enumerator = nullptr;
        return kAudioNoInterface;
    }
    AudioResult ActivateSpatialAudioStream(const PropertyValue&, ISpatialAudioObjectRenderStream** stream) override
    {
        if (stream != nullptr)
            *stream = nullptr;
        return kAudioNoInterface;
    }
};
} // namespace

AudioResult ActivateDisabledSpatialClient(InterfaceId id, void** object)
{
    if (object == nullptr)
        return kAudioInvalidArgument;
    *object = nullptr;
    if (id != InterfaceId::SpatialAudioClient)
        return kAudioNoInterface;
    auto* client = new (std::nothrow) DisabledSpatialClient;
    *object = static_cast<ISpatialAudioClient*>(client);
    return client != nullptr ? kAudioOk : kAudioOutOfMemory;
}
} // namespace ZK::Platform
