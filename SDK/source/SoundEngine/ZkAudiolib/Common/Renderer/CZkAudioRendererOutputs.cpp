// CZkAudioRenderer: the game-parameter outputs of the bus windows, recorded during the frame
// parameter update and set on their game parameters at its end.
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererBusList.h"

#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

#include <cfloat>

namespace ZK::SoundEngine
{
namespace
{
bool Before(const ZkGameParameterOutput& record, ZkUniqueID parameter, ZkGameObjectID object)
{
    return record.parameter != parameter ? record.parameter < parameter : record.object < object;
}

void SetValue(ZkUniqueID parameter, float value, CZkRegisteredObj* object)
{
    TransParamsBase immediate{};
    g_pRTPCMgr->SetRTPCInternal(parameter, value, object, 0, immediate, ZkValueMeaning_Absolute);
}
} // namespace

void CZkAudioRenderer::RecordGameParameterOutput(ZkUniqueID parameter, ZkGameObjectID object, float value)
{
    auto& outputs = RendererBuses().outputs;
    uint32_t at = 0;
    while (at < outputs.Length() && Before(outputs[at], parameter, object))
        ++at;
    if (at < outputs.Length() && outputs[at].parameter == parameter && outputs[at].object == object)
    {
        if (value > outputs[at].value)
            outputs[at].value = value;
        return;
    }
    // A new record starts below every value, so it takes the first one; one that does not fit
    // is left out this frame.
    outputs.Insert(at, ZkGameParameterOutput{parameter, object, value});
}

uint32_t CZkAudioRenderer::GameParameterOutputCount() { return RendererBuses().outputs.Length(); }

void CZkAudioRenderer::FlushGameParameterOutputs()
{
    auto& outputs = RendererBuses().outputs;
    if (g_pRTPCMgr != nullptr)
    {
        float largest = -FLT_MAX;
        for (uint32_t i = 0; i < outputs.Length(); ++i)
        {
            const ZkGameParameterOutput& record = outputs[i];
            CZkRegisteredObj* object = record.object != ZK_ALL_GAME_OBJECTS && g_pRegistryMgr != nullptr
                                           ? g_pRegistryMgr->GetObj(record.object)
                                           : nullptr;
            if (record.object == ZK_ALL_GAME_OBJECTS || object != nullptr)
                SetValue(record.parameter, record.value, object);
            largest = record.value > largest ? record.value : largest;
            // The end of a run of one parameter: its largest value, globally.
            if (i + 1 == outputs.Length() || outputs[i + 1].parameter != record.parameter)
            {
                SetValue(record.parameter, largest, nullptr);
                largest = -FLT_MAX;
            }
        }
    }
    outputs.RemoveAll();
}
} // namespace ZK::SoundEngine
