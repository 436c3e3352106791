// A codec of the tests and fuzz entries for the 8-bit test format of tools/soundbank/preparation.py
// (format tag 0xFFFF, unsigned 8-bit samples, the frame count at offset 24 of the format chunk).
// It decodes into 16-bit samples as sox converts 8-bit ones ((sample - 128) << 8) and is
// registered as the codec of key 0x40001, the key the engine decodes that format tag with. The
// engine registers no codec of that key: this one exercises its decoding ahead of play.
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Media/ZkSourceCursor.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Sources/CZkSrcFileCodec.h"

#include <algorithm>
#include <new>

namespace ZkTestFormat
{
using namespace ZK::SoundEngine;

class U8TestCodec final : public IZkSoftwareCodec
{
public:
    static constexpr uint32_t kCodecNumber = 4;
    static constexpr uint16_t kFormatTag = 0xFFFF;
    static constexpr uint32_t kFramesPerDecode = 256;

    static IZkSoftwareCodec* Create()
    {
        void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(U8TestCodec));
        return memory != nullptr ? new (memory) U8TestCodec() : nullptr;
    }
    static void* CreateSource(void* context)
    {
        void* memory = ZK::MemoryMgr::Malloc(CZkVoiceSource::kPool, sizeof(CZkSrcFileCodec));
        return memory != nullptr
                   ? new (memory) CZkSrcFileCodec(static_cast<CZkPlayingInstance*>(context), &U8TestCodec::Create)
                   : nullptr;
    }
    // After the engine's Init (which starts the registry afresh).
    static ZKRESULT Register()
    {
        return PluginRegistry::RegisterCodec(0, kCodecNumber, &CreateSource, &CreateSource, nullptr, nullptr);
    }

    ~U8TestCodec() override { Stop(); }

    ZKRESULT ParseFormat(const ZkCodecHeader& header, ZkCodecFormat& format) override
    {
        const ZkMediaChunk& chunk = header.format;
        if (chunk.data == nullptr || chunk.size < 28 || ZK::LoadLittleEndian<uint16_t>(chunk.data) != kFormatTag)
            return ZK_UnsupportedFormat;
        m_channels = ZK::LoadLittleEndian<uint16_t>(chunk.data + 2);
        const uint32_t rate = ZK::LoadLittleEndian<uint32_t>(chunk.data + 4);
        if (m_channels == 0 || rate == 0)
            return ZK_InvalidFile;
        const uint32_t blockAlign = m_channels * 2u;
        format.sampleRate = rate;
        format.channelConfig = ZkChannelConfig(header.channelWord);
        format.formatWord = 16u | blockAlign << 6;
        format.totalFrames = ZK::LoadLittleEndian<uint32_t>(chunk.data + 24);
        format.loopStartByte = header.dataOffset;
        format.loopEndByte = header.dataOffset + header.dataSize;
        format.bytesPerMs = static_cast<float>(m_channels) * static_cast<float>(rate) / 1000.0f;
        format.blockAlign = static_cast<uint16_t>(blockAlign);
        return ZK_Success;
    }
    ZKRESULT Start(ZkSourceCursor&) override { return ZK_Success; }
    void Stop() override
    {
        if (m_samples != nullptr)
            ZK::MemoryMgr::Free(kPool, m_samples);
        m_samples = nullptr;
    }
    ZKRESULT PrefetchDecode(ZkSourceCursor&) override { return ZK_Success; }
    ZKRESULT Decode(ZkSourceCursor& cursor, uint32_t framesWanted, ZkDecodedFrames& out, bool wait) override
    {
        out = ZkDecodedFrames{};
        m_consumed = 0;
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        const ZKRESULT got = cursor.GetData(data, size, wait);
        if (got != ZK_DataReady)
            return got;
        const uint32_t frames = std::min({framesWanted, size / m_channels, kFramesPerDecode});
        if (frames == 0)
            return ZK_NoMoreData;
        if (m_samples == nullptr)
        {
            m_samples = static_cast<int16_t*>(ZK::MemoryMgr::Malloc(kPool, kFramesPerDecode * m_channels * 2u));
            if (m_samples == nullptr)
                return ZK_Fail;
        }
        for (uint32_t index = 0; index < frames * m_channels; ++index)
            m_samples[index] = static_cast<int16_t>((static_cast<int32_t>(data[index]) - 128) * 256);
        m_consumed = frames * m_channels;
        out = ZkDecodedFrames{reinterpret_cast<const uint8_t*>(m_samples), frames, frames};
        return ZK_DataReady;
    }
    void Release(ZkSourceCursor& cursor) override
    {
        cursor.Advance(m_consumed);
        m_consumed = 0;
    }
    void DropState() override {}
    ZKRESULT Reset() override { return ZK_Success; }
    void SeekToFrame(uint32_t frame, uint32_t& restartFrame, uint32_t& byteOffset) override
    {
        restartFrame = frame;
        byteOffset = frame * m_channels;
    }
    ZKRESULT RestartAt(ZkSourceCursor&) override { return ZK_Success; }
    void LoopsChanged() override {}
    ZKRESULT HandOver(IZkSoftwareCodec&) override { return ZK_Success; }
    uint16_t Flags() const override { return 0; }
    uint8_t MappingKind() const override { return kChannelMappingNone; }

private:
    uint32_t m_channels = 1;
    uint32_t m_consumed = 0;
    int16_t* m_samples = nullptr;
};
} // namespace ZkTestFormat
