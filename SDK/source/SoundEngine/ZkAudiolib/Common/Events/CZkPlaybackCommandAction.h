// CZkPlaybackCommandAction: the base of stop, pause and resume (kinds 0x01, 0x02, 0x03). Scopes
// 0x02 and 0x03 send the command to the target node (nothing at all when the target is not
// loaded) and then treat the pending actions aimed at the target, what lies below it or is routed
// through it; scopes 0x04 and 0x05 send it to everything but the exceptions and treat the pending
// actions likewise. Other scopes do nothing. Each kind reads up to three option bits, some of
// which travel in the command (FillActionParams) and some of which steer the pending actions.
//
// Threading and ownership: as CZkScopedAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkScopedAction.h"

namespace ZK::SoundEngine
{
class CZkPlaybackCommandAction : public CZkScopedAction
{
public:
    // The kind's options are the bits of its option byte from firstOptionBit on, optionCount of
    // them; optionsAtConstruction until a bank is read.
    CZkPlaybackCommandAction(uint16_t type, ZkUniqueID id, ZkActionCode code, uint8_t optionsAtConstruction,
                             uint8_t firstOptionBit, uint8_t optionCount)
        : CZkScopedAction(type, id), m_code(code), m_options(optionsAtConstruction),
          m_firstOptionBit(firstOptionBit), m_optionMask(static_cast<uint8_t>((1u << optionCount) - 1))
    {
    }

    ZKRESULT Execute(PendingAction& pending) override;
    // The option byte. 1; 7 past the item.
    ZKRESULT ReadExtraParams(ZK::ZkByteCursor& cursor) override;

    // Option k is bit k.
    bool Option(uint32_t index) const { return (m_options >> index & 1u) != 0; }

protected:
    // The command reached the target node: its pending actions' turn.
    virtual void OnTargetPending(const CZkHierarchyNode& target, const PendingAction& pending) = 0;
    // The command reached everything but the exceptions: the pending actions' turn.
    virtual void OnAllPending(const PendingAction& pending) = 0;
    // The command to every object but the exceptions (the hierarchy's all-objects pass).
    virtual void ExecuteOnAllObjects(const ZkActionParams& params) { ExecuteOnAll(params, true); }

private:
    ZkActionCode m_code;
    uint8_t m_options;
    uint8_t m_firstOptionBit;
    uint8_t m_optionMask;
};
} // namespace ZK::SoundEngine
