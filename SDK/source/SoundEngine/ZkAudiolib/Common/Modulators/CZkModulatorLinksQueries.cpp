// CZkModulatorLinks: what the voice reads every frame (gains of a set of parameters), pause and
// resume, and the hand-over of linked instances to a later play.
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"

#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"

namespace ZK::SoundEngine
{
namespace
{
bool InMask(uint64_t mask, const ZkModulatorLinkEntry& entry)
{
    return entry.bit < 64 && (mask >> entry.bit & 1u) != 0;
}

// The instance's value before the frame being computed.
float CurrentValue(const CZkModulatorInstance& instance)
{
    return instance.Header().currentValue;
}

// The value the frame being computed ends on (the current one when no frame is pending).
float EndValue(const CZkModulatorInstance& instance)
{
    const ZkModulatorOutput* output = instance.PendingOutput();
    return output != nullptr ? output->lastValue : CurrentValue(instance);
}

float PeakValue(const CZkModulatorInstance& instance)
{
    const ZkModulatorOutput* output = instance.PendingOutput();
    return output != nullptr ? output->peak : CurrentValue(instance);
}

bool RunsAtAudioRate(const CZkModulatorInstance& instance)
{
    const ZkModulatorOutput* output = instance.PendingOutput();
    return output != nullptr && output->samples != nullptr && instance.Header().audioRateFrames != 0;
}

template <class Value>
float Product(const CZkModulatorLinks::LinkNode* head, uint64_t mask, Value value)
{
    float gain = 1.0f;
    for (const CZkModulatorLinks::LinkNode* node = head; node != nullptr; node = node->next)
    {
        const float v = value(*node->instance);
        for (const ZkModulatorLinkEntry& entry : node->entries)
        {
            if (InMask(mask, entry))
                gain *= v * entry.scale + entry.offset;
        }
    }
    return gain;
}
} // namespace

void CZkModulatorLinks::PauseAll()
{
    ++m_pauseDepth;
    for (LinkNode* node = m_head; node != nullptr; node = node->next)
    {
        CZkModulatorInstance* instance = node->instance;
        instance->AddPausedUser();
        if (instance->IsHeld())
            instance->HoldPendingValue();
    }
}

void CZkModulatorLinks::ResumeAll()
{
    if (m_pauseDepth == 0)
        return;
    --m_pauseDepth;
    for (LinkNode* node = m_head; node != nullptr; node = node->next)
        node->instance->RemovePausedUser();
}

float CZkModulatorLinks::GetGain(uint64_t mask) const { return Product(m_head, mask, CurrentValue); }

float CZkModulatorLinks::GetTargetGain(uint64_t mask) const { return Product(m_head, mask, PeakValue); }

void CZkModulatorLinks::CountForMask(uint64_t mask, uint32_t& audioRate, uint32_t& controlRate) const
{
    audioRate = 0;
    controlRate = 0;
    for (const LinkNode* node = m_head; node != nullptr; node = node->next)
    {
        const bool audio = RunsAtAudioRate(*node->instance);
        for (const ZkModulatorLinkEntry& entry : node->entries)
        {
            if (InMask(mask, entry))
                ++(audio ? audioRate : controlRate);
        }
    }
}

void CZkModulatorLinks::GatherRamps(uint64_t mask, ZkAudioRateModulation* audio, uint32_t audioCapacity,
                                    uint32_t& audioCount, ZkControlRateModulation* control,
                                    uint32_t controlCapacity, uint32_t& controlCount) const
{
    audioCount = 0;
    controlCount = 0;
    for (const LinkNode* node = m_head; node != nullptr; node = node->next)
    {
        const CZkModulatorInstance& instance = *node->instance;
        const bool audioRate = RunsAtAudioRate(instance);
        for (const ZkModulatorLinkEntry& entry : node->entries)
        {
            if (!InMask(mask, entry))
                continue;
            if (audioRate)
            {
                if (audioCount < audioCapacity)
                    audio[audioCount++] = ZkAudioRateModulation{entry.offset, entry.scale, instance.PendingOutput()->samples};
            }
            else if (controlCount < controlCapacity)
            {
                control[controlCount++] = ZkControlRateModulation{CurrentValue(instance) * entry.scale + entry.offset,
                                                                  EndValue(instance) * entry.scale + entry.offset};
            }
        }
    }
}

void CZkModulatorLinks::CollectInstancesWithTag(int32_t scope, ZkModulatorInstanceArray& array) const
{
    for (const LinkNode* node = m_head; node != nullptr; node = node->next)
    {
        if (node->instance->Scope() == scope)
            (void)array.Add(node->instance); // an instance the array cannot take is left out
    }
}
} // namespace ZK::SoundEngine
