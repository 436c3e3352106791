// IZkRenderSide: what playback asks of the render side. Playing instances never touch their voices
// themselves: the voice command queue asks for a voice for an instance, waits for it to be ready and
// applies the commands (start, pause, resume, stop the instance's source, re-evaluate after a seek);
// parameter changes reach a voice's effect slots; the stop passes of the active instances ask which
// voices use a media object or a bank and have the buses refreshed that use them.
//
// The render side answers back through the instance (PostEndNotification, OnSourceDuration, the
// source-state marks, EnterVirtual and LeaveVirtual) and reads the instance's state directly.
//
// One render side serves the engine, reached through g_pRenderSide; it is never null: the
// renderer's (Renderer/ZkRendererRenderSide.cpp), which tests may replace with a recording one.
//
// Threading: engine thread, under the global engine lock. Ownership: voices are the render side's;
// an instance only points at its voice between CreateVoice and its end notification.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkPlayingInstance;
class CZkVoice;
struct LoadedBank;
struct ZkVoiceCommand;

class IZkRenderSide
{
public:
    // --- Voices for instances ---
    // Gives the instance's source a voice (the instance learns it through SetVoice): 1 when it has
    // one now; any other value when it cannot (the render side may then post the instance's end
    // notification itself).
    virtual ZKRESULT CreateVoice(CZkPlayingInstance& instance) = 0;
    // The voice that a non-start command acts on: the voice whose source (for code 4, whose second
    // source) belongs to the command's instance, marking the command ready when that voice has
    // started; otherwise the instance's own voice, or null.
    virtual CZkVoice* FindVoiceForSource(ZkVoiceCommand& command) = 0;
    // Takes the voice's source off the pending list: 63 while the voice is not ready, 2 when it
    // failed, any other value when it is ready.
    virtual ZKRESULT RemovePendingVoice(CZkPlayingInstance& instance, CZkVoice* voice) = 0;

    // --- Voice commands ---
    virtual void Start(CZkVoice* voice) = 0;
    virtual void Pause(CZkVoice* voice) = 0;
    virtual void Resume(CZkVoice* voice) = 0;
    virtual void ReevaluateSource(CZkVoice* voice) = 0;
    virtual void StopSourceOfContext(CZkVoice* voice, CZkPlayingInstance& instance) = 0;

    // --- What instances change on their voice ---
    // The node's settings changed: the voice reads the instance again.
    virtual void Refresh(CZkVoice* voice) = 0;
    // Adds delta to the bypass field of effect slot 0-3 when the slot is occupied.
    virtual void AddEffectSlotBypass(CZkVoice* voice, uint32_t slot, int16_t delta) = 0;
    // Sets the bypass bit of each slot the mask selects (bit n = slot n) from value.
    virtual void SetEffectBypass(CZkVoice* voice, uint8_t value, uint8_t mask) = 0;
    // The effect of a slot changed: the voice builds that slot's insert again.
    virtual void RebuildEffect(CZkVoice* voice, uint32_t slot) = 0;
    // Moves the voice's source that reads media from memory to a new copy of the same size. True
    // when the source took the new address.
    virtual bool MoveSourceMedia(CZkVoice* voice, const uint8_t* data, uint32_t size) = 0;

    // --- Stop passes ---
    // Whether one of the voice's effect slots or sources references the object (an effect object or
    // the media of a source), or the bank.
    virtual bool UsesObject(CZkVoice* voice, const void* object) = 0;
    virtual bool UsesShareSet(CZkVoice* voice, const LoadedBank* bank) = 0;
    // Rebuilds the effects of every mix bus that references the object; its result.
    virtual ZKRESULT RefreshBusesUsingObject(const void* object) = 0;
    // Rebuilds or updates the effects of every mix bus whose effect slots use the bank's share
    // sets; its result.
    virtual ZKRESULT RefreshBusEffectsForShareSet(const LoadedBank* bank) = 0;

protected:
    ~IZkRenderSide() = default;
};

// The engine's render side (never null).
extern IZkRenderSide* g_pRenderSide;
} // namespace ZK::SoundEngine
