// CZkMixContext: what a voice and a mix-bus instance have in common as nodes of the mix graph:
// the connections that carry their output into destination buses (CZkMixerInputContext), the
// connections that feed them (buses only), their auxiliary sends, and the per-frame computation
// of every output connection's gain, level and volume matrices.
//
// Each frame, before any audio is pulled, the render pass calls, per context:
//   UpdateSendConnections (gains, levels in dB, below-threshold bits, sends that disappeared),
//   then ApplyRelatedLevels, then ComputeConnectionVolumes (the matrices; for a voice from its
//   frame preparation, with the voice gain).
// The context reads its node instance only through its ZkMixInstanceView, which the voice or the
// bus refreshes from its instance first.
//
// Threading: engine thread under the global engine lock; the frame's jobs touch only their own
// context's connection entries. Ownership: a context owns its output connections (removed by its
// destructor) and its arrays; the connections feeding a bus belong to their inputs.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/GameObjects/ZkListenerGainTable.h"
#include "ZkAudiolib/Common/MixGraph/ZkMixInstanceView.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK
{
class IZkGameObjectInfo;
class IZkPluginParam;
class IZkVoiceInfo;
} // namespace ZK

namespace ZK::SoundEngine
{
class CZkMixBus;
class CZkMixerInputContext;
class CZkNodeInstanceBase;
struct ZkMixInputEntry;
struct ZkRay;

// The rays one connection's listener hears, with their path gains and listener-space items.
struct ZkConnectionRays
{
    const ZkRay* rays[CZkPositioningMath::kMaxVoiceRays];
    float gains[CZkPositioningMath::kMaxVoiceRays];
    ZkPositioningRay items[CZkPositioningMath::kMaxVoiceRays];
    uint32_t count = 0;
    ZkListenerView listener; // of the first ray
};

// Connection types.
constexpr uint32_t kConnectionDirect = 0; // the dry path into the output bus
constexpr uint32_t kConnectionObjectSend = 1; // into an object bus: keeps its first entry unless mixed per object
constexpr uint32_t kConnectionFixedRouting = 3; // never positioned in three dimensions nor listener-filtered

class CZkMixContext
{
public:
    static constexpr float kNoLevelDb = -4096.0f;
    // Flags.
    static constexpr uint8_t kFlagAudible = 0x1;           // a connection above threshold this frame
    static constexpr uint8_t kFlagDecided = 0x2;           // the first audibility decision was taken
    static constexpr uint8_t kFlagGraphOnRemove = 0x4;     // removing a connection dirties the graph

    CZkMixContext() = default;
    // Removes every output connection and every connection feeding this context.
    virtual ~CZkMixContext();
    CZkMixContext(const CZkMixContext&) = delete;
    CZkMixContext& operator=(const CZkMixContext&) = delete;

    // --- Graph ---
    // A new connection of this context into destination (type 0 dry, else an auxiliary send), at
    // the head of the output list and the tail of the destination's input list. Null when out of
    // memory, or when the destination's device supports neither the connection's configuration
    // without LFE nor (with a centre) without LFE and centre.
    CZkMixerInputContext* ConnectTo(CZkMixBus& destination, uint32_t type);
    // Unlinks the connection from both lists and destroys it; marks the graph for a refresh when
    // this context's flags ask for it.
    void RemoveConnection(CZkMixerInputContext* connection);
    uint32_t CountConnectionsOfType(uint32_t type) const;
    // Every entry of every output connection forgets the buffer published for the frame.
    void ClearConnectionBuffers();

    // --- Per frame ---
    // The send list is collected again from the instance (CollectSends) and every auxiliary bus it
    // names is connected through the mix graph.
    void BuildSends();
    // Gains and levels of every output connection (see the source for the rules). thresholdDb is
    // the engine's volume threshold; with thresholdTest false no connection is below it.
    void UpdateSendConnections(bool thresholdTest, float thresholdDb);
    void ApplyRelatedLevels();
    // The volume matrices of every output connection, the connection gains times factor.
    void ComputeConnectionVolumes(float factor);

    // --- What the connections and plug-ins ask of the context ---
    // The configuration of what this context outputs.
    virtual ZkChannelConfig GetOutputConfig() const = 0;
    // Listener records of the instance (rays) for one listener (for the emitter itself: every
    // listener, as its connections hear them): count, and a copy of the n-th.
    virtual uint32_t CountListenerRecords(ZkGameObjectID listenerID) const;
    virtual ZKRESULT GetListenerRecord(ZkGameObjectID listenerID, uint32_t index, ZkRay& record) const;
    // The instance's positioning curves at x (0 when it uses none).
    virtual float EvaluateCurveA(float) const { return 0.0f; }
    virtual float EvaluateCurveB(float) const { return 0.0f; }
    // A bus instance (connections from a voice look for a related context; a bus's do not).
    virtual bool IsBus() const { return false; }
    // What a mixer plug-in asks of its input (none by default).
    virtual ZK::IZkPluginParam* GetAttachedParams() const { return nullptr; }
    virtual ZK::IZkVoiceInfo* GetVoiceInfo() const { return nullptr; }
    virtual ZK::IZkGameObjectInfo* GetGameObjectInfo() const { return nullptr; }

    CZkMixerInputContext* FirstOutput() const { return m_outputs; }
    CZkMixerInputContext* FirstInput() const { return m_inputsHead; }
    ZK::ZkArray<ZkSendRecord>& Sends() { return m_sends; }
    ZkMixInstanceView& View() { return m_view; }
    const ZkMixInstanceView& View() const { return m_view; }
    float LoudestLevelDb() const { return m_loudestDb; }
    void RaiseLoudestLevel(float db)
    {
        if (db > m_loudestDb)
            m_loudestDb = db;
    }
    float Gain() const { return m_gain; }
    void SetGain(float gain) { m_gain = gain; }
    uint8_t Flags() const { return m_flags; }
    void SetFlags(uint8_t bits, bool set) { m_flags = set ? (m_flags | bits) : (m_flags & ~bits); }

    CZkNodeInstanceBase* instance = nullptr; // the node instance (null for a device's master mix)

protected:
    // The instance's auxiliary sends of this frame (none by default).
    virtual void CollectSends(ZK::ZkArray<ZkSendRecord>&) {}

private:
    friend class CZkMixerInputContext;
    struct RelatedLevel
    {
        CZkMixContext* context;
        float levelDb;
    };
    // Related contexts one frame can record (the buses a voice's connections feed into); more are
    // left out of the level adjustment.
    static constexpr uint32_t kMaxRelated = 8;

    // Connection steps of UpdateSendConnections and ComputeConnectionVolumes.
    bool SumSends(CZkMixerInputContext& connection) const;
    float DryRayLevel(const CZkMixerInputContext& connection, float& directGain) const;
    void StoreLevel(CZkMixerInputContext& connection, float linear);
    void RecordRelated(CZkMixContext* related, float levelDb);
    void PositionEntries(CZkMixerInputContext& connection, bool rebuild);
    // The three-dimensional steps (CZkMixContextRays.cpp).
    void CollectConnectionRays(const CZkMixerInputContext& connection, ZkConnectionRays& out) const;
    void PanEntry(const CZkMixerInputContext& connection, const ZkConnectionRays& rays,
                  const ZkMixMatrixTarget& target, ZkMixInputEntry& entry);
    void ShareOverlappingPositions(CZkMixerInputContext& connection, const ZkConnectionRays& rays);
    // A fresh entry's matrix becomes its previous one too; the volume-matrix callback.
    void FinishEntry(const CZkMixerInputContext& connection, ZkMixInputEntry& entry, bool fresh);
    static constexpr uint32_t kMaxDeferredEntries = 64;
    // Room for floats of temporary matrices (kept from frame to frame); null when out of memory.
    float* Scratch(size_t floats);
    void LinkInput(CZkMixerInputContext* connection);
    void UnlinkInput(CZkMixerInputContext* connection);

    ZkMixInstanceView m_view;
    float m_gain = 1.0f;
    float m_loudestDb = kNoLevelDb;
    float m_thresholdDb = 0.0f;
    bool m_thresholdTest = false;
    CZkMixerInputContext* m_inputsHead = nullptr;
    CZkMixerInputContext* m_inputsTail = nullptr;
    CZkMixerInputContext* m_outputs = nullptr;
    ZK::ZkArray<ZkSendRecord> m_sends;
    ZK::ZkArray<float> m_scratch;
    RelatedLevel m_related[kMaxRelated] = {};
    uint32_t m_relatedCount = 0;
    ZkMixPositioning m_cachedPositioning; // compared with the view's to decide a rebuild
    bool m_positioningCached = false;
    uint8_t m_flags = 0;
};
} // namespace ZK::SoundEngine
