// CZkRTPCOverrideFilter: handed along with a value change whose key has more specific values below
// it; it tells a subscriber (by its key) whether a more specific value than the changed one applies
// to it, in which case the change does not concern it. The values are a game parameter's tree, or
// a modulator's instance tree when a modulator pushes its instances' values.
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
    // Whether the tree holds a more specific value for subscriberKey than for changedKey.
    using OverrideTest = bool (*)(const void* tree, const ZkRTPCKey& subscriberKey, const ZkRTPCKey& changedKey);

    CZkRTPCOverrideFilter(const ZkRTPCKeyTree& tree, const ZkRTPCKey& changedKey)
        : m_tree(&tree), m_test(&ValueTreeTest), m_changedKey(changedKey)
    {
    }
    CZkRTPCOverrideFilter(const void* tree, OverrideTest test, const ZkRTPCKey& changedKey)
        : m_tree(tree), m_test(test), m_changedKey(changedKey)
    {
    }

    bool IsOverridden(const ZkRTPCKey& subscriberKey) const { return m_test(m_tree, subscriberKey, m_changedKey); }

private:
    static bool ValueTreeTest(const void* tree, const ZkRTPCKey& subscriberKey, const ZkRTPCKey& changedKey)
    {
        return static_cast<const ZkRTPCKeyTree*>(tree)->HasOverride(subscriberKey, changedKey);
    }

    const void* m_tree;
    OverrideTest m_test;
    ZkRTPCKey m_changedKey;
};
} // namespace ZK::SoundEngine
