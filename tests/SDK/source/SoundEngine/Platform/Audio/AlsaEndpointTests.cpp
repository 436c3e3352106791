// The ALSA endpoints on this machine: the enumerator always offers "default" as every role's
// default, lists alsa-lib's "null" PCM, and a stream on "null" opens, initialises, takes writes,
// starts its pump and stops (a smoke test: the null PCM plays nothing, so no pacing is asserted).
// Without a sound card, a stream on "default" cannot be initialised.
#include <Platform/Audio/AlsaEndpoints.h>
#include <Platform/Audio/AlsaStreamClient.h>
#include <Platform/Audio/StreamInterfaces.h>
#include <Platform/Audio/TaskMemory.h>
#include <Platform/PlatformEvent.h>

#include <gtest/gtest.h>

#include <vector>

using namespace ZK::Platform;

namespace
{
class ThreadedAlsaEndpoints : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_blocks = TaskMemoryBlocksInUse();
        ASSERT_EQ(AlsaEndpointProvider().CreateEnumerator(&m_enumerator), kAudioOk);
    }
    void TearDown() override
    {
        ReleaseAndClear(m_enumerator);
        EXPECT_EQ(TaskMemoryBlocksInUse(), m_blocks);
    }
    IStreamClient* Activate(const wchar_t* id)
    {
        IEndpoint* endpoint = nullptr;
        EXPECT_EQ(m_enumerator->GetDevice(id, &endpoint), kAudioOk);
        if (endpoint == nullptr)
            return nullptr;
        IStreamClient* client = nullptr;
        EXPECT_EQ(endpoint->Activate(InterfaceId::StreamClient, reinterpret_cast<void**>(&client)), kAudioOk);
        endpoint->Release();
        return client;
    }

    IEndpointEnumerator* m_enumerator = nullptr;
    int64_t m_blocks = 0;
};

TEST_F(ThreadedAlsaEndpoints, DefaultIsEveryRolesDefaultAndTheNullPcmIsListed)
{
    IEndpointCollection* endpoints = nullptr;
    ASSERT_EQ(m_enumerator->EnumAudioEndpoints(DataFlow::Render, kDeviceStateActive, &endpoints), kAudioOk);
    uint32_t count = 0;
    endpoints->GetCount(&count);
    std::vector<std::wstring> ids;
    for (uint32_t index = 0; index < count; ++index)
    {
        IEndpoint* endpoint = nullptr;
        ASSERT_EQ(endpoints->Item(index, &endpoint), kAudioOk);
        wchar_t* id = nullptr;
        ASSERT_EQ(endpoint->GetId(&id), kAudioOk);
        ids.emplace_back(id);
        FreeTaskMemory(id);
        uint32_t state = 0;
        EXPECT_EQ(endpoint->GetState(&state), kAudioOk);
        EXPECT_EQ(state, kDeviceStateActive) << "listed hints count as active";
        endpoint->Release();
    }
    endpoints->Release();
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.front(), kAlsaDefaultEndpointId);
    EXPECT_NE(std::find(ids.begin(), ids.end(), L"null"), ids.end());
    for (const DeviceRole role : {DeviceRole::Console, DeviceRole::Multimedia, DeviceRole::Communications})
    {
        IEndpoint* endpoint = nullptr;
        ASSERT_EQ(m_enumerator->GetDefaultAudioEndpoint(DataFlow::Render, role, &endpoint), kAudioOk);
        wchar_t* id = nullptr;
        endpoint->GetId(&id);
        EXPECT_STREQ(id, kAlsaDefaultEndpointId);
        FreeTaskMemory(id);
        endpoint->Release();
    }
    ASSERT_EQ(m_enumerator->EnumAudioEndpoints(DataFlow::Render, kDeviceStateDisabled, &endpoints), kAudioOk);
    endpoints->GetCount(&count);
    EXPECT_EQ(count, 0u);
    endpoints->Release();
}

TEST_F(ThreadedAlsaEndpoints, TheNullPcmOpensInitialisesTakesWritesAndStartsItsPump)
{
    IStreamClient* client = Activate(L"null");
    ASSERT_NE(client, nullptr);
    WaveFormat* mix = nullptr;
    ASSERT_EQ(client->GetMixFormat(&mix), kAudioOk);
    EXPECT_TRUE(IsFloat32(*mix));
    EXPECT_EQ(mix->samplesPerSecond, kAlsaMixRateHz);
    EXPECT_EQ(client->IsFormatSupported(ShareMode::Shared, mix, nullptr), kAudioOk);
    ASSERT_EQ(client->Initialize(ShareMode::Shared, kStreamFlagEventCallback, 853'332, 0, mix, nullptr), kAudioOk);
    EXPECT_EQ(client->Initialize(ShareMode::Shared, kStreamFlagEventCallback, 853'332, 0, mix, nullptr),
              kAudioAlreadyInitialized);
    FreeTaskMemory(mix);
    uint32_t bufferFrames = 0;
    ASSERT_EQ(client->GetBufferSize(&bufferFrames), kAudioOk);
    EXPECT_GT(bufferFrames, 0u);
    EXPECT_EQ(client->Start(), kAudioEventHandleNotSet);
    ZkEvent event;
    ASSERT_TRUE(event.Init(EventReset::Auto));
    ASSERT_EQ(client->SetEventHandle(&event), kAudioOk);
    IStreamRenderClient* render = nullptr;
    ASSERT_EQ(client->GetService(InterfaceId::RenderClient, reinterpret_cast<void**>(&render)), kAudioOk);
    ASSERT_EQ(client->Start(), kAudioOk);
    for (int write = 0; write < 8; ++write)
    {
        uint32_t padding = bufferFrames;
        ASSERT_EQ(client->GetCurrentPadding(&padding), kAudioOk);
        ASSERT_LE(padding, bufferFrames);
        const uint32_t frames = (bufferFrames - padding) / 2;
        uint8_t* data = nullptr;
        ASSERT_EQ(render->GetBuffer(frames, &data), kAudioOk);
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(render->ReleaseBuffer(frames, write % 2 == 0 ? kBufferFlagSilent : 0), kAudioOk);
    }
    EXPECT_TRUE(event.Wait(5000)) << "the pump set the event";
    EXPECT_EQ(client->Stop(), kAudioOk);
    render->Release();
    client->Release();
    event.Term();
}

TEST_F(ThreadedAlsaEndpoints, WithoutASoundCardTheDefaultPcmCannotBeInitialised)
{
    if (AlsaHasSoundCard())
        GTEST_SKIP() << "this machine has a sound card";
    IStreamClient* client = Activate(kAlsaDefaultEndpointId);
    ASSERT_NE(client, nullptr);
    const WaveFormat format = AlsaStreamMixFormat();
    EXPECT_TRUE(AudioFailed(client->Initialize(ShareMode::Shared, kStreamFlagEventCallback, 853'332, 0, &format, nullptr)));
    uint32_t padding = 0;
    EXPECT_EQ(client->GetCurrentPadding(&padding), kAudioNotInitialized);
    client->Release();
}
} // namespace
