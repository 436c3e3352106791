#include "ZkAudiolib/Common/Output/ZkCaptureNodes.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <ZK/SoundEngine/Common/ZkMixer.h>

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kBufferAlignment = 16;
} // namespace

ZkCaptureNode::~ZkCaptureNode()
{
    FreeBuffer();
}

void ZkCaptureNode::Destroy()
{
    this->~ZkCaptureNode();
    ZK::MemoryMgr::Free(kPool, this);
}

uint32_t ZkCaptureNode::BufferBytes() const
{
    return m_buffer.NumChannels() * m_buffer.maxFrames * SampleBytes();
}

void ZkCaptureNode::FreeBuffer()
{
    if (m_buffer.data != nullptr)
        ZK::MemoryMgr::Free(kPool, m_buffer.data);
    m_buffer = ZkAudioBuffer{};
}

bool ZkCaptureNode::Reshape(const ZkAudioBuffer& mix)
{
    if (m_buffer.data != nullptr && m_buffer.maxFrames == mix.maxFrames && m_buffer.channelConfig == mix.channelConfig)
        return true;
    FreeBuffer();
    const size_t bytes = static_cast<size_t>(mix.NumChannels()) * mix.maxFrames * SampleBytes();
    if (bytes == 0)
        return false;
    void* samples = ZK::MemoryMgr::Malign(kPool, bytes, kBufferAlignment);
    if (samples == nullptr)
        return false;
    m_buffer.data = samples;
    m_buffer.channelConfig = mix.channelConfig;
    m_buffer.maxFrames = mix.maxFrames;
    m_buffer.validFrames = mix.maxFrames;
    return true;
}

void ZkCaptureNode::Write(ZkAudioBuffer* mix, ZkRamp ramp)
{
    if (!Reshape(*mix))
        return;
    ZkMixer::ApplyGainAndInterleave(mix, &m_buffer, ramp, m_shortSamples);
    m_framesWritten = mix->validFrames;
}

void ZkCaptureNode::EndFrame()
{
    if (m_buffer.data == nullptr || !HasConsumer())
        return;
    if (m_framesWritten < m_buffer.maxFrames)
    {
        const uint32_t frameBytes = m_buffer.NumChannels() * SampleBytes();
        std::memset(static_cast<uint8_t*>(m_buffer.data) + static_cast<size_t>(m_framesWritten) * frameBytes, 0,
                    static_cast<size_t>(m_buffer.maxFrames - m_framesWritten) * frameBytes);
    }
    m_buffer.validFrames = m_buffer.maxFrames;
    Deliver();
    m_framesWritten = 0;
}

CaptureCallbackNode* CaptureCallbackNode::Create(ZkCaptureCallback callback, void* cookie, ZkOutputDeviceID outputID)
{
    return ZK::ZkNew<CaptureCallbackNode>(kPool, callback, cookie, outputID);
}

CaptureCallbackNode::CaptureCallbackNode(ZkCaptureCallback callback, void* cookie, ZkOutputDeviceID outputID)
    : ZkCaptureNode(false), m_callback(callback), m_cookie(cookie), m_outputID(outputID)
{
}

void CaptureCallbackNode::Deliver()
{
    m_callback(m_buffer, m_outputID, m_cookie);
}

CaptureWriterNode* CaptureWriterNode::Create(CaptureFileWriter* writer)
{
    CaptureWriterNode* node = ZK::ZkNew<CaptureWriterNode>(kPool, writer);
    if (node == nullptr && writer != nullptr)
        writer->Close();
    return node;
}

CaptureWriterNode::CaptureWriterNode(CaptureFileWriter* writer) : ZkCaptureNode(true), m_writer(writer) {}

CaptureWriterNode::~CaptureWriterNode()
{
    if (m_writer != nullptr)
        m_writer->Close();
}

void CaptureWriterNode::Deliver()
{
    // A block the file cannot take is lost for the file only; rendering goes on.
    m_writer->PassSamples(m_buffer.data, BufferBytes());
}
} // namespace ZK::SoundEngine
