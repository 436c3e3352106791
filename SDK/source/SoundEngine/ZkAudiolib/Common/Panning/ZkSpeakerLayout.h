// ZkSpeakerLayout: where a device's speakers stand for one output channel configuration (LFE
// removed), built from the device's speaker angles. A configuration without extra speakers gets a
// ring of speaker pairs with the inverse 2 x 2 matrix of each pair (pairwise panning); one with top
// or other extra speakers gets a VBAP speaker set. Layouts with a front centre also keep the ring
// without it (centre blending), whose positions keep the channel numbers of the full layout.
//
// Threading: built and rebuilt by the owning device under its lock; read by the panning code.
// Ownership: the device's layout cache owns it; CZkSpeakerPan::DestroySpeakerLayout frees it.
#pragma once

#include "ZkVBAP.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>

#include <cstdint>

struct ZkSpeakerRing
{
    // Largest ring: 7 speakers; stereo and 3.0 add two virtual rear positions.
    static constexpr uint32_t kMaxPositions = 7;

    uint32_t positionCount = 0;                // also the pair count (the ring closes)
    uint8_t channels[kMaxPositions] = {};      // output channel fed by each ring position
    float* pairs = nullptr;                    // positionCount x 4 floats, memory pool 0
};

struct ZkSpeakerLayout
{
    ZkChannelConfig config;                    // the configuration without LFE
    ZkSpeakerRing ring;                        // planar layouts
    ZkSpeakerRing ringWithoutCentre;           // planar layouts with FC (empty otherwise)
    ZkVbapHelper* vbap = nullptr;              // layouts with extra speakers

    bool IsPlanar() const { return ring.pairs != nullptr; }
};
