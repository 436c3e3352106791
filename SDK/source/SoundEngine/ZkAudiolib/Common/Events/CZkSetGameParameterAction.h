// CZkSetGameParameterAction: sets (kind 0x13) or resets (kind 0x14) the game parameter whose id is
// the action's target id, for the pending action's game object (scope 3) or globally (scope 2),
// through a transition of GetFadeTime with the action's curve; the bypass flag lets the value skip
// the parameter's own ramp. The value block (ZkActionValue) gives the value, absolute or offset.
//
// Threading and ownership: as CZkScopedAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkPropertyActionBase.h"
#include "ZkAudiolib/Common/Events/ZkActionValue.h"

namespace ZK::SoundEngine
{
class CZkSetGameParameterAction final : public CZkPropertyActionBase
{
public:
    using CZkPropertyActionBase::CZkPropertyActionBase;

    // The bypass flag, then the value block.
    ZKRESULT ReadExtraParams(ZK::ZkByteCursor& cursor) override;

    // The parameter for the object (null: the global value). The node is not used.
    void ApplyForObject(CZkHierarchyNode* node, CZkRegisteredObj* object) override;
    void ApplyGlobal(CZkHierarchyNode* node) override { ApplyForObject(node, nullptr); }
    void ResetForObject(CZkHierarchyNode* node, CZkRegisteredObj* object) override;
    void ResetGlobal(CZkHierarchyNode* node) override { ResetForObject(node, nullptr); }

    const ZkActionValue& Value() const { return m_value; }
    bool BypassesTransition() const { return m_bypassTransition; }

private:
    ZkActionValue m_value;
    bool m_bypassTransition = false;
};
} // namespace ZK::SoundEngine
