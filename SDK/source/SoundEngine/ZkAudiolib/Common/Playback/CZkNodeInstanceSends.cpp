// CZkNodeInstanceBase: the sends of a play, as the render side collects them each frame: the
// game-defined sends of the game object's routing, then the four user sends of the node.
#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Playback/CZkNodeInstanceBase.h"

#include <bit>

namespace ZK::SoundEngine
{
namespace
{
// The kind of a user send record.
constexpr uint32_t kUserSendKind = 2;
} // namespace

bool CZkNodeInstanceBase::HasActiveSends() const
{
    if ((m_sendFlags & kSendFlagGameSends) != 0)
        return true;
    for (ZkUniqueID bus : m_userSendBuses)
    {
        if (bus != 0)
            return true;
    }
    return false;
}

void CZkNodeInstanceBase::AddSendsOfListener(ZK::ZkArray<ZkSendRecord>& output, ZkGameObjectID listenerID,
                                             uint32_t send) const
{
    ZkSendRecord record;
    record.listenerID = listenerID;
    record.auxBusID = m_userSendBuses[send];
    record.gain = ZkDecibelsToLinear(m_values[kSlotUserSend0 + send]);
    record.reserved = kUserSendKind;
    record.v = m_values[kSlotSendFilterA0 + send];
    record.w = std::bit_cast<uint32_t>(m_values[kSlotSendFilterB0 + send]);
    output.AddLast(record); // a record that cannot be appended is left out this frame
}

void CZkNodeInstanceBase::CollectSends(ZK::ZkArray<ZkSendRecord>& output) const
{
    if (m_object == nullptr)
        return;
    const ZkListenerSet& listeners = m_object->GetListenerSet();
    if ((m_sendFlags & kSendFlagGameSends) != 0)
    {
        const CZkListenerRouting* routing = m_object->GetListenerRouting();
        if (routing != nullptr)
            routing->EffectiveAuxTable().CollectSends(output, ZkDecibelsToLinear(m_values[kSlotGameSend]),
                                                      m_values[kSlotGameSendFilterA],
                                                      std::bit_cast<uint32_t>(m_values[kSlotGameSendFilterB]),
                                                      listeners, GetVolumeThresholdLinear());
    }
    const bool perListener = (m_positioningFlags & kPositioningListenerRoutedSends) != 0;
    for (uint32_t send = 0; send < kUserSends; ++send)
    {
        if (m_userSendBuses[send] == 0 || !(m_values[kSlotUserSend0 + send] > GetVolumeThresholdDB()))
            continue;
        if (!perListener)
        {
            AddSendsOfListener(output, m_object->ID(), send);
            continue;
        }
        for (ZkGameObjectID listenerID : listeners)
            AddSendsOfListener(output, listenerID, send);
    }
}
} // namespace ZK::SoundEngine
