// The engine's render side (IZkRenderSide): what playback asks of the renderer's voices and buses,
// carried out on the voice list, the voices and the mix graph.
#include "ZkAudiolib/Common/Playback/IZkRenderSide.h"

#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

namespace ZK::SoundEngine
{
namespace
{
class RendererRenderSide final : public IZkRenderSide
{
public:
    ZKRESULT CreateVoice(CZkPlayingInstance& instance) override
    {
        uint32_t flags = 0;
        return CZkAudioRenderer::CreateVoice(instance, flags);
    }
    CZkVoice* FindVoiceForSource(ZkVoiceCommand& command) override
    {
        return CZkAudioRenderer::FindVoiceForSource(command);
    }
    ZKRESULT RemovePendingVoice(CZkPlayingInstance& instance, CZkVoice* voice) override
    {
        return CZkAudioRenderer::RemovePendingVoice(instance, voice);
    }

    void Start(CZkVoice* voice) override { voice->Start(); }
    void Pause(CZkVoice* voice) override { voice->Pause(); }
    void Resume(CZkVoice* voice) override { voice->Resume(); }
    void ReevaluateSource(CZkVoice* voice) override { voice->ReevaluateSource(); }
    void StopSourceOfContext(CZkVoice* voice, CZkPlayingInstance& instance) override
    {
        voice->StopSourceOfContext(&instance);
    }

    // The voice reads its instance's volume, filters, pitch and sends every frame; the effects'
    // bypass values are what it keeps, so they are read again now.
    void Refresh(CZkVoice* voice) override { voice->RefreshEffectBypass(); }
    void AddEffectSlotBypass(CZkVoice* voice, uint32_t slot, int16_t delta) override
    {
        voice->AddEffectSlotBypass(slot, delta);
    }
    void SetEffectBypass(CZkVoice* voice, uint8_t value, uint8_t mask) override { voice->SetEffectBypass(value, mask); }
    // A voice whose chain is not built yet builds the slot with it.
    void RebuildEffect(CZkVoice* voice, uint32_t slot) override { voice->RebuildEffectsFrom(slot); }
    bool MoveSourceMedia(CZkVoice* voice, const uint8_t* data, uint32_t) override
    {
        CZkVoiceSource* source = voice->MainSource();
        CZkPlayingInstance* instance = source != nullptr ? source->Instance() : nullptr;
        if (instance == nullptr || !source->FollowsMovedMedia())
            return false;
        const uint8_t* old = instance->MediaData();
        if (source->RelocateMedia(data, old) != ZK_Success)
            return false;
        voice->RelocateSourceData(data, old);
        return true;
    }

    bool UsesObject(CZkVoice* voice, const void* object) override { return voice->UsesObject(object); }
    bool UsesShareSet(CZkVoice* voice, const LoadedBank* bank) override { return voice->UsesShareSet(bank); }
    // Buses hold effect objects only: their addresses are compared, never read through.
    ZKRESULT RefreshBusesUsingObject(const void* object) override
    {
        return CZkAudioRenderer::RefreshBusesUsingObject(static_cast<const CZkIndexedObject*>(object));
    }
    // A bus's effects hold their effect objects through the object index, not through the bank
    // that defined them: no bus uses a bank.
    ZKRESULT RefreshBusEffectsForShareSet(const LoadedBank*) override { return ZK_Success; }
};

RendererRenderSide g_rendererRenderSide;
} // namespace

IZkRenderSide* g_pRenderSide = &g_rendererRenderSide;
} // namespace ZK::SoundEngine
