// A test double of the game's sound calls (Engine/GameSound.h): it records every call with its
// arguments, in order, and plays like an engine that holds every posted event until the test ends
// it (End, EndAll) or the game stops it (StopPlayingID, StopAll, which end at once). Playing ids
// count from 1; the playing-ids query answers in post order, counting only when asked for 0.
// Constructed, it is installed as the game's sound; destroyed, it hands back the engine's.
//
// The event-id question (Audio::PlayEvent asks it fifty times per cue) is answered from the
// playing table and only counted, so a long round keeps a log of a sensible size.
#pragma once

#include "Engine/GameSound.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace kp::test
{
struct SoundCall
{
    enum class Kind
    {
        RegisterGameObj,
        UnregisterGameObj,
        PostEvent,
        StopPlayingID,
        StopAll,
        SetRTPCValue,
        GetPlayingIDs,
    };
    explicit SoundCall(Kind callKind) : kind(callKind) {}

    Kind kind;
    ZkGameObjectID gameObject = 0;
    ZkUniqueID id = 0;          // event or game parameter
    ZkPlayingID playingId = 0;  // posted (PostEvent) or stopped (StopPlayingID)
    float value = 0.0f;         // SetRTPCValue
    ZkTimeMs transitionMs = 0;  // StopPlayingID, SetRTPCValue
    ZkCurveInterpolation curve = ZkCurveInterpolation_Linear;
    bool bypass = false;        // SetRTPCValue
    uint32_t capacity = 0;      // GetPlayingIDs: the count given
    uint32_t written = 0;       // GetPlayingIDs: the count returned
    std::string name;           // RegisterGameObj
};

class RecordingGameSound final : public GameSound
{
public:
    struct Playing
    {
        ZkPlayingID id;
        ZkUniqueID event;
        ZkGameObjectID gameObject;
    };

    RecordingGameSound() { InstallGameSound(this); }
    ~RecordingGameSound() override { InstallGameSound(nullptr); }
    RecordingGameSound(const RecordingGameSound&) = delete;
    RecordingGameSound& operator=(const RecordingGameSound&) = delete;

    // No engine to start or stop: the test plays the engine's part (the default listener and
    // emitter ids are the fixture's). The frames' closes are only counted.
    void StartUp() override {}
    ZKRESULT RenderAudio() override
    {
        ++renderAudioCalls;
        return ZK_Success;
    }
    void ShutDown() override {}

    ZKRESULT RegisterGameObj(ZkGameObjectID gameObject, const char* name) override
    {
        SoundCall call(SoundCall::Kind::RegisterGameObj);
        call.gameObject = gameObject;
        call.name = name != nullptr ? name : "";
        calls.push_back(call);
        return ZK_Success;
    }
    ZKRESULT UnregisterGameObj(ZkGameObjectID gameObject) override
    {
        SoundCall call(SoundCall::Kind::UnregisterGameObj);
        call.gameObject = gameObject;
        calls.push_back(call);
        return ZK_Success;
    }
    ZkPlayingID PostEvent(ZkUniqueID eventId, ZkGameObjectID gameObject) override
    {
        const ZkPlayingID id = m_nextPlayingId++;
        playing.push_back(Playing{id, eventId, gameObject});
        SoundCall call(SoundCall::Kind::PostEvent);
        call.id = eventId;
        call.gameObject = gameObject;
        call.playingId = id;
        calls.push_back(call);
        return id;
    }
    void StopPlayingID(ZkPlayingID playingId, ZkTimeMs transitionMs, ZkCurveInterpolation curve) override
    {
        SoundCall call(SoundCall::Kind::StopPlayingID);
        call.playingId = playingId;
        call.transitionMs = transitionMs;
        call.curve = curve;
        calls.push_back(call);
        End(playingId);
    }
    void StopAll(ZkGameObjectID gameObject) override
    {
        SoundCall call(SoundCall::Kind::StopAll);
        call.gameObject = gameObject;
        calls.push_back(call);
        std::erase_if(playing, [gameObject](const Playing& each)
                      { return gameObject == ZK_ALL_GAME_OBJECTS || each.gameObject == gameObject; });
    }
    ZKRESULT SetRTPCValue(ZkUniqueID parameterId, float value, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                          ZkCurveInterpolation curve, bool bypassInterpolation) override
    {
        SoundCall call(SoundCall::Kind::SetRTPCValue);
        call.id = parameterId;
        call.value = value;
        call.gameObject = gameObject;
        call.transitionMs = transitionMs;
        call.curve = curve;
        call.bypass = bypassInterpolation;
        calls.push_back(call);
        return ZK_Success;
    }
    ZKRESULT GetPlayingIDsFromGameObject(ZkGameObjectID gameObject, uint32_t& count, ZkPlayingID* playingIds) override
    {
        SoundCall call(SoundCall::Kind::GetPlayingIDs);
        call.gameObject = gameObject;
        call.capacity = count;
        uint32_t found = 0;
        for (const Playing& each : playing)
        {
            if (each.gameObject != gameObject)
            {
                continue;
            }
            if (count != 0 && playingIds != nullptr && found < count)
            {
                playingIds[found] = each.id;
            }
            ++found;
        }
        if (count != 0 && playingIds == nullptr)
        {
            calls.push_back(call);
            return ZK_InvalidParameter;
        }
        count = count == 0 ? found : std::min(found, count);
        call.written = count;
        calls.push_back(call);
        return ZK_Success;
    }
    ZkUniqueID GetEventIDFromPlayingID(ZkPlayingID playingId) override
    {
        ++eventQuestions;
        for (const Playing& each : playing)
        {
            if (each.id == playingId)
            {
                return each.event;
            }
        }
        return ZK_INVALID_UNIQUE_ID;
    }

    // The playback ends, as the sound would when it runs out.
    void End(ZkPlayingID playingId)
    {
        std::erase_if(playing, [playingId](const Playing& each) { return each.id == playingId; });
    }
    void EndAll() { playing.clear(); }

    // The calls of one kind, in order.
    std::vector<SoundCall> Calls(SoundCall::Kind kind) const
    {
        std::vector<SoundCall> found;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                     [kind](const SoundCall& call) { return call.kind == kind; });
        return found;
    }
    // The events posted, in order (on any object, or on `gameObject`).
    std::vector<ZkUniqueID> Posted() const { return Posted(kAnyObject); }
    std::vector<ZkUniqueID> Posted(ZkGameObjectID gameObject) const
    {
        std::vector<ZkUniqueID> events;
        for (const SoundCall& call : calls)
        {
            if (call.kind == SoundCall::Kind::PostEvent && (gameObject == kAnyObject || call.gameObject == gameObject))
            {
                events.push_back(call.id);
            }
        }
        return events;
    }
    // How many times `event` was posted.
    size_t PostCount(ZkUniqueID event) const
    {
        const std::vector<ZkUniqueID> events = Posted();
        return static_cast<size_t>(std::count(events.begin(), events.end(), event));
    }
    // The state-changing calls only (the playing-ids refreshes left out).
    std::vector<SoundCall> Requests() const
    {
        std::vector<SoundCall> found;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                     [](const SoundCall& call) { return call.kind != SoundCall::Kind::GetPlayingIDs; });
        return found;
    }
    void ForgetCalls() { calls.clear(); }

    static constexpr ZkGameObjectID kAnyObject = 0;

    std::vector<SoundCall> calls;
    std::vector<Playing> playing; // in post order
    size_t eventQuestions = 0;
    size_t renderAudioCalls = 0;

private:
    ZkPlayingID m_nextPlayingId = 1;
};
} // namespace kp::test
