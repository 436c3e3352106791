// Small types of the sound hierarchy: node categories (the answer of every node's category query),
// the command record that actions and playing-id calls send to nodes, and node keys.
//
// Threading and ownership: plain values.
#pragma once

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkHierarchyNode;
struct ZkNodeKey;

enum ZkNodeCategory : uint32_t
{
    ZkNodeCategory_Bus = 0,
    ZkNodeCategory_Group = 1,
    ZkNodeCategory_Playlist = 2,
    ZkNodeCategory_Sound = 3,
    ZkNodeCategory_Switch = 4,
    ZkNodeCategory_Layered = 5,
    ZkNodeCategory_BusType18 = 10,
};

enum ZkActionCode : uint32_t
{
    ZkActionCode_Stop = 0,
    ZkActionCode_Pause = 1,
    ZkActionCode_Resume = 2,
    ZkActionCode_TargetNotification = 3,
    ZkActionCode_Seek = 4,
    ZkActionCode_Break = 5,
};

// The command record of actions, dynamic sequences and the playing-id interface calls.
struct ZkActionParams
{
    ZkActionCode code = ZkActionCode_Stop;
    CZkGameObject* gameObject = nullptr; // null: every game object
    ZkPlayingID playingID = 0;           // 0: every playing id
    ZkTimeMs transitionTime = 0;
    uint32_t curve = ZkCurveInterpolation_Linear;
    uint32_t options = 0;
    CZkHierarchyNode* target = nullptr; // the node a target notification names (code 3)
    // Set when the game object is null: the command is for every game object.
    bool isGlobal = false;
    // A resume clears every pause level at once instead of one.
    bool resumeAllPauses = false;
    // Both set: stop and resume also resume the node's paused state transitions, pause pauses them.
    bool pausesStateTransitions = false;
    bool resumesStateTransitions = false;
    // An all-objects command skips the nodes below these (id and bus flag); null for none.
    const ZkNodeKey* exceptions = nullptr;
    uint32_t exceptionCount = 0;
    // Seek (code 4): a fraction of the duration when seekIsRelative, else seekMilliseconds.
    float seekValue = 0.0f;
    int32_t seekMilliseconds = 0;
    bool seekIsRelative = false;
    bool snapToNearestMarker = false;
    // Set by the buses that pass the action down (an action sent to every top-level bus).
    bool throughBuses = false;
};
} // namespace ZK::SoundEngine
