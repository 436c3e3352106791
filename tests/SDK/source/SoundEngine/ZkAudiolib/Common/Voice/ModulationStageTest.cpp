// The voice's modulation stage: without modulators the block passes unchanged; the two gain forms
// of the modulators (a control-rate ramp over the frame, an audio-rate gain per sample).
#include <ZkAudiolib/Common/Voice/CZkModulationStage.h>

#include <gtest/gtest.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

struct Block
{
    std::vector<float> samples;
    ZkAudioBuffer buffer;
    Block(uint32_t channels, uint16_t frames, float value) : samples(size_t{channels} * frames, value)
    {
        buffer.AttachData(samples.data(), frames, ZkChannelConfig::Anonymous(channels));
    }
};

class Owner final : public IZkModulationOwner
{
public:
    const CZkModulatorLinks* GetModulatorLinks() const override { return links; }
    bool HasConstantModulation() const override { return false; }
    int32_t GetStopFrame() const override { return -1; }
    const CZkModulatorLinks* links = nullptr;
};

TEST(ModulationStage, WithoutModulatorsTheBlockPassesUnchanged)
{
    ZkMemSettings settings;
    ZK::MemoryMgr::GetDefaultSettings(settings);
    ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
    ZK::MemoryMgr::InitForThread();
    CZkModulationStage stage;
    Owner owner;
    ZkModulatorLinksHandle handle; // links that link nothing
    handle.Init();
    ASSERT_EQ(handle.EnsureLinks(), ZK_Success);
    for (const CZkModulatorLinks* l : {static_cast<const CZkModulatorLinks*>(nullptr),
                                       static_cast<const CZkModulatorLinks*>(handle.links)})
    {
        owner.links = l;
        EXPECT_EQ(stage.SetOwner(&owner), ZK_Success);
        Block block(2, 16, 0.5f);
        stage.Process(block.buffer);
        for (float s : block.samples)
            ASSERT_EQ(s, 0.5f);
    }
    handle.Release();
    Block unowned(1, 8, 0.25f);
    CZkModulationStage().Process(unowned.buffer);
    EXPECT_EQ(unowned.samples[7], 0.25f);
    // The memory manager goes with the test: a later test of the same program starts from none.
    ZK::MemoryMgr::TermForThread();
    ZK::MemoryMgr::Term();
}

TEST(ModulationStage, ControlRateRampMultipliesTheFramesAlongTheRamp)
{
    Block block(2, 8, 1.0f);
    CZkModulationStage::ApplyControlRate(block.buffer, ZkControlRateModulation{0.0f, 1.0f});
    for (uint32_t c = 0; c < 2; ++c)
        for (uint32_t k = 0; k < 8; ++k)
            EXPECT_FLOAT_EQ(block.buffer.GetChannel(c)[k], 0.125f * k) << "channel " << c << " frame " << k;

    Block constant(1, 8, 2.0f);
    CZkModulationStage::ApplyControlRate(constant.buffer, ZkControlRateModulation{0.5f, 0.5f});
    for (float s : constant.samples)
        EXPECT_EQ(s, 1.0f);
}

TEST(ModulationStage, AudioRateGainIsScaleTimesTheModulationPlusOffset)
{
    Block block(2, 8, 2.0f);
    const std::vector<float> modulation{0, 1, 2, 3, 4, 5, 6, 7};
    CZkModulationStage::ApplyAudioRate(block.buffer, ZkAudioRateModulation{0.5f, 0.25f, modulation.data()});
    for (uint32_t c = 0; c < 2; ++c)
        for (uint32_t k = 0; k < 8; ++k)
            EXPECT_FLOAT_EQ(block.buffer.GetChannel(c)[k], 2.0f * (0.25f * k + 0.5f));
}
} // namespace
