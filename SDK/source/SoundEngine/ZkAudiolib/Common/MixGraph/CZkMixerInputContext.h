// CZkMixerInputContext: one connection of the mix graph. It carries the output of one mix context
// (a voice or a mix bus) into one destination bus, with an entry per listener ray that holds the
// mixing state the positioning step fills every frame (volume matrices, filter, gains). The same
// object is what a mixer plug-in of the destination bus sees of that input.
//
// Every connection is in its input's output list (singly linked, head first) and in its
// destination's input list (head and tail). Made by CZkMixContext::ConnectTo, destroyed by
// CZkMixContext::RemoveConnection (which unlinks it from both lists first).
//
// Entries: a connection with one entry keeps it inside itself; once a second is needed every entry
// lives in one block (pool 0) whose capacity grows 2, 5, 12, ... Entries are moved, never copied:
// their filter memory, matrices and held buffers go with them.
//
// Threading: made and removed on the engine thread under the global engine lock; during a frame a
// voice's job writes only its own connections' entries. Ownership: the input owns its connections
// (memory pool 5, 16-byte aligned); the connection owns its entries and what they hold.
#pragma once

#include "ZkAudiolib/Common/MixGraph/IZkMixerInputContext.h"
#include "ZkAudiolib/Common/MixGraph/ZkMixInputEntry.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkMixBus;
class CZkMixContext;

class CZkMixerInputContext final : public IZkMixerInputContext
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    static constexpr ZkMemoryId kEntryPool = ZkMemID_Default;
    static constexpr uint32_t kAlignment = 16;
    // Flags.
    static constexpr uint32_t kFlagBelowThreshold = 0x1;
    static constexpr uint32_t kFlagSecond = 0x2;     // set at creation for a send-capable voice
    static constexpr uint32_t kFlagDeferred = 0x4;   // closes a cycle: mixed after the pass

    // Allocates and links nothing: use CZkMixContext::ConnectTo.
    CZkMixerInputContext(CZkMixContext& input, CZkMixBus& destination, CZkMixContext* related, uint32_t type,
                         bool sendCapable);
    // Destroys every entry and frees the entry block (the lists are the input's business).
    ~CZkMixerInputContext() override;

    // --- Entries ---
    // A new entry (key, ray id) with the destination's configuration; null when the array cannot
    // grow (that ray is not mixed this frame).
    ZkMixInputEntry* AddEntry(uint64_t key, uint32_t rayID);
    ZkMixInputEntry* FindEntry(uint64_t key, uint32_t rayID);
    // From the last entry to the first: an entry whose configuration word names channels (a
    // speaker, ambisonic or object configuration with channels, or objects) is kept; one without the
    // keep byte is reset to config and marked stale; any other is removed.
    void PruneEntries(ZkChannelConfig config);
    // Removes entry index, moving the last entry into its place.
    void RemoveEntry(uint32_t index);
    // The empty state of an entry slot, before it is filled or an entry is moved into it.
    static ZkMixInputEntry& ResetState(ZkMixInputEntry& entry);
    // Moves from's state into to (reset first) and leaves from owning nothing.
    static void MoveEntry(ZkMixInputEntry& to, ZkMixInputEntry& from);
    // Writes the frame's configuration into the entry, resets its gains and copies the rays (the
    // list grows through the plug-in allocator; when it cannot, the rays are not copied).
    static void RefreshEntry(ZkMixInputEntry& entry, ZkChannelConfig config, const ZkRay* const* rays,
                             uint32_t rayCount);
    // The connection's entries for this frame, from its input's rays: one per ray of its listener
    // when the input tracks several rays, else one (ray id 0); a send of type 1 into an object
    // configuration keeps its first entry unless the input mixes per object. Then PruneEntries.
    void RefreshFromInput(ZkChannelConfig config, bool perObjectMixing);
    uint32_t EntryCount() const { return m_count; }
    uint32_t EntryCapacity() const { return m_capacity; }
    ZkMixInputEntry& Entry(uint32_t index) { return m_block != nullptr ? m_block[index] : m_firstEntry; }
    const ZkMixInputEntry& Entry(uint32_t index) const { return m_block != nullptr ? m_block[index] : m_firstEntry; }
    // Whether the entry block exists (more than one entry was ever needed).
    bool HasEntryBlock() const { return m_block != nullptr; }

    // --- The mixer plug-in's view ---
    ZK::IZkPluginParam* GetAttachedParams() const override;
    ZK::IZkVoiceInfo* GetInputVoiceInterface() const override;
    ZK::IZkGameObjectInfo* GetInput() const override;
    uint32_t GetConnectionType() const override { return connectionType; }
    uint64_t GetUserData() const override { return userData; }
    void SetUserData(uint64_t data) override { userData = data; }
    float GetPositioningRatio() const override;
    uint32_t GetPannerMode() const override;
    void GetPannerPosition(float& x, float& y, float& z) const override;
    bool IsPannerFlagSet() const override;
    uint32_t GetSpatialMode() const override;
    uint32_t GetListenerRecordCount() const override;
    ZKRESULT GetListenerRecord(uint32_t index, ZkRay& record) const override;
    float EvaluateCurveB(uint32_t index) const override;
    float EvaluateCurveA(uint32_t index) const override;
    const ZkMixPositioning* ForwardToPositioning() const override;
    void GetVolumeMatrices(float* current, float* previous) const override;
    uint32_t GetSpatialKind() const override;

    // --- The engine's view ---
    CZkMixContext& GetInputContext() const { return *m_input; }
    CZkMixBus* GetOutputBus() const { return m_destination; }
    CZkHierarchyNode* GetOutputBusNode() const;
    ZkChannelConfig GetOutputConfig() const;
    CZkMixContext* GetRelatedContext() const { return m_related; }
    bool IsBelowThreshold() const { return (flags & kFlagBelowThreshold) != 0; }

    // The gain the connection is mixed with, ramped from previous to next across the frame, and
    // the factors a mixer or the bus applies on top. Until the first gain is computed there is no
    // previous one: the connection's first frame starts at that gain (mixGainSet).
    float previousMixGain = 1.0f;
    float nextMixGain = 1.0f;
    bool mixGainSet = false;
    float previousFactor = 1.0f;
    float nextFactor = 1.0f;
    CZkMixerInputContext* nextInput = nullptr;   // in the destination's input list
    CZkMixerInputContext* nextOutput = nullptr;  // in the input's output list
    uint64_t userData = 0;
    ZkGameObjectID listenerID = 0;
    float auxGainSum = 0.0f;
    float auxGainTotal = 0.0f;
    float gain = 1.0f;                           // from the connection-volume pass
    float previousGain = 1.0f;
    float currentDb = -4096.0f;
    float previousDb = -4096.0f;
    uint32_t connectionType = 0;
    uint32_t flags = 0;
    // The filter values (0..100) of the rays its listener hears (CZkPositioningMath's listener
    // filters); a positioned input's entries are filtered by them.
    float listenerLowPass = 100.0f;
    float listenerHighPass = 100.0f;

private:
    bool GrowEntries();
    // The listener record behind index, or null.
    bool CopyRecord(uint32_t index, ZkRay& record) const;

    CZkMixContext* m_input;
    CZkMixBus* m_destination;
    CZkMixContext* m_related;
    ZkMixInputEntry m_firstEntry;
    ZkMixInputEntry* m_block = nullptr; // every entry once the capacity is above 1
    uint32_t m_count = 0;
    uint32_t m_capacity = 1;
};

// The engine-wide counter that stamps every entry.
uint64_t NextMixEntrySerial();
} // namespace ZK::SoundEngine
