// CZkSetPropertyAction: sets or resets one runtime property of nodes, in their modified-property
// records (for one game object, or the global record for every game object), fading over
// GetFadeTime with the action's curve. The kind names the property:
//
//   0x06 / 0x07   gain (property 11, a factor): the value is the action's own property 11
//   0x08 / 0x09   property 2          0x0A / 0x0B   property 0
//   0x0C / 0x0D   property 5          0x0E / 0x0F   property 3
//   0x20 / 0x30   property 4
//
// Kinds other than the gain pair read a value block (ZkActionValue): its value is absolute, or an
// offset added to the record's current value. A reset drives the property back to neutral.
//
// Threading and ownership: as CZkScopedAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkPropertyActionBase.h"
#include "ZkAudiolib/Common/Events/ZkActionValue.h"

namespace ZK::SoundEngine
{
class CZkSetPropertyAction final : public CZkPropertyActionBase
{
public:
    CZkSetPropertyAction(uint16_t type, ZkUniqueID id);

    ZKRESULT ReadExtraParams(ZK::ZkByteCursor& cursor) override;

    void ApplyForObject(CZkHierarchyNode* node, CZkRegisteredObj* object) override;
    void ApplyGlobal(CZkHierarchyNode* node) override { ApplyForObject(node, nullptr); }
    void ResetForObject(CZkHierarchyNode* node, CZkRegisteredObj* object) override;
    // Every record of the node: the global one and each game object's.
    void ResetGlobal(CZkHierarchyNode* node) override;
    void ResetObjectNodes(CZkHierarchyNode* node, CZkRegisteredObj* object) override { ResetForObject(node, object); }
    void ResetAll(CZkHierarchyNode* node) override { ResetGlobal(node); }

    uint8_t PropertyID() const { return m_propertyID; }
    const ZkActionValue& Value() const { return m_value; }

private:
    bool IsGainKind() const;

    ZkActionValue m_value;
    uint8_t m_propertyID;
};
} // namespace ZK::SoundEngine
