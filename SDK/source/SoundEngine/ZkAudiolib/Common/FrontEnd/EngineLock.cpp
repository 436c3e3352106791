#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

namespace ZK::SoundEngine
{
ZK::Platform::ZkCriticalSection g_EngineLock;
} // namespace ZK::SoundEngine
