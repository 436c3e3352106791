// The virtual audio system as a platform provider: enumeration by state and role, formats and
// their policies, the stream's buffer, padding and capture on the manual clock, failures at call
// n, invalidated endpoints, notifications, and task memory that always comes back.
#include <Platform/Audio/StreamInterfaces.h>
#include <Platform/Audio/TaskMemory.h>
#include <Platform/Audio/VirtualAudioSystem.h>
#include <Platform/PlatformEvent.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ZK::Platform;

namespace
{
class CountingClient final : public IEndpointNotificationClient
{
public:
    AudioResult QueryInterface(InterfaceId, void**) override { return kAudioNoInterface; }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    AudioResult OnDeviceStateChanged(const wchar_t* id, uint32_t) override { return Note(L"state ", id); }
    AudioResult OnDeviceAdded(const wchar_t* id) override { return Note(L"added ", id); }
    AudioResult OnDeviceRemoved(const wchar_t* id) override { return Note(L"removed ", id); }
    AudioResult OnDefaultDeviceChanged(DataFlow, DeviceRole, const wchar_t* id) override { return Note(L"default ", id); }
    AudioResult OnPropertyValueChanged(const wchar_t* id, const PropertyKey&) override { return Note(L"property ", id); }

    std::vector<std::wstring> seen;

private:
    AudioResult Note(const wchar_t* what, const wchar_t* id)
    {
        seen.push_back(std::wstring(what) + id);
        return kAudioOk;
    }
};

class VirtualAudio : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_blocks = TaskMemoryBlocksInUse();
        VirtualEndpointSettings speakers;
        speakers.id = L"speakers";
        speakers.friendlyName = L"Speakers";
        m_system->AddEndpoint(speakers);
        VirtualEndpointSettings off = speakers;
        off.id = L"off";
        off.state = kDeviceStateDisabled;
        m_system->AddEndpoint(off);
        ASSERT_EQ(CreateEndpointEnumerator(&m_enumerator), kAudioOk);
    }
    void TearDown() override
    {
        ReleaseAndClear(m_render);
        ReleaseAndClear(m_client);
        ReleaseAndClear(m_enumerator);
        m_event.Term();
        EXPECT_EQ(TaskMemoryBlocksInUse(), m_blocks);
    }
    // A started, event-driven float stream on the speakers at 48 kHz, 4096 frames of buffer.
    void OpenStream(uint16_t channels = 2, uint32_t flags = kStreamFlagEventCallback)
    {
        IEndpoint* endpoint = nullptr;
        ASSERT_EQ(m_enumerator->GetDevice(L"speakers", &endpoint), kAudioOk);
        ASSERT_EQ(endpoint->Activate(InterfaceId::StreamClient, reinterpret_cast<void**>(&m_client)), kAudioOk);
        endpoint->Release();
        const WaveFormat format = MakeFloatFormat(48000, channels);
        m_initialized = m_client->Initialize(ShareMode::Shared, flags, 853'332, 0, &format, nullptr);
        if (m_initialized != kAudioOk)
            return;
        ASSERT_TRUE(m_event.Init(EventReset::Auto));
        ASSERT_EQ(m_client->SetEventHandle(&m_event), kAudioOk);
        ASSERT_EQ(m_client->GetService(InterfaceId::RenderClient, reinterpret_cast<void**>(&m_render)), kAudioOk);
        ASSERT_EQ(m_client->Start(), kAudioOk);
    }
    AudioResult Write(uint32_t frames, float value, uint32_t flags = 0)
    {
        uint8_t* data = nullptr;
        const AudioResult got = m_render->GetBuffer(frames, &data);
        if (AudioFailed(got))
            return got;
        auto* samples = reinterpret_cast<float*>(data);
        for (uint32_t index = 0; index < frames * 2; ++index)
            samples[index] = value;
        return m_render->ReleaseBuffer(frames, flags);
    }
    uint32_t Padding()
    {
        uint32_t padding = 0;
        EXPECT_EQ(m_client->GetCurrentPadding(&padding), kAudioOk);
        return padding;
    }

    ScopedVirtualAudioSystem m_system;
    IEndpointEnumerator* m_enumerator = nullptr;
    IStreamClient* m_client = nullptr;
    IStreamRenderClient* m_render = nullptr;
    ZkEvent m_event;
    AudioResult m_initialized = kAudioFail;
    int64_t m_blocks = 0;
};

TEST_F(VirtualAudio, EndpointsAreListedByStateAndTheFirstActiveOneIsEveryRolesDefault)
{
    struct Case
    {
        uint32_t mask;
        uint32_t count;
    };
    for (const Case& row : {Case{kDeviceStateAll, 2}, Case{kDeviceStateActive, 1}, Case{kDeviceStateDisabled, 1},
                            Case{kDeviceStateUnplugged, 0}})
    {
        IEndpointCollection* endpoints = nullptr;
        ASSERT_EQ(m_enumerator->EnumAudioEndpoints(DataFlow::Render, row.mask, &endpoints), kAudioOk);
        uint32_t count = 99;
        endpoints->GetCount(&count);
        EXPECT_EQ(count, row.count) << row.mask;
        endpoints->Release();
    }
    for (const DeviceRole role : {DeviceRole::Console, DeviceRole::Multimedia, DeviceRole::Communications})
    {
        IEndpoint* endpoint = nullptr;
        ASSERT_EQ(m_enumerator->GetDefaultAudioEndpoint(DataFlow::Render, role, &endpoint), kAudioOk);
        wchar_t* id = nullptr;
        ASSERT_EQ(endpoint->GetId(&id), kAudioOk);
        EXPECT_STREQ(id, L"speakers");
        FreeTaskMemory(id);
        endpoint->Release();
    }
    IEndpoint* endpoint = nullptr;
    EXPECT_EQ(m_enumerator->GetDevice(L"nowhere", &endpoint), kAudioNotFound);
    ASSERT_EQ(m_enumerator->GetDevice(L"off", &endpoint), kAudioOk) << "found in any state";
    IStreamClient* client = nullptr;
    EXPECT_EQ(endpoint->Activate(InterfaceId::StreamClient, reinterpret_cast<void**>(&client)), kAudioDeviceInvalidated);
    IEndpointPropertyStore* store = nullptr;
    ASSERT_EQ(endpoint->OpenPropertyStore(&store), kAudioOk);
    PropertyValue value;
    ASSERT_EQ(store->GetValue(kPropertyFriendlyName, value), kAudioOk);
    ASSERT_EQ(value.kind, PropertyKind::WideText);
    EXPECT_STREQ(value.text, L"Speakers");
    ClearPropertyValue(value);
    ASSERT_EQ(store->GetValue(kPropertyDeviceFormat, value), kAudioOk);
    ASSERT_EQ(value.kind, PropertyKind::Blob);
    EXPECT_EQ(static_cast<const WaveFormat*>(value.blob)->channels, 2u);
    ClearPropertyValue(value);
    store->Release();
    endpoint->Release();
    m_system->SetDefaultEndpoint(DeviceRole::Console, L"");
    EXPECT_EQ(m_enumerator->GetDefaultAudioEndpoint(DataFlow::Render, DeviceRole::Console, &endpoint), kAudioNotFound);
}

TEST_F(VirtualAudio, FormatsAreSupportedOfferedAsAClosestMatchOrRefused)
{
    OpenStream();
    WaveFormat* mix = nullptr;
    ASSERT_EQ(m_client->GetMixFormat(&mix), kAudioOk);
    EXPECT_TRUE(IsExtensible(*mix));
    EXPECT_TRUE(IsFloat32(*mix));
    EXPECT_EQ(mix->samplesPerSecond, 48000u);
    EXPECT_EQ(mix->channelMask, 0x3u);
    FreeTaskMemory(mix);

    struct Case
    {
        const char* name;
        VirtualEndpointPolicy policy;
        WaveFormat format;
        AudioResult answer;
        uint16_t closestChannels;
    };
    VirtualEndpointPolicy closest;
    closest.refuseOtherChannelCounts = true;
    closest.offerClosestMatch = true;
    closest.closestMatch = MakeFloatFormat(48000, 2);
    VirtualEndpointPolicy strict;
    strict.refuseOtherChannelCounts = true;
    VirtualEndpointPolicy nothing;
    nothing.refuseEveryFormat = true;
    WaveFormat pcm = MakeFloatFormat(48000, 2);
    pcm.subFormat = SampleSubFormat::Pcm;
    pcm.bitsPerSample = 16;
    const Case cases[] = {
        {"mix format", {}, MakeFloatFormat(48000, 2), kAudioOk, 0},
        {"six channels", {}, MakeFloatFormat(48000, 6), kAudioOk, 0},
        {"another rate", {}, MakeFloatFormat(44100, 2), kAudioUnsupportedFormat, 0},
        {"16-bit", {}, pcm, kAudioUnsupportedFormat, 0},
        {"six channels, strict", strict, MakeFloatFormat(48000, 6), kAudioUnsupportedFormat, 0},
        {"six channels, closest", closest, MakeFloatFormat(48000, 6), kAudioFalse, 2},
        {"refuses everything", nothing, MakeFloatFormat(48000, 2), kAudioUnsupportedFormat, 0},
    };
    for (const Case& row : cases)
    {
        SCOPED_TRACE(row.name);
        m_system->SetPolicy(L"speakers", row.policy);
        WaveFormat* match = nullptr;
        EXPECT_EQ(m_client->IsFormatSupported(ShareMode::Shared, &row.format, &match), row.answer);
        EXPECT_EQ(match != nullptr, row.closestChannels != 0);
        if (match != nullptr)
        {
            EXPECT_EQ(match->channels, row.closestChannels);
        }
        FreeTaskMemory(match);
    }
}

TEST_F(VirtualAudio, TheClockPlaysWhatWasReleasedAndEveryReleaseIsCaptured)
{
    OpenStream();
    ASSERT_EQ(m_initialized, kAudioOk);
    uint32_t frames = 0;
    ASSERT_EQ(m_client->GetBufferSize(&frames), kAudioOk);
    EXPECT_EQ(frames, 4096u) << "853,332 x 100 ns at 48 kHz, rounded up";
    EXPECT_EQ(Write(1000, 0.5f), kAudioOk);
    EXPECT_EQ(Write(24, 0.0f, kBufferFlagSilent), kAudioOk);
    EXPECT_EQ(Padding(), 1024u);
    EXPECT_EQ(Write(3073, 1.0f), kAudioBufferTooLarge);
    uint8_t* data = nullptr;
    ASSERT_EQ(m_render->GetBuffer(10, &data), kAudioOk);
    EXPECT_EQ(m_render->GetBuffer(10, &data), kAudioOutOfOrder);
    EXPECT_EQ(m_render->ReleaseBuffer(11, 0), kAudioBufferSizeError);
    EXPECT_EQ(m_render->ReleaseBuffer(0, 0), kAudioOk) << "nothing written";

    EXPECT_FALSE(m_event.Wait(0));
    m_system->Advance(1000);
    EXPECT_TRUE(m_event.Wait(0)) << "each step sets the stream's event";
    EXPECT_EQ(Padding(), 24u);
    m_system->Advance(100);
    EXPECT_EQ(Padding(), 0u);

    const VirtualEndpointCapture capture = m_system->Capture(L"speakers");
    ASSERT_EQ(capture.releases.size(), 3u);
    EXPECT_EQ(capture.releases[0].frames, 1000u);
    EXPECT_EQ(capture.releases[1].flags, kBufferFlagSilent);
    EXPECT_EQ(capture.releases[2].frames, 0u);
    ASSERT_EQ(capture.written.size(), 2u * 1024);
    EXPECT_EQ(capture.written[0], 0.5f);
    EXPECT_EQ(capture.written[2 * 1000], 0.0f);
    EXPECT_EQ(capture.played.size(), 2u * 1100) << "an underrun plays silence";
    EXPECT_EQ(capture.underrunFrames, 76u);
    EXPECT_EQ(capture.starts, 1u);
}

TEST_F(VirtualAudio, ALongRunTakesItsCapturePieceByPieceAndReadsTheFillWithoutIt)
{
    EXPECT_EQ(m_system->Fill(L"speakers").bufferFrames, 0u) << "no started stream yet";
    OpenStream();
    ASSERT_EQ(m_initialized, kAudioOk);
    EXPECT_EQ(Write(1000, 0.5f), kAudioOk);
    VirtualStreamFill fill = m_system->Fill(L"speakers");
    EXPECT_EQ(fill.queuedFrames, 1000u);
    EXPECT_EQ(fill.bufferFrames, 4096u);
    m_system->Advance(600);
    EXPECT_EQ(m_system->Fill(L"speakers").queuedFrames, 400u);

    VirtualEndpointCapture first = m_system->TakeCapture(L"speakers");
    EXPECT_EQ(first.written.size(), 2u * 1000);
    EXPECT_EQ(first.played.size(), 2u * 600);
    EXPECT_EQ(first.releases.size(), 1u);
    EXPECT_EQ(Write(24, 0.25f), kAudioOk);
    const VirtualEndpointCapture second = m_system->TakeCapture(L"speakers");
    ASSERT_EQ(second.written.size(), 2u * 24) << "only what came after the first piece";
    EXPECT_EQ(second.written[0], 0.25f);
    EXPECT_TRUE(second.played.empty());
    EXPECT_EQ(second.starts, 1u) << "counts are kept";
    fill = m_system->Fill(L"speakers");
    EXPECT_EQ(fill.queuedFrames, 424u) << "taking the capture plays nothing";
    EXPECT_EQ(fill.releasedFrames, 1024u);
}

TEST_F(VirtualAudio, PoliciesFailTheirCallAndAnInvalidatedEndpointFailsEverything)
{
    VirtualEndpointPolicy policy;
    policy.failGetBufferAtCall = 2;
    policy.failPaddingAtCall = 1;
    m_system->SetPolicy(L"speakers", policy);
    OpenStream();
    uint32_t padding = 0;
    EXPECT_EQ(m_client->GetCurrentPadding(&padding), kAudioFail);
    EXPECT_EQ(m_client->GetCurrentPadding(&padding), kAudioOk) << "only that call";
    EXPECT_EQ(Write(10, 0.1f), kAudioOk);
    EXPECT_EQ(Write(10, 0.1f), kAudioFail);
    EXPECT_EQ(Write(10, 0.1f), kAudioOk);

    m_system->InvalidateEndpoint(L"speakers");
    EXPECT_EQ(m_client->GetCurrentPadding(&padding), kAudioDeviceInvalidated);
    EXPECT_EQ(Write(10, 0.1f), kAudioDeviceInvalidated);
    EXPECT_EQ(m_client->Stop(), kAudioDeviceInvalidated);
}

TEST_F(VirtualAudio, AnotherRateNeedsAutomaticConversionWhichAnEndpointMayRefuse)
{
    IEndpoint* endpoint = nullptr;
    ASSERT_EQ(m_enumerator->GetDevice(L"speakers", &endpoint), kAudioOk);
    const WaveFormat format = MakeFloatFormat(44100, 2);
    for (const bool refuse : {false, true})
    {
        VirtualEndpointPolicy policy;
        policy.refuseAutoConversion = refuse;
        m_system->SetPolicy(L"speakers", policy);
        for (const uint32_t flags : {kStreamFlagEventCallback, kStreamFlagEventCallback | kStreamFlagAutoConvertPcm})
        {
            IStreamClient* client = nullptr;
            ASSERT_EQ(endpoint->Activate(InterfaceId::StreamClient, reinterpret_cast<void**>(&client)), kAudioOk);
            const bool converts = !refuse && (flags & kStreamFlagAutoConvertPcm) != 0;
            EXPECT_EQ(client->Initialize(ShareMode::Shared, flags, 853'332, 0, &format, nullptr),
                      converts ? kAudioOk : kAudioUnsupportedFormat);
            client->Release();
        }
    }
    endpoint->Release();
    EXPECT_EQ(m_system->Capture(L"speakers").openStreams, 0u);
}

// Suites that start threads of the system's own.
using ThreadedVirtualAudio = VirtualAudio;

TEST_F(ThreadedVirtualAudio, NotificationsReachEveryRegisteredClientUntilItUnregisters)
{
    CountingClient client;
    ASSERT_EQ(m_enumerator->RegisterEndpointNotificationCallback(&client), kAudioOk);
    m_system->NotifyAdded(L"a");
    m_system->RaiseNotificationsFromThread([](VirtualAudioSystem& system) {
        system.NotifyStateChanged(L"b", kDeviceStateUnplugged);
        system.NotifyDefaultChanged(DataFlow::Render, DeviceRole::Console, L"c");
    });
    m_system->NotifyRemoved(L"d");
    m_system->NotifyPropertyChanged(L"e", kPropertyDeviceFormat);
    EXPECT_EQ(client.seen, (std::vector<std::wstring>{L"added a", L"state b", L"default c", L"removed d", L"property e"}));
    ASSERT_EQ(m_enumerator->UnregisterEndpointNotificationCallback(&client), kAudioOk);
    m_system->NotifyAdded(L"f");
    EXPECT_EQ(client.seen.size(), 5u);
    EXPECT_EQ(m_enumerator->UnregisterEndpointNotificationCallback(&client), kAudioNotFound);
}

// The real-time clock: a thread of the system plays the stream at its rate and sets its event
// once per period (awaited here, never slept for).
TEST_F(ThreadedVirtualAudio, TheRealTimeClockPlaysTheStreamAndSetsItsEvent)
{
    OpenStream();
    ASSERT_EQ(m_initialized, kAudioOk);
    ASSERT_EQ(Write(4096, 0.25f), kAudioOk);
    m_system->StartRealTimeClock(5);
    for (int wakes = 0; wakes < 3; ++wakes)
        ASSERT_TRUE(m_event.Wait(5000)) << "the clock's thread set the event";
    m_system->StopRealTimeClock();
    EXPECT_LT(Padding(), 4096u) << "frames were played";
    EXPECT_GT(m_system->Capture(L"speakers").played.size(), 0u);
}
} // namespace
