// CZkLayeredContainerNode: bank hierarchy item type 9, node category 5. A play plays all its
// children at once; its layers (CZkContainerLayer, shared through the object index's layer table)
// crossfade them by game parameters: each layer's curve per child is a gain on that child's
// instances. With `continuous` set a play keeps a context (CZkLayerPlayContext) until a stop: a
// child silent on some layer is not started, and it starts and stops as the layers' parameters
// move into and out of its audible ranges.
//
//   uint32 id, common node body, then: u32 N + N child ids, u32 L + L layer records
//   (CZkContainerLayer), u8 continuous
//
// Bank reading trusts no count: a count past the item gives 7; the children it linked are unlinked
// and the layers it created released again, so no half-read container plays. A layer already in
// the table is re-owned by this container and its record parsed and dropped.
//
// While the container is active (a play of it or below it counts, and each continuous context
// counts as one) its layers' game-parameter subscriptions are active.
//
// Threading: audio thread (bank loading under the global engine lock).
// Ownership: the object index's (pool 2); holds a reference on each of its layers and owns its
// contexts (each in the engine-wide play-context list while it exists).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkChildContextContainer.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

namespace ZK::SoundEngine
{
class CZkContainerLayer;
class CZkLayerPlayContext;
class CZkRTPCOverrideFilter;

class CZkLayeredContainerNode final : public CZkChildContextContainer
{
public:
    // A new layered container holding one reference, in the actor-mixer table; null out of memory.
    static CZkLayeredContainerNode* Create(ZkUniqueID id);
    // Reads the item body. 91 when node is not a layered container; 1; 7 a count past the item;
    // 52 out of memory; 2 a layer that cannot be created or kept; the common body's, a child's or
    // a layer's failure.
    static ZKRESULT ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial);

    explicit CZkLayeredContainerNode(ZkUniqueID id) : CZkChildContextContainer(id) {}
    ~CZkLayeredContainerNode() override;

    ZkNodeCategory Category() const override { return ZkNodeCategory_Layered; }
    // Non-continuous: every child plays (1 when any started, else the last result). Continuous: a
    // context is kept and the children audible on every layer start (2 when no context can be had;
    // 1 when no child played).
    ZKRESULT PlayChildren(PlayLaunchParams& params) override;
    // Links (unlinks) the child in the layers' associations that name it.
    ZKRESULT AddChild(CZkHierarchyNode* child) override;
    void RemoveChild(CZkHierarchyNode* child) override;
    // Stops remove the matching contexts, pauses and resumes mark them; then the children act.
    ZKRESULT ExecuteAction(const ZkActionParams& params) override;
    using CZkChildContextContainer::ExecuteAction;
    // The first play (and the last one's end) switch the layers' subscriptions on (off).
    ZKRESULT PlayCountUp(ZkPlayCount& play) override;
    void PlayCountDown(CZkGameObject* object, bool toBus) override;

    bool IsActive() const { return PlayCount() > 0; }
    bool IsContinuous() const { return m_continuous; }
    // A layer's parameter moved a child into (nowSilent false) or out of its audible ranges for
    // the key: the matching contexts start or stop it.
    void OnChildAudibilityChanged(ZkUniqueID childID, bool nowSilent, const ZkRTPCKey& key,
                                  const CZkRTPCOverrideFilter* filter);
    // A broadcast action reaching one of the contexts.
    void ApplyActionToContext(CZkLayerPlayContext& context, const ZkActionParams& params);

    uint32_t LayerCount() const { return m_layers.Length(); }
    CZkContainerLayer* Layer(uint32_t index) const { return m_layers[index]; }
    uint32_t ContextCount() const;
    const CZkLayerPlayContext* Contexts() const { return m_contexts; }

protected:
    bool KeepsPlayContexts() const override { return m_continuous; }

private:
    ZKRESULT ReadLayers(ZK::ZkByteCursor& cursor);
    // Releases every layer (un-owned first).
    void ReleaseLayers();
    void UnlinkChildren();
    ZKRESULT PlayOnce(PlayLaunchParams& params);
    ZKRESULT PlayContinuous(PlayLaunchParams& params);
    // The number of layers on which the child is silent for the key.
    uint32_t SilentLayers(ZkUniqueID childID, const ZkRTPCKey& key) const;
    ZKRESULT StartChild(CZkLayerPlayContext& context, ZkUniqueID childID);
    void StopChild(CZkLayerPlayContext& context, ZkUniqueID childID);
    // Stop (and break): the matching contexts go. Pause and resume mark them.
    void ApplyActionToContexts(const ZkActionParams& params);
    void RemoveContext(CZkLayerPlayContext* context);

    ZK::ZkArray<CZkContainerLayer*> m_layers;
    CZkLayerPlayContext* m_contexts = nullptr;
    bool m_continuous = false;
};
} // namespace ZK::SoundEngine
