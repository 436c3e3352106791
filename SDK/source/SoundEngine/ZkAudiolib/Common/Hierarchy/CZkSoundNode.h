// CZkSoundNode: bank hierarchy item type 2: one media source plus the common node settings. Its
// body is the source block (SourceMediaRef) followed by the common node body:
//
//   uint32 id, source block, common node body (CZkHierarchyNode::SetBaseFromBank)
//
// A sound that another bank brings again is read again (its media may come from that bank), with
// the partial flag: only its source and its effect block are taken. An id already used by a node
// of another category is refused with 91 and that node is left as it is.
//
// Threading: bank loading under the global engine lock; play on the audio thread.
// Ownership: the object index's references (memory pool 2); the node owns its media reference.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSourceNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"

namespace ZK::SoundEngine
{
class CZkSoundNode final : public CZkSourceNode
{
public:
    // A new sound holding one reference (the bank's), in the actor-mixer table; null when out of
    // memory (or when the table cannot take it: nothing is left behind).
    static CZkSoundNode* Create(ZkUniqueID id);
    // Reads the item body (starting with the id) into node. 91 when node is not a sound; 1; 7 when
    // a field runs past the body; 2 unknown source kind, stream type or output bus; otherwise the
    // common body's result.
    static ZKRESULT ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial);

    ZkNodeCategory Category() const override { return ZkNodeCategory_Sound; }
    ZKRESULT PrepareMedia() override { return m_media.Prepare(); }
    void UnprepareMedia() override { m_media.Unprepare(); }
    // Publishes a note-on's note and frequency (game parameters 133 and 132), checks the MIDI play
    // mode (82 unless 1), then plays the sound's media (CZkPlayingInstance::PlaySoundNode).
    ZKRESULT Play(PlayLaunchParams& params) override;
    bool IsInfiniteLoop(const CZkHierarchyNode* upTo) const override;

    bool HasMedia() const { return m_media.HasMedia(); }
    // Appends the media reference to the active (or inactive) list when it is streamed from a file
    // (media kind 1); a list that cannot grow skips it.
    void CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const override;
    // Whether a bank that brings the sound again reads it again: unless the game set its media in
    // memory.
    bool ReadsAgain() const { return m_media.Kind() == 0 || !m_media.IsResident(); }
    const ZkMediaRef& Media() const { return m_media; }
    // The sound plays the source plug-in of pluginID (its key, type 2) with the parameters of the
    // custom effect sourceID, as a bank's source block for that plug-in would say.
    void SetSourcePlugin(uint32_t pluginID, ZkUniqueID sourceID);
    uint32_t PluginID() const { return m_pluginID; }

    explicit CZkSoundNode(ZkUniqueID id);
    ~CZkSoundNode() override;

private:
    ZkMediaRef m_media;
    uint32_t m_pluginID = 0;
};
} // namespace ZK::SoundEngine
