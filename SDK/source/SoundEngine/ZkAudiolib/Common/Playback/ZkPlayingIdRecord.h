// ZkPlayingIdRecord: what the playing manager knows of one live playing id: the post it came from
// (event, game object, external sources), the callback that wants to hear about it, what keeps it
// alive (pending actions counted in pendingRefs, playing instances listed in instances) and the
// game parameters and modulators that hold values scoped to it.
//
// The flags word: bits 0-19 are the callback types (ZkCallbackType), bits 20-31 the post's engine
// flags (ZkPostFlag_...); cancelling callbacks clears only the first.
//
// Threading: every field is read and written under the playing manager's lock.
// Ownership: the playing manager's (memory pool 0). The record holds one reference on its game
// object (taken with the first instance) and on its external sources.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameObjects/CZkParamScope.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkPlayingInstance;
class CZkRegisteredObj;
class ZkExternalSourceArray;

using ZkPlayingInstanceList = ZK::ZkArray<CZkPlayingInstance*>;

struct ZkPlayingIdRecord
{
    static constexpr uint32_t kCallbackTypeMask = 0x000FFFFFu;
    // What a post without callback keeps: the marker and music-cue types (their sources still
    // process them) and the engine flags.
    static constexpr uint32_t kKeptWithoutCallback = 0xFFF02004u;

    CZkParamScope paramScope;
    ZkPlayingInstanceList instances;
    uint32_t pendingRefs = 1;
    ZkUniqueID eventID = 0;
    ZkGameObjectID gameObjectID = 0;
    CZkRegisteredObj* gameObject = nullptr;
    ZkExternalSourceArray* externalSources = nullptr;
    ZkPlayingID playingID = 0;
    ZkCallbackFunc callback = nullptr;
    void* cookie = nullptr;
    uint32_t flags = 0;
    ZkPlayingIdRecord* next = nullptr;

    bool Wants(uint32_t callbackTypes) const { return callback != nullptr && (flags & callbackTypes) != 0; }
    // Nothing refers to the playing id any more: it ends.
    bool IsDone() const { return pendingRefs == 0 && instances.IsEmpty(); }
};
} // namespace ZK::SoundEngine
