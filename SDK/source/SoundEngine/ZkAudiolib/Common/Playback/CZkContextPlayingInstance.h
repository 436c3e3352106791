// CZkContextPlayingInstance: the playing instance of a sound whose play goes on along a play chain
// (an item of a continuous playlist, or a sound below one). Besides playing its sound it finds the
// chain's next item (ResolveNext, once) and queues that item's play: ahead of its own end for the
// overlapping transitions (kinds 1 and 2, fading the next item in over the overlap), or when it
// goes (no transition, kind 4, and the delay of kind 3). An instance that is stopped, killed or
// told to break lets nothing follow.
//
// Path: the copy of the play's path is trimmed to the deepest continuous level, where the next
// item's index is written; a level from 32 down is not recorded and nothing is written for it.
//
// Threading: engine thread, under the global engine lock. Ownership: as CZkPlayingInstance (pool
// 0); it holds a reference on its play chain (until the next item's play takes it, or it ends) and
// on the play's external sources.
#pragma once

#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"

namespace ZK::SoundEngine
{
class CZkContextPlayingInstance : public CZkPlayingInstance
{
public:
    CZkContextPlayingInstance(const PlayLaunchParams& params, CZkHierarchyNode* node, const ZkMediaRef* media,
                              const ZkPriorityRecord& priority);
    ~CZkContextPlayingInstance() override;

    // Looks for the chain's next item, once. True when there is one.
    bool ResolveNext();
    // Stops continuing: the next item is dropped and the chain given back.
    void DropNext();

    // A container (a switch container letting its children finish) lets the item end without
    // going on inside it: unless the resolved next item lies outside the container, the next item
    // is dropped and the chain's items of the container and below are popped; then the item stops
    // looping.
    void LeaveContainer(const CZkHierarchyNode* container);

    void Kill(uint32_t reason) override;
    // A break (code 5) lets the current item end and nothing follow.
    ZKRESULT ExecuteAction(const ZkActionParams& params) override;
    // Refused while an ancestor playlist overlaps or times its items (kinds 1, 2, 5; kind 4
    // unless this is the play's first item).
    void SeekToTime(float ms, bool option) override;
    void SeekToPercent(float fraction, bool option) override;

    ZkUniqueID NextNodeID() const { return m_nextNodeID; }
    uint8_t NextTransitionKind() const { return m_nextKind; }
    float NextTransitionTime() const { return m_nextTimeMs; }
    const ZkPlayPath& Path() const { return m_path; }
    const CZkPlayChain* Chain() const { return m_chain; }

protected:
    // Kinds 1 and 2: the next item is queued to start before this one ends.
    void OnEndNotice(float remainingMs) override;
    void OnTeardown() override;
    // Whether the chain goes on after this item: its next item was found or already launched.
    bool ChainGoesOn() const { return m_nextLaunched || (m_nextResolved && m_nextNodeID != 0); }
    // Subclasses add what the chain's next item carries besides the chain (its references stay
    // the instance's).
    virtual void CompleteNextLaunch(PlayLaunchParams&) const {}

private:
    bool SeekAllowed();
    // Queues the resolved next item, due delaySamples from now, fading in over fadeInMs; the chain
    // goes with it.
    void LaunchNext(uint32_t delaySamples, float fadeInMs);

    CZkPlayChain* m_chain = nullptr;
    ZkExternalSourceArray* m_externalSources = nullptr;
    ZkPlayPath m_path;
    ZkMidiEvent m_playMidi;
    uint32_t m_midiValue = 0;
    // Where in its first frame the instance started (samples): the next item's delay counts from
    // there.
    uint32_t m_startOffset = 0;
    ZkUniqueID m_nextNodeID = 0;
    float m_nextTimeMs = 0.0f;
    uint8_t m_nextKind = 0;
    bool m_firstItem = false;
    bool m_nextResolved = false;
    bool m_nextLaunched = false;
};
} // namespace ZK::SoundEngine
