#include "ZkAudiolib/Common/Hierarchy/CZkDecisionTree.h"

#include "ZkAudiolib/Common/Containers/ZkInlineArray.h"
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kNoNode = 0xFFFFFFFFu;
constexpr uint16_t kFullWeight = 100;
constexpr uint64_t kRollScale = 10000;         // a roll is in hundredths of a percent
constexpr uint64_t kLargestDraw = 2147483647u; // 2^31 - 1

// One level of a walk: the children of the node chosen on the level above, and what is left to try
// among them.
struct WalkFrame
{
    uint32_t first;
    uint32_t count;
    uint8_t next; // kTryExact, kTryWildcard or kExhausted
};
constexpr uint8_t kTryExact = 0;
constexpr uint8_t kTryWildcard = 1;
constexpr uint8_t kExhausted = 2;

// Up to this many levels, and leaves in a weighted pick, a walk allocates nothing.
constexpr uint32_t kInlineLevels = 16;
constexpr uint32_t kInlineCandidates = 32;

using Candidates = ZK::ZkInlineArray<uint32_t, kInlineCandidates>;

// Walks the path through the tree. Best match stops at the first leaf accepted; collecting visits
// both branches at every level and gathers every accepted leaf in walk order.
class TreeWalk
{
public:
    TreeWalk(const ZkDecisionNodes& nodes, ZkUniqueID ownerID, const uint32_t* path, uint32_t length,
             ZkCandidateCallback callback, void* cookie)
        : m_nodes(nodes), m_ownerID(ownerID), m_path(path), m_length(length), m_callback(callback), m_cookie(cookie)
    {
    }

    // The leaf found, or kNoNode (also for a malformed tree).
    uint32_t BestMatch() { return Walk(nullptr) ? m_found : kNoNode; }
    // False for a malformed tree or when memory runs out.
    bool Collect(Candidates& candidates) { return Walk(&candidates); }

private:
    // The child of the frame whose key is value, or kNoNode (children are sorted by key).
    uint32_t FindChild(const WalkFrame& frame, uint32_t value) const
    {
        uint32_t low = frame.first;
        uint32_t high = frame.first + frame.count;
        while (low < high)
        {
            const uint32_t middle = low + (high - low) / 2;
            const uint32_t key = m_nodes.Key(middle);
            if (key == value)
                return middle;
            if (key < value)
                low = middle + 1;
            else
                high = middle;
        }
        return kNoNode;
    }

    bool Accepts(uint32_t leaf) const
    {
        return m_callback == nullptr || m_callback(m_ownerID, m_nodes.AudioNode(leaf), m_cookie);
    }

    // True when the walk ended normally (m_found set in best match, or kNoNode); false when the
    // tree is malformed or memory ran out.
    bool Walk(Candidates* collected)
    {
        m_found = kNoNode;
        if (!m_nodes.HasValidChildren(0))
            return false;
        ZK::ZkInlineArray<WalkFrame, kInlineLevels> stack;
        if (stack.AddLast({m_nodes.FirstChild(0), m_nodes.ChildCount(0), kTryExact}) == nullptr)
            return false;
        uint32_t entered = 0;
        while (!stack.IsEmpty())
        {
            const uint32_t level = stack.Length() - 1;
            WalkFrame& frame = stack[level];
            const uint32_t value = m_path[level];
            uint32_t chosen = kNoNode;
            const bool exact = frame.next == kTryExact;
            if (frame.next == kTryExact)
            {
                frame.next = kTryWildcard;
                chosen = FindChild(frame, value);
            }
            else if (frame.next == kTryWildcard)
            {
                frame.next = kExhausted;
                if (value != 0 && frame.count != 0 && m_nodes.Key(frame.first) == 0)
                    chosen = frame.first;
            }
            else
            {
                stack.Erase(level);
                continue;
            }
            if (chosen == kNoNode)
                continue;
            // Each node has one parent, so no walk of a well-formed tree enters a node twice.
            if (++entered > m_nodes.count)
                return false;
            if (level + 1 == m_length)
            {
                if (Accepts(chosen))
                {
                    if (collected == nullptr)
                    {
                        m_found = chosen;
                        return true;
                    }
                    if (collected->AddLast(chosen) == nullptr)
                        return false;
                }
                else if (exact && collected == nullptr)
                {
                    frame.next = kExhausted; // a rejected exact leaf ends its level: no wildcard
                }
                continue;
            }
            if (!m_nodes.HasValidChildren(chosen))
                return false;
            // frame is not used after this growth, which may move the stack.
            if (stack.AddLast({m_nodes.FirstChild(chosen), m_nodes.ChildCount(chosen), kTryExact}) == nullptr)
                return false;
        }
        return true;
    }

    const ZkDecisionNodes& m_nodes;
    ZkUniqueID m_ownerID;
    const uint32_t* m_path;
    uint32_t m_length;
    ZkCandidateCallback m_callback;
    void* m_cookie;
    uint32_t m_found = kNoNode;
};

// The engine-wide generator is drawn from under the global engine lock, as the engine thread does.
uint32_t DrawEngineRandom()
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    return ZK::ZkLcg64::Engine().Draw();
}

// The weighted pick among the candidates, in their order: one of the full weights when there are
// any, else by weight, else any.
uint32_t PickWeighted(const ZkDecisionNodes& nodes, const Candidates& candidates)
{
    uint32_t fullWeights = 0;
    uint64_t weightSum = 0;
    for (uint32_t leaf : candidates)
    {
        const uint16_t weight = nodes.Weight(leaf);
        fullWeights += weight == kFullWeight ? 1u : 0u;
        weightSum += weight;
    }
    uint64_t draw = DrawEngineRandom();
    if (fullWeights != 0)
    {
        uint64_t rank = draw % fullWeights;
        for (uint32_t leaf : candidates)
        {
            if (nodes.Weight(leaf) == kFullWeight && rank-- == 0)
                return leaf;
        }
    }
    if (weightSum != 0)
    {
        draw %= weightSum;
        for (uint32_t leaf : candidates)
        {
            const uint16_t weight = nodes.Weight(leaf);
            if (weight > draw)
                return leaf;
            draw -= weight;
        }
    }
    return candidates[static_cast<uint32_t>(draw % candidates.Length())];
}

// The probability roll: passes at once when both probabilities are certain.
bool PassesProbability(uint16_t ownerProbability, uint16_t nodeProbability)
{
    if (ownerProbability >= CZkDecisionTree::kCertain && nodeProbability >= CZkDecisionTree::kCertain)
        return true;
    const auto roll = static_cast<uint16_t>(DrawEngineRandom() * kRollScale / kLargestDraw);
    const auto threshold = static_cast<uint16_t>(uint32_t{nodeProbability} * ownerProbability);
    return roll < threshold;
}
} // namespace

ZKRESULT CZkDecisionTree::SetData(const uint8_t* data, uint32_t size, uint32_t depth)
{
    if (size % kNodeBytes != 0)
        return ZK_InvalidFile;
    uint8_t* copy = nullptr;
    if (size != 0)
    {
        copy = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kPool, size));
        if (copy == nullptr)
            return ZK_InsufficientMemory;
        std::memcpy(copy, data, size);
    }
    FreeData();
    m_data = copy;
    m_nodeCount = size / kNodeBytes;
    m_depth = depth;
    return ZK_Success;
}

void CZkDecisionTree::FreeData()
{
    if (m_data != nullptr)
        ZK::MemoryMgr::Free(kPool, m_data);
    m_data = nullptr;
    m_nodeCount = 0;
}

ZkUniqueID CZkDecisionTree::ResolvePath(ZkUniqueID ownerID, const uint32_t* path, uint32_t length, uint32_t,
                                        ZkCandidateCallback callback, void* cookie) const
{
    // A path of n levels passes through n + 1 distinct nodes, each after its parent.
    if (length != m_depth || m_nodeCount == 0 || length >= m_nodeCount || (length != 0 && path == nullptr))
        return 0;
    const ZkDecisionNodes nodes = Nodes();
    uint32_t chosen = 0; // the root, for a depth of 0
    if (length != 0)
    {
        TreeWalk walk(nodes, ownerID, path, length, callback, cookie);
        if (mode == kBestMatch)
        {
            chosen = walk.BestMatch();
            if (chosen == kNoNode)
                return 0;
        }
        else
        {
            Candidates candidates;
            if (!walk.Collect(candidates) || candidates.IsEmpty())
                return 0;
            chosen = PickWeighted(nodes, candidates);
        }
    }
    if (!PassesProbability(probability, nodes.Probability(chosen)))
        return 0;
    return nodes.AudioNode(chosen);
}
} // namespace ZK::SoundEngine
