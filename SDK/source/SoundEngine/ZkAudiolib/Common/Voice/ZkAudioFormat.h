// The media format record a source hands to its resampler (public: source plug-ins write it too).
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioFormat.h>
