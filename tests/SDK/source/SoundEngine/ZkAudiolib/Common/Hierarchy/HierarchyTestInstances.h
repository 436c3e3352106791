// A live instance of the tests' own, standing in for the playing instances that do not exist yet:
// it carries a game object, a playing id, a priority record and a limit standing, and records what
// the nodes and limiters ask of it.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkLiveInstance.h"

#include <utility>
#include <vector>

namespace ZkHierarchyTest
{
using namespace ZK::SoundEngine;

class TestInstance final : public CZkLiveInstance
{
public:
    TestInstance(float instancePriority, uint32_t sequence, CZkGameObject* object = nullptr, ZkPlayingID playing = 0)
        : m_object(object), m_playingID(playing)
    {
        priority.priority = instancePriority;
        priority.sequence = sequence;
    }

    CZkGameObject* GameObject() const override { return m_object; }
    ZkPlayingID PlayingID() const override { return m_playingID; }
    CZkHierarchyNode* PlayedNode() const override { return node; }
    ZkLimitStanding LimitStanding() const override { return standing; }
    uint8_t GetVirtualBehaviour(uint8_t& queueBehaviour) override
    {
        queueBehaviour = 0;
        return behaviour;
    }
    void OnOverLimit(bool toVirtual, uint8_t reason) override
    {
        overLimit.emplace_back(toVirtual, reason);
        standing = toVirtual ? ZkLimitStanding::Virtual : ZkLimitStanding::Stopping;
    }
    ZKRESULT ExecuteAction(const ZkActionParams& params) override
    {
        actions.push_back(params);
        return ZK_Success;
    }
    void RefreshFromNode() override { ++refreshes; }
    void ApplyParamDelta(uint32_t parameter, float delta) override { deltas.emplace_back(parameter, delta); }
    void UpdateContribution() override { ++contributions; }
    void RefreshPositioningParam(uint32_t parameter, float value) override { positionings.emplace_back(parameter, value); }
    void RefreshPositioning() override { ++positioningRefreshes; }
    void SetEffectBypass(uint8_t bits, uint8_t mask) override { bypasses.emplace_back(bits, mask); }

    ZkLimitStanding standing = ZkLimitStanding::HoldsPlace;
    uint8_t behaviour = 0;
    CZkHierarchyNode* node = nullptr;
    std::vector<std::pair<bool, uint8_t>> overLimit;
    std::vector<ZkActionParams> actions;
    std::vector<std::pair<uint32_t, float>> deltas;
    std::vector<std::pair<uint32_t, float>> positionings;
    std::vector<std::pair<uint8_t, uint8_t>> bypasses;
    uint32_t refreshes = 0;
    uint32_t contributions = 0;
    uint32_t positioningRefreshes = 0;

private:
    CZkGameObject* m_object;
    ZkPlayingID m_playingID;
};
} // namespace ZkHierarchyTest
