#include "Plugins/Sources/ZkSilenceSource/ZkFXSrcSilence.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkPluginRegistration.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint64_t kMaxPositionBytes = 0xFFFFFFFFu;
constexpr double kRandomScale = 1.0 / 2147483648.0; // the generator's 31 bits to [0, 1)
constexpr float kMillisecondsPerSecond = 1000.0f;

ZK::ZkPluginRegistration g_silenceSource(ZK::ZkPluginTypeSource, CZkSrcSilence::kCompany, CZkSrcSilence::kPluginNumber,
                                         &CZkSrcSilence::Create, &CZkSrcSilenceParams::Create);
} // namespace

ZK::IZkPlugin* CZkSrcSilence::Create(ZK::IZkPluginMemAlloc* allocator)
{
    void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(CZkSrcSilence));
    return memory != nullptr ? new (memory) CZkSrcSilence : nullptr;
}

ZKRESULT CZkSrcSilence::Term(ZK::IZkPluginMemAlloc* allocator)
{
    this->~CZkSrcSilence();
    ZK_PLUGIN_FREE(allocator, this);
    return ZK_Success;
}

ZKRESULT CZkSrcSilence::Reset()
{
    m_positionBytes = 0;
    return ZK_Success;
}

ZKRESULT CZkSrcSilence::GetPluginInfo(ZK::ZkPluginInfo& info)
{
    info.type = ZK::ZkPluginTypeSource;
    info.buildVersion = ZK::ZK_PLUGIN_BUILD_VERSION;
    info.processesInPlace = 1;
    return ZK_Success;
}

ZKRESULT CZkSrcSilence::Init(ZK::IZkPluginMemAlloc*, ZK::IZkSourcePluginContext* context, ZK::IZkPluginParam* params,
                             ZkAudioFormat& format)
{
    m_context = context;
    m_params = static_cast<CZkSrcSilenceParams*>(params);
    m_sampleRate = format.sampleRate;
    m_bytesPerSample = (format.BitsPerSample() / 8) & 0x7u;
    m_loops = context != nullptr ? context->GetNumLoops() : 1;
    const CZkSrcSilenceParams defaults;
    const CZkSrcSilenceParams& values = m_params != nullptr ? *m_params : defaults;

    const uint32_t draw = context != nullptr && context->GetGlobalContext() != nullptr
                              ? context->GetGlobalContext()->GetRandomValue()
                              : 0;
    const double offset = draw * kRandomScale * (values.randomMaxSeconds - values.randomMinSeconds) + values.randomMinSeconds;
    // Two bank floats far apart make an offset beyond the float range: it is infinite, not undefined.
    m_randomOffset = std::abs(offset) > std::numeric_limits<float>::max()
                         ? std::copysign(std::numeric_limits<float>::infinity(), offset)
                         : static_cast<float>(offset);

    // The one place a bank's floats become a length: not a number counts as the minimum, and the
    // frames are held to what the 32-bit byte position counts over every loop. The frames are the
    // nearest whole frames of the length: 0.5 s + 0.2 s is 33,600 frames at 48 kHz although the
    // float sum is a hair below 0.7.
    double seconds = static_cast<double>(values.durationSeconds) + m_randomOffset;
    if (std::isnan(seconds))
        seconds = kMinimumSeconds;
    seconds = std::max(seconds, static_cast<double>(kMinimumSeconds));
    const uint64_t limit =
        m_bytesPerSample != 0 ? kMaxPositionBytes / (uint64_t{m_bytesPerSample} * std::max<uint16_t>(m_loops, 1)) : 0;
    const double frames = std::min(std::round(seconds * m_sampleRate), static_cast<double>(limit));
    m_passFrames = static_cast<uint32_t>(frames);
    if (m_sampleRate != 0 && frames < std::round(seconds * m_sampleRate))
        seconds = frames / m_sampleRate;
    m_effectiveSeconds = static_cast<float>(seconds);
    m_positionBytes = 0;
    return ZK_Success;
}

uint64_t CZkSrcSilence::TotalBytes() const
{
    return uint64_t{m_loops} * m_passFrames * m_bytesPerSample;
}

float CZkSrcSilence::GetDuration() const
{
    return m_effectiveSeconds * kMillisecondsPerSecond * m_loops;
}

ZKRESULT CZkSrcSilence::StopLooping()
{
    m_loops = 1;
    return ZK_Success;
}

ZKRESULT CZkSrcSilence::Seek(uint32_t frame)
{
    if (m_loops == 0)
        return ZK_Success;
    const uint64_t target = uint64_t{frame} * m_bytesPerSample;
    if (target >= TotalBytes())
        return ZK_Fail;
    m_positionBytes = static_cast<uint32_t>(target);
    return ZK_Success;
}

ZKRESULT CZkSrcSilence::TimeSkip(uint32_t& frames)
{
    if (m_loops == 0)
        return ZK_DataReady;
    const uint64_t total = TotalBytes();
    const uint64_t left = total > m_positionBytes ? total - m_positionBytes : 0;
    const uint64_t wanted = uint64_t{frames} * m_bytesPerSample;
    if (wanted <= left && left != 0)
    {
        m_positionBytes = static_cast<uint32_t>(m_positionBytes + wanted);
        return ZK_DataReady;
    }
    const uint64_t served = m_bytesPerSample != 0 ? left / m_bytesPerSample : 0;
    m_positionBytes = static_cast<uint32_t>(m_positionBytes + served * m_bytesPerSample);
    frames = static_cast<uint32_t>(served);
    return ZK_NoMoreData;
}

void CZkSrcSilence::Execute(ZkAudioBuffer* buffer)
{
    uint32_t frames = buffer->maxFrames;
    buffer->state = TimeSkip(frames);
    buffer->validFrames = static_cast<uint16_t>(frames);
    if (buffer->data != nullptr)
        std::memset(buffer->data, 0, size_t{frames} * m_bytesPerSample);
}
} // namespace ZK::SoundEngine
