// A playlist heard through the running engine (offline rendering, the capture of the main output):
// a group node routes to the Effects bus and holds a sequence playlist that bounces at its end over
// three tone bursts of distinct frequencies; each post of the event plays the next burst, which
// numpy's FFT names by its peak. The sounds name no bus: they are heard through the group's.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include <cstdlib>

namespace
{
using namespace ZkFirstSoundTest;

constexpr uint32_t kBurstFrames = 4800; // 100 ms

class HeardPlaylist : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        auto burst = [](ZkUniqueID id, uint32_t hz) {
            return R"({"id": )" + std::to_string(id) + R"(, "wave": {"rate": 48000, "channels": 1, "frames": )" +
                   std::to_string(kBurstFrames) + R"(, "parts": [{"tone": )" + std::to_string(hz) + R"(, "amp": 0.5}]}})";
        };
        const std::string bank = R"({"name": "HeardPlaylist.bnk", "media": [)" + burst(120, 750) + ", " +
                                 burst(121, 1500) + ", " + burst(122, 3000) + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
                {"type": "sound", "id": 220, "media": 120},
                {"type": "sound", "id": 221, "media": 121},
                {"type": "sound", "id": 222, "media": 122},
                {"type": "playlist", "id": 230, "children": [220, 221, 222], "reverse_at_end": true},
                {"type": "group", "id": 240, "bus": "Effects", "children": [230]},
                {"type": "action", "id": 330, "action": "play", "target": 230},
                {"type": "event", "id": 930, "actions": [330]}]}]})";
        const auto description = m_folder.Path() / "heard_playlist.json";
        std::ofstream(description) << bank;
        const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) + "/tools/bank_writer.py\" \"" +
                                    description.string() + "\" -o \"" +
                                    (m_folder.Path() / "HeardPlaylist.bnk").string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
};

TEST_F(HeardPlaylist, EachPostPlaysTheNextBurstOfTheSequence)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("HeardPlaylist.bnk", bank), ZK_Success);
    std::vector<double> heard;
    for (int post = 0; post < 5; ++post)
    {
        captured.clear();
        ASSERT_NE(PostEvent(930u, kEmitter), 0u);
        RenderFrames(16);
        const ToneMeasure measure = Measure(captured, 2);
        heard.push_back(measure.peakHz);
    }
    const double expected[] = {750, 1500, 3000, 1500, 750};
    for (size_t post = 0; post < heard.size(); ++post)
        EXPECT_NEAR(heard[post], expected[post], 25.0) << "post " << post;
}
} // namespace
