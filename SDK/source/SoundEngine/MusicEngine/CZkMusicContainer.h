// CZkMusicContainer: what the playlist and switch containers of the music hierarchy share: the
// transition rules that tell how to move from one child to another, their look-up, and the
// preparation of the rules' transition segments.
//
// Threading: read on the bank thread under the global engine lock; everything else on the engine
// thread. Ownership: the container owns its rule list (pool 0) and what each rule owns.
#pragma once

#include "MusicEngine/CZkMusicNode.h"
#include "MusicEngine/ZkMusicTransitionRule.h"

namespace ZK::MusicEngine
{
class CZkMusicContainer : public CZkMusicNode
{
public:
    explicit CZkMusicContainer(ZkUniqueID id) : CZkMusicNode(id) {}
    ~CZkMusicContainer() override;

    uint32_t RuleCount() const { return m_rules.Length(); }
    const ZkMusicTransitionRule& Rule(uint32_t index) const { return m_rules[index]; }
    // The last rule whose lists hold both ids, else the first rule; null without rules.
    const ZkMusicTransitionRule* FindRule(ZkUniqueID sourceID, ZkUniqueID destinationID) const;
    // As FindRule, a list also holding the id of an ancestor of the node below this container.
    const ZkMusicTransitionRule* FindRuleWithAncestors(ZkUniqueID sourceID, const CZkHierarchyNode* sourceNode,
                                                       ZkUniqueID destinationID,
                                                       const CZkHierarchyNode* destinationNode) const;

protected:
    // The rules after the shared payload. 1; 7; 2.
    ZKRESULT ReadRules(ZK::ZkByteCursor& cursor);
    ZKRESULT PrepareTransitionSegments() override;
    void UnprepareTransitionSegments() override;

private:
    bool MatchesWithAncestors(const ZkUniqueID* list, uint32_t count, ZkUniqueID id, const CZkHierarchyNode* node) const;
    void FreeRules();

    ZK::ZkArray<ZkMusicTransitionRule> m_rules;
};
} // namespace ZK::MusicEngine
