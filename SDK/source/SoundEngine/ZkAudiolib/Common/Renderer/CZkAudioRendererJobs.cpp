// CZkAudioRenderer: the render pass's job path. The voice pipelines run as one "ZK::Voice" job over
// the voice array (voices do not mix themselves there); the buses then run level by level from
// the deepest, a level of several buses as one "ZK::Bus" job over its range of the bus list, each
// bus mixing all of its inputs before it is processed. Every job function opens the render pass's
// floating-point mode (flush-to-zero) on its worker thread, so the job path renders the same
// samples as the inline path.
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererBusList.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererFrame.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererVoiceList.h"

#include "ZkAudiolib/Common/Mixing/ZkFlushDenormals.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include <atomic>
#include <cstddef>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kGranularity = 1;
constexpr const char* kVoiceJobName = "ZK::Voice";
constexpr const char* kBusJobName = "ZK::Bus";

std::atomic<ZkJobCallback> g_jobCallback{nullptr};

// data: the voice array.
void VoiceJob(void* data, uint32_t first, uint32_t end)
{
    ZkFlushDenormals renderMode;
    CZkVoice** voices = static_cast<CZkVoice**>(data);
    for (uint32_t i = first; i < end; ++i)
        if (voices[i]->Buffer().status == ZK_DataNeeded)
            voices[i]->Pull();
}

// data: the bus-list record, whose first field is the bus array.
void BusJob(void* data, uint32_t first, uint32_t end)
{
    ZkFlushDenormals renderMode;
    auto& buses = static_cast<ZkRendererBusList*>(data)->buses;
    for (uint32_t i = first; i < end; ++i)
        RendererFrame::ProcessFrame(*buses[i]);
}

void ProcessInline(ZkRendererBusList& list, uint32_t first, uint32_t end)
{
    for (uint32_t i = end; i-- > first;)
        RendererFrame::ProcessFrame(*list.buses[i]);
}
} // namespace

void CZkAudioRenderer::SetJobCallback(ZkJobCallback callback)
{
    g_jobCallback.store(callback, std::memory_order_relaxed);
}

bool CZkAudioRenderer::HasJobCallback()
{
    return g_jobCallback.load(std::memory_order_relaxed) != nullptr;
}

void RendererFrame::RenderWithJobs(bool rendered)
{
    const ZkJobCallback callback = g_jobCallback.load(std::memory_order_relaxed);
    PrepareVoices(rendered);
    if (!rendered)
        return;
    auto& voices = RendererVoices().voices;
    if (!voices.IsEmpty())
        callback(voices.Data(), 0, voices.Length(), kGranularity, &VoiceJob, 0, kVoiceJobName);

    ZkRendererBusList& list = RendererBuses();
    if (list.buses.IsEmpty() || list.graphChanged)
        return;
    static_assert(offsetof(ZkRendererBusList, buses) == 0, "the bus job reads the array as the record's first field");
    const uint32_t levels = list.levelCounts.Length();
    // The first index of each level in the bus list: the prefix sums of the level counts, on the stack.
    uint32_t* firsts = static_cast<uint32_t*>(__builtin_alloca(sizeof(uint32_t) * (levels + 1)));
    firsts[0] = 0;
    for (uint32_t level = 0; level < levels; ++level)
        firsts[level + 1] = firsts[level] + static_cast<uint32_t>(list.levelCounts[level]);
    for (uint32_t level = levels; level-- > 1;)
    {
        const uint32_t first = firsts[level];
        const uint32_t end = firsts[level + 1];
        if (end - first > 1 && !(list.feedback && list.serialFlags[level] != 0))
            callback(&list, first, end, kGranularity, &BusJob, 0, kBusJobName);
        else
            ProcessInline(list, first, end);
    }
    if (levels != 0)
        ProcessInline(list, firsts[0], firsts[1]);
    EndBusFrames();
}
} // namespace ZK::SoundEngine
