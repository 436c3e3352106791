// The event manager's life cycle, its dispatch of ring messages to their handlers, and the custom
// message table.
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"

namespace ZK::SoundEngine
{
EventManager* g_pEventMgr = nullptr;

ZKRESULT EventManager::Init(uint32_t ringCapacityBytes)
{
    const ZKRESULT result = m_ring.Init(ringCapacityBytes, this);
    if (result != ZK_Success)
        return result;
    if (m_activeActions.Init() != ZK_Success || m_pausedActions.Init() != ZK_Success)
        return ZK_InsufficientMemory;
    return ZK_Success;
}

void EventManager::Term()
{
    m_ring.Term();
    TermPendingActions();
    m_customHandlers.Term();
    m_offlineFrameTimeSeconds = 0.0f;
}

void EventManager::Dispatch(const uint8_t* message, bool& deviceChanged)
{
    if (const ZkMessageHandler handler = FindMessageHandler(ReadMessageHeader(message).type))
        handler(*this, message, deviceChanged);
}

void EventManager::Discard(const uint8_t* message)
{
    ReleaseMessageHoldings(message);
}

ZKRESULT EventManager::AddCustomHandler(uint32_t customID, ZkCustomMessageHandler handler)
{
    return m_customHandlers.AddLast(CustomHandler{customID, handler}) != nullptr ? ZK_Success
                                                                                : ZK_InsufficientMemory;
}

void EventManager::DispatchCustom(const uint8_t* message) const
{
    const uint32_t size = ReadMessageHeader(message).size;
    if (size < MessageBytes<ZkCustomMessage>())
        return;
    const ZkCustomMessage head = ReadMessageBody<ZkCustomMessage>(message);
    for (const CustomHandler& entry : m_customHandlers)
    {
        if (entry.customID == head.customID)
        {
            entry.handler(head.customID, MessageItems<ZkCustomMessage>(message), size - MessageBytes<ZkCustomMessage>());
            return;
        }
    }
}
} // namespace ZK::SoundEngine
