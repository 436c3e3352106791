// A hierarchy node of the tests' own, standing in for the container and bus classes that do not
// exist yet: of any category, a bus or not, it keeps its children (linking them to itself as their
// parent or output bus, as containers and buses do) and records what the node code asks of it.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace ZkHierarchyTest
{
using namespace ZK::SoundEngine;

class TestNode : public CZkHierarchyNode
{
public:
    explicit TestNode(ZkUniqueID id, ZkNodeCategory category = ZkNodeCategory_Group, bool isBus = false)
        : CZkHierarchyNode(id), m_category(category)
    {
        SetBusFlag(isBus);
    }

    // A node in its table (pool 2), holding the creator's reference; null when it cannot be indexed.
    static TestNode* CreateIndexed(ZkUniqueID id, ZkNodeCategory category = ZkNodeCategory_Group, bool isBus = false)
    {
        auto* node = ZK::ZkNew<TestNode>(kPool, id, category, isBus);
        if (node != nullptr && node->AddToIndex() != ZK_Success)
        {
            ZK::ZkDelete(kPool, node);
            return nullptr;
        }
        return node;
    }

    ZkNodeCategory Category() const override { return m_category; }
    ZKRESULT ExecuteAction(const ZkActionParams& params) override
    {
        actions.push_back(params);
        if (onAction)
            onAction();
        return ZK_Success;
    }
    using CZkHierarchyNode::ExecuteAction;

    ZKRESULT AddChild(CZkHierarchyNode* child) override
    {
        if (addChildResult != ZK_Success)
            return addChildResult;
        children.push_back(child);
        if (IsBus())
            child->SetOutputBus(this);
        else
            child->SetParent(this);
        return ZK_Success;
    }
    void RemoveChild(CZkHierarchyNode* child) override
    {
        std::erase(children, child);
        ++removedChildren;
    }
    void Refresh() override { ++refreshes; }
    void PropagateParamDelta(uint32_t parameter, float delta) override { deltas.emplace_back(parameter, delta); }
    void RefreshPositioningParam(uint32_t parameter, float value) override { positionings.emplace_back(parameter, value); }
    void UpdateContribution(CZkGameObject* object) override { contributions.push_back(object); }
    bool NeedsProcessing() const override { return needsProcessing; }

    void SetOverrides(uint64_t mask)
    {
        SetOverrideBits(~0ull, false);
        SetOverrideBits(mask, true);
    }
    void MakeBus(bool isBus) { SetBusFlag(isBus); }
    // Sets (or clears) bits of the flag bytes A, B and C.
    void SetFlagBits(uint8_t a, uint8_t b, uint8_t c, bool set = true)
    {
        bool changed = false;
        ChangeFlag(m_flagsA, a, set, changed);
        ChangeFlag(m_flagsB, b, set, changed);
        ChangeFlag(m_flagsC, c, set, changed);
    }
    ZKRESULT StoreFloat(uint32_t id, float value) { return StoreProperty(id, ZkPropertyValue::FromFloat(value)); }

    std::vector<CZkHierarchyNode*> children;
    std::vector<ZkActionParams> actions;
    std::function<void()> onAction; // called after each action is recorded
    std::vector<std::pair<uint32_t, float>> deltas;
    std::vector<std::pair<uint32_t, float>> positionings;
    std::vector<CZkGameObject*> contributions;
    uint32_t refreshes = 0;
    uint32_t removedChildren = 0;
    ZKRESULT addChildResult = ZK_Success;
    bool needsProcessing = false;

private:
    ZkNodeCategory m_category;
};
} // namespace ZkHierarchyTest
