// ZkSpeakerVolumeMatrixCallbackInfo (declaration only): the record handed to the game's speaker-
// volume-matrix callback, with the fields positioning fills; the playing manager writes its own
// fields (playing id, event id, cookie) when it calls back.
//
// Threading and ownership: a record on the caller's stack for the duration of the call.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

struct ZkSpeakerVolumeMatrixCallbackInfo
{
    ZkChannelConfig inputConfig;
    ZkChannelConfig outputConfig;
    float* volumes = nullptr; // input rows x output columns rounded up to 4
    ZkGameObjectID gameObject = 0;
};
