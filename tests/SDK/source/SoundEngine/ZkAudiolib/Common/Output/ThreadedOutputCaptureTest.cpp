// Output capture into files through the real stream manager (its blocking device and I/O thread):
// one file per device under numbered names, read back by sox and soxi and by Python's struct; the
// numeral of a device created during a capture; names that cannot be opened.
#include "OutputTestSupport.h"

#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Capture/WaveChunks.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

using namespace ZkOutputTest;

namespace
{
namespace fs = std::filesystem;

constexpr uint32_t kCustomShareSet = 0xC0DE;
constexpr uint16_t kFrames = 1024;

void KeepFrames(ZkAudioBuffer& buffer, ZkOutputDeviceID, void* cookie)
{
    auto* stream = static_cast<std::vector<float>*>(cookie);
    const auto* samples = static_cast<const float*>(buffer.data);
    stream->insert(stream->end(), samples, samples + buffer.NumChannels() * buffer.validFrames);
}

class ThreadedOutputCapture : public OutputTest
{
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        ZK::MemoryMgr::InitForThread();
        m_manager = ZK::StreamMgr::Create(ZkStreamMgrSettings{});
        ASSERT_NE(m_manager, nullptr);
        ASSERT_EQ(m_lowLevelIO.Init(ZkStreamTest::DefaultDeviceSettings()), ZK_Success);
        ASSERT_EQ(m_lowLevelIO.AddBasePath(m_folder.WPath().c_str()), ZK_Success);
        m_shareSet = CreateEffectObject(ZkIndexKind::AudioDevices, kCustomShareSet,
                                              SinkKey(kOtherSinkNumber, kTestCompany));
    }
    void TearDown() override
    {
        CZkOutputDeviceMgr::TermDevices(); // closes the files while the stream manager runs
        m_shareSet->Release();
        m_lowLevelIO.Term();
        m_manager->Destroy();
        ZK::MemoryMgr::TermForThread();
        OutputTest::TearDown();
    }
    // The main device on "System", then devices 1..others on the custom share set, each with a
    // listener of its own.
    void StartDevices(uint32_t others)
    {
        ASSERT_NE(StartMainOutput(), nullptr);
        for (uint32_t device = 1; device <= others; ++device)
            AddOther(device);
    }
    void AddOther(uint32_t device)
    {
        const ZkGameObjectID listener = device;
        ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(kCustomShareSet, device), &listener, 1), ZK_Success);
    }
    // One frame on every device: a 440 Hz sine at 0.8 (channel 1 at half), the main volume ramp.
    void RenderFrame(uint32_t index)
    {
        for (CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice(); device != nullptr; device = device->next)
        {
            ZkAudioBuffer& mix = device->MainMix();
            for (uint32_t channel = 0; channel < mix.NumChannels(); ++channel)
            {
                float* samples = mix.GetChannel(channel);
                for (uint32_t frame = 0; frame < kFrames; ++frame)
                {
                    const double t = (index * kFrames + frame) / 48000.0;
                    samples[frame] = static_cast<float>(0.8 / (channel + 1) * std::sin(2.0 * M_PI * 440.0 * t));
                }
            }
            mix.validFrames = kFrames;
            device->Render(&mix, nullptr, nullptr, ZkRamp(1.0f, 1.0f));
        }
        CZkOutputDeviceMgr::EndFrame();
    }
    bool Exists(const std::string& name) const { return fs::exists(m_folder.Path() / name); }
    std::string File(const std::string& name) const { return (m_folder.Path() / name).string(); }

    ZkStreamTest::TempDir m_folder;
    ZK::IZkStreamMgr* m_manager = nullptr;
    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_lowLevelIO;
    CZkEffectObject* m_shareSet = nullptr;
};

TEST_F(ThreadedOutputCapture, ThreeDevicesWriteNumberedFilesThatSoxReadsAsTheCallbackHeardThem)
{
    StartDevices(2);
    std::vector<float> heard;
    CZkOutputDevice* main = CZkOutputDeviceMgr::GetMainDevice();
    ASSERT_EQ(main->AddCaptureCallback(main->CreateCaptureCallback(&KeepFrames, &heard)), ZK_Success);
    CZkOutputDeviceMgr::StartOutputCapture(L"mix.wav");
    for (CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice(); device != nullptr; device = device->next)
        EXPECT_TRUE(device->HasCaptureFile());
    main->SetVolume(0.25f);
    for (uint32_t frame = 0; frame < 6; ++frame)
    {
        if (frame == 2)
            CZkOutputDeviceMgr::AddOutputCaptureMarker("two");
        RenderFrame(frame);
    }
    CZkOutputDeviceMgr::StopOutputCapture();
    CZkOutputDeviceMgr::StopOutputCapture(); // twice is harmless
    EXPECT_TRUE(Exists("mix.wav"));
    EXPECT_TRUE(Exists("mix1.wav"));
    EXPECT_TRUE(Exists("mix2.wav"));
    EXPECT_FALSE(Exists("mix0.wav"));

    EXPECT_EQ(ZkEngineTest::RunCommand("soxi -b \"" + File("mix.wav") + "\""), "16\n");
    EXPECT_EQ(ZkEngineTest::RunCommand("soxi -r \"" + File("mix.wav") + "\""), "48000\n");
    EXPECT_EQ(ZkEngineTest::RunCommand("soxi -c \"" + File("mix.wav") + "\""), "2\n");
    EXPECT_EQ(ZkEngineTest::RunCommand("soxi -s \"" + File("mix1.wav") + "\""), std::to_string(6 * kFrames) + "\n");

    const std::string raw = File("mix.f32");
    ASSERT_EQ(std::system(("sox \"" + File("mix.wav") + "\" -t raw -e floating-point -b 32 \"" + raw + "\"").c_str()), 0);
    std::ifstream in(raw, std::ios::binary);
    std::vector<float> decoded(heard.size() + 16);
    in.read(reinterpret_cast<char*>(decoded.data()), static_cast<std::streamsize>(decoded.size() * sizeof(float)));
    ASSERT_EQ(static_cast<size_t>(in.gcount()), heard.size() * sizeof(float)) << "the file holds every frame heard";
    double worst = 0.0;
    for (size_t index = 0; index < heard.size(); ++index)
        worst = std::max(worst, std::fabs(static_cast<double>(decoded[index]) - heard[index]));
    EXPECT_LT(worst, 2.0 / 32768.0) << "equal within 16-bit quantisation";
    EXPECT_GT(std::fabs(heard[2 * (kFrames - 1)]), 0.0f);

    const ZkCaptureTest::WaveFields fields = ZkCaptureTest::ReadWaveChunks(File("mix2.wav"));
    EXPECT_EQ(ZkCaptureTest::Number(fields, "cue.count"), 1);
    EXPECT_EQ(ZkCaptureTest::Number(fields, "cue.0.position"), 2 * kFrames);
    EXPECT_EQ(fields.at("labl.0.text"), "two");
}

// The numeral keeps its place: after a four-letter extension, and at the start of a name without
// one (where a name of three characters left the literal "fifth from the end" before the buffer).
TEST_F(ThreadedOutputCapture, ADeviceCreatedDuringACaptureTakesTheNextNumeralWhereverItStands)
{
    struct Case
    {
        const wchar_t* name;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {L"mix.wave", {"mix.wave", "mix1.wave", "mix2.wave", "mix3.wave"}},
        {L"abc", {"abc", "1abc", "2abc", "3abc"}},
    };
    for (const Case& c : cases)
    {
        StartDevices(2);
        CZkOutputDeviceMgr::StartOutputCapture(c.name);
        AddOther(3);
        EXPECT_TRUE(CZkOutputDeviceMgr::GetDevice(ZkMakeOutputID(kCustomShareSet, 3))->HasCaptureFile());
        RenderFrame(0);
        CZkOutputDeviceMgr::StopOutputCapture();
        for (const std::string& file : c.files)
            EXPECT_TRUE(Exists(file)) << file;
        EXPECT_EQ(std::distance(fs::directory_iterator(m_folder.Path()), fs::directory_iterator()), 4);
        CZkOutputDeviceMgr::TermDevices();
        for (const std::string& file : c.files)
            fs::remove(m_folder.Path() / file);
    }
}

TEST_F(ThreadedOutputCapture, ANameThatCannotBeOpenedLeavesTheDevicesWithoutFilesAndRenderingGoesOn)
{
    CZkOutputDeviceMgr::StartOutputCapture(L"early.wav");
    StartDevices(1);
    EXPECT_FALSE(CZkOutputDeviceMgr::GetMainDevice()->HasCaptureFile()) << "no capture before the main output";
    CZkOutputDeviceMgr::StartOutputCapture(L"");
    EXPECT_FALSE(CZkOutputDeviceMgr::GetMainDevice()->HasCaptureFile()) << "an empty name is ignored";
    CZkOutputDeviceMgr::StartOutputCapture(L"no/such/folder/mix.wav");
    for (CZkOutputDevice* device = CZkOutputDeviceMgr::FirstDevice(); device != nullptr; device = device->next)
        EXPECT_FALSE(device->HasCaptureFile());
    RenderFrame(0);
    EXPECT_EQ(g_sinkLog.consumed.size(), 2u) << "both devices rendered";
    CZkOutputDeviceMgr::StopOutputCapture();
}
} // namespace
