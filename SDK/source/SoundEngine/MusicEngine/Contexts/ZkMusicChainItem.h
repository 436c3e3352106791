// ZkMusicChainItem: one element of a chain context's timeline: where segment time 0 of a segment
// lies on the chain, the segment context that plays it (null for an empty item, such as the end
// of a sequence), and that context's pending start and stop with their fades.
//
// Threading: engine thread only. Ownership: its chain's (pool 0); it holds one reference on its
// segment context.
#pragma once

#include "MusicEngine/Contexts/CZkMusicContext.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::MusicEngine
{
class CZkMusicSegmentContext;
struct ZkMusicSyncAction;

struct ZkMusicChainItem
{
    static constexpr uint16_t kPlayPending = 0x1;
    static constexpr uint16_t kStopPending = 0x2;
    // Faded out at a cut: must not be started again.
    static constexpr uint16_t kCut = 0x4;

    ZkMusicChainItem* next = nullptr;
    uint64_t position = 0;
    ZkMusicSyncAction* syncActions = nullptr; // placed inside this item, newest first
    CZkMusicSegmentContext* segmentContext = nullptr;
    ZkUniqueID segmentID = 0;
    int32_t playOffset = 0;        // relative to the position
    ZkMusicFadeParams playFade{0, ZkCurveInterpolation_Linear, 0};
    uint32_t stopOffset = 0;       // relative to the position
    ZkMusicFadeParams stopFade{0, 4, 0};
    uint16_t flags = 0;

    bool Has(uint16_t flag) const { return (flags & flag) != 0; }
};
} // namespace ZK::MusicEngine
