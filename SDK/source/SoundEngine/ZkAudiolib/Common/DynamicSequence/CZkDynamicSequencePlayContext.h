// CZkDynamicSequencePlayContext: the playing instance of everything a dynamic sequence plays (its
// items, and the next items of continuous containers inside them, which keep the sequence as their
// play target). Besides what CZkContextPlayingInstance does, the instance that ends its item asks
// the sequence for the next one when it goes, once (advance pending). A sample-accurate sequence
// (type 0) chains its items the same way for now: the hand-over of one voice from an item to the
// next, on the sample after it ends, is not built. An item whose play chain goes on hands the duty
// to its next chain item; a killed instance (a stop, the engine's end) advances nothing. Every
// instance that played reports its item's end when it goes.
//
// Threading: engine thread, under the global engine lock. Ownership: as CZkPlayingInstance (pool
// 0); it holds a reference on its sequence and on its item's external sources.
#pragma once

#include "ZkAudiolib/Common/Playback/CZkContextPlayingInstance.h"

namespace ZK::SoundEngine
{
class CZkDynamicSequence;
class ZkExternalSourceArray;

class CZkDynamicSequencePlayContext final : public CZkContextPlayingInstance
{
public:
    CZkDynamicSequencePlayContext(const PlayLaunchParams& params, CZkHierarchyNode* node, const ZkMediaRef* media,
                                  const ZkPriorityRecord& priority, CZkDynamicSequence* sequence);
    ~CZkDynamicSequencePlayContext() override;

    // Plays the sequence's next item from this instance: it joins this item's running fade, pause
    // and position path. 1; 2 when the node is not loaded or memory runs out; the play's failure.
    ZKRESULT PlayItem(ZkUniqueID nodeID, uint32_t delayMs);

    bool AdvancePending() const { return m_advancePending; }
    ZkUniqueID ItemNodeID() const { return m_itemNodeID; }
    void* ItemCustomInfo() const { return m_itemCustomInfo; }
    uint32_t SequenceNumber() const { return m_sequenceNumber; }

protected:
    void OnTeardown() override;
    void CompleteNextLaunch(PlayLaunchParams& record) const override;

private:
    // Takes the sequence's next item when this instance still has the duty.
    void Advance();

    CZkDynamicSequence* m_sequence;
    ZkExternalSourceArray* m_itemSources = nullptr;
    bool m_advancePending = true;
    ZkUniqueID m_itemNodeID;
    void* m_itemCustomInfo;
    uint32_t m_sequenceNumber;
};
} // namespace ZK::SoundEngine
