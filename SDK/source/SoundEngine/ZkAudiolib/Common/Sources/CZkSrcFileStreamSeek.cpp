// CZkSrcFileStream: seeks, the end of looping, virtual periods and media that move in memory.
#include "ZkAudiolib/Common/Sources/CZkSrcFileStream.h"

#include "ZkAudiolib/Common/Sources/ZkSeekTarget.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

namespace ZK::SoundEngine
{
ZKRESULT CZkSrcFileStream::SeekToFrame(uint32_t frame, uint32_t& reached)
{
    reached = 0;
    if (frame >= m_totalFrames)
        return ZK_Fail;
    uint32_t restart = 0;
    uint32_t byteOffset = 0;
    if (FindBlock(frame, restart, byteOffset) != ZK_Success || SetStreamPosition(byteOffset) != ZK_Success)
        return ZK_Fail;
    m_streamLoops = m_loopsLeft;
    ApplyHeuristics();
    m_streamFlags &= static_cast<uint8_t>(~(kLastBuffer | kWrapped));
    RefreshWaitBit();
    m_position = restart;
    reached = restart;
    return ZK_Success;
}

ZKRESULT CZkSrcFileStream::SeekToTarget()
{
    const uint16_t loops = m_loopsLeft == 1 ? uint16_t{1} : m_instance->LoopCount();
    const ZkSeekMedia media{GetSampleRate(), m_totalFrames, m_loopStart, m_loopEnd, loops, GetDuration()};
    uint16_t loopsLeft = loops;
    const uint32_t target = ResolveSeekTarget(*m_instance, m_markers, media, loopsLeft);
    const uint16_t before = m_loopsLeft;
    m_loopsLeft = loopsLeft;
    uint32_t reached = 0;
    if (SeekToFrame(target, reached) != ZK_Success)
    {
        m_loopsLeft = before;
        return ZK_Fail;
    }
    // The voice skips the frames between the block's start and the target.
    m_instance->FinishSeek(target - reached);
    return ZK_Success;
}

ZKRESULT CZkSrcFileStream::Seek()
{
    if (SeekToTarget() != ZK_Success)
        return ZK_Fail;
    DropDecodeState();
    DropHeldBuffer();
    return ZK_Success;
}

ZKRESULT CZkSrcFileStream::LoopDone(bool lastPass)
{
    if (!lastPass)
        m_streamFlags &= static_cast<uint8_t>(~kWrapped);
    return CZkSrcFileBase::LoopDone(lastPass);
}

ZKRESULT CZkSrcFileStream::StopLooping()
{
    m_loopsLeft = 1;
    m_streamLoops = 1;
    if ((m_streamFlags & kWrapped) != 0)
    {
        if (IsMemoryStream())
        {
            // The next pass is not read yet: the stream goes on after the loop instead.
            SetStreamPosition(m_loopEndByte);
            if (m_loopEndByte >= DataEnd())
                m_streamFlags |= kLastBuffer;
            m_streamFlags &= static_cast<uint8_t>(~kWrapped);
        }
        else
            m_loopsLeft = 2; // the file's next pass is on its way: it plays, then the sound ends
    }
    ApplyHeuristics();
    return ZK_Success;
}

void CZkSrcFileStream::EnterVirtual(uint32_t behaviour)
{
    if (m_stream != nullptr)
        m_stream->Stop();
    if (behaviour != kVirtualModeResume)
    {
        DropDecodeState();
        DropHeldBuffer();
    }
    PostBuffering();
}

ZKRESULT CZkSrcFileStream::LeaveVirtual(uint32_t behaviour, bool fromElapsed)
{
    if (m_stream == nullptr)
        return ZK_Fail;
    if (behaviour == kVirtualModeResume)
    {
        RefreshWaitBit();
        return m_stream->Start();
    }
    DropDecodeState();
    DropHeldBuffer();
    uint32_t reached = 0;
    ZKRESULT sought = ZK_Fail;
    if (behaviour == kVirtualModeSkipTime)
        sought = fromElapsed ? SeekToTarget() : SeekToFrame(m_position, reached);
    if (sought != ZK_Success)
    {
        // From the beginning (also when the elapsed time lies past the end).
        m_position = 0;
        m_loopsLeft = m_instance->LoopCount();
        sought = SeekToFrame(0, reached);
        if (sought != ZK_Success)
            return sought;
    }
    return m_stream->Start();
}

ZKRESULT CZkSrcFileStream::RelocateMedia(const uint8_t* newAddress, const uint8_t* oldAddress)
{
    if ((m_streamFlags & (kMemoryStream | kFromPrefetch)) != 0 && m_data != nullptr)
        m_data = newAddress + (m_data - oldAddress);
    if (m_headerBlock != nullptr && !m_ownsHeaderBlock)
    {
        m_headerBlock = const_cast<uint8_t*>(newAddress) + (m_headerBlock - oldAddress);
        m_envelope = ZkEnvelopeTable::FromBytes(m_headerBlock, m_headerBlockSize);
    }
    if (IsMemoryStream() && ZK::IZkStreamMgr::m_pStreamMgr != nullptr)
        return ZK::IZkStreamMgr::m_pStreamMgr->SetMemoryStreamAddress(m_stream, const_cast<uint8_t*>(newAddress));
    return ZK_Success;
}
} // namespace ZK::SoundEngine
