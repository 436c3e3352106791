// The render side before the renderer's voices exist: no instance gets a voice (4), so the voice
// command queue drops its start commands and an instance plays nothing; no voice uses anything;
// the bus refreshes of the stop passes answer 4. The renderer's voice part replaces this file with
// its own render side.
#include "ZkAudiolib/Common/Playback/IZkRenderSide.h"

namespace ZK::SoundEngine
{
namespace
{
class RenderSideNotBuilt final : public IZkRenderSide
{
public:
    ZKRESULT CreateVoice(CZkPlayingInstance&) override { return ZK_NotImplemented; }
    CZkVoice* FindVoiceForSource(ZkVoiceCommand&) override { return nullptr; }
    ZKRESULT RemovePendingVoice(CZkPlayingInstance&, CZkVoice*) override { return ZK_NotImplemented; }
    void Start(CZkVoice*) override {}
    void Pause(CZkVoice*) override {}
    void Resume(CZkVoice*) override {}
    void ReevaluateSource(CZkVoice*) override {}
    void StopSourceOfContext(CZkVoice*, CZkPlayingInstance&) override {}
    void Refresh(CZkVoice*) override {}
    void AddEffectSlotBypass(CZkVoice*, uint32_t, int16_t) override {}
    void SetEffectBypass(CZkVoice*, uint8_t, uint8_t) override {}
    bool MoveSourceMedia(CZkVoice*, const uint8_t*, uint32_t) override { return false; }
    bool UsesObject(CZkVoice*, const void*) override { return false; }
    bool UsesShareSet(CZkVoice*, const LoadedBank*) override { return false; }
    ZKRESULT RefreshBusesUsingObject(const void*) override { return ZK_NotImplemented; }
    ZKRESULT RefreshBusEffectsForShareSet(const LoadedBank*) override { return ZK_NotImplemented; }
};

RenderSideNotBuilt g_notBuilt;
} // namespace

IZkRenderSide* g_pRenderSide = &g_notBuilt;
} // namespace ZK::SoundEngine
