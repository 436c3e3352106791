// CZkMusicSwitchContainer: a music container (bank item type 12, category 9) that picks the child
// to play from the current values of state and switch groups (its arguments) through a decision
// tree. With one argument the tree is a list of (value, child id) pairs, which also lets the
// container prepare only the children of the values the game prepared (preparation by game
// sync, when the engine's settings ask for it).
//
// Threading: read on the bank thread under the global engine lock; everything else on the engine
// thread. Ownership: the object index's (pool 2); the container owns its argument arrays (pool 2)
// and its tree's data.
#pragma once

#include "MusicEngine/CZkMusicContainer.h"
#include "ZkAudiolib/Common/GameSyncs/ZkPreparedGroup.h"
#include "ZkAudiolib/Common/Hierarchy/CZkDecisionTree.h"

namespace ZK::MusicEngine
{
class CZkMusicSwitchContainer final : public CZkMusicContainer, public SoundEngine::IZkPreparedGroupNode
{
public:
    static constexpr uint32_t kPropTreeMode = 18;
    static constexpr uint8_t kArgumentState = 1;

    static CZkMusicSwitchContainer* Create(ZkUniqueID id);
    // The payload (from the object id on). 1; 91 the node is not a switch container; 7 a field,
    // count or tree out of the item, or a tree size that is not a whole number of nodes; 52 the
    // argument arrays or the tree; 2 out of memory; the shared payload's results.
    ZKRESULT ReadFromBank(const uint8_t* payload, uint32_t size);

    explicit CZkMusicSwitchContainer(ZkUniqueID id) : CZkMusicContainer(id) {}
    ~CZkMusicSwitchContainer() override;

    SoundEngine::ZkNodeCategory Category() const override { return kCategoryMusicSwitch; }
    // Property 18 is the tree's matching mode; the others go to the common setter.
    ZKRESULT SetIntProperty(uint32_t id, int32_t value) override;
    // With the active flag, the child the current group values resolve to takes the request
    // active; every other child takes it inactive.
    void CollectStreamedMedia(const SoundEngine::ZkStreamedMediaRequest& request, bool active) const override;
    // By game sync when the engine's settings ask for it and the tree has one argument; else as
    // every music node (stinger and transition segments, then every child).
    ZKRESULT PrepareMedia() override;
    void UnprepareMedia() override;
    // A value of the argument's group was prepared or unprepared: with a preparation count and
    // one argument, the value's child is prepared or unprepared.
    ZKRESULT OnPreparedValue(ZkUniqueID value, bool prepare) override;

    // Plays the container at the root of a new play: a switch context following the arguments.
    // 1; 2 when the context cannot start.
    ZKRESULT Play(SoundEngine::PlayLaunchParams& params) override;

    bool ContinuePlayback() const { return m_continue != 0; }
    uint32_t ArgumentCount() const { return m_argumentCount; }
    ZkUniqueID ArgumentGroup(uint32_t index) const { return m_groups[index]; }
    uint8_t ArgumentKind(uint32_t index) const { return m_kinds[index]; }
    const SoundEngine::CZkDecisionTree& Tree() const { return m_tree; }
    uint32_t PreparationCount() const { return m_preparations; }

private:
    bool AcceptsChild(SoundEngine::ZkNodeCategory category) const override
    {
        return category == kCategoryMusicSegment || category == kCategoryMusicPlaylist || category == kCategoryMusicSwitch;
    }
    bool PreparesByGameSync() const;
    ZKRESULT PrepareByGameSync();
    void UnprepareByGameSync();
    void FreeArguments();

    ZkUniqueID* m_groups = nullptr;
    uint8_t* m_kinds = nullptr;
    uint32_t m_argumentCount = 0;
    SoundEngine::CZkDecisionTree m_tree;
    uint32_t m_preparations = 0;
    uint8_t m_continue = 1;
};
} // namespace ZK::MusicEngine
