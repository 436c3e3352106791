// A modulator outside the object index with no instance: a plain subscriber of kind 3 for the
// game-parameter tests (what it is told reaches no instance).
#pragma once

#include "ZkAudiolib/Common/Modulators/CZkModulator.h"

namespace ZkModulatorTest
{
class DetachedModulator final : public ZK::SoundEngine::CZkModulator
{
public:
    DetachedModulator() : CZkModulator(1, ZK::SoundEngine::ZkModulatorKind_Lfo) {}
    void Destroy() override {}
    void ComputeParams(void*, ZK::SoundEngine::CZkModulatorInstance&) override {}
    bool IsLinkable() const override { return true; }
    bool RetriggersExisting() const override { return false; }
    bool ShouldTrigger(const ZK::SoundEngine::ZkModulatorTrigger&) const override { return false; }
    bool StopsPlayback() const override { return false; }

protected:
    ZK::SoundEngine::CZkModulatorInstance* AllocateInstance() override { return nullptr; }
};
} // namespace ZkModulatorTest
