// An output device with the default speaker angles, the memory manager and the panner's tables,
// started once per benchmark program and kept until it ends: what the panning benchmarks pan on.
#pragma once

#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Panning/ZkSpeakerPan.h>

#include <Support/BenchMemory.h>

inline CZkOutputDevice& BenchSpeakerDevice()
{
    static CZkOutputDevice* device = [] {
        EnsureMemoryMgr();
        ZK::MemoryMgr::InitForThread();
        CZkSpeakerPan::InitTables();
        static CZkOutputDevice made;
        const float angles[] = {CZkSpeakerPan::kDefaultFrontAngleDeg, CZkSpeakerPan::kDefaultSideAngleDeg,
                                CZkSpeakerPan::kDefaultRearAngleDeg};
        made.SetSpeakerAngles(angles, 3, CZkSpeakerPan::kDefaultHeightAngleDeg);
        return &made;
    }();
    return *device;
}
