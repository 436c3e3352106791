// The playlist containers' history blob through the game's calls: a saved blob replays the
// selections that followed it (global and per game object), its bytes in their layout, cuts inside
// and between records, and histories that do not fit their list refused with every history kept.
#include "HierarchyFixture.h"
#include "PlaylistSelections.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"

#include <ZK/SoundEngine/Common/ZkBytes.h>
#include <ZK/SoundEngine/Common/ZkContainerHistory.h>

namespace
{
using namespace ZkHierarchyTest;

class PlaylistHistoryBlob : public HierarchyTest
{
protected:
    CZkPlaylistContainerNode* Load(const std::string& keys)
    {
        EXPECT_EQ(Parse(BankOfItems(Sound("", 10) + "," + Sound("", 11) + "," + Sound("", 12) + "," +
                                    R"({"type": "playlist", "id": 1, "children": [10, 11, 12], )" + keys + "}")),
                  ZK_Success);
        return static_cast<CZkPlaylistContainerNode*>(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(1));
    }
    static std::vector<int> Select(CZkPlaylistContainerNode& playlist, uint32_t count, CZkGameObject* object = nullptr)
    {
        return SelectPicks(playlist, count, object);
    }
    static Bytes Save()
    {
        ZK::WriteBytesMem written;
        written.SetMemPool(ZkMemID_Default);
        EXPECT_EQ(GetContainerHistory(&written), ZK_Success);
        return Bytes(written.Bytes(), written.Bytes() + written.Count());
    }
    static ZKRESULT Restore(const Bytes& bytes)
    {
        ZK::ReadBytesMem stream(bytes.data(), static_cast<int32_t>(bytes.size()));
        return SetContainerHistory(&stream);
    }
};

TEST_F(PlaylistHistoryBlob, ASavedBlobReplaysTheSelectionsThatFollow)
{
    CZkRegisteredObj* first = Register(7);
    CZkRegisteredObj* second = Register(8);
    struct Case
    {
        const char* what;
        std::string keys;
    };
    const std::vector<Case> cases = {
        {"random, global", R"("play_mode": "random", "random_type": 1, "avoid_repeat": 1)"},
        {"random weighted, per object", R"("play_mode": "random", "avoid_repeat": 1, "global_scope": false,
                                           "entries": [[10, 20000], [11, 50000], [12, 90000]])"},
        {"sequence, per object", R"("reverse_at_end": true, "global_scope": false)"},
    };
    for (const Case& c : cases)
    {
        CZkPlaylistContainerNode* playlist = Load(c.keys);
        ZK::ZkLcg64::Engine().Seed(99);
        Select(*playlist, 5, first);
        Select(*playlist, 2, second);
        const Bytes blob = Save();
        const uint64_t state = ZK::ZkLcg64::Engine().State();
        const std::vector<int> after = Select(*playlist, 12, first);
        const std::vector<int> afterSecond = Select(*playlist, 4, second);

        ASSERT_EQ(Restore(blob), ZK_Success) << c.what;
        ZK::ZkLcg64::Engine().Seed(state);
        EXPECT_EQ(Select(*playlist, 12, first), after) << c.what;
        EXPECT_EQ(Select(*playlist, 4, second), afterSecond) << c.what;
        ReleaseBanks();
    }
}

TEST_F(PlaylistHistoryBlob, BytesInTheirLayout)
{
    CZkRegisteredObj* object = Register(0x1122334455);
    CZkPlaylistContainerNode* playlist = Load(R"("play_mode": "random", "avoid_repeat": 2, "global_scope": false)");
    ZK::ZkLcg64::Engine().Seed(5);
    const std::vector<int> picks = Select(*playlist, 2, object);
    const Bytes blob = Save();
    auto at = [&blob](size_t offset, auto value) {
        std::memcpy(&value, blob.data() + offset, sizeof(value));
        return value;
    };
    ASSERT_EQ(blob.size(), 8u + 1 + 4 + 8 + 16 + 2 + 2 * 2) << "bit arrays of one byte each";
    EXPECT_EQ(at(0, uint32_t{}), 1u) << "container id";
    EXPECT_EQ(at(4, uint32_t{}), blob.size() - 8) << "body length";
    EXPECT_EQ(blob[8], 0) << "random play mode";
    EXPECT_EQ(at(9, uint32_t{}), 1u) << "one record";
    EXPECT_EQ(at(13, uint64_t{}), 0x1122334455u);
    EXPECT_EQ(at(21, uint16_t{}), 3u) << "n";
    EXPECT_EQ(at(23, int32_t{}), 150000);
    EXPECT_EQ(at(27, int32_t{}), 50000) << "two entries in the window";
    EXPECT_EQ(at(31, uint16_t{}), 1u) << "selectable";
    EXPECT_EQ(at(35, uint16_t{}), 2u) << "k";
    EXPECT_EQ(blob[37], (1 << picks[0]) | (1 << picks[1])) << "played";
    EXPECT_EQ(at(39, uint16_t{}), picks[0]) << "oldest first";
    EXPECT_EQ(at(41, uint16_t{}), picks[1]);
}

TEST_F(PlaylistHistoryBlob, CutsAndRefusedHistories)
{
    CZkPlaylistContainerNode* playlist = Load(R"("play_mode": "random", "avoid_repeat": 1)");
    ZK::ZkLcg64::Engine().Seed(5);
    Select(*playlist, 2);
    const Bytes blob = Save();
    const Bytes before = blob;

    Bytes twice = blob;
    twice.insert(twice.end(), blob.begin(), blob.end());
    EXPECT_EQ(Restore(twice), ZK_Success) << "a cut at a record boundary ends the read";
    for (size_t cut : {size_t{6}, size_t{10}, blob.size() - 1})
    {
        const Bytes part(blob.begin(), blob.begin() + static_cast<long>(cut));
        EXPECT_EQ(Restore(part), ZK_Fail) << "cut at " << cut;
    }

    struct Case
    {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"k = n + 1 (the entries follow the body)", 35, {4, 0}},
        {"a recent entry at n", 39, {3, 0}},
        {"counts above n", 31, {9, 0}},
        {"another play mode", 8, {1}},
        {"n differs from the list", 21, {4, 0}},
    };
    for (const Case& c : cases)
    {
        Bytes bad = blob;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + static_cast<long>(c.offset));
        EXPECT_EQ(Restore(bad), ZK_Fail) << c.what;
        EXPECT_EQ(Save(), before) << c.what << ": every history as it was";
    }

    // A record for a container that is not loaded is skipped by its length.
    Bytes other = blob;
    other[0] = 77;
    other.insert(other.end(), blob.begin(), blob.end());
    EXPECT_EQ(Restore(other), ZK_Success);
    // A skipped body cut short: the stream ends before the record does.
    EXPECT_EQ(Restore(Bytes(other.begin(), other.begin() + 12)), ZK_Fail);
    EXPECT_EQ(Restore(Bytes{}), ZK_Success) << "no record at all";
}

TEST_F(PlaylistHistoryBlob, ASequenceLastIndexOutsideTheListIsRefused)
{
    CZkPlaylistContainerNode* playlist = Load(R"("restart_each_play": false)");
    Select(*playlist, 1);
    Bytes blob = Save();
    ASSERT_EQ(blob.size(), 8u + 1 + 4 + 8 + 3);
    blob[22] = 7; // lastIndex 7 for 3 entries
    EXPECT_EQ(Restore(blob), ZK_Fail);
    EXPECT_EQ(Select(*playlist, 1), std::vector<int>{1}) << "the history kept";
}
} // namespace
