// A render side of the tests' own, standing in for the renderer's voices: it hands out voices (plain
// tokens the engine never looks into), records every voice request and every command applied to a
// voice, and lets a test decide when a voice is ready, when it has started, and when it ends or
// learns its duration (which it reports back through the instance, as a voice does).
#pragma once

#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/IZkRenderSide.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

#include <deque>
#include <string>
#include <vector>

namespace ZkPlaybackTest
{
using namespace ZK::SoundEngine;

class RecordingRenderSide final : public IZkRenderSide
{
public:
    struct Event
    {
        std::string what; // "request", "start", "pause", "resume", "stop source", "reevaluate"
        CZkPlayingInstance* instance;
        bool operator==(const Event&) const = default;
    };

    struct Voice
    {
        CZkPlayingInstance* instance = nullptr;
        bool ready = true;   // the pending voice is ready (else RemovePendingVoice answers 63)
        bool failed = false; // the pending voice failed (2)
        bool started = false;
        const void* usesObject = nullptr; // an effect or media the voice uses
        const LoadedBank* usesBank = nullptr;
    };

    // --- The render side ---
    ZKRESULT CreateVoice(CZkPlayingInstance& instance) override
    {
        events.push_back({"request", &instance});
        if (voiceAnswer != ZK_Success)
            return voiceAnswer;
        voices.push_back(Voice{&instance, voicesReady, false, false});
        instance.SetVoice(Token(voices.size() - 1));
        instance.MarkPending();
        return ZK_Success;
    }
    CZkVoice* FindVoiceForSource(ZkVoiceCommand& command) override
    {
        CZkVoice* voice = command.instance->Voice();
        if (voice != nullptr && Of(voice).started)
            command.SetReady();
        return voice;
    }
    ZKRESULT RemovePendingVoice(CZkPlayingInstance&, CZkVoice* voice) override
    {
        const Voice& record = Of(voice);
        if (record.failed)
            return ZK_Fail;
        return record.ready ? ZK_Success : ZK_NotReadyYet;
    }
    void Start(CZkVoice* voice) override
    {
        Of(voice).started = true;
        Of(voice).instance->MarkSourceStarted();
        events.push_back({"start", Of(voice).instance});
    }
    void Pause(CZkVoice* voice) override { events.push_back({"pause", Of(voice).instance}); }
    void Resume(CZkVoice* voice) override { events.push_back({"resume", Of(voice).instance}); }
    void ReevaluateSource(CZkVoice* voice) override { events.push_back({"reevaluate", Of(voice).instance}); }
    void StopSourceOfContext(CZkVoice*, CZkPlayingInstance& instance) override
    {
        events.push_back({"stop source", &instance});
    }
    void Refresh(CZkVoice*) override { ++refreshes; }
    void AddEffectSlotBypass(CZkVoice*, uint32_t slot, int16_t delta) override
    {
        bypassDeltas.push_back({slot, delta});
    }
    void SetEffectBypass(CZkVoice*, uint8_t value, uint8_t mask) override
    {
        bypassSets.push_back({value, mask});
    }
    void RebuildEffect(CZkVoice*, uint32_t slot) override { rebuiltSlots.push_back(slot); }
    bool MoveSourceMedia(CZkVoice*, const uint8_t*, uint32_t) override { return movesMedia; }
    bool UsesObject(CZkVoice* voice, const void* object) override { return Of(voice).usesObject == object; }
    bool UsesShareSet(CZkVoice* voice, const LoadedBank* bank) override { return Of(voice).usesBank == bank; }
    ZKRESULT RefreshBusesUsingObject(const void* object) override
    {
        refreshedObjects.push_back(object);
        return ZK_Success;
    }
    ZKRESULT RefreshBusEffectsForShareSet(const LoadedBank* bank) override
    {
        refreshedBanks.push_back(bank);
        return ZK_Success;
    }

    // --- What a voice reports back ---
    // The voice is gone: the instance hears it through its end notification.
    static void EndVoice(CZkPlayingInstance* instance, int32_t value = 0)
    {
        instance->PostEndNotification(value);
    }
    // The source knows its duration.
    static void KnowDuration(CZkPlayingInstance* instance, float ms) { instance->OnSourceDuration(ms); }

    Voice& VoiceOf(const CZkPlayingInstance* instance) { return Of(instance->Voice()); }
    // The events of one kind, in order.
    std::vector<CZkPlayingInstance*> Of(const std::string& what) const
    {
        std::vector<CZkPlayingInstance*> found;
        for (const Event& event : events)
        {
            if (event.what == what)
                found.push_back(event.instance);
        }
        return found;
    }

    ZKRESULT voiceAnswer = ZK_Success;
    bool voicesReady = true;
    bool movesMedia = false;
    std::vector<Event> events;
    std::deque<Voice> voices;
    uint32_t refreshes = 0;
    std::vector<std::pair<uint32_t, int16_t>> bypassDeltas;
    std::vector<std::pair<uint8_t, uint8_t>> bypassSets;
    std::vector<uint32_t> rebuiltSlots;
    std::vector<const void*> refreshedObjects;
    std::vector<const LoadedBank*> refreshedBanks;

private:
    // A voice is the address of its record: stable in a deque that only grows.
    CZkVoice* Token(size_t index) { return reinterpret_cast<CZkVoice*>(&voices[index]); }
    static Voice& Of(CZkVoice* voice) { return *reinterpret_cast<Voice*>(voice); }
};
} // namespace ZkPlaybackTest
