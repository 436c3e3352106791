// CZkMixContext: the connection-volume pass. Each frame, every output connection gets its gain
// (the sends' sum for an auxiliary send, the instance's output level for the dry path) and its
// level in dB, which decides whether it is below the volume threshold; the context keeps its
// loudest level, and connections raise the peak of their related context.
#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"
#include "ZkAudiolib/Common/Positioning/ZkRay.h"

#include <algorithm>
#include <bit>

namespace ZK::SoundEngine
{
namespace
{
bool IsBelow(bool thresholdTest, float db, float thresholdDb) { return thresholdTest && !(db > thresholdDb); }

void SetBelow(CZkMixerInputContext& connection, bool below)
{
    connection.flags = below ? (connection.flags | CZkMixerInputContext::kFlagBelowThreshold)
                             : (connection.flags & ~CZkMixerInputContext::kFlagBelowThreshold);
}
} // namespace

// The sends of the list that feed this connection's bus for its listener: their gains summed into
// the connection's gain, their two extra terms into its aux sums. False when none does.
bool CZkMixContext::SumSends(CZkMixerInputContext& connection) const
{
    const CZkHierarchyNode* node = connection.GetOutputBusNode();
    if (node == nullptr)
        return false;
    bool fed = false;
    float gain = 0.0f;
    float sum = 0.0f;
    float total = 0.0f;
    for (const ZkSendRecord& send : m_sends)
    {
        if (send.auxBusID != node->ID() || send.listenerID != connection.listenerID)
            continue;
        fed = true;
        gain += send.gain;
        sum += send.v;
        total += std::bit_cast<float>(send.w);
    }
    if (fed)
    {
        connection.gain = gain;
        connection.auxGainSum = sum;
        connection.auxGainTotal = total;
    }
    return fed;
}

// The dry path's gain (the instance's output level, times the game object's dry level towards the
// listener when rays drive the levels) and the ray level (the loudest ray of that listener).
float CZkMixContext::DryRayLevel(const CZkMixerInputContext& connection, float& directGain) const
{
    directGain = m_view.outputLevel;
    if (!m_view.tracksRays)
        return 1.0f;
    if (m_view.dryLevels != nullptr)
        directGain *= m_view.dryLevels->GetGain(connection.listenerID, 0);
    const ZkGameObjectID listener = m_view.RayListener(connection.listenerID);
    float rayLevel = 0.0f;
    bool any = false;
    for (uint32_t i = 0; i < m_view.rayCount; ++i)
        if (ZkMixInstanceView::Hears(m_view.rays[i].listenerID, listener))
        {
            rayLevel = any ? std::max(rayLevel, m_view.rays[i].dryGain) : m_view.rays[i].dryGain;
            any = true;
        }
    return any ? rayLevel : 1.0f;
}

void CZkMixContext::StoreLevel(CZkMixerInputContext& connection, float linear)
{
    connection.previousDb = connection.currentDb;
    // The engine's fast logarithm; the bus's own level adds to it.
    const float db = linear > 0.0f ? ZkFastLinToDB(linear) + connection.GetOutputBus()->GetLevelDb() : kNoLevelDb;
    connection.currentDb = db;
    SetBelow(connection, IsBelow(m_thresholdTest, db, m_thresholdDb));
    RaiseLoudestLevel(db);
}

void CZkMixContext::RecordRelated(CZkMixContext* related, float levelDb)
{
    // A set sorted by context: the larger level wins.
    uint32_t at = 0;
    while (at < m_relatedCount && m_related[at].context < related)
        ++at;
    if (at < m_relatedCount && m_related[at].context == related)
    {
        m_related[at].levelDb = std::max(m_related[at].levelDb, levelDb);
        return;
    }
    if (m_relatedCount == kMaxRelated)
        return;
    for (uint32_t i = m_relatedCount; i > at; --i)
        m_related[i] = m_related[i - 1];
    m_related[at] = RelatedLevel{related, levelDb};
    ++m_relatedCount;
}

void CZkMixContext::UpdateSendConnections(bool thresholdTest, float thresholdDb)
{
    m_loudestDb = kNoLevelDb;
    m_relatedCount = 0;
    m_thresholdTest = thresholdTest;
    m_thresholdDb = thresholdDb;
    const float modulationGain = m_view.modulationGain;

    CZkMixerInputContext* next = nullptr;
    for (CZkMixerInputContext* c = m_outputs; c != nullptr; c = next)
    {
        next = c->nextOutput;
        const bool wasAudible = !c->IsBelowThreshold();
        c->previousGain = c->gain;
        float rayLevel = 1.0f;
        if (c->connectionType != kConnectionDirect)
        {
            if (!SumSends(*c))
            {
                // A send nobody feeds any more: gone at once when it was already inaudible, else
                // faded to silence for this frame first.
                if (!wasAudible)
                {
                    RemoveConnection(c);
                    continue;
                }
                c->gain = 0.0f;
            }
        }
        else
        {
            rayLevel = DryRayLevel(*c, c->gain);
        }
        const float linear = modulationGain * m_gain * c->gain * rayLevel;
        StoreLevel(*c, linear);
        if (c->GetRelatedContext() != nullptr && m_view.raisesRelated)
        {
            const float raised = c->currentDb + m_view.relatedOffsetDb;
            c->GetRelatedContext()->RaiseLoudestLevel(raised);
            RecordRelated(c->GetRelatedContext(), raised);
        }
        if (c->connectionType != kConnectionFixedRouting && (wasAudible || !c->IsBelowThreshold()))
            CZkPositioningMath::ComputeListenerFilters(m_view.rays, m_view.rayCount, *c);
    }
}

void CZkMixContext::ApplyRelatedLevels()
{
    for (uint32_t r = 0; r < m_relatedCount; ++r)
    {
        const RelatedLevel& related = m_related[r];
        const float offset =
            related.context->m_loudestDb - std::max(related.context->m_view.relatedOffsetDb, related.levelDb);
        const float factor = ZkDecibelsToLinear(offset);
        for (CZkMixerInputContext* c = m_outputs; c != nullptr; c = c->nextOutput)
        {
            if (c->GetRelatedContext() != related.context)
                continue;
            c->gain *= factor;
            c->currentDb += offset;
            SetBelow(*c, IsBelow(m_thresholdTest, c->currentDb, m_thresholdDb));
        }
    }
}
} // namespace ZK::SoundEngine
