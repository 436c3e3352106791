// CZkDynamicSequencePlayContext: the playing instance of everything a dynamic sequence plays (its
// items, and the next items of continuous containers inside them, which keep the sequence as their
// play target). Besides what CZkContextPlayingInstance does, one instance per item asks the
// sequence for the next item, once (advance pending): a sample-accurate sequence (type 0) when the
// item's end notice arrives (its source knows its length), so that the next item's source can wait
// on this item's voice and take over on the sample after it ends (the instances of one run share
// the sequence number, which is their voice group); any other type when the item goes. An item
// whose play chain goes on hands the duty to its next chain item; a stopping or killed instance (a
// stop, the engine's end) advances nothing. Every instance that played reports its item's end when
// it goes.
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
    void OnEndNotice(float remainingMs) override;
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
