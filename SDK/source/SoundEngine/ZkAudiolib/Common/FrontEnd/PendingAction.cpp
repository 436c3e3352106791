#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"

#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"

namespace ZK::SoundEngine
{
PendingAction::PendingAction(CZkEventAction* pendingAction, CZkRegisteredObj* object)
    : action(pendingAction), m_gameObject(object)
{
    if (m_gameObject != nullptr)
        m_gameObject->AddRef();
}

PendingAction::~PendingAction()
{
    if (m_play.externalSources != nullptr)
        m_play.externalSources->Release();
    if (m_gameObject != nullptr)
        m_gameObject->Release();
}

void PendingAction::SetPlayRecord(const ZkPlayRecord& record)
{
    if (record.externalSources != nullptr)
        record.externalSources->AddRef();
    if (m_play.externalSources != nullptr)
        m_play.externalSources->Release();
    m_play = record;
}
} // namespace ZK::SoundEngine
