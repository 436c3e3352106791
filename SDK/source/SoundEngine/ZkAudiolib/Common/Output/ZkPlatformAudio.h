// The platform side of the engine's audio start-up: the platform settings the engine keeps, the
// start of the platform audio (processor features, audio format globals, the engine thread's
// wake-up event, the renderer), the engine thread's own set-up and tear-down of the system's
// component apartment and of the shared endpoint notifier, and the platform object the renderer's
// end destroys.
//
// Calling order: StorePlatformInitSettings (the engine's Init), InitPlatformAudio (last step of the
// active instances' Init), InitAudioThreadCOM first thing on the engine thread (or on the thread
// that starts an engine without a thread of its own), TermAudioThreadCOM last thing there,
// CZkAudioRenderer::Term (which calls DestroyDefaultObject).
//
// Threading: settings are stored once at Init and read-only afterwards; everything else runs on
// the thread that starts the engine or on the engine thread. Ownership: the stored copy and the
// wake-up event are process-wide.
#pragma once

#include "Platform/PlatformThread.h"

#include <ZK/SoundEngine/Common/ZkPlatformInitSettings.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
// Zeroes the record and writes the defaults; answers 4, which callers ignore.
ZKRESULT FillDefaultPlatformInitSettings(ZkPlatformInitSettings& settings);
// Keeps a copy (the defaults for none); a refill-buffer count below 2 becomes 4, and the caller's
// record gets the values kept.
void StorePlatformInitSettings(ZkPlatformInitSettings* settings);
// The settings kept (the defaults until StorePlatformInitSettings).
const ZkPlatformInitSettings& GetPlatformInitSettings();
// The platform layer's start properties of an engine thread with these settings and this name.
ZK::Platform::ThreadProperties ThreadStartProperties(const ZkThreadProperties& settings, const char* name);

// 31 without a sample rate or frames per buffer (or more frames than 16 bits hold); 2 when the
// wake-up event cannot be made; else the renderer's start.
ZKRESULT InitPlatformAudio();

void InitAudioThreadCOM();
void TermAudioThreadCOM();

namespace PlatformAudio
{
// Destroys the endpoint-notification factory and closes the engine thread's wake-up event.
void DestroyDefaultObject();
} // namespace PlatformAudio
} // namespace ZK::SoundEngine
