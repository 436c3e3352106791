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
// are read again; the handle's Release drops the holder's reference (Destroy at zero).
// Threading: audio thread, under the global engine lock; no lock of its own.
// Ownership: memory pool 0; counted by its handles. The links own their link nodes (four in one
// block made with the object, more allocated singly) and each node's entry array.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

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

    // --- Queries of the voice's gain stage (not built yet) ---
    // Not built yet: no entry of either kind.
    void CountForMask(uint64_t, uint32_t& audioRate, uint32_t& controlRate) const
    {
        audioRate = 0;
        controlRate = 0;
    }
    // Not built yet: 4, nothing gathered.
    ZKRESULT GatherRamps(uint64_t, ZkAudioRateModulation*, ZkControlRateModulation*) const { return ZK_NotImplemented; }
    // Not built yet: the neutral value.
    float CurrentValue() const { return 1.0f; }

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
