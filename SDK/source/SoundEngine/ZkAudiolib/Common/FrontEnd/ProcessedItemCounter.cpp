#include "ZkAudiolib/Common/FrontEnd/ProcessedItemCounter.h"

namespace ZK::SoundEngine
{
uint32_t g_ProcessedItemCount = 0;
} // namespace ZK::SoundEngine
