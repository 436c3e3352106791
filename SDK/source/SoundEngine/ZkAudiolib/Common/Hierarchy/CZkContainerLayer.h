// CZkContainerLayer: a layer of a layered container (CZkLayeredContainerNode), kept in the object
// index's layer table. It binds one crossfade game parameter and gives some of the container's
// children a curve over it (CZkLayerAssociation): the curve's value is a gain on every playing
// instance of that child, and the curve's audible ranges decide whether the child sounds at all in
// a continuous play. Its own game-parameter bindings (bits of propertyMask) add to a few voice
// properties of the children's instances.
//
// Bank record (ReadFromBank): u32 layer id, u16 B + B game-parameter entries (ZkBankRTPCEntry),
// u32 crossfade parameter id, u8 its type, u32 A + A x {u32 child id, u32 P, P x 12-byte point}.
// Every count is checked against the bytes left (7 past them).
//
// Game-parameter subscriptions (kinds 4 for the bindings, 5 for the crossfade) are active only
// while the owner is active (a play of it or of anything below it counts); the manager then calls
// OnParameterChanged (crossfade), ForwardPropertyChange (other bits) and Refresh.
//
// Threading: audio thread, under the global engine lock; creation, look-up, AddRef and Release
// take the layer table's lock. Ownership: the table's by reference count (containers and active
// subscriptions hold references); the owner is not counted (it un-owns its layers before it goes).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLayerAssociation.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorTargets.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

namespace ZK
{
class ZkByteCursor;
}

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkLayeredContainerNode;
class CZkPlayingInstance;
class CZkRTPCOverrideFilter;
struct ZkModulatorLinkEntry;
struct ZkVoiceParams;

class CZkContainerLayer final : public CZkIndexedObject
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;
    // The bit of the crossfade subscription.
    static constexpr uint32_t kCrossfadeBit = 60;
    // A key's playing id with more tracked instances than this finds them through the playing id.
    static constexpr uint32_t kTrackedInstancesScanned = 4;

    // A new layer (one reference) in the layer table; null out of memory.
    static CZkContainerLayer* Create(ZkUniqueID id);
    // The layer of id with a reference added; null when it is not loaded.
    static CZkContainerLayer* Find(ZkUniqueID id);
    // Steps over a layer record without keeping anything: 1, or 7 when it runs past the bytes.
    static ZKRESULT SkipRecord(ZK::ZkByteCursor& cursor);

    explicit CZkContainerLayer(ZkUniqueID id) : CZkIndexedObject(id) {}
    ~CZkContainerLayer() override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    void Destroy() override;

    // Owner: the container whose children the associations name. Setting a new owner unlinks the
    // children of the old one and links those of the new one (null: un-owned).
    void SetOwner(CZkLayeredContainerNode* owner);
    CZkLayeredContainerNode* Owner() const { return m_owner; }
    // Reads the record (the layer's id included). 1; 7 past the bytes; 52 out of memory; the first
    // failing subscription's or association's result.
    ZKRESULT ReadFromBank(ZK::ZkByteCursor& cursor);
    // Sets the curve of the child (found or appended). 1; 52 out of memory; 2 when the child is
    // loaded with another parent (the association is then removed).
    ZKRESULT SetChildCurve(ZkUniqueID childID, const ZkCurvePoint* points, uint32_t count);

    // --- Children ---
    // Links the child in its association when it names it and is not linked yet.
    void LinkChild(CZkHierarchyNode* child);
    void UnlinkChild(CZkHierarchyNode* child);
    void UnlinkChildren();
    // Whether the child is silent on this layer for the key's parameter value.
    bool IsChildSilent(ZkUniqueID childID, const ZkRTPCKey& key);
    // The crossfade parameter's value for key; objectSpecific tells whether a value set for the
    // key's game object (or a narrower scope) gave it.
    float ParamValueFor(const ZkRTPCKey& key, bool& objectSpecific) const;

    // --- Game-parameter subscriptions (the manager's side) ---
    // Whether the owner is active (the subscriptions are then active too).
    bool IsOwnerPlaying() const;
    // A change of the crossfade parameter: silences and starts children of continuous plays, and
    // pushes the new gains. 1.
    ZKRESULT OnParameterChanged(const ZkRTPCKey& key, float oldValue, float newValue,
                                const CZkRTPCOverrideFilter* filter);
    // A change of another bound property: the active linked children take the difference. 1.
    ZKRESULT ForwardPropertyChange(uint32_t bit, float newValue, float oldValue);
    // The subscription's first value: the owner's active children are notified. 1.
    ZKRESULT Refresh(bool withParam);
    // Activates (or deactivates) the bindings and the crossfade subscription.
    void Subscribe(bool active);

    // --- Playing instances ---
    // Tracks (or stops tracking) an instance playing below the child node.
    void AddInstance(CZkPlayingInstance* instance, const CZkHierarchyNode* child);
    void RemoveInstance(CZkPlayingInstance* instance, const CZkHierarchyNode* child);
    // What the layer adds to a voice below child: its bound properties, the crossfade gain and,
    // when keys is given, its modulators' entries.
    void GetVoiceParams(ZkVoiceParams& params, const ZkRTPCKey& key, const CZkHierarchyNode* child,
                        ZkModulatorKeyList* keys = nullptr);
    // Sets the gain on the instances of the association that match key.
    // (Instances with a more specific value of their own, as filter tells, keep theirs.)
    void PushGain(CZkLayerAssociation& association, const ZkRTPCKey& key, float gain,
                  const CZkRTPCOverrideFilter* filter = nullptr);

    // --- Modulators ---
    // The layer's modulator entries of key {layer, owner, 4} are appended to keys.
    void AppendModulatorKeys(ZkModulatorKeyList& keys) const;
    // The link entries of a modulator on the layer's volume (and priority-slot 7) bindings, for
    // the links of an instance the modulator drives.
    void CollectModulatorTargets(ZK::ZkArray<ZkModulatorLinkEntry>& entries, ZkUniqueID modulatorID) const;

    uint64_t PropertyMask() const { return m_propertyMask; }
    ZkUniqueID CrossfadeParameter() const { return m_crossfadeID; }
    uint32_t AssociationCount() const { return m_associations.Length(); }
    const CZkLayerAssociation& Association(uint32_t index) const { return m_associations[index]; }
    CZkLayerAssociation* FindAssociation(ZkUniqueID childID);

private:
    ZKRESULT ReadBindings(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadAssociations(ZK::ZkByteCursor& cursor);
    void SetCrossfade(ZkUniqueID id, uint8_t type);
    void RemoveAssociation(uint32_t index);
    // Links the association's child when it is loaded and the owner's child; 2 when it has
    // another parent.
    ZKRESULT LinkAssociation(CZkLayerAssociation& association);
    void UnlinkAssociation(CZkLayerAssociation& association);
    // Calls visit for each linked child that plays.
    template <typename Visit>
    void ForEachActiveChild(Visit visit);

    ZK::ZkArray<CZkLayerAssociation, kPool> m_associations;
    uint64_t m_propertyMask = 0;
    CZkLayeredContainerNode* m_owner = nullptr;
    ZkUniqueID m_crossfadeID = 0;
    uint8_t m_crossfadeType = 0;
};
} // namespace ZK::SoundEngine
