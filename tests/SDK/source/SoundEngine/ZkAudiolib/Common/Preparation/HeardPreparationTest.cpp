// Prepared and decoded media heard end to end through the running engine (offline rendering, the
// capture of the main output, judged by numpy as the first sound is): an event prepared from loose
// files plays their tone (an octave above the bank's), the same event with its bank loaded plays the
// bank's; a bank loaded over its structure-only preparation plays every time it is posted; media in
// the 8-bit test format, decoded ahead of play by PrepareBank or DecodeBank, play at the tone's level.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include "../../../../../../../fuzz/support/TestFormatCodec.h"

#include <cmath>
#include <cstdlib>

namespace
{
using namespace ZkFirstSoundTest;
using ZkTestFormat::U8TestCodec;

constexpr ZkUniqueID kPlayPrepared = 900; // a 1 kHz tone in the bank, 2 kHz in its loose file
constexpr ZkUniqueID kPlayDecoded = 901;  // a 1 kHz tone in the 8-bit test format

class HeardPreparation : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        settings.bankThread = 0;
        const std::string tone = R"("wave": {"rate": 48000, "frames": 12000, "parts": [{"tone": 1000, "amp": 0.5}]})";
        const std::string octave = R"({"wave": {"rate": 48000, "frames": 12000, "parts": [{"tone": 2000, "amp": 0.5}]}})";
        const std::string banks = R"([{"name": "Heard.bnk", "media": [
                {"id": 600, )" + tone + R"(, "loose": )" + octave + R"(},
                {"id": 601, "encoding": "u8_test", )" + tone + R"(}],
             "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
                {"type": "sound", "id": 700, "media": 600, "bus": "Effects"},
                {"type": "sound", "id": 701, "media": 601, "bus": "Effects"}]}]},
            {"name": "HeardEvents.bnk", "chunks": [{"tag": "BKHD"},
             {"tag": "STID", "groups": [{"banks": [{"name": "Heard"}]}]},
             {"tag": "HIRC", "items": [
                {"type": "action", "id": 800, "action": "play", "target": 700, "bank": "Heard"},
                {"type": "action", "id": 801, "action": "play", "target": 701, "bank": "Heard"},
                {"type": "event", "id": 900, "actions": [800]},
                {"type": "event", "id": 901, "actions": [801]}]}]}])";
        const auto description = m_folder.Path() / "heard.json";
        std::ofstream(description) << banks;
        const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) +
                                    "/tools/bank_writer.py\" --loose-media --out-dir \"" + m_folder.Path().string() +
                                    "\" \"" + description.string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    void StartWithEvents()
    {
        ASSERT_NO_FATAL_FAILURE(Start());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("HeardEvents.bnk", bank), ZK_Success);
    }

    // Posts the event and measures what the next 20 frames hold (its tone ends within them).
    ToneMeasure Hear(ZkUniqueID event)
    {
        captured.clear();
        EXPECT_NE(PostEvent(event, kEmitter), 0u);
        RenderFrames(20);
        return Measure(captured, channels);
    }

    static double LevelDb(const ToneMeasure& measure, int channel)
    {
        return 20.0 * std::log10(measure.amplitude[channel] / (kToneAmplitude * kCentreGain));
    }

    static ZKRESULT PrepareOne(PreparationType type, ZkUniqueID event) { return PrepareEvent(type, &event, 1); }
};

TEST_F(HeardPreparation, APreparedEventPlaysItsLooseFilesAndWithItsBankLoadedTheBanksCopy)
{
    ASSERT_NO_FATAL_FAILURE(StartWithEvents());
    ASSERT_EQ(PrepareOne(Preparation_Load, kPlayPrepared), ZK_Success);
    ToneMeasure measure = Hear(kPlayPrepared);
    EXPECT_NEAR(measure.peakHz, 2000.0, measure.binHz) << "the loose file's tone";
    ASSERT_EQ(PrepareOne(Preparation_Unload, kPlayPrepared), ZK_Success);

    ZkBankID heard = 0;
    ASSERT_EQ(LoadBank("Heard.bnk", heard), ZK_Success);
    ASSERT_EQ(PrepareOne(Preparation_Load, kPlayPrepared), ZK_Success);
    measure = Hear(kPlayPrepared);
    EXPECT_NEAR(measure.peakHz, 1000.0, measure.binHz) << "the bank's tone";
    EXPECT_NEAR(LevelDb(measure, 0), 0.0, 0.1);
}

TEST_F(HeardPreparation, ABankLoadedOverItsStructureOnlyPreparationIsHeardAtEveryPost)
{
    ASSERT_NO_FATAL_FAILURE(StartWithEvents());
    ASSERT_EQ(PrepareBank(Preparation_Load, "Heard", ZkBankContent_StructureOnly), ZK_Success);
    ZkBankID heard = 0;
    ASSERT_EQ(LoadBank("Heard.bnk", heard), ZK_Success);
    for (int post = 0; post < 2; ++post)
    {
        SCOPED_TRACE(post);
        const ToneMeasure measure = Hear(kPlayPrepared);
        EXPECT_GE(measure.first, 0) << "heard";
        EXPECT_NEAR(measure.peakHz, 1000.0, measure.binHz);
        EXPECT_NEAR(LevelDb(measure, 0), 0.0, 0.1);
    }
}

TEST_F(HeardPreparation, TestFormatMediaDecodedAheadOfPlayPlayAtTheTonesLevel)
{
    ASSERT_NO_FATAL_FAILURE(StartWithEvents());
    ASSERT_EQ(U8TestCodec::Register(), ZK_Success);
    // Prepared with decoding.
    ASSERT_EQ(PrepareBank(Preparation_LoadAndDecode, "Heard", ZkBankContent_All), ZK_Success);
    ToneMeasure measure = Hear(kPlayDecoded);
    EXPECT_NEAR(measure.peakHz, 1000.0, measure.binHz);
    for (int channel = 0; channel < 2; ++channel)
        EXPECT_NEAR(LevelDb(measure, channel), 0.0, 0.1) << channel;
    ASSERT_EQ(PrepareBank(Preparation_Unload, "Heard"), ZK_Success);

    // A whole image decoded, then loaded from memory.
    const ZkSoundFixtures::Bytes image = ZkSoundFixtures::ReadWholeFile(m_folder.Path() / "Heard.bnk");
    void* decoded = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(DecodeBank(image.data(), static_cast<uint32_t>(image.size()), ZkMemID_Default, decoded, size),
              ZK_Success);
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBankMemoryCopy(decoded, size, bank), ZK_Success);
    ZK::MemoryMgr::Free(ZkMemID_Default, decoded);
    measure = Hear(kPlayDecoded);
    EXPECT_NEAR(measure.peakHz, 1000.0, measure.binHz);
    EXPECT_NEAR(LevelDb(measure, 0), 0.0, 0.1);
}
} // namespace
