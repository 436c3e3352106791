// CZkModulatorLinks: the modulator instances one playing object started (CZkModulator::Attach),
// linked to that object's parameters. Each link keeps its instance alive and counted as one of the
// instance's users, with the list of parameters the instance drives and the linear gain mapping of
// each (entry: gain = value x scale + offset, for parameter bits 0 and 7). The playing object
// releases, pauses or resumes all linked instances together.
//
// ZkModulatorLinksHandle is what a node instance embeds: the links (null until the first modulator
// is attached) and the frame offset of the holder's stop (-1 while not stopped): an instance
// attached through a stopped handle is released at once.
//
// Life cycle: ZkModulatorLinksHandle::Init, then Attach creates the links through the handle on
// first need (Create), AddInstance per attached instance, ResetEntries when the holder's settings
// are read again; PauseAll / ResumeAll follow the holder's pause, ReleaseAll its stop or break; the
// voice reads gains every frame (CountForMask, GatherRamps, GetGain, GetTargetGain) and never
// changes an entry; the handle's Release drops the holder's reference (Destroy at zero).
// Threading: audio thread, under the global engine lock; no lock of its own.
// Ownership: memory pool 0; counted by its handles. The links own their link nodes (four in one
// block made with the object, more allocated singly) and each node's entry array.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorInstanceArray.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkModulatorInstance;
struct ZkModulatorTargetKey;
struct ZkModulatorTrigger;

// One parameter an instance drives: gain = value x scale + offset.
struct ZkModulatorLinkEntry
{
    float offset;
    float scale;
    uint8_t bit; // 0 to 63
};

// An audio-rate modulator's gain for sample k of a frame: scale x buffer[k] + offset.
struct ZkAudioRateModulation
{
    float offset;
    float scale;
    const float* buffer; // one value per frame
};

// A control-rate modulator's gain across a frame: a ramp from start to end.
struct ZkControlRateModulation
{
    float start;
    float end;
};

class CZkModulatorLinks
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint32_t kBlockNodes = 4;

    struct LinkNode
    {
        LinkNode* next;
        CZkModulatorInstance* instance; // one reference and one user
        ZK::ZkArray<ZkModulatorLinkEntry> entries;
    };

    // New links with one reference, and their block of four nodes when it can be had. Null when
    // pool 0 is exhausted.
    static CZkModulatorLinks* Create();

    void AddRef() { ++m_refCount; }
    // At zero the links are destroyed and freed.
    void Release();

    // Links the instance when no node holds it yet (a reference and a user taken), then fills its
    // entries for the key's target. 1; 2 when no node can be allocated.
    ZKRESULT AddInstance(CZkModulatorInstance* instance, const ZkModulatorTrigger& trigger,
                         const ZkModulatorTargetKey& key);
    // Every link's entries are dropped (they are filled again when the holder's settings are
    // read again).
    void ResetEntries();
    // Every linked instance starts its release `frames` frames from now (once).
    void ReleaseAll(int64_t frames);
    // The playing object goes away: every linked instance forgets its voices.
    void ForgetVoices();

    uint32_t LinkCount() const { return m_linkCount; }
    const LinkNode* Head() const { return m_head; }
    int32_t RefCount() const { return m_refCount; }

    // --- Pause and resume of the playing object ---
    // Each linked instance counts one more paused user. An instance (not global) whose users are
    // now all paused holds still: its pending output's last value becomes its current value and
    // the output is dropped, so it is read as a constant until it runs again. The links remember
    // how deep they are paused: an instance linked meanwhile is paused as deep, and the links'
    // end gives back the paused users they still count, so no instance stays held by a holder
    // that is gone.
    void PauseAll();
    // Each linked instance counts one paused user fewer; nothing when the links are not paused.
    void ResumeAll();
    uint32_t PauseDepth() const { return m_pauseDepth; }

    // --- What the voice's gain stage reads (a 64-bit set of parameter bits) ---
    // The product of value x scale + offset over every entry whose bit is in the mask, with the
    // instances' current values; 1.0 when no entry matches.
    float GetGain(uint64_t mask) const;
    // The same product with the peak of each instance's pending frame (its current value without
    // one): the loudest the frame gets.
    float GetTargetGain(uint64_t mask) const;
    // The matching entries, split into audio-rate (an instance whose pending output carries a
    // sample buffer) and control-rate.
    void CountForMask(uint64_t mask, uint32_t& audioRate, uint32_t& controlRate) const;
    // The matching entries in link order, then entry order: audio-rate ones as {offset, scale,
    // buffer} while `audioCapacity` allows, the others as ramps from the current gain to the
    // pending frame's last gain while `controlCapacity` allows; entries beyond a full capacity are
    // skipped. The counts written are returned.
    void GatherRamps(uint64_t mask, ZkAudioRateModulation* audio, uint32_t audioCapacity, uint32_t& audioCount,
                     ZkControlRateModulation* control, uint32_t controlCapacity, uint32_t& controlCount) const;
    // Appends every linked instance of that scope (0 to 3) to the array (each taking a reference
    // and a user there); instances the array cannot take are skipped.
    void CollectInstancesWithTag(int32_t scope, ZkModulatorInstanceArray& array) const;

private:
    CZkModulatorLinks() = default;
    ~CZkModulatorLinks() = default;
    void Destroy();
    LinkNode* TakeNode();
    bool IsBlockNode(const LinkNode* node) const;

    LinkNode* m_head = nullptr;
    LinkNode* m_tail = nullptr;
    LinkNode* m_free = nullptr;
    LinkNode* m_block = nullptr;
    uint32_t m_blockNodes = 0;
    uint32_t m_linkCount = 0;
    int32_t m_refCount = 1;
    uint32_t m_pauseDepth = 0;
};

struct ZkModulatorLinksHandle
{
    static constexpr int32_t kNotReleased = -1;

    CZkModulatorLinks* links = nullptr;
    int32_t releaseFrame = kNotReleased;

    void Init()
    {
        links = nullptr;
        releaseFrame = kNotReleased;
    }
    // The links made on first need. 1; 2 when they cannot be allocated.
    ZKRESULT EnsureLinks();
    // The holder lets its links go: the linked instances forget its voices, the reference drops.
    void Release();
};
} // namespace ZK::SoundEngine
