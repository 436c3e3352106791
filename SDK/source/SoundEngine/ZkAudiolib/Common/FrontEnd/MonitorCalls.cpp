// Profiling and monitoring: this engine keeps no capture and no log. The profiler and monitor calls
// share one body that answers 4, the resource-monitor registrations one that answers 2.
#include <ZK/SoundEngine/Common/ZkMonitorCalls.h>

namespace
{
ZKRESULT NoMonitoring()
{
    return ZK_NotImplemented;
}

ZKRESULT NoResourceMonitor()
{
    return ZK_Fail;
}
} // namespace

namespace ZK::SoundEngine
{
ZKRESULT StartProfilerCapture(const wchar_t*)
{
    return NoMonitoring();
}

ZKRESULT StopProfilerCapture()
{
    return NoMonitoring();
}

ZKRESULT RegisterResourceMonitorCallback(ZkResourceMonitorCallbackFunc)
{
    return NoResourceMonitor();
}

ZKRESULT UnregisterResourceMonitorCallback(ZkResourceMonitorCallbackFunc)
{
    return NoResourceMonitor();
}
} // namespace ZK::SoundEngine

namespace ZK::Monitor
{
ZKRESULT PostCode(ZKRESULT, uint32_t, ZkPlayingID, ZkGameObjectID)
{
    return NoMonitoring();
}

ZKRESULT PostString(const char*, uint32_t, ZkPlayingID, ZkGameObjectID)
{
    return NoMonitoring();
}

ZKRESULT PostString(const wchar_t*, uint32_t, ZkPlayingID, ZkGameObjectID)
{
    return NoMonitoring();
}

ZKRESULT SetLocalOutput(uint32_t, ZkLocalOutputFunc)
{
    return NoMonitoring();
}
} // namespace ZK::Monitor
