// ZkSwitchChainEntry: one destination on a switch context's timeline: the context that plays it
// (a segment sequence, a playlist, a nested switch or silence), whose time offset is where it
// starts on the switch's timeline, with its pending start and stop and their fades, and the cut
// that keeps the items it holds after a transition from starting.
//
// Threading: engine thread only. Ownership: its switch context's (pool 0); it holds one reference
// on its context.
#pragma once

#include "MusicEngine/Contexts/CZkMusicContext.h"

#include <cstdint>

namespace ZK::MusicEngine
{
class CZkMusicChainContext;

struct ZkSwitchChainEntry
{
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint8_t kPlayPending = 0x1;
    static constexpr uint8_t kStopPending = 0x2;
    static constexpr uint8_t kFadeOutScheduled = 0x4;

    ZkSwitchChainEntry* next = nullptr;
    CZkMusicChainContext* context = nullptr;
    int64_t cutTime = 0; // on the switch's timeline
    bool cutValid = false;
    uint64_t playTime = 0;
    ZkMusicFadeParams fadeIn{0, 4, 0};
    uint64_t stopTime = 0;
    ZkMusicFadeParams fadeOut{0, 4, 0};
    uint8_t flags = 0;

    bool Has(uint8_t flag) const { return (flags & flag) != 0; }
};
} // namespace ZK::MusicEngine
