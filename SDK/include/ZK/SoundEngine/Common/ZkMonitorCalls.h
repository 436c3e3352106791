// Profiling and monitoring entry points. This engine keeps no profiler capture and no monitoring
// log: the profiler and monitor calls do nothing and answer 4 (not implemented), the resource
// monitor registrations do nothing and answer 2.
//
// Threading: any thread. Ownership: nothing kept.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

// What a resource monitor would be told (nothing in this engine).
struct ZkResourceMonitorDataSummary;
typedef void (*ZkResourceMonitorCallbackFunc)(const ZkResourceMonitorDataSummary* summary);
// Where local monitoring output would go (nowhere in this engine).
typedef void (*ZkLocalOutputFunc)(ZKRESULT code, const char* message, uint32_t level, ZkPlayingID playingID,
                                  ZkGameObjectID gameObject);

namespace ZK::SoundEngine
{
ZKRESULT StartProfilerCapture(const wchar_t* fileName);
ZKRESULT StopProfilerCapture();
ZKRESULT RegisterResourceMonitorCallback(ZkResourceMonitorCallbackFunc callback);
ZKRESULT UnregisterResourceMonitorCallback(ZkResourceMonitorCallbackFunc callback);
} // namespace ZK::SoundEngine

namespace ZK::Monitor
{
ZKRESULT PostCode(ZKRESULT code, uint32_t level, ZkPlayingID playingID = 0, ZkGameObjectID gameObject = 0);
ZKRESULT PostString(const char* message, uint32_t level, ZkPlayingID playingID = 0, ZkGameObjectID gameObject = 0);
ZKRESULT PostString(const wchar_t* message, uint32_t level, ZkPlayingID playingID = 0,
                    ZkGameObjectID gameObject = 0);
ZKRESULT SetLocalOutput(uint32_t levels, ZkLocalOutputFunc output);
} // namespace ZK::Monitor
