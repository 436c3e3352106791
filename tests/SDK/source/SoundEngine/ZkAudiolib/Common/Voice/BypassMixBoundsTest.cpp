// The bypass mix of an out-of-place effect works on groups of 16 frames, but frames per buffer are
// only a multiple of 8: with 1016 frames the last group must stop at the end of both blocks. The
// memory manager runs over the system allocator here, so that AddressSanitizer sees a write past
// the effect's own output block as well as past the caller's input block.
#include "EffectStageTestSupport.h"

#include "SDK/source/SoundEngine/MemoryMgr/MemoryTestSupport.h"

#include <ZkAudiolib/Common/Voice/CZkOutOfPlaceEffectStage.h>

namespace
{
using namespace EffectStageTest;

class BypassMixBounds : public EffectStageFixture
{
protected:
    void Configure(ZkMemSettings& settings) override
    {
        settings = ZkMemoryTest::SettingsWithAllocationHooks(ZkMemoryTest::SystemMalloc, ZkMemoryTest::SystemMalign,
                                                             ZkMemoryTest::SystemRealloc,
                                                             ZkMemoryTest::SystemReallocAligned, ZkMemoryTest::SystemFree);
    }
};

TEST_F(BypassMixBounds, FullBlocksOf1016FramesStayInsideBothBlocks)
{
    constexpr uint16_t kFrames = 1016;
    SetAudioFormatGlobals(48000, kFrames);
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    g_log.outOfPlaceOutput = stereo;
    CZkOutOfPlaceEffectStage stage;
    ZK::ZkEffectFormat format{48000, stereo};
    ASSERT_EQ(stage.Init(CreateEffect(kOutOfPlaceID), effect(), 0, voice, nullptr, format), ZK_Success);
    stage.bypass = 1;
    for (int frame = 0; frame < 2; ++frame)
    {
        Block block(stereo, kFrames); // exactly 2 x 1016 samples of the caller's
        for (uint32_t c = 0; c < 2; ++c)
            for (uint32_t k = 0; k < kFrames; ++k)
                block.buffer.GetChannel(c)[k] = (c == 0 ? 1.0f : -1.0f) * static_cast<float>(k) / kFrames;
        EXPECT_EQ(stage.Execute(block.buffer), ZK_DataReady);
        ASSERT_EQ(block.buffer.validFrames, kFrames);
        for (uint32_t c = 0; c < 2; ++c)
            for (uint32_t k = 0; k < kFrames; ++k)
                ASSERT_FLOAT_EQ(block.buffer.GetChannel(c)[k], (c == 0 ? 1.0f : -1.0f) * static_cast<float>(k) / kFrames);
        stage.ReleaseBuffer();
    }
    stage.Destroy();
}
} // namespace
