// The first sound with its bank read from a file package: the capture is bit-identical to the one
// of the loose bank.
#include "FirstSoundFixture.h"

#include "SDK/source/SoundEngine/StreamMgr/PackageTestSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace
{
using namespace ZkFirstSoundTest;
namespace fs = std::filesystem;

class FirstSoundFromPackage : public FirstSound
{
protected:
    // The frames of one post of the tone, the engine started and ended around it.
    std::vector<float> PlayTone()
    {
        EXPECT_NO_FATAL_FAILURE(Start());
        EXPECT_NE(PostEvent("Play_Tone48", kEmitter), 0u);
        EXPECT_NO_FATAL_FAILURE(RenderFrames(20));
        Term();
        return captured;
    }
};

TEST_F(FirstSoundFromPackage, TheCaptureIsBitIdenticalToTheLooseBanks)
{
    const std::vector<float> loose = PlayTone();
    ASSERT_TRUE(std::any_of(loose.begin(), loose.end(), [](float sample) { return sample != 0.0f; }))
        << "the loose bank's tone is heard";
    // The test's bank moves into a package, packed at 2048-byte blocks; no loose copy is left.
    const ZkSoundFixtures::ScratchFolder source;
    fs::rename(m_folder.Path() / "FirstSound.bnk", source.Path() / "FirstSound.bnk");
    ASSERT_TRUE(ZkPackageTest::WritePackage(source.Path(), m_folder.Path() / "FirstSound.pck", 2048));
    uint32_t packageId = 0;
    ASSERT_EQ(m_io.LoadFilePackage(L"FirstSound.pck", packageId), ZK_Success);
    const std::vector<float> packed = PlayTone();
    ASSERT_EQ(packed.size(), loose.size());
    EXPECT_EQ(std::memcmp(packed.data(), loose.data(), loose.size() * sizeof(float)), 0);
}
} // namespace
