// Shared helpers of the panning tests: a memory-manager scope with the ambisonic tables, matrix
// construction and the numpy/scipy reference fixture (KP_PANNING_FIXTURE, written by the build).
#pragma once

#include <SDK/source/SoundEngine/Plugins/MemoryMgrScope.h>
#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Panning/SpeakerMasks.h>
#include <ZkAudiolib/Common/Panning/ZkSpeakerPan.h>
#include <ZkAudiolib/Common/Positioning/ZkPositioningRay.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace PanningTest
{
// Memory manager up, ambisonic tables cleared; tables freed before the manager stops.
class PanningFixture : public testing::Test
{
protected:
    PanningFixture() { CZkSpeakerPan::InitTables(); }
    ~PanningFixture() override { CZkSpeakerPan::TermTables(); }

private:
    MemoryMgrScope m_memory;
};

// A zeroed matrix for (input, output), poisoned beyond its rows so overruns show up as changes.
struct Matrix
{
    Matrix(ZkChannelConfig in, ZkChannelConfig out)
        : input(in), output(out), stride(ZkSpeakerMasks::RowStride(out.NumChannels())),
          values(in.NumChannels() * stride + kGuard, kPoison)
    {
    }
    float At(uint32_t row, uint32_t column) const { return values[row * stride + column]; }
    float* Data() { return values.data(); }
    // Zeroes the rows (the guard stays poisoned), as callers of the row-filling panners do.
    void ZeroRows() { std::fill(values.begin(), values.begin() + input.NumChannels() * stride, 0.0f); }
    bool GuardIntact() const
    {
        for (size_t i = input.NumChannels() * stride; i < values.size(); ++i)
            if (values[i] != kPoison)
                return false;
        return true;
    }
    bool AllFinite() const
    {
        for (size_t i = 0; i < input.NumChannels() * stride; ++i)
            if (!std::isfinite(values[i]))
                return false;
        return true;
    }
    float RowPower(uint32_t row) const
    {
        float sum = 0.0f;
        for (uint32_t c = 0; c < output.NumChannels(); ++c)
            sum += At(row, c) * At(row, c);
        return sum;
    }

    static constexpr size_t kGuard = 16;
    static constexpr float kPoison = 12345.0f;
    ZkChannelConfig input;
    ZkChannelConfig output;
    uint32_t stride;
    std::vector<float> values;
};

inline ZkChannelConfig Speakers(uint32_t mask) { return ZkChannelConfig::FromMask(mask); }

// The panning fixture with a bare device at the default speaker angles (45, 90, 135, height 54.7).
class PanningDeviceFixture : public PanningFixture
{
protected:
    PanningDeviceFixture()
    {
        const float defaults[] = {45, 90, 135};
        EXPECT_EQ(device.SetSpeakerAngles(defaults, 3, 54.7f), ZK_Success);
    }
    // The three-dimensional panner's matrix of the ray on the device, into zeroed rows.
    Matrix Pan3D(const ZK::SoundEngine::ZkPositioningRay& ray, float centre, float spread, float focus,
                 ZkChannelConfig input, ZkChannelConfig output, uint32_t channelMask = kZkAllInputChannels)
    {
        Matrix matrix(input, output);
        matrix.ZeroRows();
        CZkSpeakerPan::ComputeSpeakerVolumes3D(ray, centre, spread, focus, matrix.Data(), input, channelMask, output,
                                               &device);
        return matrix;
    }

    CZkOutputDevice device;
};
inline ZkChannelConfig Ambisonic(uint32_t channels)
{
    return ZkChannelConfig((ZkChannelConfigType_Ambisonic << 8) | channels);
}

struct FixtureRecord
{
    std::vector<double> fields; // every number after the tag
};

// Records of one tag from the generated fixture.
inline std::vector<FixtureRecord> LoadFixture(const std::string& tag)
{
    std::vector<FixtureRecord> records;
    std::ifstream file(KP_PANNING_FIXTURE);
    std::string line;
    while (std::getline(file, line))
    {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first != tag)
            continue;
        FixtureRecord record;
        double value;
        while (words >> value)
            record.fields.push_back(value);
        records.push_back(record);
    }
    return records;
}
} // namespace PanningTest
