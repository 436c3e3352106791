// CZkSeekAction: moves playback (kind 0x1E) to a position drawn from its value block: a fraction
// of the sound's duration when seek-is-relative (the playing instance clamps it to [0, 1]), else a
// time in milliseconds (an instance clamps a negative time to 0); the snap flag asks for the
// nearest marker. Scopes 0x02 and 0x03 seek the target's instances (15 when it is not loaded);
// scopes 0x04 and 0x05 seek everything but the exceptions. Its body has no curve byte: the
// seek-is-relative byte, the base, minimum and maximum (floats when relative, else integers), the
// snap byte and the exception list.
//
// Threading and ownership: as CZkScopedAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkScopedAction.h"
#include "ZkAudiolib/Common/Events/ZkActionValue.h"

namespace ZK::SoundEngine
{
class CZkSeekAction final : public CZkScopedAction
{
public:
    using CZkScopedAction::CZkScopedAction;

    ZKRESULT ReadParams(ZK::ZkByteCursor& cursor) override;
    ZKRESULT Execute(PendingAction& pending) override;

    bool IsRelative() const { return m_relative; }
    bool SnapsToMarker() const { return m_snap; }
    const ZkActionValue& Value() const { return m_value; }

private:
    ZkActionValue m_value;
    bool m_relative = false;
    bool m_snap = false;
};
} // namespace ZK::SoundEngine
