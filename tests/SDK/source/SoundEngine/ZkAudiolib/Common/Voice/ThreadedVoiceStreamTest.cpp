// A voice over media streamed from a loose "<id>.oxm" file through the stream manager, its blocking
// device and I/O thread (offline rendering: the source waits for each buffer instead of starving),
// in buffers that end inside frames: the same samples as the same media played from memory.
#include "VoiceTestSupport.h"

#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"

#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <fstream>

namespace
{
using namespace ZkVoiceTest;
using ZkSoundFixtures::WriteMedia;

class ThreadedVoiceStream : public VoiceTest
{
protected:
    void SetUp() override
    {
        VoiceTest::SetUp();
        // The stream manager's own streams in place of the tests' chunked ones.
        ZK::IZkStreamMgr::m_pStreamMgr = nullptr;
        m_streamMgr = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        ASSERT_NE(m_streamMgr, nullptr);
        ZkDeviceSettings settings = ZkStreamTest::DefaultDeviceSettings();
        settings.ioMemoryBytes = 256 * 1024; // the automatic streams' buffers
        settings.granularity = 4098;         // buffers that end inside the frames of a stereo 16-bit file
        ASSERT_EQ(m_lowLevelIO.Init(settings), ZK_Success);
        ASSERT_EQ(m_lowLevelIO.AddBasePath(m_folder.WPath().c_str()), ZK_Success);
        g_offlineRendering.store(1);
    }
    void TearDown() override
    {
        g_offlineRendering.store(0);
        m_lowLevelIO.Term();
        if (m_streamMgr != nullptr)
            m_streamMgr->Destroy();
        VoiceTest::TearDown();
    }
    void SaveLoose(uint32_t fileID, const Bytes& bytes)
    {
        std::ofstream out(m_folder.Path() / (std::to_string(fileID) + ".oxm"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<float> Play()
    {
        VoicePtr voice = StartVoice();
        uint32_t channels = 0;
        std::vector<float> output = RunToEnd(*voice, channels);
        EXPECT_EQ(voice->State(), CZkVoice::kStateStopped);
        return output;
    }

    ZkStreamTest::TempDir m_folder;
    ZK::IZkStreamMgr* m_streamMgr = nullptr;
    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_lowLevelIO;
};

TEST_F(ThreadedVoiceStream, AStreamedLooseFileGivesTheSameSamplesAsTheMediaInMemory)
{
    const Bytes file = WriteMedia(ToneSpec(48000, 2, 30000, R"(, "cues": [{"id": 4, "position": 12345, "label": "x"}],
        "loop_points": {"start": 5000, "end": 20999})"));
    instance->SetLoopCount(2);
    PlayFromMemory(file);
    const std::vector<float> fromMemory = Play();
    ASSERT_EQ(fromMemory.size(), size_t{30000 + 16000} * 2);
    const size_t markersFromMemory = heard.markers.size();

    SaveLoose(4321, file);
    StreamLooseFile(4321);
    const std::vector<float> streamed = Play();
    ASSERT_EQ(streamed.size(), fromMemory.size());
    for (size_t i = 0; i < streamed.size(); ++i)
        ASSERT_EQ(streamed[i], fromMemory[i]) << "sample " << i;
    EXPECT_EQ(heard.markers.size(), 2 * markersFromMemory) << "the same markers again";
    EXPECT_EQ(markersFromMemory, 2u) << "once per pass";
}
} // namespace
