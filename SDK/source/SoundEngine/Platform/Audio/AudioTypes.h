// The plain values the audio endpoint layer speaks in: stream directions, endpoint roles and
// states, the interfaces an object can be asked for, stream flags and categories, durations in
// units of 100 ns, and the keys of endpoint properties.
//
// Threading and ownership: plain values.
#pragma once

#include <cstdint>

namespace ZK::Platform
{
// 100-ns units per second: stream durations and device periods are counted in them.
constexpr int64_t kDurationUnitsPerSecond = 10'000'000;
constexpr int64_t kDurationUnitsPerMillisecond = 10'000;

enum class DataFlow : uint32_t
{
    Render = 0,
    Capture = 1,
    All = 2,
};

enum class DeviceRole : uint32_t
{
    Console = 0,
    Multimedia = 1,
    Communications = 2,
};
constexpr uint32_t kDeviceRoleCount = 3;

// Endpoint states, as bits: a state mask selects endpoints in any of the states it names.
constexpr uint32_t kDeviceStateActive = 0x1;
constexpr uint32_t kDeviceStateDisabled = 0x2;
constexpr uint32_t kDeviceStateNotPresent = 0x4;
constexpr uint32_t kDeviceStateUnplugged = 0x8;
constexpr uint32_t kDeviceStateAll = 0xF;

// What QueryInterface, Activate and GetService hand out.
enum class InterfaceId : uint32_t
{
    Unknown,
    NotificationClient,
    StreamClient,
    StreamClient2,
    RenderClient,
    SessionManager,
    SessionControl,
    SessionControl2,
    SpatialAudioClient,
};

enum class ShareMode : uint32_t
{
    Shared = 0,
    Exclusive = 1,
};

// Stream flags of IStreamClient::Initialize.
constexpr uint32_t kStreamFlagEventCallback = 0x00040000;    // the endpoint sets an event per period
constexpr uint32_t kStreamFlagSrcDefaultQuality = 0x08000000; // convert the rate at default quality
constexpr uint32_t kStreamFlagAutoConvertPcm = 0x80000000;   // the endpoint converts rate and format

// Buffer flags of IStreamRenderClient::ReleaseBuffer.
constexpr uint32_t kBufferFlagSilent = 0x2; // play the frames as silence, whatever the buffer holds

// Stream categories of StreamClientProperties.
constexpr uint32_t kStreamCategoryOther = 0;
constexpr uint32_t kStreamCategoryGameEffects = 6;
constexpr uint32_t kStreamCategoryGameMedia = 7;
constexpr uint32_t kStreamCategoryGameChat = 8;

struct StreamClientProperties
{
    uint32_t size = sizeof(StreamClientProperties); // 12
    uint32_t isOffload = 0;
    uint32_t category = kStreamCategoryOther;
};
static_assert(sizeof(StreamClientProperties) == 12, "the stream properties are 12 bytes");

struct Guid
{
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    constexpr bool operator==(const Guid& other) const = default;
};

// An endpoint property: a group and an id within it.
struct PropertyKey
{
    Guid group;
    uint32_t id = 0;

    constexpr bool operator==(const PropertyKey& other) const = default;
};

// The format the endpoint's engine mixes in (a blob holding a WaveFormat).
constexpr PropertyKey kPropertyDeviceFormat{{0xF19F064D, 0x082C, 0x4E27, {0xBC, 0x73, 0x68, 0x82, 0xA1, 0xBB, 0x8E, 0x4C}}, 0};
// The endpoint's name for people (wide text).
constexpr PropertyKey kPropertyFriendlyName{{0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};
} // namespace ZK::Platform
