// ZkVoiceLists: the engine-wide voice command queue and the list of started instances whose start
// delay counts down. Playing instances never touch their voices: they queue commands (play, play
// paused, pause, resume, stop the instance's source, re-evaluate after a seek) here, and the engine
// tick applies them once per frame through the render side (IZkRenderSide). Commands queued
// between two play launches share a launch number; a launch group starts together: the group waits
// until every start command in it has a ready voice.
//
// Calling order: Init (the renderer's start), then per frame ProcessActive from the engine tick
// (ProcessActiveNodes when the graph update asks for the voices of pending starts) and
// UpdatePlaying from the render pass; RemoveInstance when an instance goes; Term at the renderer's
// end.
//
// Threading: engine thread only (tick and render pass), under the global engine lock; no lock of
// its own. Ownership: the queue owns its nodes: one block of 512 from memory pool 5, beyond it one
// node at a time (pool 5), freed when used; started-list entries come from pool 5 too.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkPlayingInstance;

enum ZkVoiceCommandCode : uint32_t
{
    ZkVoiceCommand_Play = 0,
    ZkVoiceCommand_PlayPaused = 1,
    ZkVoiceCommand_Pause = 2,
    ZkVoiceCommand_Resume = 3,
    ZkVoiceCommand_StopSource = 4,
    ZkVoiceCommand_ReevaluateSource = 5,
};

// One queued command: bits 0-7 of the word the code, bit 8 ready (its voice can take it).
struct ZkVoiceCommand
{
    static constexpr uint32_t kCodeMask = 0xFF;
    static constexpr uint32_t kReady = 0x100;

    ZkVoiceCommand* next = nullptr;
    CZkPlayingInstance* instance = nullptr;
    uint32_t launch = 0;
    uint32_t word = 0;

    uint32_t Code() const { return word & kCodeMask; }
    bool IsStart() const { return Code() < ZkVoiceCommand_Pause; }
    bool IsReady() const { return (word & kReady) != 0; }
    void SetReady() { word |= kReady; }
};

class ZkVoiceLists
{
public:
    static constexpr uint32_t kBlockNodes = 512;

    // Allocates and chains the block, clears the launch counter. 1, or 52 without the block.
    static ZKRESULT Init();
    // Empties the started list, returns every node, frees the single ones and the block.
    static void Term();

    // Queues a command of the instance with the current launch number. 1; 2 when no node can be
    // had (nothing queued).
    static ZKRESULT PostCommand(ZkVoiceCommandCode code, CZkPlayingInstance* instance);
    // Removes every command of the instance and its started-list entry.
    static void RemoveInstance(CZkPlayingInstance* instance);

    // Per frame: with a start pending, gives the instances of start commands their voices; then
    // applies the ready launch groups.
    static void ProcessActive();
    // Gives the instances of start commands their voices whether or not a start is pending.
    static void ProcessActiveNodes();

    // Adds the instance to the started list, whose start delays count down in UpdatePlaying. 1; 52.
    static ZKRESULT AddPlaying(CZkPlayingInstance* instance);
    // Per frame from the render pass: the start delays of live started instances count down by
    // round(frames x their pitch ratio); dead ones leave the list with their commands.
    static void UpdatePlaying(uint32_t frames);
    // Frees every entry of the started list.
    static void FreePlayingList();

    // The launch counter: every play launch by an action or a sequence item raises it, so the
    // commands of the next launch form a group of their own.
    static void IncrementLaunchCounter();
    static uint32_t LaunchCounter();

    // State, for the tests and the render pass.
    static uint32_t QueuedCount();
    static bool StartPending();
    static const ZkVoiceCommand* FirstCommand();
    static uint32_t PlayingCount();
};
} // namespace ZK::SoundEngine
