// The two interfaces through which the stream manager reaches files: a file-location resolver that
// turns a file id or name into a ZkFileDescriptor (and chooses the device that serves it), and the
// low-level I/O hook of a device that closes files and moves their bytes.
//
// Threading: opens come from any thread that creates a stream, and from a device's I/O thread for
// deferred opens; Read and Write come from the device's I/O thread. Implementations guard their own
// state. Ownership: resolvers and hooks belong to the caller that installs them; the stream manager
// never deletes them.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstdint>

namespace ZK::StreamMgr
{
class IZkFileLocationResolver
{
public:
    virtual ~IZkFileLocationResolver() = default;

    // Opens (or, when syncOpen is false and the resolver defers opens, only describes) the file.
    // syncOpen is set to true when the file was opened at once. 1 on success; 66 when the file does
    // not exist; any other value is a failure.
    virtual ZKRESULT OpenByID(uint32_t fileId, uint32_t openMode, ZkFileOpenFlags* flags, bool& syncOpen,
                              ZkFileDescriptor& fileDesc) = 0;
    virtual ZKRESULT OpenByName(const wchar_t* fileName, uint32_t openMode, ZkFileOpenFlags* flags,
                                bool& syncOpen, ZkFileDescriptor& fileDesc) = 0;
    // Closes a file this resolver opened that no stream took (for instance when the device it named
    // does not exist, so no device hook can close it). 1 on success, 2 otherwise.
    virtual ZKRESULT Close(ZkFileDescriptor& fileDesc) = 0;
};

class IZkLowLevelIOHook
{
public:
    virtual ~IZkLowLevelIOHook() = default;

    // Closes a file the resolver opened. 1 on success, 2 when the system refuses.
    virtual ZKRESULT Close(ZkFileDescriptor& fileDesc) = 0;
    // Block size of the file: every transfer position and size is a multiple of it.
    virtual uint32_t GetBlockSize(ZkFileDescriptor& fileDesc) = 0;
    // Kept free for a future device description; nothing calls it.
    virtual void Reserved() {}
    // True when the resolver defers opens that the caller does not need at once.
    virtual bool GetDeviceFlag() = 0;
};

// A hook whose transfers complete before they return.
class IZkIOHookBlocking : public IZkLowLevelIOHook
{
public:
    // Moves transferInfo.requestedSize bytes at transferInfo.filePosition. 1 on success (also when a
    // read reaches the end of the file early: bytesTransferred then tells how many bytes came, and
    // the rest of the requested bytes are cleared); 2 on failure.
    virtual ZKRESULT Read(ZkFileDescriptor& fileDesc, const ZkIOHeuristics& heuristics, void* buffer,
                          ZkTransferInfo& transferInfo) = 0;
    virtual ZKRESULT Write(ZkFileDescriptor& fileDesc, const ZkIOHeuristics& heuristics, void* buffer,
                           ZkTransferInfo& transferInfo) = 0;
};
} // namespace ZK::StreamMgr
