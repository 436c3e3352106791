// ReadChecked: reads a section of outside bytes in two walks over the same layout: the first only
// checks that every count and field lies within the bytes, the second applies what it reads. A
// section that runs past its bytes is refused with 7 before anything is applied, so no half-read
// section is left behind.
//
// Threading and ownership: as the walk's; the cursor is a view over the caller's bytes.
#pragma once

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK
{
// walk(cursor, apply) -> ZKRESULT reads the section from cursor, applying it only when apply is set.
// 7 when the checking walk fails; otherwise the applying walk's result (cursor moved past the
// section).
template <typename Walk>
ZKRESULT ReadChecked(ZkByteCursor& cursor, Walk walk)
{
    ZkByteCursor check = cursor;
    if (walk(check, false) != ZK_Success)
        return ZK_InvalidFile;
    return walk(cursor, true);
}
} // namespace ZK
