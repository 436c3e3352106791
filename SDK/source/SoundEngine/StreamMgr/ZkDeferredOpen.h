// ZkDeferredOpen: what a stream keeps when its resolver did not open the file at once, so that the
// device's I/O thread can open it before the stream's first transfer.
//
// Threading: written by the opening thread before the stream is handed out, read and freed by the
// I/O thread (under the stream's lock). Ownership: owned by its stream; allocated and freed with
// memory id 7, the name copy included.
#pragma once

#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstdint>

namespace ZK::StreamMgr
{
constexpr uint32_t kDeferredOpenHasName = 1u << 0;  // the record holds a name copy (freed with it)
constexpr uint32_t kDeferredOpenHasFlags = 1u << 1; // the record holds a copy of the caller's flags

struct ZkDeferredOpen
{
    uint32_t fileId;       // valid without kDeferredOpenHasName
    wchar_t* fileName;     // valid with kDeferredOpenHasName
    ZkFileOpenFlags flags; // valid with kDeferredOpenHasFlags
    uint32_t openMode;
    uint32_t flagWord;

    ZkFileOpenFlags* FlagsOrNull() { return (flagWord & kDeferredOpenHasFlags) ? &flags : nullptr; }
};

// A record for a file named by id or by name (exactly one of them: a non-null name wins), with a
// copy of the flags when given. Null when memory runs out.
ZkDeferredOpen* CreateDeferredOpen(uint32_t fileId, const wchar_t* fileName, const ZkFileOpenFlags* flags,
                                   uint32_t openMode);
void FreeDeferredOpen(ZkDeferredOpen* record);
} // namespace ZK::StreamMgr
