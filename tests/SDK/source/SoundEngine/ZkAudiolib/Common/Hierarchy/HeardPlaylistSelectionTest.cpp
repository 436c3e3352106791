// Step-mode playlists heard through the running engine (offline rendering, the capture of the main
// output): each playlist's sounds are 100 ms tone bursts of distinct frequencies, and every post of
// its event, 8 frames after the previous one, plays one of them. A Python program names each burst
// by numpy's FFT and runs its own model of the selection from the same seed in unbounded integers;
// the bursts must follow the model post for post, and the histories the game reads afterwards must
// be the model's, byte for byte as struct reads them. Independently of the model, the heard bursts
// never repeat inside the avoid-repeat window and a shuffle plays each entry once per cycle.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include <ZK/SoundEngine/Common/ZkBytes.h>
#include <ZK/SoundEngine/Common/ZkContainerHistory.h>

#include <map>
#include <set>

namespace
{
using namespace ZkFirstSoundTest;

constexpr uint32_t kBurstFrames = 4800; // 100 ms
constexpr uint32_t kFramesPerPost = 8;
constexpr uint32_t kPostFrames = kFramesPerPost * kFrames;
constexpr uint32_t kTones[] = {500, 900, 1700, 3100};
constexpr ZkGameObjectID kOther = 8;
constexpr ZkUniqueID kFirstPlaylist = 50;

struct Case
{
    const char* name;
    // The playlist's selection keys in the bank writer's words; {S} stands for its sound ids' stem
    // (sound {S}k plays tone k).
    std::string keys;
    uint32_t tones;                       // its sounds play tones 0 .. tones - 1
    std::vector<ZkGameObjectID> posts;    // the game object of each post
    uint32_t window = 0;                  // no burst repeats one of the window's previous ones
    uint32_t cycle = 0;                   // shuffle: each burst once per cycle of this many posts
    bool perObject = false;               // the checks above hold per game object
};

std::vector<ZkGameObjectID> On(ZkGameObjectID object, size_t posts) { return std::vector<ZkGameObjectID>(posts, object); }

const std::vector<ZkGameObjectID> kInterleaved = {kEmitter, kOther, kEmitter, kEmitter, kOther, kOther,
                                                  kEmitter, kOther, kOther,   kEmitter, kEmitter, kOther};

std::vector<Case> Cases()
{
    const std::string random = R"("play_mode": "random")";
    return {
        {"random", random, 3, On(kEmitter, 10)},
        {"random_avoid_1", random + R"(, "avoid_repeat": 1)", 3, On(kEmitter, 12), 1},
        {"random_avoid_5_capped_at_2", random + R"(, "avoid_repeat": 5)", 3, On(kEmitter, 12), 2},
        {"shuffle", random + R"(, "random_type": 1)", 4, On(kEmitter, 12), 0, 4},
        {"shuffle_avoid_2", random + R"(, "random_type": 1, "avoid_repeat": 2)", 4, On(kEmitter, 12), 2, 4},
        {"shuffle_entry_not_loaded", random + R"(, "random_type": 1, "entries": [{S}0, {S}9, {S}2, {S}3])", 4,
         On(kEmitter, 10)},
        {"weighted", random + R"(, "entries": [[{S}0, 50000], [{S}1, 150000]])", 2, On(kEmitter, 12)},
        {"weighted_avoid_1", random + R"(, "avoid_repeat": 1, "entries": [[{S}0, 20000], [{S}1, 50000], [{S}2, 90000]])",
         3, On(kEmitter, 12), 1},
        {"random_entry_not_loaded", random + R"(, "entries": [{S}0, {S}9, {S}2])", 3, On(kEmitter, 10)},
        {"random_avoid_1_entry_not_loaded", random + R"(, "avoid_repeat": 1, "entries": [{S}0, {S}9, {S}2, {S}3])", 4,
         On(kEmitter, 10)},
        {"sequence_bouncing_restart_each_play", R"("reverse_at_end": true, "restart_each_play": true)", 3, On(kEmitter, 8)},
        {"sequence_wrapping", R"("restart_each_play": false)", 3, On(kEmitter, 7)},
        {"per_object_random_avoid_1", random + R"(, "avoid_repeat": 1, "global_scope": false)", 3, kInterleaved, 1, 0,
         true},
        {"per_object_sequence_bouncing", R"("reverse_at_end": true, "global_scope": false)", 3, kInterleaved},
        {"global_shuffle_two_objects", random + R"(, "random_type": 1)", 3,
         std::vector<ZkGameObjectID>(kInterleaved.begin(), kInterleaved.begin() + 9), 0, 3},
    };
}

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

std::string Join(const std::vector<std::string>& parts)
{
    std::string joined;
    for (const std::string& part : parts)
        joined += (joined.empty() ? "" : ", ") + part;
    return joined;
}

// The tone indices of a line's words, -1 for a word that names none.
std::vector<int> Tones(const std::string& line)
{
    std::istringstream words(line);
    std::vector<int> tones;
    for (std::string word; words >> word;)
        tones.push_back(word.find_first_not_of("0123456789") == std::string::npos ? std::stoi(word) : -1);
    return tones;
}

class HeardPlaylistSelection : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        std::vector<std::string> media;
        for (uint32_t k = 0; k < std::size(kTones); ++k)
            media.push_back(R"({"id": )" + std::to_string(120 + k) + R"(, "wave": {"rate": 48000, "channels": 1, "frames": )" +
                            std::to_string(kBurstFrames) + R"(, "parts": [{"tone": )" + std::to_string(kTones[k]) +
                            R"(, "amp": 0.5}]}})");
        std::vector<std::string> items;
        std::vector<std::string> cases;
        ZkUniqueID playlist = kFirstPlaylist;
        for (const Case& c : m_cases)
        {
            const std::string stem = std::to_string(playlist);
            std::vector<std::string> children;
            for (uint32_t k = 0; k < c.tones; ++k)
            {
                children.push_back(stem + std::to_string(k));
                items.push_back(R"({"type": "sound", "id": )" + children.back() + R"(, "media": )" +
                                std::to_string(120 + k) + R"(, "bus": "Effects"})");
            }
            const std::string item = R"({"type": "playlist", "id": )" + stem + R"(, "children": [)" + Join(children) +
                                     "], " + Replace(c.keys, "{S}", stem) + "}";
            items.push_back(item);
            items.push_back(R"({"type": "action", "id": )" + std::to_string(playlist + 1000) +
                            R"(, "action": "play", "target": )" + stem + "}");
            items.push_back(R"({"type": "event", "id": )" + std::to_string(playlist + 2000) + R"(, "actions": [)" +
                            std::to_string(playlist + 1000) + "]}");
            std::vector<std::string> objects;
            for (ZkGameObjectID object : c.posts)
                objects.push_back(std::to_string(object));
            cases.push_back(R"({"name": ")" + std::string(c.name) + R"(", "seed": )" + std::to_string(Seed(playlist)) +
                            R"(, "playlist": )" + item + R"(, "loaded": [)" + Join(children) + R"(], "objects": [)" +
                            Join(objects) + "]}");
            ++playlist;
        }
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("HeardSelection.bnk", R"({"name": "HeardSelection.bnk", "media": [)" +
                                                                        Join(media) + R"(],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [)" +
                                                                        Join(items) + "]}]}"));
        std::vector<std::string> tones;
        for (uint32_t hz : kTones)
            tones.push_back(std::to_string(hz));
        std::ofstream(m_folder.Path() / "cases.json")
            << R"({"rate": )" << kRate << R"(, "post_frames": )" << kPostFrames << R"(, "tones": [)" << Join(tones)
            << R"(], "cases": [)" << Join(cases) << "]}";
    }

    static uint32_t Seed(ZkUniqueID playlist) { return 7919u * playlist + 13u; }

    // What the Python program printed, by its lines' first two words.
    std::map<std::string, std::string> Oracle(const ZK::WriteBytesMem& blob)
    {
        const std::filesystem::path capture = m_folder.Path() / "capture.f32";
        std::ofstream(capture, std::ios::binary)
            .write(reinterpret_cast<const char*>(captured.data()), static_cast<std::streamsize>(captured.size() * 4));
        const std::filesystem::path blobFile = m_folder.Path() / "history.bin";
        std::ofstream(blobFile, std::ios::binary).write(reinterpret_cast<const char*>(blob.Bytes()), blob.Count());
        std::istringstream output(ZkEngineTest::RunCommand(
            "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
            "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/playlist_selection_model.py\" \"" +
            capture.string() + "\" " + std::to_string(channels) + " \"" + (m_folder.Path() / "cases.json").string() +
            "\" \"" + blobFile.string() + "\""));
        std::map<std::string, std::string> lines;
        for (std::string line; std::getline(output, line);)
        {
            std::istringstream words(line);
            std::string name;
            std::string what;
            words >> name >> what;
            std::string rest;
            std::getline(words, rest);
            lines[name + " " + what] = rest.empty() ? rest : rest.substr(1);
        }
        return lines;
    }

    const std::vector<Case> m_cases = Cases();
};

// The heard bursts of the posts to one game object (every post when object is 0).
std::vector<int> Of(const Case& c, const std::vector<int>& heard, ZkGameObjectID object)
{
    std::vector<int> picks;
    for (size_t post = 0; post < heard.size() && post < c.posts.size(); ++post)
    {
        if (object == 0 || c.posts[post] == object)
            picks.push_back(heard[post]);
    }
    return picks;
}

void ExpectWindowAndCycles(const Case& c, const std::vector<int>& picks)
{
    for (size_t post = 0; post < picks.size(); ++post)
    {
        for (size_t back = 1; back <= c.window && back <= post; ++back)
            EXPECT_NE(picks[post], picks[post - back]) << c.name << ": a repeat inside the window at " << post;
    }
    for (size_t start = 0; c.cycle != 0 && start + c.cycle <= picks.size(); start += c.cycle)
    {
        const std::set<int> seen(picks.begin() + static_cast<long>(start),
                                 picks.begin() + static_cast<long>(start + c.cycle));
        EXPECT_EQ(seen.size(), c.cycle) << c.name << ": the cycle from " << start;
        if (start > 0)
        {
            EXPECT_NE(picks[start], picks[start - 1]) << c.name << ": a cycle starts with the last pick";
        }
    }
}

TEST_F(HeardPlaylistSelection, BurstsFollowTheModelOfTheSelection)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(RegisterGameObj(kOther, "Other"), ZK_Success);
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("HeardSelection.bnk", bank), ZK_Success);
    RenderFrames(kFramesPerPost);
    captured.clear();
    size_t posts = 0;
    ZkUniqueID playlist = kFirstPlaylist;
    for (const Case& c : m_cases)
    {
        ASSERT_EQ(SetRandomSeed(Seed(playlist)), ZK_Success);
        for (ZkGameObjectID object : c.posts)
        {
            ASSERT_NE(PostEvent(playlist + 2000, object), 0u) << c.name;
            RenderFrames(kFramesPerPost);
        }
        posts += c.posts.size();
        ++playlist;
    }
    ASSERT_EQ(captured.size(), posts * kPostFrames * channels) << "every post heard over its own frames";
    ZK::WriteBytesMem blob;
    blob.SetMemPool(ZkMemID_Default);
    ASSERT_EQ(GetContainerHistory(&blob), ZK_Success);

    std::map<std::string, std::string> oracle = Oracle(blob);
    ASSERT_TRUE(oracle.count("blob ok")) << "the records as struct reads them: " << oracle["blob bad"];
    for (const Case& c : m_cases)
    {
        const std::string name = c.name;
        const std::vector<int> heard = Tones(oracle[name + " heard"]);
        EXPECT_EQ(oracle[name + " heard"], oracle[name + " model"]) << name;
        EXPECT_EQ(oracle[name + " history"], "ok") << name;
        ASSERT_EQ(heard.size(), c.posts.size()) << name;
        for (size_t post = 0; post < heard.size(); ++post)
            EXPECT_GE(heard[post], 0) << name << ": post " << post << " heard no burst of a tone";
        if (c.perObject)
        {
            ExpectWindowAndCycles(c, Of(c, heard, kEmitter));
            ExpectWindowAndCycles(c, Of(c, heard, kOther));
        }
        else
        {
            ExpectWindowAndCycles(c, Of(c, heard, 0));
        }
    }
}
} // namespace
