// What the numpy panning models need to know of the main output device: its panning rule and its
// speaker angles (front, side, rear, in degrees). Without a main device (the engine not started
// yet) they are a new device's defaults.
#pragma once

#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace ZkPositioningTest
{
struct DevicePanning
{
    uint32_t rule = 0;
    float angles[3] = {45.0f, 90.0f, 135.0f};
};

inline DevicePanning MainDevicePanning()
{
    DevicePanning panning;
    CZkOutputDevice* device = ZK::SoundEngine::CZkOutputDeviceMgr::GetMainDevice();
    if (device != nullptr)
    {
        uint32_t count = 3;
        float height = 0.0f;
        EXPECT_EQ(device->GetSpeakerAngles(panning.angles, count, height), ZK_Success);
        panning.rule = device->panningRule;
    }
    return panning;
}
} // namespace ZkPositioningTest
