// The path block of a node body (3-D position modes 1 and 2), read into the node's path data:
// vertices, items, random ranges, mode, default duration and the listener-relative bit; items
// that do not lie within the vertices end the read with 2 (an item {first 1, count 5} over two
// vertices would have the player, and the default duration's write, run past the vertex array);
// empty counts keep what the node had.
#include "HierarchyFixture.h"
#include "ZkAudiolib/Common/Positioning/ZkPathData.h"

#include <functional>

namespace
{
using namespace ZkHierarchyTest;

class PathBlock : public HierarchyTest
{
};

TEST_F(PathBlock, ReadIntoThePathData)
{
    struct Case
    {
        const char* name;
        std::string keys;
        ZKRESULT expected;
        std::function<void(const ZkPathData*)> check;
    };
    const std::string twoVertices = R"("vertices": [[-1000, 0, 500, 1500], [1000, 0, 500, 7]])";
    const std::vector<Case> cases = {
        {"two vertices, one item", R"("positioning": 35, "positioning_3d": 64, "path": {"mode": 4, "transition_time": 300, )" +
                                       twoVertices + R"(, "items": [[0, 2]], "ranges": [[1.5, 2.5, 3.5]]})",
         ZK_Success,
         [](const ZkPathData* data) {
             ASSERT_NE(data, nullptr);
             EXPECT_EQ(data->mode, 4u);
             EXPECT_TRUE(data->IsListenerRelative()) << "Q bit 6";
             ASSERT_EQ(data->vertexCount, 2u);
             ASSERT_EQ(data->PathCount(), 1u);
             EXPECT_EQ(data->vertices[0].x, -1000.0f);
             EXPECT_EQ(data->vertices[0].z, 500.0f);
             EXPECT_EQ(data->vertices[0].durationMs, 1500u);
             EXPECT_EQ(data->vertices[1].durationMs, 300u) << "the last vertex takes the transition time";
             EXPECT_EQ(data->paths[0].rangeX, 1.5f);
             EXPECT_EQ(data->paths[0].rangeZ, 2.5f);
             EXPECT_EQ(data->paths[0].rangeY, 3.5f);
         }},
        {"mode 2 reads the block too", R"("positioning": 67, "path": {"mode": 1, )" + twoVertices + R"(, "items": [[0, 1], [1, 1]]})",
         ZK_Success,
         [](const ZkPathData* data) {
             ASSERT_NE(data, nullptr);
             EXPECT_FALSE(data->IsListenerRelative());
             EXPECT_EQ(data->PathCount(), 2u);
             EXPECT_EQ(data->paths[1].vertices, data->vertices + 1);
         }},
        {"no items: no paths", R"("positioning": 35, "path": {"mode": 4, )" + twoVertices + "}", ZK_Success,
         [](const ZkPathData* data) {
             ASSERT_NE(data, nullptr);
             EXPECT_EQ(data->PathCount(), 0u);
             EXPECT_FALSE(data->CanPlay());
         }},
        {"no vertices: no paths", R"("positioning": 35, "path": {"mode": 4, "items": [[0, 0]]})", ZK_Success,
         [](const ZkPathData* data) {
             ASSERT_NE(data, nullptr);
             EXPECT_EQ(data->vertexCount, 0u);
         }},
        {"a count past the vertices", R"("positioning": 35, "path": {"mode": 4, )" + twoVertices + R"(, "items": [[1, 5]]})",
         ZK_Fail, nullptr},
        {"a first vertex at V", R"("positioning": 35, "path": {"mode": 4, )" + twoVertices + R"(, "items": [[0, 2], [2, 1]]})",
         ZK_Fail, nullptr},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(Parse(BankOfItems(Sound(test.keys))), test.expected);
        CZkSoundNode* sound = FindSound(200);
        if (test.check)
        {
            ASSERT_NE(sound, nullptr);
            test.check(sound->PathData());
        }
        else
        {
            EXPECT_EQ(sound, nullptr) << "a failed read leaves no node";
        }
        ReleaseBanks();
    }
}
} // namespace
