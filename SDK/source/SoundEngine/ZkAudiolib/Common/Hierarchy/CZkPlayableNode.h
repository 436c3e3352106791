// CZkPlayableNode: the node base of everything that can be played (sounds, containers, music
// nodes): the randomised ranges of its properties, its links to the layers of layered containers,
// its instance-limit behaviours, and the node's side of starting a play: the MIDI filter, the
// initial delay, and the launch of its class's play operation.
//
// Threading: audio thread (bank loading under the global engine lock); see CZkHierarchyNode.
// Ownership: as CZkHierarchyNode; the node owns its range list (pool 2) and its layer-link array
// (pool 0), not the layers.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/PlayLaunchParams.h"

#include <ZK/SoundEngine/Common/ZkRTPCKey.h>

namespace ZK::SoundEngine
{
class CZkContainerLayer;

// Queue-behaviour byte: bits 0-2 the bank value, bits 3-5 the effective value.
constexpr uint8_t kQueueBankMask = 0x07;
constexpr uint8_t kQueueEffectiveShift = 3;
// Below-threshold behaviour that forces queue behaviour 1.
constexpr uint8_t kBelowThresholdForcesQueue = 3;
// The game parameters a MIDI note-on publishes: its note number and its frequency in Hz.
constexpr ZkUniqueID kMidiNoteParam = 133;
constexpr ZkUniqueID kMidiFrequencyParam = 132;

class CZkPlayableNode : public CZkHierarchyNode
{
public:
    explicit CZkPlayableNode(ZkUniqueID id) : CZkHierarchyNode(id) {}
    ~CZkPlayableNode() override;

    // 1 when the event passes the node's MIDI channel, key and velocity ranges (its note and
    // velocity then carry the transposition and offset), 82 when it is filtered out. With
    // walkAncestors set the parent filters first (the flag is then cleared).
    ZKRESULT FilterMidiEvent(ZkMidiEvent& event, CZkGameObject* object, ZkPlayingID playingID, bool& walkAncestors);
    // 1 play now; 3 deferred by a queued delayed play; a failure. The delay is property 59 plus the
    // state and game-parameter values of parameter 6 plus a draw from the property's range.
    ZKRESULT ApplyInitialDelay(PlayLaunchParams& params);
    // The play path of a node: the MIDI filter for a note-on, the initial delay, the class's play;
    // the started-instance counter counts every launch.
    ZKRESULT Launch(PlayLaunchParams& params);
    // The class's play operation.
    virtual ZKRESULT Play(PlayLaunchParams& params) = 0;
    // Whether the node (or an ancestor below upTo) loops forever.
    virtual bool IsInfiniteLoop(const CZkHierarchyNode* upTo) const;
    // Queues a delayed play of the node: a run-time play action carrying a copy of params, due
    // delaySeconds plus the play's gathered start delay from now. 1 when queued (or the result of
    // the play when the delay is under one frame and it ran at once); 52 out of memory; 2 without
    // an event manager.
    ZKRESULT DelayedPlay(float delaySeconds, PlayLaunchParams& params);
    // Continues the play's chain of container items (2 when it has none).
    ZKRESULT ContinuePlayChain(PlayLaunchParams& params);

    // Randomised range of a property (pool 2): {0, 0} adds no entry. 1; 2 out of memory.
    ZKRESULT SetRange(uint32_t id, ZkPropertyValue minimum, ZkPropertyValue maximum);
    bool GetRange(uint32_t id, ZkPropertyValue& minimum, ZkPropertyValue& maximum) const;
    // A uniform float from the property's range (0 without one).
    float RandomOffset(uint32_t id) const;
    // Property 58 plus an integer from its range, as 16 bits; 0 means infinite.
    uint16_t LoopCount() const;
    // The MIDI play mode in force: property 46 of the first node up the chain that overrides it.
    int32_t MidiPlayMode() const;

    // 1, or 52 when the list cannot grow; the node is refreshed.
    ZKRESULT AddLayerLink(CZkContainerLayer* layer);
    // 1, or 2 when the layer is not linked; the node is refreshed.
    ZKRESULT RemoveLayerLink(CZkContainerLayer* layer);
    uint32_t LayerLinkCount() const { return m_layers.Length(); }
    CZkContainerLayer* LayerLink(uint32_t index) const { return m_layers[index]; }

    uint8_t QueueBehaviour() const { return m_queueByte & kQueueBankMask; }
    uint8_t EffectiveQueueBehaviour() const override { return (m_queueByte >> kQueueEffectiveShift) & kQueueBankMask; }
    uint8_t BelowThresholdBehaviour() const override { return m_settingsByte & 0x0F; }
    uint8_t AdvancedFlags() const override { return (m_settingsByte >> 4) & 0x07; }
    void AddRandomOffsets(float (&offsets)[kRandomisedProperties]) const override;
    const ZkPackedPropList<8, ZkMemID_BankObjects>& Ranges() const { return m_ranges; }

    ZKRESULT ReadPropertiesFromBank(ZK::ZkByteCursor& cursor) override;
    ZKRESULT ReadAdvancedSettingsFromBank(ZK::ZkByteCursor& cursor) override;

    static void CountStartedInstance();
    static uint32_t StartedInstanceCount();
    // seconds x the engine's sample rate, rounded half away from zero (negative: 0).
    static uint32_t SecondsToSamples(float seconds);

private:
    ZkPackedPropList<8, ZkMemID_BankObjects> m_ranges;
    ZK::ZkArray<CZkContainerLayer*> m_layers;
    uint8_t m_queueByte = 0;
    uint8_t m_settingsByte = 0;
};
} // namespace ZK::SoundEngine
