// The pause and resume actions (kinds 0x02 and 0x03). Each reads three option bits (bits 0 to 2 of
// its option byte). Option 0 steers the pending actions: a pause with it also pauses pending
// resume actions (it is set until a bank says otherwise), a resume with it resumes pending actions
// whatever their pause count, and it also makes the resume clear every pause level of the
// instances at once. Options 1 and 2 are the command's two state flags.
//
// Threading and ownership: as CZkScopedAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkPlaybackCommandAction.h"

namespace ZK::SoundEngine
{
// What pause and resume share: the pending actions of the target, or of everything but the
// exceptions, are paused or resumed with option 0.
class CZkPauseResumeAction : public CZkPlaybackCommandAction
{
public:
    void FillActionParams(ZkActionParams& params) const override;

protected:
    CZkPauseResumeAction(uint16_t type, ZkUniqueID id, ZkActionCode code, uint8_t optionsAtConstruction)
        : CZkPlaybackCommandAction(type, id, code, optionsAtConstruction, 0, 3), m_pauses(code == ZkActionCode_Pause)
    {
    }

private:
    void OnTargetPending(const CZkHierarchyNode& target, const PendingAction& pending) override;
    void OnAllPending(const PendingAction& pending) override;

    bool m_pauses;
};

class CZkPauseAction final : public CZkPauseResumeAction
{
public:
    CZkPauseAction(uint16_t type, ZkUniqueID id) : CZkPauseResumeAction(type, id, ZkActionCode_Pause, 1) {}
};

class CZkResumeAction final : public CZkPauseResumeAction
{
public:
    CZkResumeAction(uint16_t type, ZkUniqueID id) : CZkPauseResumeAction(type, id, ZkActionCode_Resume, 0) {}
};
} // namespace ZK::SoundEngine
