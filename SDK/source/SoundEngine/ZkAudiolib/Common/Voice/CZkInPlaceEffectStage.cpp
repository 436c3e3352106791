#include "ZkAudiolib/Common/Voice/CZkInPlaceEffectStage.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/Voice/Neighbours/ZkAudioObjects.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

namespace ZK::SoundEngine
{
ZKRESULT CZkInPlaceEffectStage::InitPlugin(CZkEffectPluginContext& context, ZK::IZkPluginParam* params,
                                           ZK::ZkEffectFormat& format)
{
    return m_plugin->Init(&CZkPluginMemAlloc::ForInstances(), &context, params, format);
}

// Render path.
void CZkInPlaceEffectStage::RunPlugin(ZkAudioBuffer& block)
{
    if (!m_processesObjects)
    {
        static_cast<ZK::IZkInPlaceEffectPlugin*>(m_plugin)->Execute(&block);
        return;
    }
    ZkAudioObject storage[kObjectListCapacity];
    storage[0].buffer = block;
    ZkAudioObjects list;
    list.objects = storage;
    list.count = 1;
    list.capacity = kObjectListCapacity;
    static_cast<ZK::IZkObjectEffectPlugin*>(m_plugin)->Execute(&list);
    block = storage[0].buffer;
    for (uint32_t i = 1; i < list.count; ++i)
        if (storage[i].buffer.data != nullptr)
            AudioBufferPool::ReleaseCachedBuffer(storage[i].buffer);
}

ZKRESULT CZkInPlaceEffectStage::Execute(ZkPipelineBuffer& buffer)
{
    if (IsBypassed())
    {
        ResetOncePerBypass();
        return buffer.status;
    }
    m_resetWhileBypassed = 0;
    if (buffer.status == ZK_NoMoreData)
        m_finished = 1;
    if (buffer.data == nullptr)
    {
        m_privateBlock = AllocateBlock(buffer.maxFrames, buffer.channelConfig);
        if (m_privateBlock == nullptr)
        {
            buffer.status = ZK_Fail;
            return ZK_Fail;
        }
        buffer.data = m_privateBlock;
        buffer.validFrames = 0;
    }
    buffer.state = buffer.status;
    RunPlugin(buffer);
    buffer.status = buffer.state;
    return buffer.status;
}

ZKRESULT CZkInPlaceEffectStage::GetPendingOutput(ZkPipelineBuffer& buffer)
{
    if (m_finished == 0)
        return ZK_DataNeeded;
    // The input ended: the plug-in may still give a tail.
    buffer.status = ZK_NoMoreData;
    return Execute(buffer);
}

ZKRESULT CZkInPlaceEffectStage::SkipPluginTime(uint32_t& frames)
{
    return m_processesObjects ? static_cast<ZK::IZkObjectEffectPlugin*>(m_plugin)->SkipTime(frames)
                              : static_cast<ZK::IZkInPlaceEffectPlugin*>(m_plugin)->SkipTime(frames);
}

ZKRESULT CZkInPlaceEffectStage::SkipFrames(uint32_t& frames)
{
    if (m_finished != 0)
        return ZK_NoMoreData;
    SkipPluginTime(frames);
    return CZkVoicePipelineStage::SkipFrames(frames);
}

void CZkInPlaceEffectStage::ReleaseBuffer()
{
    if (m_privateBlock == nullptr)
    {
        CZkVoicePipelineStage::ReleaseBuffer();
        return;
    }
    ZK::MemoryMgr::Free(kPool, m_privateBlock);
    m_privateBlock = nullptr;
}
} // namespace ZK::SoundEngine
