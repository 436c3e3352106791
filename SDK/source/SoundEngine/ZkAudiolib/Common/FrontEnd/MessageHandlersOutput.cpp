// The handlers of the output-device messages, carried out by the output device manager. Replacing
// an output (or the main output) restarts the timing of the render and tells the tick that the
// devices changed; so does a suspension or wake-up that completes.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/MessageItemsCopy.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

namespace ZK::SoundEngine
{
namespace
{
// A replacement that the output layer completed (1): the render's timing starts again.
void OnReplaced(EventManager& manager, ZKRESULT result, bool& deviceChanged)
{
    if (result != ZK_Success)
        return;
    manager.ResetTimingReference();
    deviceChanged = true;
}
} // namespace

namespace MessageHandlers
{
void SetOutputVolume(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkOutputVolumeMessage>(message);
    if (CZkOutputDevice* device = CZkOutputDeviceMgr::GetDevice(body.outputID))
        device->SetVolume(body.volume);
}

void AddOutput(EventManager&, const uint8_t* message, bool&)
{
    const auto head = ReadMessageBody<ZkAddOutputMessage>(message);
    if (MessageBytes<ZkAddOutputMessage>() + uint64_t{head.count} * sizeof(ZkGameObjectID) > ReadMessageHeader(message).size)
        return;
    const MessageItemsCopy<ZkGameObjectID> listeners(MessageItems<ZkAddOutputMessage>(message), head.count);
    if (listeners.IsValid())
        CZkOutputDeviceMgr::AddOutput(head.settings, listeners.Data(), head.count);
}

void RemoveOutput(EventManager&, const uint8_t* message, bool&)
{
    CZkOutputDeviceMgr::RemoveOutput(ReadMessageBody<ZkOutputIDMessage>(message).outputID, true);
}

void ReplaceOutput(EventManager& manager, const uint8_t* message, bool& deviceChanged)
{
    const auto body = ReadMessageBody<ZkReplaceOutputMessage>(message);
    OnReplaced(manager, CZkOutputDeviceMgr::ReplaceOutput(body.settings, body.outputID), deviceChanged);
}

void ReplaceMainOutput(EventManager& manager, const uint8_t* message, bool& deviceChanged)
{
    const auto body = ReadMessageBody<ZkReplaceMainOutputMessage>(message);
    OnReplaced(manager, CZkOutputDeviceMgr::ReplaceMainOutput(body.settings), deviceChanged);
}

void OutputCapture(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkOutputCaptureMessage>(message);
    if (body.fileName != nullptr)
        CZkOutputDeviceMgr::StartOutputCapture(body.fileName);
    else
        CZkOutputDeviceMgr::StopOutputCapture();
    ReleaseMessageHoldings(message);
}

void OutputCaptureMarker(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkCaptureMarkerMessage>(message);
    if (body.text != nullptr)
        CZkOutputDeviceMgr::AddOutputCaptureMarker(body.text);
    ReleaseMessageHoldings(message);
}

void SetOutputDeviceEffect(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkOutputDeviceEffectMessage>(message);
    if (CZkOutputDevice* device = CZkOutputDeviceMgr::GetDevice(body.outputID))
    {
        device->SetEffectShareSet(body.effectIndex, body.effectShareSetID);
        device->SetEffect(body.effectIndex);
    }
}

void SetPanningRule(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkPanningRuleMessage>(message);
    CZkOutputDeviceMgr::SetPanningRule(body.outputID, body.panningRule);
}

void SetSpeakerAngles(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSpeakerAnglesMessage>(message);
    if (body.angles != nullptr)
    {
        if (CZkOutputDevice* device = CZkOutputDeviceMgr::GetDevice(body.outputID))
            device->SetSpeakerAngles(body.angles, body.count, body.heightAngle);
    }
    ReleaseMessageHoldings(message);
}

void Suspend(EventManager&, const uint8_t* message, bool& deviceChanged)
{
    const auto body = ReadMessageBody<ZkSuspendMessage>(message);
    deviceChanged = CZkOutputDeviceMgr::SetSuspended(body.suspend != 0, body.renderWhileSuspended != 0,
                                                     body.delayMs) == ZK_Success;
}
} // namespace MessageHandlers
} // namespace ZK::SoundEngine
