// The stream manager's exported functions: creation, devices, the file-location resolver, the
// current language and its observers.
//
// Threading: these functions share process-wide state with no lock. Call them from one thread at a
// time (the game calls them from its main thread at start-up and shutdown). Language observers run
// on the thread that calls SetCurrentLanguage, with no lock held.
// Ownership: the manager and its devices are allocated from the memory manager (memory id 7); the
// resolver and hooks belong to the caller.
#pragma once

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkLowLevelIOHooks.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrTypes.h>

#include <cstdint>

namespace ZK::StreamMgr
{
using LanguageChangeCallback = void (*)(const wchar_t* languageName, void* cookie);

// Null when the memory manager is not initialised or the manager cannot be allocated; the existing
// manager when there is one (its language untouched).
IZkStreamMgr* Create(const ZkStreamMgrSettings& settings);
void GetDefaultSettings(ZkStreamMgrSettings& settings);
void GetDefaultDeviceSettings(ZkDeviceSettings& settings);

// The new device's id, or ZK_InvalidDeviceID (0xFFFFFFFF) on any failure. Ids of destroyed devices
// are reused.
uint32_t CreateDevice(const ZkDeviceSettings& settings, IZkLowLevelIOHook* lowLevelHook);
// 31 for an id with no device; 1 once the device's thread stopped and the device was freed. Waits
// until every stream of the device was destroyed by its owner.
ZKRESULT DestroyDevice(uint32_t deviceId);

void SetFileLocationResolver(IZkFileLocationResolver* resolver);
IZkFileLocationResolver* GetFileLocationResolver();

// 2 for a null name, one of 32 characters or more, or a non-empty one that ends in '/' or '\';
// else the name becomes current and every observer is told, the last registered first.
ZKRESULT SetCurrentLanguage(const wchar_t* languageName);
const wchar_t* GetCurrentLanguage();
// 2 when the observer list cannot grow, else 1.
ZKRESULT AddLanguageChangeObserver(LanguageChangeCallback callback, void* cookie);
// Removes every observer registered with the cookie.
void RemoveLanguageChangeObserver(void* cookie);

// Drops the cached data of every device's I/O memory.
void FlushAllCaches();
} // namespace ZK::StreamMgr
