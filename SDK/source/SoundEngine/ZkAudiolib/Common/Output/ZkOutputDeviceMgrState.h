// The state of the output device manager, shared by the files that implement it (not part of its
// interface): the device list with what belongs to it, and the render state with the pacing thread.
//
// Threading: the device list and most of the render state belong to the engine thread; the values
// the pacing thread or the notification threads read are atomics.
// Ownership: process-wide; TermDevices gives back everything the list holds.
#pragma once

#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"

#include <Platform/PlatformEvent.h>
#include <Platform/PlatformThread.h>
#include <ZK/SoundEngine/Common/ZkOutputTypes.h>

#include <atomic>
#include <cstdint>

class CZkOutputDevice;

namespace ZK::SoundEngine::OutputDeviceMgrState
{
struct DeviceList
{
    CZkOutputDevice* head = nullptr;
    CZkOutputDevice* tail = nullptr;
    uint32_t count = 0;
    int32_t mainOutputStatus = 0;
    ZkListenerSet listenerUnion;                      // memory pool 4
    ZkAudioDeviceStatusCallback statusCallback = nullptr;
    ZkOutputSettings mainOutputSettings;              // remembered by ReplaceOutput of the main device
    wchar_t* captureName = nullptr;                   // memory pool 0; none while no capture runs
    uint32_t numeralPosition = 0;                     // of the numeral in captureName
};

struct Render
{
    std::atomic<uint32_t> state{0};
    std::atomic<uint8_t> renderWhileSuspended{1};
    float savedGain = -1.0f;
    float currentGain = 1.0f;
    float previousGain = 1.0f;
    uint32_t countdownMs = 0;
    std::atomic<bool> idle{false};
    std::atomic<bool> quit{false};
    ZK::Platform::ZkEvent pacingEvent;
    ZK::Platform::ZkThreadHandle pacingThread;
    std::atomic<int32_t> notificationCounter{0};
    int32_t processedNotifications = 0;
};

DeviceList& Devices();
Render& Rendering();
} // namespace ZK::SoundEngine::OutputDeviceMgrState
