// The ALSA provider, its enumerator and its endpoints.
#include "Platform/Audio/AlsaEndpoints.h"

#include "Platform/Audio/AlsaStreamClient.h"
#include "Platform/Audio/DisabledSpatialClient.h"
#include "Platform/Audio/EndpointBuildingBlocks.h"
#include "Platform/Audio/TaskMemory.h"
#include "Platform/PlatformText.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace ZK::Platform
{
namespace
{
constexpr wchar_t kDefaultFriendlyName[] = L"Default ALSA device";

struct AlsaEndpointInfo
{
    std::wstring id;
    std::wstring friendlyName;
};

// alsa-lib writes its configuration errors (for instance "cannot find card '0'" on a machine
// without a sound card) to the standard error stream; the layer reports failures through its
// results instead.
void QuietErrorHandler(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaMessages()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&QuietErrorHandler); });
}

// A hint's description spans two lines (device, then its use): one line for people.
std::wstring OneLine(const char* text)
{
    std::string line = text != nullptr ? text : "";
    for (char& character : line)
    {
        if (character == '\n')
            character = ' ';
    }
    return Utf8ToWide(line);
}

std::vector<AlsaEndpointInfo> ListPlaybackPcms()
{
    SilenceAlsaMessages();
    std::vector<AlsaEndpointInfo> endpoints;
    endpoints.push_back({kAlsaDefaultEndpointId, kDefaultFriendlyName});
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr)
        return endpoints;
    for (void** hint = hints; *hint != nullptr; ++hint)
    {
        char* name = snd_device_name_get_hint(*hint, "NAME");
        char* description = snd_device_name_get_hint(*hint, "DESC");
        char* direction = snd_device_name_get_hint(*hint, "IOID"); // none: both directions
        const bool playback = direction == nullptr || std::string(direction) == "Output";
        if (name != nullptr && playback)
        {
            std::wstring id = Utf8ToWide(std::string(name));
            if (id == kAlsaDefaultEndpointId)
                endpoints.front().friendlyName = OneLine(description);
            else
                endpoints.push_back({id, OneLine(description != nullptr ? description : name)});
        }
        std::free(name);
        std::free(description);
        std::free(direction);
    }
    snd_device_name_free_hint(hints);
    return endpoints;
}

class AlsaEndpoint final : public AudioObject<IEndpoint>
{
public:
    explicit AlsaEndpoint(AlsaEndpointInfo info) : m_info(std::move(info)) {}


    AudioResult Activate(InterfaceId id, void** object) override
    {
        if (object == nullptr)
            return kAudioInvalidArgument;
        *object = nullptr;
        if (id == InterfaceId::StreamClient || id == InterfaceId::StreamClient2)
        {
            IStreamClient2* client = MakeAlsaStreamClient(WideToUtf8(m_info.id));
            *object = client;
            return client != nullptr ? kAudioOk : kAudioOutOfMemory;
        }
        return ActivateSessionManager(id, object, {});
    }

    // ALSA has no spatial sound: the client reports no dynamic objects ("not enabled").
    AudioResult ActivateWithParameters(InterfaceId id, const PropertyValue&, void** object) override
    {
        return ActivateDisabledSpatialClient(id, object);
    }

    AudioResult OpenPropertyStore(IEndpointPropertyStore** store) override
    {
        if (store == nullptr)
            return kAudioInvalidArgument;
        *store = new (std::nothrow) EndpointPropertyStore(m_info.friendlyName, AlsaStreamMixFormat());
        return *store != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult GetId(wchar_t** id) override
    {
        if (id == nullptr)
            return kAudioInvalidArgument;
        *id = DuplicateTaskText(m_info.id.c_str());
        return *id != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult GetState(uint32_t* state) override
    {
        if (state == nullptr)
            return kAudioInvalidArgument;
        *state = kDeviceStateActive;
        return kAudioOk;
    }

private:
    AlsaEndpointInfo m_info;
};

class AlsaEnumerator final : public AudioObject<IEndpointEnumerator>
{
public:
    AlsaEnumerator() : m_endpoints(ListPlaybackPcms()) {}


    AudioResult EnumAudioEndpoints(DataFlow flow, uint32_t stateMask, IEndpointCollection** endpoints) override
    {
        if (endpoints == nullptr)
            return kAudioInvalidArgument;
        *endpoints = nullptr;
        std::vector<IEndpoint*> found;
        bool complete = true;
        if (flow != DataFlow::Capture && (stateMask & kDeviceStateActive) != 0)
        {
            for (const AlsaEndpointInfo& info : m_endpoints)
            {
                IEndpoint* endpoint = new (std::nothrow) AlsaEndpoint(info);
                if (endpoint == nullptr)
                {
                    complete = false;
                    break;
                }
                found.push_back(endpoint);
            }
        }
        if (complete)
            *endpoints = new (std::nothrow) EndpointCollection(found);
        for (IEndpoint* endpoint : found)
            endpoint->Release();
        return *endpoints != nullptr ? kAudioOk : kAudioOutOfMemory;
    }

    AudioResult GetDefaultAudioEndpoint(DataFlow flow, DeviceRole, IEndpoint** endpoint) override
    {
        if (endpoint == nullptr)
            return kAudioInvalidArgument;
        *endpoint = nullptr;
        if (flow != DataFlow::Render)
            return kAudioNotFound;
        return GetDevice(kAlsaDefaultEndpointId, endpoint);
    }

    AudioResult GetDevice(const wchar_t* id, IEndpoint** endpoint) override
    {
        if (endpoint == nullptr || id == nullptr)
            return kAudioInvalidArgument;
        *endpoint = nullptr;
        for (const AlsaEndpointInfo& info : m_endpoints)
        {
            if (info.id == id)
            {
                *endpoint = new (std::nothrow) AlsaEndpoint(info);
                return *endpoint != nullptr ? kAudioOk : kAudioOutOfMemory;
            }
        }
        return kAudioNotFound;
    }

    // ALSA announces no endpoint changes: the client is accepted and never called.
    AudioResult RegisterEndpointNotificationCallback(IEndpointNotificationClient* client) override
    {
        return client != nullptr ? kAudioOk : kAudioInvalidArgument;
    }
    AudioResult UnregisterEndpointNotificationCallback(IEndpointNotificationClient*) override { return kAudioOk; }

private:
    std::vector<AlsaEndpointInfo> m_endpoints;
};

class AlsaProvider final : public IEndpointProvider
{
public:
    AudioResult CreateEnumerator(IEndpointEnumerator** enumerator) override
    {
        if (enumerator == nullptr)
            return kAudioInvalidArgument;
        *enumerator = new (std::nothrow) AlsaEnumerator;
        return *enumerator != nullptr ? kAudioOk : kAudioOutOfMemory;
    }
};
} // namespace

IEndpointProvider& AlsaEndpointProvider()
{
    static AlsaProvider provider;
    return provider;
}

bool AlsaHasSoundCard()
{
    SilenceAlsaMessages();
    int card = -1;
    return snd_card_next(&card) == 0 && card >= 0;
}
} // namespace ZK::Platform
