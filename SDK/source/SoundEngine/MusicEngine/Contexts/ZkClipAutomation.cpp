#include "MusicEngine/Contexts/ZkClipAutomation.h"

#include "MusicEngine/Contexts/CZkMusicSourceInstance.h"
#include "ZkAudiolib/Common/Parameters/CZkCurve.h"

#include <cmath>
#include <new>

namespace ZK::MusicEngine
{
ZkClipAutomation* ZkClipAutomation::Create(uint32_t kind, const SoundEngine::CZkCurve& curve, int32_t clipStart)
{
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(ZkClipAutomation));
    if (memory == nullptr)
        return nullptr;
    auto* record = new (memory) ZkClipAutomation;
    record->kind = kind;
    record->curve = &curve;
    record->clipStart = clipStart;
    return record;
}

void ZkClipAutomation::Destroy(ZkClipAutomation* record)
{
    record->~ZkClipAutomation();
    ZK::MemoryMgr::Free(kPool, record);
}

void ZkClipAutomation::DestroyList(ZkClipAutomation* first)
{
    while (first != nullptr)
    {
        ZkClipAutomation* next = first->next;
        Destroy(first);
        first = next;
    }
}

float ZkClipAutomation::Evaluate(int32_t trackTime)
{
    return curve->Evaluate(static_cast<float>(trackTime - clipStart), cachedSegment);
}

void ZkClipAutomation::ApplyAt(int32_t trackTime)
{
    if (leaf != nullptr)
        SetAutomation(*leaf, kind, Evaluate(trackTime));
}

void SetAutomation(CZkMusicSourceInstance& instance, uint32_t kind, float value)
{
    switch (kind)
    {
    case ZkClipAutomation_Volume:
        instance.SetKeyedValue(&instance, value + 1.0f);
        break;
    case ZkClipAutomation_LowPass:
        instance.SetFilterAutomation(CZkMusicSourceInstance::kLowPassAutomation, value);
        break;
    case ZkClipAutomation_HighPass:
        instance.SetFilterAutomation(CZkMusicSourceInstance::kHighPassAutomation, value);
        break;
    case ZkClipAutomation_FadeIn:
    case ZkClipAutomation_FadeOut:
        // The kind itself is the key: one fade-in and one fade-out factor per instance.
        instance.SetKeyedValue(reinterpret_cast<const void*>(static_cast<uintptr_t>(kind)), value);
        break;
    default:
        break;
    }
}

void AlignToFrame(CZkMusicSourceInstance& instance, uint32_t frameLength, float speed, int32_t lookAhead)
{
    if (instance.IsAligned())
        return;
    instance.MarkAligned();
    const auto step = static_cast<int32_t>(std::lround(static_cast<float>(frameLength) * speed));
    if (step <= 0)
        return;
    const auto remainder = static_cast<int32_t>(instance.SourcePosition() % static_cast<uint32_t>(step));
    if (remainder > step / 2 || remainder > lookAhead)
        instance.ShiftStart(step - remainder);
    else if (remainder != 0)
        instance.ShiftStart(-remainder);
}
} // namespace ZK::MusicEngine
