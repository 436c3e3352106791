// The global plug-in context's services that act on the engine: game parameters (by message and at
// once), plug-in custom data, events posted at once, and the panning code's ambisonic, spherical and
// direct-routing helpers.
#include "ZkAudiolib/Common/Plugins/CZkGlobalPluginContext.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EventLookup.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/MidiEventActions.h"
#include "ZkAudiolib/Common/FrontEnd/MidiPosting.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr float kFourPi = 12.566371f;
constexpr float kMinimumSquaredLength = 0.9f;
constexpr float kMaximumSquaredLength = 1.1f;
constexpr uint32_t kMaxAmbisonicOrder = 5;

CZkRegisteredObj* RegisteredObject(ZkGameObjectID id)
{
    return g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
}

// The order (1 to 5) of an ambisonic configuration with all its channels, (order + 1)^2; 0 for any
// other configuration.
uint32_t FullAmbisonicOrder(ZkChannelConfig config)
{
    if (config.Type() != ZkChannelConfigType_Ambisonic)
        return 0;
    const uint32_t channels = config.NumChannels();
    for (uint32_t order = 1; order <= kMaxAmbisonicOrder; ++order)
    {
        if (channels == (order + 1) * (order + 1))
            return order;
    }
    return 0;
}

uint32_t DegreeOf(uint32_t acn)
{
    uint32_t degree = 0;
    while ((degree + 1) * (degree + 1) <= acn)
        ++degree;
    return degree;
}
} // namespace

const void* CZkGlobalPluginContext::GetGlobalPanningRecord() const
{
    return nullptr; // the mix pipeline's engine-wide panning record does not exist yet
}

ZKRESULT CZkGlobalPluginContext::SetRTPCValue(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject,
                                              ZkTimeMs transitionMs, ZkCurveInterpolation curve,
                                              bool bypassInternalInterpolation)
{
    return SoundEngine::SetRTPCValue(parameterID, value, gameObject, transitionMs, curve, bypassInternalInterpolation);
}

ZKRESULT CZkGlobalPluginContext::SendPluginCustomGameData(ZkUniqueID busID, ZkGameObjectID gameObject,
                                                          ZK::ZkPluginType type, uint32_t companyID, uint32_t pluginID,
                                                          const void* data, uint32_t size)
{
    return SoundEngine::SendPluginCustomGameData(busID, gameObject, type, companyID, pluginID, data, size);
}

ZKRESULT CZkGlobalPluginContext::SetRTPCValueSync(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject,
                                                  ZkTimeMs transitionMs, ZkCurveInterpolation curve,
                                                  bool bypassInternalInterpolation)
{
    if (g_pRTPCMgr == nullptr)
        return ZK_Fail;
    ZkRTPCKey key = ZkRTPCKey::Global();
    if (gameObject != ZK_ALL_GAME_OBJECTS)
    {
        // A value for an object that is not registered goes nowhere, as its message would: it must
        // not become the global value.
        key.gameObject = RegisteredObject(gameObject);
        if (key.gameObject == nullptr)
            return ZK_Fail;
    }
    TransParamsBase transition{transitionMs, curve, bypassInternalInterpolation};
    return g_pRTPCMgr->SetRTPCInternal(parameterID, value, key, transition, ZkValueMeaning_Absolute, false);
}

ZkPlayingID CZkGlobalPluginContext::PostEventSync(ZkUniqueID eventID, ZkGameObjectID gameObject, uint32_t flags,
                                                  ZkCallbackFunc callback, void* cookie, uint32_t externalSourceCount,
                                                  ZkExternalSourceInfo* externalSources)
{
    CZkIndexedObject* event = FindEventAndAddRef(eventID);
    if (event == nullptr)
        return ZK_INVALID_PLAYING_ID;
    ZkExternalSourceArray* sources = nullptr;
    if (externalSourceCount != 0)
        sources = ZkExternalSourceArray::Create(externalSources, externalSourceCount);
    const ZkPostEventMessage post = NewEventPost(event, eventID, gameObject, 0, sources);
    const bool copied = externalSourceCount == 0 || sources != nullptr;
    // The registration holds one pending reference on the playing id until its actions are
    // scheduled.
    const bool registered = copied && g_pPlayingMgr != nullptr &&
                            g_pPlayingMgr->AddPlayingID(post, callback, cookie, flags, eventID) == ZK_Success;
    if (registered)
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        ZkPlayRecord play;
        play.externalSources = sources;
        if (g_pEventMgr != nullptr)
            g_pEventMgr->EnqueueEventActions(event, RegisteredObject(gameObject), gameObject, post.playingID, 0,
                                             play, 0, false);
        g_pPlayingMgr->RemovePlayingIDRef(post.playingID);
    }
    event->Release();
    if (sources != nullptr)
        sources->Release();
    return registered ? post.playingID : ZK_INVALID_PLAYING_ID;
}

ZkPlayingID CZkGlobalPluginContext::PostMIDIOnEventSync(ZkUniqueID eventID, ZkGameObjectID gameObject,
                                                        ZkMIDIPost* posts, uint16_t count, bool absoluteOffsets,
                                                        uint32_t flags, ZkCallbackFunc callback, void* cookie,
                                                        ZkPlayingID playingID)
{
    // No posts is a failure like any other: no playing id (not a result code that could pass for
    // one).
    if (count == 0 || posts == nullptr)
        return ZK_INVALID_PLAYING_ID;
    CZkIndexedObject* event = FindEventAndAddRef(eventID);
    if (event == nullptr)
        return ZK_INVALID_PLAYING_ID;
    const uint64_t size = PostMIDIMessageBytes(count);
    CZkMessageRing* ring = MessagePosting::EngineRing();
    if (ring == nullptr || size > MessagePosting::LargestMessage(*ring))
    {
        event->Release();
        return ZK_INVALID_PLAYING_ID;
    }
    const ZkPlayingID posted = TakeMidiPlayingID(eventID, gameObject, flags, callback, cookie, playingID);
    bool qualified = false;
    if (posted != ZK_INVALID_PLAYING_ID)
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        qualified = MidiEventActions::Qualifies(gameObject);
        if (qualified)
            MidiEventActions::Post(event, gameObject, posted, posts, count, absoluteOffsets);
        if (g_pPlayingMgr != nullptr)
            g_pPlayingMgr->RemovePlayingIDRef(posted);
    }
    event->Release();
    return qualified ? posted : ZK_INVALID_PLAYING_ID;
}

ZKRESULT CZkGlobalPluginContext::StopMIDIOnEventSync(ZkUniqueID eventID, ZkGameObjectID gameObject,
                                                     ZkPlayingID playingID)
{
    CZkIndexedObject* event = nullptr;
    if (eventID != ZK_INVALID_UNIQUE_ID)
    {
        event = FindEventAndAddRef(eventID);
        if (event == nullptr)
            return ZK_Fail;
    }
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        if (MidiEventActions::Qualifies(gameObject))
            MidiEventActions::Stop(event, gameObject, playingID);
    }
    if (event != nullptr)
        event->Release();
    return ZK_Success;
}

ZKRESULT CZkGlobalPluginContext::ComputeAmbisonicsEncoding(float azimuth, float elevation, ZkChannelConfig config,
                                                           float* coefficients) const
{
    if (config.Type() != ZkChannelConfigType_Ambisonic ||
        CZkSpeakerPan::OrderIndexOfChannelCount(config.NumChannels()) == CZkSpeakerPan::kInvalidOrderIndex)
        return ZK_Fail;
    CZkSpeakerPan::EncodeDirection(azimuth, elevation, config, coefficients);
    return ZK_Success;
}

ZKRESULT CZkGlobalPluginContext::ComputeWeightedAmbisonicsDecodingFromSampledSphere(const ZkVector* directions,
                                                                                    uint32_t count,
                                                                                    ZkChannelConfig config,
                                                                                    float* matrix) const
{
    const uint32_t order = FullAmbisonicOrder(config);
    if (order == 0)
        return ZK_Fail;
    for (uint32_t index = 0; index < count; ++index)
    {
        const ZkVector& d = directions[index];
        const float squared = d.x * d.x + d.y * d.y + d.z * d.z;
        if (!(squared > kMinimumSquaredLength && squared < kMaximumSquaredLength))
            return ZK_Fail;
    }
    const uint32_t stride = (count + 3) & ~3u;
    const float* weights = CZkSpeakerPan::GetOrderWeights(order - 1);
    const float scale = count != 0 ? kFourPi / static_cast<float>(count) : 0.0f;
    const uint32_t channels = config.NumChannels();
    for (uint32_t index = 0; index < count; ++index)
    {
        // Engine axes (x right, y up, z front) to ambisonic ones (X front, Y left, Z up).
        const ZkVector& d = directions[index];
        CZkSpeakerPan::ComputeSphericalHarmonics(d.z, -d.x, d.y, order, stride, matrix + index);
        for (uint32_t channel = 0; channel < channels; ++channel)
            matrix[channel * stride + index] *= scale * weights[DegreeOf(channel)];
    }
    return ZK_Success;
}

ZKRESULT CZkGlobalPluginContext::ComputeSphericalCoordinates(ZkGameObjectID gameObject, const ZkVector& position,
                                                             float& azimuth, float& elevation) const
{
    azimuth = 0.0f;
    elevation = 0.0f;
    CZkRegisteredObj* object = RegisteredObject(gameObject);
    const CZkListener* listener = object != nullptr ? object->Listener() : nullptr;
    if (listener == nullptr)
        return ZK_Fail;
    const ZkVector& origin = listener->Transform().position;
    const ZkVector relative{position.x - origin.x, position.y - origin.y, position.z - origin.z};
    const float length = std::sqrt(relative.x * relative.x + relative.y * relative.y + relative.z * relative.z);
    CZkPositioningMath::ComputeAzimuthElevation(relative, listener->Side(), listener->Top(), listener->Front(), length,
                                                azimuth, elevation);
    return ZK_Success;
}

ZKRESULT CZkGlobalPluginContext::ComputeSpeakerVolumesDirect(ZkChannelConfig input, ZkChannelConfig output,
                                                             float centrePercentage, float* matrix) const
{
    CZkSpeakerPan::ComputeSpeakerVolumesDirect(input, output, centrePercentage, matrix);
    return ZK_Success;
}
} // namespace ZK::SoundEngine
