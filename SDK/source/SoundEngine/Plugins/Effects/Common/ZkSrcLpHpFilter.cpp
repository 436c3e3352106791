#include "ZkSrcLpHpFilter.h"

#include "ZkDspAudioFormat.h"

void CZkSrcLpHpFilter::ResetParameters()
{
    const uint16_t steps = ZkDspAudioFormat::Get().stepsPerBuffer;
    m_lowPass.Params().Reset(steps);
    m_highPass.Params().Reset(steps);
}

void CZkSrcLpHpFilter::Init()
{
    m_lowPass.Free();
    m_highPass.Free();
    ResetParameters();
    m_channelConfig = ZkChannelConfig();
}

ZKRESULT CZkSrcLpHpFilter::AllocateAll()
{
    const uint32_t channels = m_channelConfig.NumChannels();
    if (!m_lowPass.Allocate(channels) || !m_highPass.Allocate(channels))
    {
        m_lowPass.Free();
        m_highPass.Free();
        return ZK_Fail;
    }
    return ZK_Success;
}

ZKRESULT CZkSrcLpHpFilter::Setup(ZkChannelConfig config)
{
    m_channelConfig = config;
    return AllocateAll();
}

ZKRESULT CZkSrcLpHpFilter::Reinit(ZkChannelConfig config)
{
    m_lowPass.Free();
    m_highPass.Free();
    ResetParameters();
    m_channelConfig = config;
    return AllocateAll();
}

void CZkSrcLpHpFilter::Term()
{
    m_lowPass.Free();
    m_highPass.Free();
}

void CZkSrcLpHpFilter::MoveFrom(CZkSrcLpHpFilter& other)
{
    m_lowPass.MoveFrom(other.m_lowPass);
    m_highPass.MoveFrom(other.m_highPass);
    m_channelConfig = other.m_channelConfig;
}

void CZkSrcLpHpFilter::Process(ZkAudioBuffer* buffer)
{
    if (m_lowPass.HasMemory())
        m_lowPass.Process(buffer, buffer);
    if (m_highPass.HasMemory())
        m_highPass.Process(buffer, buffer);
}

void CZkSrcLpHpFilter::ProcessOutOfPlace(const ZkAudioBuffer* in, ZkAudioBuffer* out)
{
    if (m_lowPass.HasMemory())
    {
        m_lowPass.Process(in, out);
        if (m_highPass.HasMemory())
            m_highPass.Process(out, out);
    }
    else if (m_highPass.HasMemory())
    {
        m_highPass.Process(in, out);
    }
}

bool CZkSrcLpHpFilter::IsBypassed()
{
    if (!HasAllMemory())
        return true;
    const bool lowPassOff = m_lowPass.UpdateParameters();
    const bool highPassOff = m_highPass.UpdateParameters();
    return lowPassOff && highPassOff;
}

void CZkSrcLpHpFilter::KeepStateCurrent(const ZkAudioBuffer* buffer, uint32_t channel)
{
    if (!HasAllMemory() || buffer->validFrames < 2)
        return;
    const float* samples = buffer->GetChannel(channel);
    m_lowPass.KeepStateCurrent(samples, buffer->validFrames, channel);
    m_highPass.KeepStateCurrent(samples, buffer->validFrames, channel);
}

void CZkSrcLpHpFilter::Reset()
{
    m_lowPass.Params().first = 1;
    m_highPass.Params().first = 1;
    m_lowPass.ClearHistory();
    m_highPass.ClearHistory();
}

void CZkSrcLpHpFilter::AdvanceAfterMix()
{
    m_lowPass.AdvanceAfterMix();
    m_highPass.AdvanceAfterMix();
}
