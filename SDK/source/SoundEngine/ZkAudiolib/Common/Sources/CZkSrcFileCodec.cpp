#include "ZkAudiolib/Common/Sources/CZkSrcFileCodec.h"

#include "ZkAudiolib/Common/Buffers/ChannelMap.h"
#include "ZkAudiolib/Common/FrontEnd/PlayPositionRepository.h"
#include "ZkAudiolib/Common/Sources/CZkPcmCodec.h"
#include "ZkAudiolib/Common/Voice/ZkVoiceMarkers.h"

#include <algorithm>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
CZkSrcFileCodec* MakeSource(void* context, uint32_t kind)
{
    void* memory = ZK::MemoryMgr::Malloc(CZkVoiceSource::kPool, sizeof(CZkSrcFileCodec));
    if (memory == nullptr)
        return nullptr;
    auto* source = new (memory) CZkSrcFileCodec(static_cast<CZkPlayingInstance*>(context), &CZkPcmCodec::Create);
    source->SetKind(kind);
    return source;
}

// The resampler's channel mappings over the engine's channel maps.
uint8_t MapIdentity(const ZkChannelConfig* config, uint32_t index)
{
    return static_cast<uint8_t>(ChannelMap::Identity(*config, index));
}
uint8_t MapLfeLast(const ZkChannelConfig* config, uint32_t index)
{
    return static_cast<uint8_t>(ChannelMap::LfeLast(*config, index));
}
uint8_t MapByTable(const ZkChannelConfig* config, uint32_t index)
{
    return static_cast<uint8_t>(ChannelMap::ByTable(*config, index));
}
} // namespace

void* CZkSrcFileCodec::CreateFileSource(void* context)
{
    return MakeSource(context, kSourceKindStreamed);
}

void* CZkSrcFileCodec::CreateBankSource(void* context)
{
    return MakeSource(context, kSourceKindInMemory);
}

float CZkSrcFileCodec::GetPitch()
{
    if ((m_codecFlags & kCodecResamples) != 0)
        return 0.0f;
    return CZkVoiceSource::GetPitch();
}

const ZkChannelConverter* CZkSrcFileCodec::GetConverter()
{
    CZkResampler::ChannelMappingFn mapping = nullptr;
    switch (m_mappingKind)
    {
    case kChannelMappingIdentity: mapping = &MapIdentity; break;
    case kChannelMappingByMask: mapping = &MapLfeLast; break;
    case kChannelMappingByTable: mapping = &MapByTable; break;
    default: return nullptr;
    }
    m_converter = ZkChannelConverter{&Format().channelConfig, mapping};
    return &m_converter;
}

ZKRESULT CZkSrcFileCodec::PostBuffering()
{
    const ZkCursorBuffering buffering = m_cursor.QueryBuffering();
    PostStreamBuffering(buffering.bytes, m_cursor.BytesPerMs(), buffering.status);
    return buffering.status;
}

// Render path: the codec's frames are handed out where they lie; markers go to the voice's array.
ZKRESULT CZkSrcFileCodec::GetBuffer(ZkPipelineBuffer& buffer)
{
    const auto finish = [&buffer](ZKRESULT result) {
        buffer.state = result;
        buffer.status = result;
        return result;
    };
    if ((m_ownFlags & kCodecFailed) != 0 || m_codec == nullptr)
    {
        buffer.validFrames = 0;
        return finish(ZK_Fail);
    }
    PostBuffering();
    m_cursor.SetPriority(static_cast<int8_t>(m_instance->IntegerPriority()));
    ZkDecodedFrames decoded;
    const ZKRESULT result = m_codec->Decode(m_cursor, buffer.maxFrames, decoded, WaitForData());
    if (result != ZK_DataReady || decoded.frames == 0)
    {
        buffer.validFrames = 0;
        return finish(result == ZK_DataReady ? ZK_NoDataReady : result);
    }
    m_flags &= static_cast<uint8_t>(~kFlagWaitForBuffering);
    const ZkAudioFormat& format = Format();
    buffer.AttachData(const_cast<uint8_t*>(decoded.data), static_cast<uint16_t>(decoded.frames), format.channelConfig);
    buffer.markers = ZkMarkerWindow{};
    const float scale = decoded.framesRead != 0 ? static_cast<float>(decoded.frames) / decoded.framesRead : 1.0f;
    buffer.position = m_position.Snapshot(scale);

    // The loop in pieces: none crosses the loop end (or the media's end on the last pass).
    ZKRESULT status = ZK_DataReady;
    uint32_t left = decoded.framesRead;
    uint32_t offset = 0;
    while (left != 0)
    {
        const uint32_t end = m_position.OnLastPass() ? m_position.length : m_position.loopEnd + 1;
        const uint32_t toEnd = end > m_position.position ? end - m_position.position : left;
        const uint32_t piece = std::min(left, toEnd);
        const ZKRESULT collected = AppendMarkers(m_markers, buffer, m_position.position, piece, offset, scale);
        if (collected != ZK_Success)
            return finish(collected);
        bool looped = false;
        status = m_position.Advance(piece, looped);
        offset += static_cast<uint32_t>(static_cast<float>(piece) * scale);
        left -= piece;
        if (status == ZK_NoMoreData)
            break;
    }
    return finish(status);
}

void CZkSrcFileCodec::ReleaseBuffer()
{
    if (m_codec != nullptr)
        m_codec->Release(m_cursor);
}

float CZkSrcFileCodec::GetDuration()
{
    return m_position.LoopTimeMs(m_loops);
}

ZKRESULT CZkSrcFileCodec::StopLooping()
{
    m_position.loopsLeft = 1;
    m_loops = 1;
    const ZKRESULT stopped = m_cursor.StopLooping();
    if (m_codec != nullptr)
        m_codec->LoopsChanged();
    return stopped;
}

bool CZkSrcFileCodec::HandlesPitch()
{
    return (m_codecFlags & (kCodecResamples | kCodecHandsOver)) == (kCodecResamples | kCodecHandsOver);
}

ZKRESULT CZkSrcFileCodec::HandOver(CZkVoiceSource* next)
{
    if (next == nullptr)
        return ZK_InvalidParameter;
    if (HandlesPitch() && next->HandlesPitch() && next->IsCodecSource() && m_codec != nullptr)
    {
        IZkSoftwareCodec* nextCodec = static_cast<CZkSrcFileCodec*>(next)->Codec();
        if (nextCodec != nullptr)
            return m_codec->HandOver(*nextCodec);
    }
    return ZK_Success;
}

ZKRESULT CZkSrcFileCodec::RelocateMedia(const uint8_t* newAddress, const uint8_t* oldAddress)
{
    if (m_headerBlock != nullptr && !m_ownsHeaderBlock)
    {
        m_headerBlock = const_cast<uint8_t*>(newAddress) + (m_headerBlock - oldAddress);
        m_envelope = ZkEnvelopeTable::FromBytes(m_headerBlock, m_headerBlockSize);
    }
    m_cursor.RelocateMemory(newAddress, oldAddress);
    return ZK_Success;
}

float CZkSrcFileCodec::GetEnvelopeValue()
{
    return m_envelope.Lookup(m_envelopeIndex, m_position.position);
}

uint32_t CZkSrcFileCodec::FrameStep()
{
    const uint16_t kind = m_codecFlags & (kCodecPrefetchDecode | kCodecDecodesAhead);
    if (kind == kCodecPrefetchDecode)
        return 1;
    if (kind == (kCodecPrefetchDecode | kCodecDecodesAhead))
        return 2;
    return 0;
}
} // namespace ZK::SoundEngine
