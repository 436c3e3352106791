// CZkSrcFileBase: what every source that decodes its media itself, block by block, knows of the
// media: its frames, where its sample data lies, its loop (frames, end included), its markers
// and its envelope. It keeps the play position with the loops left and answers the questions of
// time: duration, frames skipped while virtual, the loop's end, the envelope at the position.
//
// A subclass reads the header (ParseHeader), says where decoding restarts for a frame
// (FindBlock), decodes in GetBuffer and ends every GetBuffer with FillBuffer, which hands the
// decoded frames to the voice with their markers and moves the position through the loop.
//
// Threading: the thread rendering the voice. Ownership: memory pool 5 (the factory makes it); the
// marker table and a copy of the header block are its own.
#pragma once

#include "ZkAudiolib/Common/Media/ZkEnvelopeTable.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/ZkMarkerTable.h"

namespace ZK::SoundEngine
{
class CZkSrcFileBase : public CZkVoiceSource
{
public:
    explicit CZkSrcFileBase(CZkPlayingInstance* instance)
        : CZkVoiceSource(instance), m_loopsLeft(instance != nullptr ? instance->LoopCount() : uint16_t{1})
    {
    }

    // Moves the position by frames without decoding: on the last pass up to the end (17 there),
    // else through the loop end back to its start. Markers crossed are reported.
    ZKRESULT SkipFrames(uint32_t& frames) override;
    ZKRESULT Restart() override;
    void StopStream() override;
    // ((loop end - loop start + 1) x (loops - 1) + frames) x 1000 / rate; 0 when looping forever.
    float GetDuration() override;
    ZKRESULT StopLooping() override;
    float GetEnvelopeValue() override;

    ZKRESULT ClearLoops();
    uint32_t GetSampleRate() const;
    // One pass ended: the loops left drop (the last pass stays). 17 after the last pass, else 45.
    virtual ZKRESULT LoopDone(bool lastPass);
    // Reads the media header in data (size bytes): format, data, loop, markers.
    virtual ZKRESULT ParseHeader(const uint8_t* data, uint32_t size) = 0;
    // The frame at which decoding restarts for frame, and the file byte of its block.
    virtual ZKRESULT FindBlock(uint32_t frame, uint32_t& restartFrame, uint32_t& byteOffset) = 0;

    uint32_t TotalFrames() const { return m_totalFrames; }
    uint32_t PlayPosition() const { return m_position; }
    uint32_t LoopStart() const { return m_loopStart; }
    uint32_t LoopEnd() const { return m_loopEnd; }
    uint16_t LoopsLeft() const { return m_loopsLeft; }
    const ZkMarkerTable& Markers() const { return m_markers; }

protected:
    // Hands frames of decoded (interleaved) samples to the voice: the markers they hold, their
    // position; the position moves through the loop. 46 for 0 frames; 17 at the end of the last
    // pass; else 45.
    ZKRESULT FillBuffer(const uint8_t* samples, uint32_t frames, uint32_t sampleRate, ZkChannelConfig config,
                        ZkPipelineBuffer& buffer);
    // Keeps the header's engine chunk: by pointer when it lies in the media's memory, else copied
    // into pool 5 (52 when that fails).
    ZKRESULT KeepHeaderBlock(uint8_t* data, uint32_t size, bool inMediaMemory);
    void StorePositionInfo();

    uint32_t m_totalFrames = 0;
    uint32_t m_position = 0;
    uint32_t m_dataSize = 0;
    uint32_t m_dataOffset = 0;
    uint32_t m_loopStart = 0;
    uint32_t m_loopEnd = 0;
    ZkMarkerTable m_markers;
    uint32_t m_envelopeIndex = 0;
    uint16_t m_loopsLeft;
    ZkEnvelopeTable m_envelope;
};
} // namespace ZK::SoundEngine
