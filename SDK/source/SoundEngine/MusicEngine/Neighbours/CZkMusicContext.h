// CZkMusicContext (declaration only): a top-level music playback context. The music engine keeps
// the playing ones in its playing list, linked through nextPlaying, and reads each one's play
// record, callback-flag word and state byte. Not built yet: every operation answers 4.
//
// Threading: engine thread, under the global engine lock. Ownership: the music node that plays.
#pragma once

#include "MusicEngine/Neighbours/CZkMusicPlayRecord.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::MusicEngine
{
class CZkMusicContext
{
public:
    // State bits the sync-point search reads: only playing contexts that are not stopping answer.
    static constexpr uint8_t kStatePlaying = 0x01;
    static constexpr uint8_t kStateStopping = 0x10;

    CZkMusicContext* nextPlaying = nullptr;
    CZkMusicPlayRecord* playRecord = nullptr;
    uint32_t callbackFlags = 0; // of the playing id; ZkPostFlag_RecordSegmentInfo asks for positions
    uint8_t state = 0;

    ZKRESULT GetSegmentInfo(ZkSegmentInfo& /*info*/) { return ZK_NotImplemented; }
    // Stops the context with a fade of transitionMs on the curve.
    ZKRESULT Stop(ZkTimeMs /*transitionMs*/, ZkCurveInterpolation /*curve*/) { return ZK_NotImplemented; }
};
} // namespace ZK::MusicEngine
