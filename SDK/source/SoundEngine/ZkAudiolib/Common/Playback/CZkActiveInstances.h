// CZkActiveInstances: the engine-wide module that owns every started playing instance: the list of
// active instances, the queue of deferred commands by which the render side reports voice events
// back to instances (the only path from the render side into an instance), the per-frame pass that
// keeps the limiters' membership current and enforces them, the engine-wide voice limit and the
// decisions for plays that would exceed a limit, the maximum-radius queries, and the stop passes run
// when media or banks go away. It also keeps the environment curves (g_pEnvCurves).
//
// The engine-wide limiter exists for the whole program (maximum 256 voices, older instances first
// among equal priorities, over-limit instances handed to their virtual behaviour); the engine-wide
// calls set its maximum (GlobalLimiter().SetMaxCount). Instances counted as virtual and instances
// exempt from limits do not count towards it.
//
// Life cycle: Init (after the bank manager), the per-frame calls, Term (every instance killed and
// destroyed). A set of module-level state with free functions.
//
// Threading: the deferred-command queue has a recursive lock of its own, held while commands are
// applied: PostCommand may be called from the render side's threads. Everything else runs on the
// engine thread; the radius queries run under the global engine lock.
// Ownership: the module owns the active instances (pool 0), the queue's nodes (a block of 64 in
// pool 0, others one at a time) and the arrays of limiters; limiters and instances only point at
// each other.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"

#include <ZK/SoundEngine/Common/ZkQueryParameters.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkContainerPlayContext;
class CZkGameObject;
class CZkHierarchyNode;
class CZkInstanceLimiter;
class CZkPlayingInstance;
struct LoadedBank;

// The reason a limit decision writes.
constexpr uint32_t kReasonInstanceLimit = 33;

class CZkActiveInstances
{
public:
    static constexpr uint32_t kBlockCommands = 64;
    static constexpr uint16_t kDefaultMaxVoices = 256;

    // The 64 deferred-command nodes (52 without them), the environment curves, then the platform
    // audio start and its result.
    static ZKRESULT Init();
    // Every active instance killed and destroyed (queued commands discarded), the queue and the
    // arrays freed, the environment curves freed.
    static void Term();

    // A started instance joins the tail of the list.
    static void Add(CZkPlayingInstance* instance);

    // --- Deferred commands (any thread) ---
    // Queues a command for the instance (3: end notice with a time; 4: its voice ended, with a
    // value). When no node can be had the queue is applied first; when still none, the command is
    // dropped.
    static void PostCommand(CZkPlayingInstance* instance, uint32_t type, int32_t value, float floatValue);
    // Applies every queued command in order; command 4 removes and destroys its instance.
    static void FlushCommands();

    // --- Per frame (render pass) ---
    // Registers the instances whose limiters must be rebuilt, clears the starts-virtual marks, and
    // has every active limiter enforce its maximum.
    static void FrameUpdate();
    // A node's parent or output bus changed: the instances without limiters collect theirs at the
    // next frame, unless the latest output-bus assignment of any node was no bus (blocked).
    static void RequestLimiterRebuild();
    static void SetLimiterRebuildBlocked(bool blocked);

    // --- Limits ---
    // The engine-wide voice limit for a new play of priority: 1 may play (room made by stopping a
    // lower instance when one can stop), 80 must start virtual. reason becomes 33.
    static ZKRESULT CheckInstanceLimit(float priority, uint32_t& reason);
    // A node's limiter is full: 1 room made (or a window of non-stoppable instances lets it in), 80
    // start virtual (useBehaviour), 2 refused. stoppedNode names the node of a stopped instance.
    static ZKRESULT CheckNodeLimit(CZkInstanceLimiter* limiter, uint16_t maxCount, float priority,
                                   CZkGameObject* object, bool equalPriorityRefused, bool useBehaviour,
                                   CZkHierarchyNode*& stoppedNode, uint8_t stopReason);
    // Limiters that hold an instance join (sorted by key) and leave the per-frame array. 1; 52.
    static ZKRESULT RegisterLimiter(CZkInstanceLimiter* limiter);
    static ZKRESULT UnregisterLimiter(CZkInstanceLimiter* limiter);
    static CZkInstanceLimiter& GlobalLimiter();
    // An instance entered (+1) or left (-1) the virtual count.
    static void AddExcluded(int32_t delta);

    // --- Queries (global engine lock) ---
    // The largest maximum radius of the object's active instances; -1 for an unknown object or one
    // without instance.
    static float GetMaxRadius(ZkGameObjectID id);
    // One entry per object with active instances: count 0 counts them; otherwise at most count are
    // written and count becomes the number written. 1; 52.
    static ZKRESULT GetMaxRadiusAll(ZkRadiusInfo* radii, uint32_t& count);

    // --- Stop passes ---
    // Every instance using the media memory stops at once (stop point 0), then the buses that use
    // it are refreshed: their result.
    static ZKRESULT StopUsingMedia(const void* media);
    // Every instance whose media the bank holds (and cannot come from another loaded copy) stops at
    // once, with its node's pending actions; then the buses' effects of the bank are refreshed: its
    // result.
    static ZKRESULT StopForBankMessage(LoadedBank* bank);
    // An action for every game object: every container play context, then every active instance
    // executes it (each acts when the record's game object and playing id match it). 1.
    static ZKRESULT BroadcastAction(const ZkActionParams& params);

    // --- Container play contexts (CZkActiveInstancesContexts.cpp) ---
    // Linked at the tail unless present; unlinked (absent: nothing).
    static void AddPlayContext(CZkContainerPlayContext* context);
    static void RemovePlayContext(CZkContainerPlayContext* context);
    static uint32_t PlayContextCount();
    static void BroadcastToPlayContexts(const ZkActionParams& params);

    // --- State ---
    static CZkPlayingInstance* First();
    static uint32_t ActiveCount();
    static uint32_t ExcludedCount();
    static uint32_t QueuedCommands();
    static uint32_t LimiterCount();
    static CZkInstanceLimiter* LimiterAt(uint32_t index);
};
} // namespace ZK::SoundEngine
