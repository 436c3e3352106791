// Banks: loading and unloading sound banks (by id, by file name, or from a block of memory), the
// preparation of banks, events and game-sync values, and the bank reader's I/O settings.
//
// Every operation comes in a synchronous form, which waits for its request to finish and returns
// its result, and an asynchronous form, which returns as soon as the request is queued and reports
// the result to the completion callback, called once with the cookie (unless the cookie is
// cancelled). Requests run one at a time in the order they were made: on the engine's bank thread,
// or at once on the caller's thread when the engine runs without one (the callback is then called
// before the call returns).
//
// File names: ".bnk" is appended to a name that does not end with it; the bank id is the id of the
// name as given with its last extension cut ("Main.bnk" and "Main" name one bank).
//
// Threading: any thread except the bank thread and the bank callbacks (the synchronous forms wait
// for the bank thread). Ownership: a memory bank's block stays the caller's: for a view until the
// bank is unloaded (its media are used in place), for a copy until the load has completed.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// The completion callback: (bank id, or the event id of a single-event preparation, or 0; the memory
// view's address or null; the request's result; the cookie).
using ZkBankCallbackFunc = void (*)(ZkBankID bankID, const void* memory, ZKRESULT result, void* cookie);

enum PreparationType : uint32_t
{
    Preparation_Load = 0,
    Preparation_Unload = 1,
    Preparation_LoadAndDecode = 2, // banks only
};

enum ZkBankContent : uint32_t
{
    ZkBankContent_StructureOnly = 0, // any value but 1
    ZkBankContent_All = 1,           // structure and media
};

// The smallest memory bank: a chunk header and the bank header.
constexpr uint32_t ZK_MinimumMemoryBankBytes = 28;

// Loads by id (the file "<id>.bnk").
ZKRESULT LoadBank(ZkBankID bankID);
ZKRESULT LoadBank(ZkBankID bankID, ZkBankCallbackFunc callback, void* cookie);
// Loads by name; bankID receives the bank's id before the request is made. 52 when the name cannot
// be copied.
ZKRESULT LoadBank(const char* name, ZkBankID& bankID);
ZKRESULT LoadBank(const char* name, ZkBankCallbackFunc callback, void* cookie, ZkBankID& bankID);
ZKRESULT LoadBank(const wchar_t* name, ZkBankID& bankID);
ZKRESULT LoadBank(const wchar_t* name, ZkBankCallbackFunc callback, void* cookie, ZkBankID& bankID);
// A bank read in place from the caller's block: 31 below ZK_MinimumMemoryBankBytes; 89 when the
// block is not aligned as the bank's header asks (16 bytes for banks older than version 135).
ZKRESULT LoadBankMemoryView(const void* memory, uint32_t size, ZkBankID& bankID);
ZKRESULT LoadBankMemoryView(const void* memory, uint32_t size, ZkBankCallbackFunc callback, void* cookie,
                            ZkBankID& bankID);
// A bank copied from the caller's block: 31 below ZK_MinimumMemoryBankBytes.
ZKRESULT LoadBankMemoryCopy(const void* memory, uint32_t size, ZkBankID& bankID);
ZKRESULT LoadBankMemoryCopy(const void* memory, uint32_t size, ZkBankCallbackFunc callback, void* cookie,
                            ZkBankID& bankID);

// Unloads a bank: memory is the block of a memory view, null for any other bank. 54 when the bank
// is not loaded; 2 when it is present only through preparations. The callback (and the synchronous
// return) comes once the engine has let the bank go, after the last source reading its media.
ZKRESULT UnloadBank(ZkBankID bankID, const void* memory);
ZKRESULT UnloadBank(ZkBankID bankID, const void* memory, ZkBankCallbackFunc callback, void* cookie);
ZKRESULT UnloadBank(const char* name, const void* memory);
ZKRESULT UnloadBank(const char* name, const void* memory, ZkBankCallbackFunc callback, void* cookie);
ZKRESULT UnloadBank(const wchar_t* name, const void* memory);
ZKRESULT UnloadBank(const wchar_t* name, const void* memory, ZkBankCallbackFunc callback, void* cookie);

// Preparations: types 0 and 2 prepare (2 also decodes the media), 1 unprepares.
ZKRESULT PrepareBank(PreparationType type, ZkBankID bankID, ZkBankContent content = ZkBankContent_All);
ZKRESULT PrepareBank(PreparationType type, ZkBankID bankID, ZkBankCallbackFunc callback, void* cookie,
                     ZkBankContent content = ZkBankContent_All);
ZKRESULT PrepareBank(PreparationType type, const char* name, ZkBankContent content = ZkBankContent_All);
ZKRESULT PrepareBank(PreparationType type, const char* name, ZkBankCallbackFunc callback, void* cookie,
                     ZkBankContent content = ZkBankContent_All);
ZKRESULT PrepareBank(PreparationType type, const wchar_t* name, ZkBankContent content = ZkBankContent_All);
ZKRESULT PrepareBank(PreparationType type, const wchar_t* name, ZkBankCallbackFunc callback, void* cookie,
                     ZkBankContent content = ZkBankContent_All);
// Type 0 prepares, any other type unprepares. 31 for a count of 0; 52 when the ids cannot be kept.
ZKRESULT PrepareEvent(PreparationType type, const ZkUniqueID* eventIDs, uint32_t count);
ZKRESULT PrepareEvent(PreparationType type, const ZkUniqueID* eventIDs, uint32_t count, ZkBankCallbackFunc callback,
                      void* cookie);
ZKRESULT PrepareEvent(PreparationType type, const char** eventNames, uint32_t count);
ZKRESULT PrepareEvent(PreparationType type, const char** eventNames, uint32_t count, ZkBankCallbackFunc callback,
                      void* cookie);
ZKRESULT PrepareEvent(PreparationType type, const wchar_t** eventNames, uint32_t count);
ZKRESULT PrepareEvent(PreparationType type, const wchar_t** eventNames, uint32_t count,
                      ZkBankCallbackFunc callback, void* cookie);
// Type 0 prepares the values, any other type unprepares them. 31 for a null array or a count of 0.
ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, ZkUniqueID groupID, const ZkUniqueID* values,
                          uint32_t count);
ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, ZkUniqueID groupID, const ZkUniqueID* values,
                          uint32_t count, ZkBankCallbackFunc callback, void* cookie);
ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const char* groupName, const char** valueNames,
                          uint32_t count);
ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const char* groupName, const char** valueNames,
                          uint32_t count, ZkBankCallbackFunc callback, void* cookie);
ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const wchar_t* groupName,
                          const wchar_t** valueNames, uint32_t count);
ZKRESULT PrepareGameSyncs(PreparationType type, ZkGroupType groupType, const wchar_t* groupName,
                          const wchar_t** valueNames, uint32_t count, ZkBankCallbackFunc callback, void* cookie);

// Synchronous; 2 before the engine's initialisation.
ZKRESULT ClearPreparedEvents();
// Clears the prepared events, then unloads every loaded bank (banks present only through
// preparations stay). Synchronous; 2 before the engine's initialisation.
ZKRESULT ClearBanks();
// The pending callbacks of the cookie are never called (the requests still run).
void CancelBankCallbackCookie(void* cookie);
// The bank reader's throughput (bytes per millisecond, at least 0) and stream priority (0 to 100).
// 31 out of range; 2 before the engine's initialisation.
ZKRESULT SetBankLoadIOSettings(float throughputBytesPerMs, signed char priority);
// A copy of a bank image whose media in formats that need decoding are stored decoded (16-bit
// samples), so that nothing decodes them while they play; other media and chunks are copied as they
// are, media at 16-byte steps of the "DATA" body. decodedSize receives the copy's size. pool: the
// memory pool of the copy (decodedBank receives it), or -1 to write into the caller's block
// decodedBank of decodedSize bytes (a null block only asks for the size). Runs on the caller's
// thread; the global engine lock is taken around each decoding. 7 for a null or malformed image
// (a chunk or "DIDX" entry reaching past it, "DATA" before "DIDX", a decoded size above 4 GiB - 1;
// nothing written); 31 for a caller's block smaller than the copy; 52 out of memory.
ZKRESULT DecodeBank(const void* bank, uint32_t size, ZkMemoryId pool, void*& decodedBank, uint32_t& decodedSize);
} // namespace ZK::SoundEngine
