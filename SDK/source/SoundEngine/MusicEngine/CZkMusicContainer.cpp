#include "MusicEngine/CZkMusicContainer.h"

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
// The smallest rule: two empty id lists, the source and destination sides, the segment flag.
constexpr size_t kMinRuleBytes = 4 + 4 + 21 + 26 + 1;
} // namespace

CZkMusicContainer::~CZkMusicContainer() { FreeRules(); }

void CZkMusicContainer::FreeRules()
{
    for (ZkMusicTransitionRule& rule : m_rules)
        rule.Free();
    m_rules.Term();
}

ZKRESULT CZkMusicContainer::ReadRules(ZK::ZkByteCursor& cursor)
{
    uint32_t count = 0;
    if (!cursor.Read(count) || !cursor.Holds(count, kMinRuleBytes))
        return ZK_InvalidFile;
    FreeRules();
    if (count > 0 && m_rules.Reserve(count) != ZK_Success)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkMusicTransitionRule* rule = m_rules.AddLast();
        const ZKRESULT result = rule->ReadFromBank(cursor);
        rule->index = index;
        if (result != ZK_Success)
            return result; // the rule's allocations are freed with the list
    }
    return ZK_Success;
}

const ZkMusicTransitionRule* CZkMusicContainer::FindRule(ZkUniqueID sourceID, ZkUniqueID destinationID) const
{
    for (uint32_t index = m_rules.Length(); index-- > 0;)
    {
        const ZkMusicTransitionRule& rule = m_rules[index];
        if (rule.MatchesSource(sourceID) && rule.MatchesDestination(destinationID))
            return &rule;
    }
    return m_rules.IsEmpty() ? nullptr : &m_rules[0];
}

bool CZkMusicContainer::MatchesWithAncestors(const ZkUniqueID* list, uint32_t count, ZkUniqueID id,
                                             const CZkHierarchyNode* node) const
{
    if (ZkMusicTransitionRule::ListHolds(list, count, id))
        return true;
    for (const CZkHierarchyNode* level = node; level != nullptr && level != this; level = level->Parent())
    {
        if (ZkMusicTransitionRule::ListHolds(list, count, level->ID()))
            return true;
    }
    return false;
}

const ZkMusicTransitionRule* CZkMusicContainer::FindRuleWithAncestors(ZkUniqueID sourceID,
                                                                     const CZkHierarchyNode* sourceNode,
                                                                     ZkUniqueID destinationID,
                                                                     const CZkHierarchyNode* destinationNode) const
{
    for (uint32_t index = m_rules.Length(); index-- > 0;)
    {
        const ZkMusicTransitionRule& rule = m_rules[index];
        if (MatchesWithAncestors(rule.sources, rule.sourceCount, sourceID, sourceNode) &&
            MatchesWithAncestors(rule.destinations, rule.destinationCount, destinationID, destinationNode))
            return &rule;
    }
    return m_rules.IsEmpty() ? nullptr : &m_rules[0];
}

ZKRESULT CZkMusicContainer::PrepareTransitionSegments()
{
    for (uint32_t index = 0; index < m_rules.Length(); ++index)
    {
        const ZkMusicTransitionSegment* segment = m_rules[index].segment;
        if (segment == nullptr || segment->segmentID == 0)
            continue;
        const ZKRESULT result = PrepareByID(segment->segmentID);
        if (result != ZK_Success)
        {
            while (index-- > 0)
            {
                segment = m_rules[index].segment;
                if (segment != nullptr && segment->segmentID != 0)
                    UnprepareByID(segment->segmentID);
            }
            return result;
        }
    }
    return ZK_Success;
}

void CZkMusicContainer::UnprepareTransitionSegments()
{
    for (const ZkMusicTransitionRule& rule : m_rules)
    {
        if (rule.segment != nullptr && rule.segment->segmentID != 0)
            UnprepareByID(rule.segment->segmentID);
    }
}
} // namespace ZK::MusicEngine
