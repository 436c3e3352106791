// Decision trees: best match and weighted picks against a Python model over random trees and paths
// (decision_tree_oracle.py, with a big-integer model of the random generator), the pick frequencies
// against the weights (scipy's chi-square), malformed trees that end the resolution with 0 instead
// of reading outside the data or walking shared subtrees again and again, and depth-1 trees read as
// key-value lists.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Hierarchy/CZkDecisionTree.h"
#include "ZkAudiolib/Common/Hierarchy/CZkKeyValueList.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
namespace Fault = ZK::MemoryMgr::FaultInjection;

// One node: key, then either (first child, child count) or an audio node id, weight, probability.
struct TreeNodeSpec
{
    uint32_t key;
    uint32_t middle;
    uint16_t weight = 100;
    uint16_t probability = 100;
};

constexpr uint32_t Children(uint32_t first, uint32_t count) { return first | (count << 16); }

std::vector<uint8_t> TreeBytes(const std::vector<TreeNodeSpec>& nodes)
{
    std::vector<uint8_t> bytes(nodes.size() * CZkDecisionTree::kNodeBytes);
    for (size_t index = 0; index < nodes.size(); ++index)
    {
        uint8_t* node = bytes.data() + index * CZkDecisionTree::kNodeBytes;
        ZK::StoreLittleEndian(node, nodes[index].key);
        ZK::StoreLittleEndian(node + 4, nodes[index].middle);
        ZK::StoreLittleEndian(node + 8, nodes[index].weight);
        ZK::StoreLittleEndian(node + 10, nodes[index].probability);
    }
    return bytes;
}

std::vector<uint8_t> FromHex(const std::string& hex)
{
    std::vector<uint8_t> bytes;
    for (size_t at = 0; at + 1 < hex.size(); at += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(at, 2), nullptr, 16)));
    return bytes;
}

bool RejectDivisibleByThree(ZkUniqueID, ZkUniqueID audioNode, void*) { return audioNode % 3 != 0; }

struct CallCounter
{
    uint32_t calls = 0;
    static bool Reject(ZkUniqueID, ZkUniqueID, void* cookie)
    {
        ++static_cast<CallCounter*>(cookie)->calls;
        return false;
    }
};

class DecisionTree : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetTree(CZkDecisionTree& tree, const std::vector<uint8_t>& bytes, uint32_t depth, uint8_t mode = 0)
    {
        ASSERT_EQ(tree.SetData(bytes.data(), static_cast<uint32_t>(bytes.size()), depth), ZK_Success);
        tree.mode = mode;
    }

    // Every tree and path of the oracle's output resolves as the model says, with and without a
    // rejecting callback; the generator starts at the oracle's seed with each tree.
    void CompareWithOracle(const std::string& mode, uint32_t seed)
    {
        std::istringstream lines(ZkEngineTest::RunPythonOracle(
            "SDK/source/SoundEngine/ZkAudiolib/Common/Dialogue/decision_tree_oracle.py",
            mode + " " + std::to_string(seed) + " 10000"));
        CZkDecisionTree tree;
        std::string line;
        uint32_t paths = 0;
        uint32_t found = 0;
        uint32_t trees = 0;
        while (std::getline(lines, line))
        {
            std::istringstream words(line);
            std::string word;
            words >> word;
            if (word == "tree")
            {
                uint32_t weighted = 0;
                uint32_t probability = 0;
                uint32_t depth = 0;
                uint64_t generatorSeed = 0;
                std::string hex;
                words >> weighted >> probability >> depth >> generatorSeed >> hex;
                SetTree(tree, FromHex(hex), depth, static_cast<uint8_t>(weighted));
                tree.probability = static_cast<uint16_t>(probability);
                ZK::ZkLcg64::Engine().Seed(generatorSeed);
                ++trees;
                continue;
            }
            ZkUniqueID plain = 0;
            ZkUniqueID rejecting = 0;
            words >> plain >> rejecting;
            std::vector<uint32_t> path;
            for (uint32_t value = 0; words >> value;)
                path.push_back(value);
            const auto length = static_cast<uint32_t>(path.size());
            ASSERT_EQ(tree.ResolvePath(1, path.data(), length, 0, nullptr, nullptr), plain) << line;
            ASSERT_EQ(tree.ResolvePath(1, path.data(), length, 0, RejectDivisibleByThree, nullptr), rejecting) << line;
            ++paths;
            found += plain != 0 ? 1u : 0u;
        }
        EXPECT_EQ(trees, 40u);
        EXPECT_EQ(paths, 10000u);
        EXPECT_GT(found, 2000u) << "the random paths find something often enough to compare";
    }
};

TEST_F(DecisionTree, BestMatchEqualsTheModelOverRandomTreesAndPaths)
{
    CompareWithOracle("best", 11);
}

TEST_F(DecisionTree, WeightedPicksAndProbabilityRollsEqualTheModelDrawForDraw)
{
    CompareWithOracle("weighted", 12);
}

TEST_F(DecisionTree, WeightedPickFrequenciesFollowTheWeights)
{
    // Path (A, B) reaches four leaves: A/B, A/*, */B, */*, of weights 40, 30, 20, 10.
    constexpr uint32_t kA = 7;
    constexpr uint32_t kB = 9;
    CZkDecisionTree tree;
    SetTree(tree,
            TreeBytes({{0, Children(1, 2)},
                       {0, Children(3, 2)},
                       {kA, Children(5, 2)},
                       {0, 101, 10},
                       {kB, 102, 20},
                       {0, 103, 30},
                       {kB, 104, 40}}),
            2, 1);
    const uint32_t path[] = {kA, kB};
    uint32_t counts[4] = {};
    for (uint64_t seed = 1; seed <= 20000; ++seed)
    {
        ZK::ZkLcg64::Engine().Seed(seed);
        const ZkUniqueID node = tree.ResolvePath(1, path, 2, 0, nullptr, nullptr);
        ASSERT_GE(node, 101u);
        ASSERT_LE(node, 104u);
        ++counts[node - 101];
    }
    std::ostringstream script;
    script << "/usr/bin/python3 -c \"from scipy.stats import chisquare; "
           << "print(chisquare([" << counts[0] << "," << counts[1] << "," << counts[2] << "," << counts[3]
           << "], [2000, 4000, 6000, 8000]).pvalue)\"";
    const double p = std::stod(ZkEngineTest::RunCommand(script.str()));
    EXPECT_GT(p, 0.001) << counts[0] << " " << counts[1] << " " << counts[2] << " " << counts[3];
}

TEST_F(DecisionTree, FullWeightsExcludeTheOthersAndTheRollDecidesAtTheThreshold)
{
    // Path (A, B): A/B weight 100, */B weight 30, */* weight 100.
    constexpr uint32_t kA = 3;
    constexpr uint32_t kB = 5;
    CZkDecisionTree weighted;
    SetTree(weighted,
            TreeBytes({{0, Children(1, 2)},
                       {0, Children(3, 2)},
                       {kA, Children(5, 1)},
                       {0, 10, 100},
                       {kB, 20, 30},
                       {kB, 30, 100}}),
            2, 1);
    const uint32_t path[] = {kA, kB};
    bool seen[3] = {};
    for (uint64_t seed = 1; seed <= 200; ++seed)
    {
        ZK::ZkLcg64::Engine().Seed(seed);
        const ZkUniqueID node = weighted.ResolvePath(1, path, 2, 0, nullptr, nullptr);
        ASSERT_TRUE(node == 10 || node == 30) << "weight 30 is never chosen beside weights of 100";
        seen[node / 10 - 1] = true;
    }
    EXPECT_TRUE(seen[0] && seen[2]);

    // Event probability 50 and node probability 50: the node exactly when the roll is below 2500.
    CZkDecisionTree rolled;
    SetTree(rolled, TreeBytes({{0, Children(1, 1)}, {kA, 44, 100, 50}}), 1);
    rolled.probability = 50;
    uint32_t passed = 0;
    for (uint64_t seed = 1; seed <= 1000; ++seed)
    {
        ZK::ZkLcg64::Engine().Seed(seed);
        ZK::ZkLcg64 twin(seed);
        const uint64_t roll = uint64_t{twin.Draw()} * 10000 / 2147483647;
        const ZkUniqueID node = rolled.ResolvePath(1, &kA, 1, 0, nullptr, nullptr);
        ASSERT_EQ(node, roll < 2500 ? 44u : 0u) << "seed " << seed << " roll " << roll;
        passed += node != 0 ? 1u : 0u;
    }
    EXPECT_GT(passed, 150u);
    EXPECT_LT(passed, 350u);
}

TEST_F(DecisionTree, PathsThatResolveToNothing)
{
    constexpr uint32_t kA = 3;
    constexpr uint32_t kB = 5;
    CZkDecisionTree best;
    // A has only X below it; the first-level wildcard has B.
    SetTree(best, TreeBytes({{0, Children(1, 2)}, {0, Children(3, 1)}, {kA, Children(4, 1)}, {kB, 20}, {kB + 1, 10}}), 2);
    CZkDecisionTree weighted;
    SetTree(weighted, TreeBytes({{0, Children(1, 2)}, {0, Children(3, 1)}, {kA, Children(4, 1)}, {kB, 20}, {kB + 1, 10}}),
            2, 1);
    CallCounter counter;
    const struct
    {
        const char* name;
        const CZkDecisionTree& tree;
        std::vector<uint32_t> path;
        ZkCandidateCallback callback;
        ZkUniqueID expected;
    } cases[] = {
        {"A lacks B: B under the first-level wildcard", best, {kA, kB}, nullptr, 20},
        {"an exact path", best, {kA, kB + 1}, nullptr, 10},
        {"an unknown first value takes the wildcard", best, {99, kB}, nullptr, 20},
        {"0 matches only the wildcard, with no second try", best, {0, kB}, nullptr, 20},
        {"0 at the last level finds no wildcard there", best, {kA, 0}, nullptr, 0},
        {"a callback rejecting every node", best, {kA, kB}, CallCounter::Reject, 0},
        {"a callback rejecting every node, weighted", weighted, {kA, kB}, CallCounter::Reject, 0},
        {"a path shorter than the depth", best, {kA}, nullptr, 0},
        {"a path longer than the depth", best, {kA, kB, kB}, nullptr, 0},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.tree.ResolvePath(1, c.path.data(), static_cast<uint32_t>(c.path.size()), 0, c.callback, &counter),
                  c.expected)
            << c.name;
    }
    CZkDecisionTree root;
    SetTree(root, TreeBytes({{0, 77}}), 0);
    EXPECT_EQ(root.ResolvePath(1, nullptr, 0, 0, nullptr, nullptr), 77u) << "depth 0 resolves to the root";
}

TEST_F(DecisionTree, MalformedTreesResolveToNothingWithoutReadingOutsideTheData)
{
    constexpr uint32_t kA = 3;
    const struct
    {
        const char* name;
        std::vector<TreeNodeSpec> nodes;
        uint32_t depth;
    } cases[] = {
        {"the root's children run past the data", {{0, Children(1, 5)}, {kA, 9}}, 1},
        {"a child range far past the data", {{0, Children(1, 1)}, {kA, Children(0xFFFF, 0xFFFF)}, {kA, 9}}, 2},
        {"a node lists itself as a child", {{0, Children(1, 1)}, {kA, Children(1, 1)}, {kA, 9}}, 3},
        {"a node lists its parent as a child", {{0, Children(1, 1)}, {kA, Children(0, 2)}, {kA, 9}}, 3},
        {"the root lists itself", {{0, Children(0, 1)}, {kA, 9}}, 1},
    };
    for (const auto& c : cases)
    {
        for (uint8_t mode : {uint8_t{0}, uint8_t{1}})
        {
            CZkDecisionTree tree;
            SetTree(tree, TreeBytes(c.nodes), c.depth, mode);
            const std::vector<uint32_t> path(c.depth, kA);
            EXPECT_EQ(tree.ResolvePath(1, path.data(), c.depth, 0, nullptr, nullptr), 0u) << c.name << ", mode " << +mode;
        }
    }

    // An event without tree data resolves nothing, whatever its depth.
    CZkDecisionTree empty;
    ASSERT_EQ(empty.SetData(nullptr, 0, 0), ZK_Success);
    EXPECT_EQ(empty.ResolvePath(1, nullptr, 0, 0, nullptr, nullptr), 0u);
    ASSERT_EQ(empty.SetData(nullptr, 0, 1), ZK_Success);
    EXPECT_EQ(empty.ResolvePath(1, &kA, 1, 0, nullptr, nullptr), 0u);
}

TEST_F(DecisionTree, ChildRangesSharedByTwoParentsPerLevelEnterNoMoreNodesThanTheTreeHolds)
{
    // Twenty levels of a wildcard and key K that both list the next level's pair: every path is
    // reachable 2^20 ways. The callback rejects every leaf and counts its calls.
    constexpr uint32_t kDepth = 20;
    constexpr uint32_t kKey = 4;
    std::vector<TreeNodeSpec> nodes{{0, Children(1, 2)}};
    for (uint32_t level = 0; level < kDepth; ++level)
    {
        const uint32_t next = 1 + 2 * (level + 1);
        const bool last = level + 1 == kDepth;
        nodes.push_back({0, last ? 500u : Children(next, 2)});
        nodes.push_back({kKey, last ? 501u : Children(next, 2)});
    }
    const std::vector<uint32_t> path(kDepth, kKey);
    for (uint8_t mode : {uint8_t{0}, uint8_t{1}})
    {
        CZkDecisionTree tree;
        SetTree(tree, TreeBytes(nodes), kDepth, mode);
        CallCounter counter;
        EXPECT_EQ(tree.ResolvePath(1, path.data(), kDepth, 0, CallCounter::Reject, &counter), 0u);
        EXPECT_LE(counter.calls, nodes.size()) << "mode " << +mode;
    }
}

TEST_F(DecisionTree, SetDataRefusesPartialNodesAndKeepsTheTreeWhenTheCopyFails)
{
    CZkDecisionTree tree;
    const std::vector<uint8_t> bytes = TreeBytes({{0, Children(1, 1)}, {8, 80}});
    SetTree(tree, bytes, 1);
    const uint32_t path[] = {8};
    EXPECT_EQ(tree.SetData(bytes.data(), 13, 1), ZK_InvalidFile);
    Fault::FailNth(CZkDecisionTree::kPool, 1);
    EXPECT_EQ(tree.SetData(bytes.data(), 24, 1), ZK_InsufficientMemory);
    Fault::Disarm();
    EXPECT_EQ(tree.ResolvePath(1, path, 1, 0, nullptr, nullptr), 80u) << "the tree as it was";
}

TEST_F(DecisionTree, ADepthOneTreeIsAKeyValueListOfTheRootsChildren)
{
    CZkDecisionTree list;
    SetTree(list, TreeBytes({{0, Children(1, 3)}, {0, 100}, {5, 105}, {9, 109}}), 1);
    EXPECT_EQ(CZkKeyValueList::Find(list, 5), 105u);
    EXPECT_EQ(CZkKeyValueList::Find(list, 0), 100u);
    EXPECT_EQ(CZkKeyValueList::Find(list, 6), 0u);
    ZK::ZkArray<ZkKeyValue> pairs;
    ASSERT_NE(pairs.AddLast({9, 1}), nullptr);
    ASSERT_NE(pairs.AddLast({42, 2}), nullptr);
    ASSERT_TRUE(CZkKeyValueList::MergeInto(list, pairs));
    ASSERT_EQ(pairs.Length(), 4u);
    EXPECT_EQ(pairs[0].value, 109u) << "a key present takes the list's value";
    EXPECT_EQ(pairs[1].value, 2u);
    EXPECT_EQ(pairs[2].key, 0u);
    EXPECT_EQ(pairs[3].key, 5u);

    CZkDecisionTree deeper;
    SetTree(deeper, TreeBytes({{0, Children(1, 1)}, {5, Children(2, 1)}, {6, 7}}), 2);
    CZkDecisionTree outside;
    SetTree(outside, TreeBytes({{0, Children(1, 4)}, {5, 105}}), 1);
    for (const CZkDecisionTree* refused : {&deeper, &outside})
    {
        EXPECT_EQ(CZkKeyValueList::Find(*refused, 5), 0u);
        EXPECT_FALSE(CZkKeyValueList::MergeInto(*refused, pairs));
    }
    EXPECT_EQ(pairs.Length(), 4u);
}
} // namespace
