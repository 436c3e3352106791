// Records shared by the stream manager, its devices, its streams and the low-level I/O that
// resolves and reads files: the file descriptor a resolver fills, the open flags a caller passes,
// the device settings, and the small records handed to I/O hooks and stream users.
//
// Threading and ownership: plain records with no behaviour. A ZkFileDescriptor is allocated by the
// stream manager (memory id 7), filled by the resolver and owned by the stream that opened it.
#pragma once

#include <cstdint>

namespace ZK::StreamMgr
{
class IZkLowLevelIOHook;
}

// File open modes understood by the resolver and the low-level hook.
constexpr uint32_t ZK_OpenModeRead = 0;
constexpr uint32_t ZK_OpenModeWrite = 1;          // open or create, contents kept
constexpr uint32_t ZK_OpenModeWriteOverwrite = 2; // create or truncate
constexpr uint32_t ZK_OpenModeReadWrite = 3;      // open or create, contents kept

// File id spaces of ZkFileOpenFlags::idSpace.
constexpr uint32_t ZK_FileIdSpace32 = 0;       // banks and streamed media
constexpr uint32_t ZK_FileIdSpaceExternal = 1; // 64-bit ids of external files
// fileType of a sound bank; every other value names a media or other file.
constexpr uint32_t ZK_FileTypeSoundBank = 0;

constexpr uint32_t ZK_InvalidDeviceID = 0xFFFFFFFFu;
constexpr uint32_t ZK_NoCacheID = 0xFFFFFFFFu;
constexpr uint32_t ZK_MaxLanguageChars = 32; // current-language buffer, terminator included

// The record a file-location resolver fills for every file it opens (or defers).
struct ZkFileDescriptor
{
    int64_t fileSize;        // bytes; 0 while the open is deferred
    int64_t startBlock;      // first byte of the file, in blocks (non-zero inside a file package)
    uint32_t blockSizeParam; // the package's block size for a file in a package, else 0
    uint64_t hookData;       // the resolver's and hook's own bookkeeping; never read by the manager
    void* fileHandle;        // the hook's handle of the file (or of its package); null when not open
    uint32_t deviceId;       // index of the stream device that serves the file
    void* filePackage;       // the package holding the file, null for a file of its own
};

// The caller's description of a file to open. May be null where an open accepts it.
struct ZkFileOpenFlags
{
    uint32_t fileType = ZK_FileTypeSoundBank; // 0 sound bank, any other value media or other file
    uint32_t codecId = 0;                     // codec of a media file; not read by file I/O
    uint32_t idSpace = ZK_FileIdSpace32;      // 0 32-bit ids, 1 64-bit external ids, 2+ by name only
    uint32_t cacheId = ZK_NoCacheID;          // streams with the same cache id share cached data
    uint32_t cachedBytes = 0;                 // bytes a caching stream keeps (0 refuses the open)
    bool isLanguageSpecific = false;          // the file lives in the language sub-folder
    bool isAutomaticStream = false;           // written by the manager before the resolver sees it
};

// Default values of ZkDeviceSettings, with their units.
constexpr uint32_t ZK_DefaultIOMemoryBytes = 0x200000;   // 2 MiB
constexpr uint32_t ZK_DefaultIOMemoryAlignment = 4096;   // bytes
constexpr uint32_t ZK_DefaultGranularityBytes = 0x4000;  // 16 KiB, the largest single transfer
constexpr uint32_t ZK_SchedulerBlocking = 1;              // bit 0; wins when both bits are set
constexpr uint32_t ZK_SchedulerDeferred = 2;              // bit 1
constexpr int32_t ZK_DefaultIOThreadPriority = 1;         // above normal
constexpr uint32_t ZK_DefaultIOThreadStackBytes = 0x20000; // 128 KiB
constexpr float ZK_DefaultTargetBufferMs = 380.0f;
constexpr uint32_t ZK_DefaultMaxTransfersInFlight = 8;
constexpr uint32_t ZK_MaxDeferredTransfersInFlight = 1024;
constexpr uint32_t ZK_NoPinnedBytesLimit = 0xFFFFFFFFu;

struct ZkDeviceSettings
{
    void* ioMemoryBlock;          // caller's block for the I/O memory, or null to allocate it
    uint32_t ioMemoryBytes;       // 0 disables I/O memory
    uint32_t ioMemoryAlignment;
    uint32_t ioMemoryId;          // memory id of an allocated I/O memory block
    uint32_t granularity;         // largest single transfer; non-zero, a multiple of every block size
    uint32_t schedulerKind;       // ZK_SchedulerBlocking and/or ZK_SchedulerDeferred
    int32_t threadPriority;
    uint32_t threadAffinityMask;  // 0 leaves the I/O thread's affinity unchanged
    uint32_t threadStackBytes;
    float targetBufferMs;         // automatic-stream buffering, in ms of the stream's throughput
    uint32_t maxTransfersInFlight;
    bool useStreamCache;
    uint32_t pinnedBytesLimit;    // most I/O memory bytes caching streams may hold
};

// Accepted by ZK::StreamMgr::Create; nothing reads or writes it.
struct ZkStreamMgrSettings
{
    uint32_t reserved = 0;
};

// Passed with every transfer to an I/O hook.
struct ZkIOHeuristics
{
    float deadlineMs; // the stream's effective deadline when the transfer was chosen
    uint8_t priority; // 0..100
};

// One transfer of a blocking hook.
struct ZkTransferInfo
{
    uint64_t filePosition;     // absolute position in the file (start block included)
    uint32_t bufferSize;       // bytes the buffer can hold
    uint32_t requestedSize;    // bytes to read or write
    void* buffer;
    // Written by the hook: bytes actually moved. A read at the end of a file moves fewer bytes than
    // requested and still succeeds; the bytes it did not fill are cleared by the hook.
    uint32_t bytesTransferred;
};

// Heuristics of an automatic stream.
struct ZkAutomaticStreamHeuristics
{
    float throughput;         // bytes per millisecond; negative is invalid
    uint32_t loopStart;
    uint32_t loopEnd;         // 0 = no loop
    uint8_t minBufferCount;   // 0 means 1
    uint8_t priority;         // 0..100
};

struct ZkAutomaticStreamBufferSettings
{
    uint32_t bufferSize;      // 0 = free
    uint32_t minBufferSize;   // 0 = none
    uint32_t blockSize;       // 0 = the file's block size
};

struct ZkStreamInfo
{
    uint32_t deviceId;        // ZK_InvalidDeviceID for a stream over memory
    const wchar_t* name;
    int64_t size;
    bool isOpen;
};

// Status of a standard stream's request.
enum ZkStreamStatus : uint32_t
{
    ZK_StreamStatusIdle = 0,
    ZK_StreamStatusCompleted = 1,
    ZK_StreamStatusPending = 2,
    ZK_StreamStatusCancelled = 3,
    ZK_StreamStatusError = 4,
};

// Move methods of SetPosition.
constexpr uint32_t ZK_MoveBegin = 0;
constexpr uint32_t ZK_MoveCurrent = 1;
constexpr uint32_t ZK_MoveEnd = 2;
