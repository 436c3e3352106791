// The capture consumers of an output device, kept in one list per device: the application's capture
// callbacks (CaptureCallbackNode: 32-bit float samples) and the device's output-capture file
// (CaptureWriterNode: 16-bit samples through a CaptureFileWriter). Each node keeps its own
// interleaved copy of the frame in the device's channel configuration, written with the device's
// volume ramp during the device's render and delivered, zero-padded to the full buffer, at the end
// of the frame.
//
// Threading: engine thread, under the global engine lock (the capture-callback calls of the
// interface take it). Ownership: the device's list owns its nodes (memory pool 5) and each node its
// buffer (pool 5); a file node owns its writer and closes it when destroyed.
#pragma once

#include "ZkAudiolib/Common/Capture/CaptureFileWriter.h"

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>
#include <ZK/SoundEngine/Common/ZkOutputTypes.h>
#include <ZK/SoundEngine/Common/ZkRamp.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkCaptureNode
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;

    virtual ~ZkCaptureNode();
    ZkCaptureNode(const ZkCaptureNode&) = delete;
    ZkCaptureNode& operator=(const ZkCaptureNode&) = delete;

    // Interleaves the mix into the node's buffer with the ramp (the buffer follows the mix's frame
    // count and configuration; a buffer that cannot be had skips the frame for this node).
    void Write(ZkAudioBuffer* mix, ZkRamp ramp);
    virtual bool HasConsumer() const = 0;
    virtual bool MatchesCallback(ZkCaptureCallback, void*) const { return false; }
    // Zero-pads what the frame did not write and hands the whole buffer to the consumer; the count
    // of frames written starts again at 0.
    void EndFrame();

    // Runs the destructor and frees the node (pool 5).
    void Destroy();

    ZkCaptureNode* next = nullptr;

protected:
    explicit ZkCaptureNode(bool shortSamples) : m_shortSamples(shortSamples) {}
    virtual void Deliver() = 0;
    uint32_t SampleBytes() const { return m_shortSamples ? 2u : 4u; }
    uint32_t BufferBytes() const;

    ZkAudioBuffer m_buffer;
    uint16_t m_framesWritten = 0;

private:
    bool Reshape(const ZkAudioBuffer& mix);
    void FreeBuffer();

    bool m_shortSamples;
};

class CaptureCallbackNode final : public ZkCaptureNode
{
public:
    // Null when out of memory.
    static CaptureCallbackNode* Create(ZkCaptureCallback callback, void* cookie, ZkOutputDeviceID outputID);

    CaptureCallbackNode(ZkCaptureCallback callback, void* cookie, ZkOutputDeviceID outputID);
    bool HasConsumer() const override { return m_callback != nullptr; }
    bool MatchesCallback(ZkCaptureCallback callback, void* cookie) const override
    {
        return callback == m_callback && cookie == m_cookie;
    }

private:
    void Deliver() override;

    ZkCaptureCallback m_callback;
    void* m_cookie;
    ZkOutputDeviceID m_outputID;
};

class CaptureWriterNode final : public ZkCaptureNode
{
public:
    // Takes the writer (closed when the node is destroyed). Null when out of memory (the writer is
    // closed then).
    static CaptureWriterNode* Create(CaptureFileWriter* writer);

    explicit CaptureWriterNode(CaptureFileWriter* writer);
    ~CaptureWriterNode() override;
    bool HasConsumer() const override { return m_writer != nullptr; }
    CaptureFileWriter* Writer() const { return m_writer; }

private:
    void Deliver() override;

    CaptureFileWriter* m_writer;
};
} // namespace ZK::SoundEngine
