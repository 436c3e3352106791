// CaptureFileWriter: records one output device's final mix into a WAVE file (the extensible form
// of ZkWaveHeader) with named markers. The output device creates it when a capture starts, passes
// it every rendered block, drops markers into it, and closes it when the capture stops. At close
// the markers are appended as a "cue " chunk and a "LIST"/"adtl" chunk of "labl" labels, and the
// RIFF and data sizes are patched into the header, which is written again at the start of the file.
//
// The bytes go through a CZkStreamFileWriter of the stream manager; a process-wide default factory
// is used when the caller gives none.
//
// Calling order: Create, then PassSamples and AddMarker any number of times, then Close (which
// frees the writer). Threading: one thread at a time (the engine thread).
// Ownership: the writer (memory pool 0) owns its stream writer and its labels (pool 0).
#pragma once

#include "ZkAudiolib/Common/Capture/CZkStreamFileWriter.h"
#include "ZkAudiolib/Common/Capture/ZkWaveHeader.h"
#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CaptureFileWriter
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // Made by Create and freed by Close only.
    CaptureFileWriter() = default;
    ~CaptureFileWriter();
    CaptureFileWriter(const CaptureFileWriter&) = delete;
    CaptureFileWriter& operator=(const CaptureFileWriter&) = delete;

    // The process-wide factory of capture streams used when Create is given none.
    static CZkStreamFileWriterFactory* GetDefaultWriterFactory();

    // A writer whose file has been created with the provisional header, or null when the stream
    // cannot be made or opened or memory runs out (nothing is left behind).
    static CaptureFileWriter* Create(CZkStreamFileWriterFactory* factory, const wchar_t* fileName,
                                     uint32_t sampleRate, uint32_t sampleFormat, ZkChannelConfig config);

    // Appends a block of samples. 2 without a stream or when the file would outgrow the 32-bit
    // sizes of its header; else the write's result (the bytes are counted only on 1).
    ZKRESULT PassSamples(const void* samples, uint32_t byteCount);
    // A marker at the current position (whole sample frames written so far). A second marker at the
    // same position joins its text to the first one's label. 1; 2 without a stream; 52 out of memory.
    ZKRESULT AddMarker(const char* text);
    // Writes the marker chunks, patches the header and closes the file; then frees the writer. The
    // result of the header's final write (1 when the writer had no stream).
    ZKRESULT Close();

    uint32_t DataBytes() const { return m_dataBytes; }
    uint32_t MarkerCount() const { return m_markers.Length(); }

private:
    struct Marker
    {
        uint32_t id;
        uint32_t position; // sample frames
        char* label;       // zero-terminated, memory pool 0
    };

    ZKRESULT WriteMarkerChunks(uint32_t& markerBytes);
    void FreeMarkers();

    uint8_t m_header[ZkWaveHeader::kMaxHeaderBytes] = {};
    uint16_t m_blockAlign = 0;
    ZK::ZkArray<Marker> m_markers;
    uint32_t m_dataBytes = 0;
    CZkStreamFileWriter* m_stream = nullptr;
};
} // namespace ZK::SoundEngine
