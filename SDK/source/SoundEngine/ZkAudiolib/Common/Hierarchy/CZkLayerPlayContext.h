// CZkLayerPlayContext: one continuous play of a layered container, kept while the play lasts: its
// game object (a reference), playing id (a pending reference on it keeps the event alive), MIDI
// channel and note, external sources (a reference), whether actions paused it, and, for each
// child, on how many layers it is silent (the child sounds only at 0), and the modulators of its
// layers, started for the play (RunLayerModulators) so that the play's scope holds them from its
// start. Records come from an engine-wide pool of blocks of 128 (ZkPlayContextBlocks); Take and
// Give do the references (the modulator links are released with the record).
//
// Threading: audio thread, under the global engine lock. Ownership: the container's (its context
// list); the child array is pool 0.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Playback/CZkContainerPlayContext.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

namespace ZK::SoundEngine
{
class CZkLayeredContainerNode;

struct ZkLayerChildState
{
    ZkUniqueID childID;
    uint32_t silentLayers;
};

class CZkLayerPlayContext final : public CZkContainerPlayContext
{
public:
    // A record for the play (references taken on the game object, the playing id and the
    // external sources); null when the pool has none.
    static CZkLayerPlayContext* Take(CZkLayeredContainerNode& owner, const PlayLaunchParams& params);
    // Gives the references back and returns the record to the pool.
    static void Give(CZkLayerPlayContext* context);
    // Blocks and records of the pool (tests).
    static uint32_t PoolBlockCount();

    CZkLayerPlayContext(CZkLayeredContainerNode& owner, const PlayLaunchParams& params);
    ~CZkLayerPlayContext();

    void ExecuteAction(const ZkActionParams& params) override;

    // The play's key: game object, playing id, MIDI channel and note.
    ZkRTPCKey Key() const;
    // Whether an action for the game object (null: any) and playing id (0: any) concerns the play.
    bool Matches(const CZkGameObject* object, ZkPlayingID id) const;
    // The child's entry (binary search), or null.
    ZkLayerChildState* FindChild(ZkUniqueID childID);
    // Sets (or inserts, in id order) the child's count. False out of memory.
    bool SetChild(ZkUniqueID childID, uint32_t silentLayers);
    // Parameters for a play of a child started by the context (the caller frees their arrays).
    void FillPlayParams(PlayLaunchParams& params) const;
    // Starts (or joins) the instances of the modulators of every layer of the owner for the play's
    // key {layer, owner, 4}, linked to modulatorLinks. 1; 2 when one of them could not be attached.
    ZKRESULT RunLayerModulators();

    CZkLayerPlayContext* next = nullptr; // the container's list
    CZkLayeredContainerNode* owner;
    CZkGameObject* gameObject;
    ZkPlayingID playingID;
    ZkExternalSourceArray* externalSources;
    uint8_t midiChannel;
    uint8_t midiNote;
    bool paused = false;
    ZK::ZkArray<ZkLayerChildState> children;
    ZkModulatorLinksHandle modulatorLinks;
};
} // namespace ZK::SoundEngine
