// The endpoint notifier over a virtual audio system: the endpoint list with its ids, the queue and
// its overflow, the output devices marked lost by each kind of notification, the exported device
// functions and the device lists, notifications from another thread.
#include "OutputTestSupport.h"

#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"

#include <Platform/Audio/TaskMemory.h>
#include <Platform/PlatformCom.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkPlatformDevices.h>

#include <cwchar>
#include <thread>

using namespace ZkOutputTest;
using namespace ZK::Platform;
using ZK::GetDeviceID;
using ZK::GetDeviceIDFromName;
using ZK::GetWindowsDevice;
using ZK::GetWindowsDeviceCount;
using ZK::GetWindowsDeviceName;

namespace
{
constexpr wchar_t kSpeakers[] = L"{0.0.0.00000000}.{speakers-usb}";
constexpr wchar_t kOldSpeakers[] = L"{0.0.0.00000000}.{speakers-onboard}";
constexpr wchar_t kHeadset[] = L"{0.0.0.00000000}.{headset}";
constexpr wchar_t kHdmi[] = L"{0.0.0.00000000}.{hdmi}";
constexpr uint32_t kHeadsetShareSet = 0x4EAD;

class EndpointNotifier : public OutputTest
{
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        m_taskBlocks = TaskMemoryBlocksInUse();
        Add(kSpeakers, L"Speakers (USB Audio)", kDeviceStateActive);
        Add(kOldSpeakers, L"Speakers (Onboard)", kDeviceStateDisabled);
        Add(kHeadset, L"Headset", kDeviceStateActive);
        Add(kHdmi, L"", kDeviceStateUnplugged); // no name
        m_audioSystem->SetDefaultEndpoint(DeviceRole::Communications, kHeadset);
    }
    void TearDown() override
    {
        CZkOutputDeviceMgr::TermDevices();
        CZkMMDeviceNotifier::ReleaseShared();
        EXPECT_EQ(TaskMemoryBlocksInUse(), m_taskBlocks);
        OutputTest::TearDown();
    }
    void Add(const wchar_t* id, const wchar_t* name, uint32_t state)
    {
        VirtualEndpointSettings endpoint;
        endpoint.id = id;
        endpoint.friendlyName = name;
        endpoint.state = state;
        m_audioSystem->AddEndpoint(endpoint);
    }
    static uint32_t Id(const wchar_t* endpoint) { return GetIDFromString(endpoint); }
    static std::vector<uint32_t> ListedIds(CZkMMDeviceNotifier& notifier)
    {
        std::vector<uint32_t> ids;
        for (uint32_t index = 0; index < notifier.GetEndpointCount(); ++index)
        {
            uint32_t id = 0;
            IEndpoint* endpoint = notifier.GetEndpoint(index, id);
            EXPECT_NE(endpoint, nullptr);
            if (endpoint != nullptr)
                endpoint->Release();
            ids.push_back(id);
        }
        return ids;
    }
    static uint32_t Update() { return CZkOutputDeviceMgr::UpdateDeviceStates(false); }
    uint32_t LostEvents() const
    {
        uint32_t lost = 0;
        for (const StatusEvent& event : g_statusEvents)
            lost += event.event == ZkAudioDeviceEvent_DeviceLost ? 1 : 0;
        return lost;
    }

    int64_t m_taskBlocks = 0;
};

TEST_F(EndpointNotifier, ListsEveryRenderEndpointInAnyStateWithTheFnvIdOfItsIdString)
{
    CZkMMDeviceNotifier* notifier = CZkMMDeviceNotifier::AcquireShared();
    ASSERT_NE(notifier, nullptr);
    EXPECT_EQ(CZkMMDeviceNotifier::AcquireShared(), notifier) << "one per process";
    EXPECT_EQ(m_audioSystem->RegisteredNotificationClients(), 1u);
    EXPECT_EQ(ListedIds(*notifier), (std::vector<uint32_t>{Id(kSpeakers), Id(kOldSpeakers), Id(kHeadset), Id(kHdmi)}));
    uint32_t id = 0;
    EXPECT_EQ(notifier->GetEndpoint(4, id), nullptr);
    EXPECT_EQ(id, kInvalidEndpointID);

    IEndpoint* found = notifier->FindEndpoint(0, id);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(id, Id(kSpeakers)) << "0: the default console endpoint";
    EXPECT_EQ(GetDeviceID(found), Id(kSpeakers));
    found->Release();
    EXPECT_EQ(notifier->FindEndpoint(0xBAD, id), nullptr);
    EXPECT_EQ(GetDeviceID(nullptr), kInvalidEndpointID);

    struct Case
    {
        uint32_t id;
        bool active;
    };
    for (const Case& row : {Case{0, true}, Case{Id(kSpeakers), true}, Case{Id(kHdmi), true},
                            Case{Id(kOldSpeakers), false}, Case{0xBAD, false}})
        EXPECT_EQ(notifier->IsDeviceActive(row.id), row.active) << row.id;

    CZkMMDeviceNotifier::ReleaseShared();
    EXPECT_EQ(CZkMMDeviceNotifier::Shared(), nullptr);
    EXPECT_EQ(m_audioSystem->RegisteredNotificationClients(), 0u) << "unregistered when it goes";
}

// 32 notifications fit; the 33rd overflows the queue, and the next tick lists the endpoints again
// instead of reading it (an endpoint that came meanwhile is then listed).
TEST_F(EndpointNotifier, ThirtyThreeNotificationsBeforeATickRebuildTheEndpointList)
{
    StartMainOutput();
    CZkMMDeviceNotifier* notifier = CZkMMDeviceNotifier::AcquireShared();
    ASSERT_NE(notifier, nullptr);
    Add(L"late", L"Late", kDeviceStateActive);
    for (uint32_t count = 0; count < 32; ++count)
        m_audioSystem->NotifyPropertyChanged(L"nowhere", kPropertyFriendlyName); // not watched: not queued
    EXPECT_EQ(notifier->QueuedNotifications(), 0u);
    for (uint32_t count = 0; count < 32; ++count)
        m_audioSystem->NotifyStateChanged(L"nowhere", kDeviceStateActive);
    EXPECT_EQ(notifier->QueuedNotifications(), 32u);
    EXPECT_FALSE(notifier->QueueOverflowed());
    m_audioSystem->NotifyStateChanged(L"nowhere", kDeviceStateActive);
    EXPECT_TRUE(notifier->QueueOverflowed());
    EXPECT_EQ(CZkOutputDeviceMgr::NotificationCounter(), 33) << "every notification is counted";
    EXPECT_EQ(notifier->GetEndpointCount(), 4u);

    Update();
    EXPECT_FALSE(notifier->QueueOverflowed());
    EXPECT_EQ(notifier->QueuedNotifications(), 0u);
    EXPECT_EQ(notifier->GetEndpointCount(), 5u) << "rebuilt";
    EXPECT_EQ(CZkOutputDeviceMgr::ProcessedNotificationCount(), 33);
    EXPECT_EQ(LostEvents(), 0u) << "the queued entries were dropped";
}

// A change of the default console endpoint marks lost only the system devices that follow the
// default (device id 0); a device opened by id, or on another sink, stays.
TEST_F(EndpointNotifier, AChangedDefaultMarksLostOnlyTheDevicesThatFollowTheDefault)
{
    CZkOutputDevice* main = StartMainOutput();
    CZkEffectObject* headsetSet = CreateEffectObject(ZkIndexKind::AudioDevices, kHeadsetShareSet, SinkKey(174));
    CZkEffectObject* otherSet = CreateEffectObject(ZkIndexKind::AudioDevices, 0x07E8, SinkKey(kOtherSinkNumber, kTestCompany));
    const ZkGameObjectID one = 1;
    const ZkGameObjectID two = 2;
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(kHeadsetShareSet, Id(kHeadset)), &one, 1), ZK_Success);
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(0x07E8), &two, 1), ZK_Success);
    CZkOutputDevice* byId = CZkOutputDeviceMgr::FindDevice(kHeadsetShareSet, Id(kHeadset));
    CZkOutputDevice* otherSink = CZkOutputDeviceMgr::FindDevice(0x07E8, 0);
    ASSERT_NE(byId, nullptr);
    ASSERT_NE(otherSink, nullptr);
    ASSERT_TRUE(main->IsDeviceIDDefaulted());
    EXPECT_EQ(ZkOutputDeviceOf(main->OutputID()), Id(kSpeakers)) << "the default endpoint's id, from the device list";
    ASSERT_NE(CZkMMDeviceNotifier::AcquireShared(), nullptr);

    g_statusEvents.clear();
    m_audioSystem->NotifyDefaultChanged(DataFlow::Capture, DeviceRole::Console, kHeadset);
    EXPECT_EQ(CZkMMDeviceNotifier::Shared()->QueuedNotifications(), 0u) << "capture endpoints do not matter";
    m_audioSystem->NotifyDefaultChanged(DataFlow::Render, DeviceRole::Communications, kHeadset);
    Update();
    EXPECT_EQ(LostEvents(), 0u) << "no device runs the communications sink (176)";
    m_audioSystem->NotifyDefaultChanged(DataFlow::Render, DeviceRole::Console, kHeadset);
    Update();
    ASSERT_EQ(LostEvents(), 1u);
    EXPECT_EQ(g_statusEvents[0].shareSet, CZkOutputDeviceMgr::kSystemShareSetID);
    EXPECT_EQ(g_statusEvents[0].device, 0u);
    EXPECT_FALSE(main->RunsRealSink());
    // Without the main device nothing drives the engine, so every device waits on the base sink
    // (the device update's rule), but only the main one was reported lost.

    // The endpoint a device was opened on goes away: the device is lost and the endpoint unlisted.
    g_statusEvents.clear();
    m_audioSystem->NotifyRemoved(kHeadset);
    Update();
    ASSERT_EQ(LostEvents(), 1u);
    EXPECT_EQ(g_statusEvents[0].device, Id(kHeadset));
    EXPECT_EQ(CZkMMDeviceNotifier::Shared()->GetEndpointCount(), 3u);
    headsetSet->Release();
    otherSet->Release();
}

TEST_F(EndpointNotifier, StateAndWatchedPropertyChangesMarkTheDevicesOnTheEndpointLost)
{
    const ZkGameObjectID one = 1;
    CZkEffectObject* set = CreateEffectObject(ZkIndexKind::AudioDevices, kHeadsetShareSet, SinkKey(174));
    StartMainOutput();
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(kHeadsetShareSet, Id(kHeadset)), &one, 1), ZK_Success);
    CZkOutputDevice* device = CZkOutputDeviceMgr::FindDevice(kHeadsetShareSet, Id(kHeadset));
    ASSERT_NE(CZkMMDeviceNotifier::AcquireShared(), nullptr);
    struct Case
    {
        const char* name;
        void (*raise)(VirtualAudioSystem&);
        uint32_t lost;
    };
    const Case cases[] = {
        {"state", [](VirtualAudioSystem& system) { system.NotifyStateChanged(kHeadset, kDeviceStateUnplugged); }, 1},
        {"device format", [](VirtualAudioSystem& system) { system.NotifyPropertyChanged(kHeadset, kPropertyDeviceFormat); }, 1},
        {"name (not watched)", [](VirtualAudioSystem& system) { system.NotifyPropertyChanged(kHeadset, kPropertyFriendlyName); }, 0},
        {"another endpoint", [](VirtualAudioSystem& system) { system.NotifyStateChanged(kHdmi, kDeviceStateActive); }, 0},
    };
    for (const Case& row : cases)
    {
        SCOPED_TRACE(row.name);
        g_statusEvents.clear();
        if (!device->RunsRealSink())
        {
            ASSERT_EQ(device->InitSink(), ZK_Success);
        }
        g_statusEvents.clear();
        row.raise(*m_audioSystem);
        Update();
        EXPECT_EQ(LostEvents(), row.lost);
    }
    set->Release();
}

TEST_F(EndpointNotifier, AnEndpointThatComesIsListedOnce)
{
    StartMainOutput();
    CZkMMDeviceNotifier* notifier = CZkMMDeviceNotifier::AcquireShared();
    Add(L"new", L"New", kDeviceStateActive);
    m_audioSystem->NotifyAdded(L"new");
    m_audioSystem->NotifyAdded(L"new");
    m_audioSystem->NotifyAdded(L"never made"); // the system does not know it: nothing listed
    Update();
    EXPECT_EQ(notifier->GetEndpointCount(), 5u);
    uint32_t id = 0;
    IEndpoint* endpoint = notifier->FindEndpoint(Id(L"new"), id);
    ASSERT_NE(endpoint, nullptr);
    endpoint->Release();
}

// Names: part of a name or of an id string finds the endpoint; an active one before a disabled one.
TEST_F(EndpointNotifier, APartOfANameFindsAnEndpointActiveOnesFirst)
{
    struct Case
    {
        const wchar_t* text;
        uint32_t id;
    };
    const Case cases[] = {
        {L"Speakers", Id(kSpeakers)},    // both match: the active one
        {L"Onboard", Id(kOldSpeakers)},  // only the disabled one matches
        {L"headset}", Id(kHeadset)},     // part of the id string
        {L"Microphone", kInvalidEndpointID},
        {nullptr, kInvalidEndpointID},
    };
    for (const Case& row : cases)
        EXPECT_EQ(GetDeviceIDFromName(row.text), row.id) << (row.text != nullptr ? row.text : L"(none)");
    EXPECT_EQ(ApartmentInitCount(), 0u) << "the apartment is ended after each call";
}

TEST_F(EndpointNotifier, TheDeviceFunctionsListCountAndNameEndpoints)
{
    EXPECT_EQ(GetWindowsDeviceCount(), 4u);
    EXPECT_EQ(GetWindowsDeviceCount(ZkDeviceState_Active), 2u);
    EXPECT_EQ(GetWindowsDeviceCount(ZkDeviceState_Disabled | ZkDeviceState_Unplugged), 2u);

    uint32_t id = 0;
    IEndpoint* endpoint = nullptr;
    EXPECT_TRUE(GetWindowsDevice(-1, id, &endpoint));
    EXPECT_EQ(id, Id(kSpeakers));
    ASSERT_NE(endpoint, nullptr);
    endpoint->Release();
    EXPECT_TRUE(GetWindowsDevice(1, id, nullptr, ZkDeviceState_Active));
    EXPECT_EQ(id, Id(kHeadset));
    EXPECT_FALSE(GetWindowsDevice(2, id, &endpoint, ZkDeviceState_Active));
    EXPECT_EQ(endpoint, nullptr);

    const wchar_t* name = GetWindowsDeviceName(-1, id);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, L"Speakers (USB Audio)");
    name = GetWindowsDeviceName(1, id, ZkDeviceState_Disabled);
    EXPECT_EQ(name, nullptr) << "past the end";
    name = GetWindowsDeviceName(0, id, ZkDeviceState_Unplugged);
    EXPECT_EQ(name, nullptr) << "the unplugged endpoint has no name";
    EXPECT_EQ(id, Id(kHdmi));
    EXPECT_EQ(ApartmentInitCount(), 0u);
}

// The device lists: the system sinks list every named endpoint with the default of their role
// flagged, while the room lasts; other plug-ins answer by the Part's rules.
TEST_F(EndpointNotifier, TheDeviceListsNameEveryNamedEndpointAndFlagTheDefault)
{
    ZkDeviceDescription records[8];
    uint32_t count = 8;
    ASSERT_EQ(GetDeviceList(CZkOutputDeviceMgr::kSystemShareSetID, count, records), ZK_Success);
    ASSERT_EQ(count, 3u) << "the endpoint without a name is left out";
    EXPECT_EQ(records[0].idDevice, Id(kSpeakers));
    EXPECT_STREQ(records[0].deviceName, L"Speakers (USB Audio)");
    EXPECT_EQ(records[0].deviceStateMask, uint32_t{ZkDeviceState_Active});
    EXPECT_EQ(records[0].isDefaultDevice, 1u);
    EXPECT_EQ(records[1].deviceStateMask, uint32_t{ZkDeviceState_Disabled});
    EXPECT_EQ(records[1].isDefaultDevice, 0u);
    EXPECT_EQ(records[2].isDefaultDevice, 0u);

    count = 8;
    ASSERT_EQ(GetDeviceList(0, 176, count, records), ZK_Success);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(records[2].idDevice, Id(kHeadset));
    EXPECT_EQ(records[2].isDefaultDevice, 1u) << "the communications role's default";

    count = 2;
    EXPECT_EQ(GetDeviceList(0, 174, count, records), ZK_Success);
    EXPECT_EQ(count, 2u) << "as many as there is room for";
    count = 0;
    EXPECT_EQ(GetDeviceList(0, 174, count, nullptr), ZK_Success);
    EXPECT_EQ(count, 3u) << "no records: counted";

    struct Case
    {
        uint32_t company;
        uint32_t plugin;
        ZKRESULT result;
    };
    const Case cases[] = {
        {0, 175, ZK_NotImplemented}, {0, 180, ZK_NotImplemented}, {0, 181, ZK_NothingToReport},
        {kTestCompany, kOtherSinkNumber, ZK_NothingToReport}, {kTestCompany, 999, ZK_PluginNotRegistered},
    };
    for (const Case& row : cases)
    {
        count = 8;
        EXPECT_EQ(GetDeviceList(row.company, row.plugin, count, records), row.result) << row.plugin;
        EXPECT_EQ(count, 0u);
    }
    count = 8;
    EXPECT_EQ(GetDeviceList(0, count, records), ZK_InvalidShareSetID);
    EXPECT_EQ(count, 0u);
    count = 8;
    EXPECT_EQ(GetDeviceList(0xABCDEF, count, records), ZK_InvalidID) << "no bank defines it";
    EXPECT_EQ(count, 0u);
}

// Notifications arrive on a thread of the system while the engine thread applies them; every one
// is counted, none is applied twice, and the apartments of both threads stay paired.
using ThreadedEndpointNotifier = EndpointNotifier;

TEST_F(ThreadedEndpointNotifier, NotificationsFromAnotherThreadAreQueuedAndApplied)
{
    CZkOutputDevice* main = StartMainOutput();
    CZkMMDeviceNotifier* notifier = CZkMMDeviceNotifier::AcquireShared();
    ASSERT_NE(notifier, nullptr);
    constexpr int32_t kNotifications = 500;
    std::thread system([this] {
        for (int32_t count = 0; count < kNotifications; ++count)
            m_audioSystem->NotifyStateChanged(kHdmi, kDeviceStateUnplugged);
        GetDeviceIDFromName(L"Headset");
        EXPECT_EQ(ApartmentInitCount(), 0u);
    });
    while (CZkOutputDeviceMgr::ProcessedNotificationCount() < kNotifications)
    {
        Update();
        std::this_thread::yield();
        if (CZkOutputDeviceMgr::NotificationCounter() == kNotifications && notifier->QueuedNotifications() == 0 &&
            !notifier->QueueOverflowed())
        {
            Update();
            break;
        }
    }
    system.join();
    Update();
    EXPECT_EQ(CZkOutputDeviceMgr::NotificationCounter(), kNotifications);
    EXPECT_EQ(notifier->QueuedNotifications(), 0u);
    EXPECT_TRUE(main->RunsRealSink()) << "no device plays on the endpoint that changed";
    EXPECT_EQ(notifier->GetEndpointCount(), 4u);
    EXPECT_EQ(ApartmentInitCount(), 0u);
}
} // namespace
