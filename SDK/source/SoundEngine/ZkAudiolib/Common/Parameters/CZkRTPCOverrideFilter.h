// CZkRTPCOverrideFilter: handed along with a value change whose key has more specific values below
// it in the parameter's tree; it tells a subscriber (by its key) whether a more specific value than
// the changed one applies to it, in which case the change does not concern it.
//
// Threading: audio thread, for the duration of one notification.
// Ownership: refers to the tree and key of the change; owns nothing.
#pragma once

#include "ZkAudiolib/Common/Parameters/ZkRTPCKeyTree.h"

namespace ZK::SoundEngine
{
class CZkRTPCOverrideFilter
{
public:
    CZkRTPCOverrideFilter(const ZkRTPCKeyTree& tree, const ZkRTPCKey& changedKey) : m_tree(tree), m_changedKey(changedKey) {}

    bool IsOverridden(const ZkRTPCKey& subscriberKey) const { return m_tree.HasOverride(subscriberKey, m_changedKey); }

private:
    const ZkRTPCKeyTree& m_tree;
    ZkRTPCKey m_changedKey;
};
} // namespace ZK::SoundEngine
