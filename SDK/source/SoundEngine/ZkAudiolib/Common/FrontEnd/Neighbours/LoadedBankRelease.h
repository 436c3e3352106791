// The release of a loaded bank's reference (declaration only): the unload-bank message drops the
// reference its poster held; the last one frees the bank's media and record. The bank manager's
// release is not built yet.
//
// Threading: engine thread. Ownership: the reference is the caller's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
struct LoadedBank;

// Not built yet: 4, the reference is kept.
inline ZKRESULT ReleaseLoadedBank(LoadedBank*, bool)
{
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
