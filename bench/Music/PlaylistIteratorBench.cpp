// The playlist iterator's Next over a tree of four levels whose groups all choose at random, in ns
// per call: a root group without end (random continuous, weighted, avoid-repeat 1) of 3 groups, each
// a shuffle (random step, weighted, avoid-repeat 2) of 4 groups, each a standard random choice
// (random step, weighted, avoid-repeat 1) of 4 segments: 48 leaves, read from a writer-made bank as
// the game reads its playlists. A call moves past the current segment: it chooses in the leaf's
// group, and when that group's round is over pops it and chooses (pushing new step groups with new
// selectors) higher up. Each choice is offered to the playing id's playlist-select callback, as in a
// real play (the bench's playing id has none).
//   ours        CZkPlaylistIterator::Next over the container's tree, drawing from ZkLcg64
//   std_random  the same walk over the same tree written as a game programmer would with the
//               standard library: a vector of frames, std::mt19937_64, and per choice a
//               std::discrete_distribution over the children's weights with those the shuffle has
//               played or the avoid-repeat window holds set to 0
#include "Music/MusicBenchEngine.h"
#include "Support/PeerRatios.h"
#include "Support/WrittenBank.h"

#include "MusicEngine/CZkMusicPlaylistContainer.h"
#include "MusicEngine/Playlist/CZkPlaylistIterator.h"
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace
{
using namespace ZK::MusicEngine;

constexpr ZkUniqueID kPlaylistID = 900;
constexpr ZkGameObjectID kObject = 300;
constexpr ZkPlayingID kPlayingID = 0x7100;
constexpr uint64_t kSeed = 12345;
constexpr benchmark::IterationCount kCalls = 200000;

std::string Item(const std::string& keys, const std::vector<std::string>& children = {})
{
    std::string text = "{" + keys;
    if (children.empty())
        return text + "}";
    text += R"(, "items": [)";
    for (size_t index = 0; index < children.size(); ++index)
        text += (index ? ", " : "") + children[index];
    return text + "]}";
}

// Ids: the root 1; its groups 10-12; theirs 100 + 10a + b; the leaves 1000 + 100a + 10b + c, each
// playing segment 5000 plus the same number.
std::string FourLevelTree()
{
    const int rootWeights[] = {20000, 30000, 60000};
    const int shuffleWeights[] = {10000, 20000, 30000, 40000};
    const int leafWeights[] = {5000, 15000, 30000, 50000};
    std::vector<std::string> shuffles;
    for (int a = 0; a < 3; ++a)
    {
        std::vector<std::string> randoms;
        for (int b = 0; b < 4; ++b)
        {
            std::vector<std::string> leaves;
            for (int c = 0; c < 4; ++c)
            {
                const int leaf = 100 * a + 10 * b + c;
                leaves.push_back(Item(R"("id": )" + std::to_string(1000 + leaf) + R"(, "segment": )" +
                                      std::to_string(5000 + leaf) + R"(, "weight": )" + std::to_string(leafWeights[c])));
            }
            randoms.push_back(Item(R"("id": )" + std::to_string(100 + 10 * a + b) + R"(, "mode": 2, "avoid_repeat": 1, "weight": )" +
                                       std::to_string(shuffleWeights[b]),
                                   leaves));
        }
        shuffles.push_back(Item(R"("id": )" + std::to_string(10 + a) + R"(, "mode": 2, "flag": 1, "avoid_repeat": 2, "weight": )" +
                                    std::to_string(rootWeights[a]),
                                randoms));
    }
    return Item(R"("id": 1, "mode": 3, "repeat": 0, "avoid_repeat": 1)", shuffles);
}

std::vector<uint8_t> BenchBank()
{
    return WrittenBank(R"({"name": "PlaylistBench.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
        {"type": "music_playlist", "id": )" + std::to_string(kPlaylistID) + R"(, "playlist": )" + FourLevelTree() + "}]}]}",
                       "zk_playlist_bench");
}

// The music engine with the bank loaded, and the bench's playing id.
class LoadedPlaylist
{
public:
    LoadedPlaylist() : m_engine(WrittenOnce<&BenchBank>())
    {
        if (!m_engine.Loaded() || ZK::SoundEngine::RegisterGameObj(kObject) != ZK_Success ||
            ZK::SoundEngine::g_pPlayingMgr->AddPlayingIDNoMessage(kPlayingID, kObject, nullptr, nullptr, 0, 0) != ZK_Success)
            return;
        m_playingID = true;
        m_playlist = MusicBenchEngine::Find<CZkMusicPlaylistContainer>(kPlaylistID);
    }
    ~LoadedPlaylist()
    {
        if (m_playingID)
            ZK::SoundEngine::g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
    }
    CZkMusicPlaylistContainer* Playlist() const { return m_playlist; }

private:
    MusicBenchEngine m_engine;
    bool m_playingID = false;
    CZkMusicPlaylistContainer* m_playlist = nullptr;
};

// The peer: the tree copied into plain nodes and walked with the standard library's generator and
// distributions. A round of a group ends when every child has been played (a shuffle plays each
// once); a group whose rounds are used up is popped; the root has no end.
class StdRandomWalk
{
public:
    explicit StdRandomWalk(const ZkPlaylistItem& root) : m_root(Copy(root)), m_random(kSeed) { m_frames.emplace_back(m_root); }

    uint32_t Next()
    {
        while (!m_frames.empty())
        {
            const int child = Choose(m_frames.back());
            if (child < 0)
            {
                m_frames.pop_back();
                continue;
            }
            const Node& chosen = m_frames.back().group->children[static_cast<size_t>(child)];
            if (chosen.children.empty())
                return chosen.segmentID;
            m_frames.emplace_back(chosen);
        }
        return 0;
    }

private:
    struct Node
    {
        uint32_t segmentID = 0;
        double weight = 1.0;
        int repeat = 1;
        bool shuffle = false;
        size_t avoidRepeat = 0;
        std::vector<Node> children;
    };
    struct Frame
    {
        explicit Frame(const Node& node)
            : group(&node), roundsLeft(node.repeat), played(node.children.size(), false)
        {
        }
        const Node* group;
        int roundsLeft; // 0: without end
        std::vector<bool> played;
        size_t playedCount = 0;
        std::deque<size_t> recent;
    };

    static Node Copy(const ZkPlaylistItem& item)
    {
        Node node;
        node.segmentID = item.segmentID;
        node.weight = item.weight;
        node.repeat = item.repeatCount;
        node.shuffle = item.flag != 0;
        node.avoidRepeat = item.avoidRepeat;
        for (const ZkPlaylistItem* child : item.children)
            node.children.push_back(Copy(*child));
        return node;
    }

    int Choose(Frame& frame)
    {
        const std::vector<Node>& children = frame.group->children;
        if (frame.playedCount == children.size())
        {
            if (frame.roundsLeft != 0 && --frame.roundsLeft == 0)
                return -1;
            std::fill(frame.played.begin(), frame.played.end(), false);
            frame.playedCount = 0;
        }
        std::vector<double> weights(children.size());
        double total = 0.0;
        for (bool avoiding : {true, false}) // without the window when it leaves nothing to draw
        {
            for (size_t index = 0; index < children.size(); ++index)
            {
                const bool avoided =
                    avoiding && std::find(frame.recent.begin(), frame.recent.end(), index) != frame.recent.end();
                weights[index] = (frame.group->shuffle && frame.played[index]) || avoided ? 0.0 : children[index].weight;
                total += weights[index];
            }
            if (total > 0.0)
                break;
        }
        std::discrete_distribution<size_t> draw(weights.begin(), weights.end());
        const size_t pick = draw(m_random);
        if (!frame.played[pick])
        {
            frame.played[pick] = true;
            ++frame.playedCount;
        }
        frame.recent.push_back(pick);
        while (frame.recent.size() > std::min(frame.group->avoidRepeat, children.size() - 1))
            frame.recent.pop_front();
        return static_cast<int>(pick);
    }

    Node m_root;
    std::mt19937_64 m_random;
    std::vector<Frame> m_frames;
};

void Ours(benchmark::State& state)
{
    LoadedPlaylist loaded;
    if (loaded.Playlist() == nullptr)
    {
        state.SkipWithError("the engine, the bank or the playlist did not start");
        return;
    }
    ZK::ZkLcg64::Engine().Seed(kSeed);
    CZkPlaylistIterator iterator;
    if (iterator.Start(*loaded.Playlist(), kPlayingID, nullptr) != ZK_Success)
    {
        state.SkipWithError("the walk did not start");
        return;
    }
    PeerBench::MeasurePerUnit(state, "call", 1.0, [&] {
        iterator.Next();
        benchmark::DoNotOptimize(iterator.CurrentSegmentId());
    });
    if (!iterator.HasCurrent())
        state.SkipWithError("the walk ended: the root group has no end");
}

void StdRandom(benchmark::State& state)
{
    LoadedPlaylist loaded;
    if (loaded.Playlist() == nullptr)
    {
        state.SkipWithError("the engine, the bank or the playlist did not start");
        return;
    }
    StdRandomWalk walk(loaded.Playlist()->Root());
    uint32_t segment = 0;
    PeerBench::MeasurePerUnit(state, "call", 1.0, [&] {
        segment = walk.Next();
        benchmark::DoNotOptimize(segment);
    });
    if (segment == 0)
        state.SkipWithError("the walk ended: the root group has no end");
}

const bool g_registered = [] {
    PeerBench::PeerRuns("playlist_next_4_levels_random", "ours", &Ours)->Iterations(kCalls);
    PeerBench::PeerRuns("playlist_next_4_levels_random", "std_random", &StdRandom)->Iterations(kCalls);
    return true;
}();
} // namespace
