#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkChainContinuation.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Events/CZkDynamicPlayAction.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kTransposeParam = 11;
constexpr uint32_t kVelocityParam = 12;
constexpr uint32_t kInitialDelayParam = 6;
constexpr int32_t kLowestNote = 0;
constexpr int32_t kHighestNote = 127;
constexpr int32_t kLowestVelocity = 1;

uint32_t g_startedInstanceCount = 0;

int32_t RoundHalfAway(float value) { return static_cast<int32_t>(std::lround(value)); }

int32_t Clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : (value > high ? high : value); }
} // namespace

CZkPlayableNode::~CZkPlayableNode() = default;

void CZkPlayableNode::CountStartedInstance() { ++g_startedInstanceCount; }

uint32_t CZkPlayableNode::StartedInstanceCount() { return g_startedInstanceCount; }

uint32_t CZkPlayableNode::SecondsToSamples(float seconds)
{
    const double samples = std::round(static_cast<double>(seconds) * ZkAudioSettings::SampleRate());
    if (!(samples > 0.0))
        return 0;
    return samples >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(samples);
}

ZKRESULT CZkPlayableNode::SetRange(uint32_t id, ZkPropertyValue minimum, ZkPropertyValue maximum)
{
    if (id >= kPropertyCount)
        return ZK_InvalidParameter;
    const uint32_t pair[2] = {minimum.bits, maximum.bits};
    const bool empty = minimum.bits == 0 && maximum.bits == 0;
    if (empty && m_ranges.Find(static_cast<uint8_t>(id)) == nullptr)
        return ZK_Success; // an empty range adds no entry
    return m_ranges.Set(static_cast<uint8_t>(id), pair);
}

bool CZkPlayableNode::GetRange(uint32_t id, ZkPropertyValue& minimum, ZkPropertyValue& maximum) const
{
    const uint8_t* pair = id < kPropertyCount ? m_ranges.Find(static_cast<uint8_t>(id)) : nullptr;
    if (pair == nullptr)
        return false;
    minimum.bits = ZK::LoadLittleEndian<uint32_t>(pair);
    maximum.bits = ZK::LoadLittleEndian<uint32_t>(pair + 4);
    return true;
}

float CZkPlayableNode::RandomOffset(uint32_t id) const
{
    ZkPropertyValue minimum;
    ZkPropertyValue maximum;
    if (!GetRange(id, minimum, maximum))
        return 0.0f;
    return ZK::ZkLcg64::Engine().RandomFloatInRange(minimum.AsFloat(), maximum.AsFloat());
}

uint16_t CZkPlayableNode::LoopCount() const
{
    int32_t count = GetIntProperty(ZkProp_LoopCount);
    ZkPropertyValue minimum;
    ZkPropertyValue maximum;
    if (GetRange(ZkProp_LoopCount, minimum, maximum))
        count += ZK::ZkLcg64::Engine().RandomIntInRange(minimum.AsInt(), maximum.AsInt());
    return static_cast<uint16_t>(count);
}

bool CZkPlayableNode::IsInfiniteLoop(const CZkHierarchyNode* upTo) const
{
    // Nodes that do not loop themselves pass the question to their parent.
    for (const CZkHierarchyNode* level = Parent(); level != nullptr && level != upTo; level = level->Parent())
    {
        if (const auto* playable = dynamic_cast<const CZkPlayableNode*>(level))
            return playable->IsInfiniteLoop(upTo);
    }
    return false;
}

int32_t CZkPlayableNode::MidiPlayMode() const { return GetMidiSettings().playMode; }

void CZkPlayableNode::AddRandomOffsets(float (&offsets)[kRandomisedProperties]) const
{
    if (m_ranges.Count() == 0)
        return;
    for (uint32_t index = 0; index < kRandomisedProperties; ++index)
        offsets[index] += RandomOffset(kRandomisedPropertyIDs[index]);
}
ZKRESULT CZkPlayableNode::FilterMidiEvent(ZkMidiEvent& event, CZkGameObject* object, ZkPlayingID playingID,
                                          bool& walkAncestors)
{
    const uint32_t channelMask = static_cast<uint32_t>(GetIntProperty(ZkProp_MidiChannelMask));
    if (event.channel >= 32 || (channelMask >> event.channel & 1u) == 0)
        return ZK_MidiEventFiltered;
    if (walkAncestors)
    {
        if (auto* parent = dynamic_cast<CZkPlayableNode*>(Parent()))
        {
            const ZKRESULT parentResult = parent->FilterMidiEvent(event, object, playingID, walkAncestors);
            if (parentResult != ZK_Success)
                return parentResult;
        }
        walkAncestors = false;
    }
    ZkRTPCKey key = ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(object), playingID);
    key.midiChannel = event.channel;
    key.midiNote = event.HasNote() ? event.note : ZkMidiEvent::kAnyNote;

    const float transpose = StateValue(kTransposeParam) + ParamValueForKey(kTransposeParam, key);
    const int32_t note = Clamp(GetIntProperty(ZkProp_MidiTranspose) + RoundHalfAway(transpose) + event.note,
                               kLowestNote, kHighestNote);
    if (note < GetIntProperty(ZkProp_MidiKeyMin) || note > GetIntProperty(ZkProp_MidiKeyMax))
        return ZK_MidiEventFiltered;
    const int32_t velocity =
        Clamp(GetIntProperty(ZkProp_MidiVelocityOffset) + RoundHalfAway(ParamValueForKey(kVelocityParam, key)) +
                  event.velocity,
              kLowestVelocity, kHighestNote);
    if (velocity < GetIntProperty(ZkProp_MidiVelocityMin) || velocity > GetIntProperty(ZkProp_MidiVelocityMax))
        return ZK_MidiEventFiltered;
    event.note = static_cast<uint8_t>(note);
    event.velocity = static_cast<uint8_t>(velocity);
    return ZK_Success;
}

ZKRESULT CZkPlayableNode::ApplyInitialDelay(PlayLaunchParams& params)
{
    if (params.noInitialDelay)
        return ZK_Success;
    if (params.skipDelayOnce)
    {
        params.skipDelayOnce = false;
        return ZK_Success;
    }
    const ZkRTPCKey key = ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(params.gameObject), params.playingID);
    const float delay = GetFloatProperty(ZkProp_InitialDelay) + StateValue(kInitialDelayParam) +
                        ParamValueForKey(kInitialDelayParam, key) + RandomOffset(ZkProp_InitialDelay);
    if (!(delay > 0.0f))
        return ZK_Success;
    if (params.deferredStart != 0)
    {
        params.startDelaySamples += SecondsToSamples(delay);
        return ZK_Success;
    }
    const ZKRESULT queued = DelayedPlay(delay, params);
    return queued == ZK_Success ? ZK_PartialSuccess : queued;
}

ZKRESULT CZkPlayableNode::DelayedPlay(float delaySeconds, PlayLaunchParams& params)
{
    if (g_pEventMgr == nullptr)
        return ZK_Fail;
    CZkDynamicPlayAction* play = CZkDynamicPlayAction::Create(ID());
    if (play == nullptr)
        return ZK_InsufficientMemory;
    const uint64_t delay = uint64_t{SecondsToSamples(delaySeconds)} + params.startDelaySamples;
    const auto delaySamples = static_cast<int32_t>(std::min<uint64_t>(delay, INT32_MAX));
    ZKRESULT result = play->SetIntProperty(ZkProp_ActionDelay, delaySamples, 0, 0);
    auto* pending = result == ZK_Success ? ZK::ZkNew<PendingAction>(PendingAction::kPool, play,
                                                                     static_cast<CZkRegisteredObj*>(params.gameObject))
                                         : nullptr;
    if (pending == nullptr)
    {
        play->Release();
        return ZK_InsufficientMemory;
    }
    play->SetPlayRecord(params);
    pending->playingID = params.playingID;
    // The play's own offset into its frame stays: the delayed start is exact to the sample.
    result = g_pEventMgr->EnqueuePendingAction(pending, params.sampleOffset, false);
    play->Release();
    return result;
}

ZKRESULT CZkPlayableNode::ContinuePlayChain(PlayLaunchParams& params)
{
    if (params.playChain == nullptr)
        return ZK_Fail;
    params.path.TrimToContinuous();
    ZkChainNext next;
    if (!ZkChainContinuation::ResolveNext(params.playChain, params.path, params.gameObject, params.playingID, next))
        return ZK_Fail;
    auto* playable = dynamic_cast<CZkPlayableNode*>(next.node);
    const ZKRESULT result = playable != nullptr ? playable->Launch(params) : ZK_NotImplemented;
    next.node->Release();
    return result;
}

ZKRESULT CZkPlayableNode::Launch(PlayLaunchParams& params)
{
    ZKRESULT result = ZK_Success;
    if (params.midiEvent.IsNoteOnWithVelocity())
    {
        bool walkAncestors = true;
        result = FilterMidiEvent(params.midiEvent, params.gameObject, params.playingID, walkAncestors);
    }
    if (result == ZK_Success)
    {
        result = ApplyInitialDelay(params);
        if (result == ZK_PartialSuccess)
            result = ZK_Success; // the play goes on later
        else if (result == ZK_Success)
            result = Play(params);
    }
    CountStartedInstance();
    return result;
}

ZKRESULT CZkPlayableNode::AddLayerLink(CZkContainerLayer* layer)
{
    if (m_layers.AddLast(layer) == nullptr)
    {
        if (m_layers.IsEmpty())
            m_layers.Term();
        return ZK_InsufficientMemory;
    }
    Refresh();
    return ZK_Success;
}

ZKRESULT CZkPlayableNode::RemoveLayerLink(CZkContainerLayer* layer)
{
    const uint32_t index = m_layers.Find(layer);
    if (index == m_layers.Length())
        return ZK_Fail;
    m_layers.Erase(index);
    if (m_layers.IsEmpty())
        m_layers.Term();
    Refresh();
    return ZK_Success;
}

ZKRESULT CZkPlayableNode::ReadPropertiesFromBank(ZK::ZkByteCursor& cursor)
{
    // Both lists are checked before either is applied.
    ZK::ZkByteCursor check = cursor;
    if (!decltype(m_props)::SkipInBank(check) || !decltype(m_ranges)::SkipInBank(check))
        return ZK_InvalidFile;
    const ZKRESULT properties = m_props.ReadFromBank(cursor);
    if (properties != ZK_Success)
        return properties;
    return m_ranges.ReadFromBank(cursor);
}

ZKRESULT CZkPlayableNode::ReadAdvancedSettingsFromBank(ZK::ZkByteCursor& cursor)
{
    uint8_t b = 0;
    uint8_t c = 0;
    uint16_t maxInstances = 0;
    uint8_t belowThreshold = 0;
    uint8_t d = 0;
    if (!cursor.Read(b) || !cursor.Read(c) || !cursor.Read(maxInstances) || !cursor.Read(belowThreshold) || !cursor.Read(d))
        return ZK_InvalidFile;
    bool unused = false;
    ChangeFlag(m_flagsA, kNodeFlagA_TieBreakReversed, (b & 0x01) != 0, unused);
    ChangeFlag(m_flagsA, kNodeFlagA_VirtualOnLimit, (b & 0x02) != 0, unused);
    ChangeFlag(m_flagsA, kNodeFlagA_GlobalLimit, (b & 0x04) != 0, unused);
    ChangeFlag(m_flagsC, kNodeFlagC_LimitCheckStops, (b & 0x08) != 0, unused);
    ChangeFlag(m_flagsA, kNodeFlagA_OverridesBehaviours, (b & 0x10) != 0, unused);
    const uint8_t queue = c & kQueueBankMask;
    const uint8_t below = belowThreshold & 0x0F;
    const uint8_t effective = below == kBelowThresholdForcesQueue ? 1 : queue;
    m_queueByte = static_cast<uint8_t>((m_queueByte & 0xC0) | queue | effective << kQueueEffectiveShift);
    SetMaxInstances(maxInstances);
    m_settingsByte = static_cast<uint8_t>((m_settingsByte & 0x80) | below | ((d >> 1) & 0x07) << 4);
    SetOverrideBits(kOverrideParam37, (d & 0x01) != 0);
    UpdateLimiterFlags();
    Refresh();
    return ZK_Success;
}
} // namespace ZK::SoundEngine
