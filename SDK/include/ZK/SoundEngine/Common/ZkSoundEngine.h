// The sound engine's interface for a game: everything a game calls while it plays, in one include.
// Each part has its own header with its rules (threading, results, what is copied). Starting and
// stopping the engine is in ZkEngineInit.h.
#pragma once

#include <ZK/SoundEngine/Common/ZkContainerHistory.h>
#include <ZK/SoundEngine/Common/ZkDynamicDialogue.h>
#include <ZK/SoundEngine/Common/ZkDynamicSequence.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkMonitorCalls.h>
#include <ZK/SoundEngine/Common/ZkOutputCalls.h>
#include <ZK/SoundEngine/Common/ZkPluginCalls.h>
#include <ZK/SoundEngine/Common/ZkQueryParameters.h>
