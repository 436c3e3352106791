// A keyed parameter target of the tests' own: records every value a node's target list hands it.
#pragma once

#include "ZkAudiolib/Common/Parameters/CZkKeyedParamTarget.h"

#include <vector>

namespace ZkParamTest
{
class RecordingTarget : public ZK::SoundEngine::CZkKeyedParamTarget
{
public:
    struct Change
    {
        uint32_t bit;
        uint32_t receivedBit;
        ZkUniqueID ownerID;
        float value;
        float delta;
    };

    RecordingTarget(const ZkRTPCKey& key, uint64_t mask) : CZkKeyedParamTarget(key), m_mask(mask) {}

    void GetParamMask(uint64_t& mask) override { mask = m_mask; }
    void OnParamValue(uint32_t bit, uint32_t receivedBit, ZkUniqueID ownerID, float value, float delta) override
    {
        changes.push_back({bit, receivedBit, ownerID, value, delta});
    }
    void OnNotification(uint8_t flag, uint32_t value) override { notifications.push_back({flag, value}); }

    float LastValue() const { return changes.empty() ? -12345.0f : changes.back().value; }

    std::vector<Change> changes;
    std::vector<std::pair<uint8_t, uint32_t>> notifications;

private:
    uint64_t m_mask;
};
} // namespace ZkParamTest
