// CZkKeyedParamTarget: an object that receives a node's game-parameter driven values for one scope
// (its ZkRTPCKey): the base of node instances and other per-object users of node parameters. It
// registers with the node it inherits parameters from; the node's CZkParamTargetList then hands it
// the changes whose key concerns it, for the parameter bits of its mask.
//
// Threading: audio thread, under the global engine lock.
// Ownership: owned by its subclass's owner; registration is undone by Unregister or the destructor.
#pragma once

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;

// The parameter bit that a change of the node's own bit 5 becomes when it comes from another node.
constexpr uint32_t kInheritedBitSource = 5;
constexpr uint32_t kInheritedBitReplacement = 43;
constexpr uint64_t kAllParamBits = ~0ull;

class CZkKeyedParamTarget
{
public:
    explicit CZkKeyedParamTarget(const ZkRTPCKey& key) : m_key(key) {}
    virtual ~CZkKeyedParamTarget();
    CZkKeyedParamTarget(const CZkKeyedParamTarget&) = delete;
    CZkKeyedParamTarget& operator=(const CZkKeyedParamTarget&) = delete;

    // A change of bit from the node ownerID; hands it to OnParamValue (bit 5 of another node than
    // the registered one arrives as bit 43).
    virtual void SetParamValue(ZkUniqueID ownerID, uint32_t bit, float value, float delta);
    virtual void OnNotification(uint8_t, uint32_t) {}
    virtual void OnNotification64(uint8_t, uint64_t) {}
    // The bits the target wants.
    virtual void GetParamMask(uint64_t& mask) = 0;
    virtual bool GetMaskFlag() { return true; }
    virtual void OnParamValue(uint32_t bit, uint32_t receivedBit, ZkUniqueID ownerID, float value, float delta) = 0;

    // The node gathers the target into its parent chain, then the target is recorded under it.
    void RegisterWithNode(CZkHierarchyNode* node, uint64_t mask, bool flag);
    // Only the record under the node (no gathering).
    void Register(CZkHierarchyNode* node);
    void Unregister(uint64_t mask, bool flag);
    // Asks the subclass for its mask again and lets the node gather it.
    void Refresh();

    const ZkRTPCKey& Key() const { return m_key; }
    CZkHierarchyNode* RegisteredNode() const { return m_registeredNode; }

    CZkKeyedParamTarget* pNextTarget = nullptr; // next target registered under the same node

protected:
    ZkRTPCKey m_key;
    CZkHierarchyNode* m_registeredNode = nullptr;
};
} // namespace ZK::SoundEngine
