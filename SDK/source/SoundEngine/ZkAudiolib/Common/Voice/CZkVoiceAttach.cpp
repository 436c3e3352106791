// CZkVoice: attaching sources, their preparation and the switch to the second source.
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include "ZkAudiolib/Common/Banks/SourceMediaRef.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Media/MediaHeaderParser.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/CZkEffectStage.h"
#include "ZkAudiolib/Common/Voice/CZkResamplingStage.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint16_t kFormatTagExtensible = 0xFFFE;
constexpr uint32_t kBuiltInPcmKey = 0x10001;

// The storage kind a source reads its media from.
uint32_t SourceKindOf(const CZkPlayingInstance& instance)
{
    if ((instance.CodecKey() & kPluginTypeMask) == kPluginTypeSource)
        return kSourceKindPlugin;
    const ZkMediaRef* media = instance.Media();
    if (media == nullptr)
        return kSourceKindNone;
    switch (media->Kind())
    {
    case kMediaKindOwned: return kSourceKindStreamed;
    case kMediaKindByID:
    case kMediaKindInMemory: return kSourceKindInMemory;
    default: return kSourceKindNone;
    }
}

bool BelowThreshold(const CZkPlayingInstance& instance)
{
    const float linear = ZkDecibelsToLinear(instance.GetVolumeDb()) * instance.LinearGain();
    return !(linear > GetVolumeThresholdLinear());
}
} // namespace

ZKRESULT CZkVoice::PrepareSource(CZkVoiceSource& source, CZkPlayingInstance& instance)
{
    const ZKRESULT prepared = source.StartOnce(instance.MediaData(), instance.MediaSize());
    if (prepared == ZK_Success)
        instance.MarkSourceStarted();
    else if (prepared == ZK_NotReadyYet)
        instance.MarkPending();
    return prepared;
}

ZKRESULT CZkVoice::AttachSource(CZkPlayingInstance* instance, bool asMain)
{
    if (instance == nullptr)
        return ZK_Fail;
    uint32_t kind = SourceKindOf(*instance);
    uint32_t codecKey = instance->CodecKey();
    const uint8_t* data = instance->MediaData();
    const uint32_t size = instance->MediaSize();
    if (data != nullptr && size != 0 && kind != kSourceKindPlugin)
    {
        // The header of the media in memory: its codec, and whether all of it is there. The bytes
        // are read as they stand (the channel word is not rewritten).
        ZkMediaChunk format;
        uint32_t loopStart = 0, loopEnd = 0, dataSize = 0, dataOffset = 0;
        const ZKRESULT parsed = MediaHeaderParser::Parse(const_cast<uint8_t*>(data), size, format, nullptr, loopStart,
                                                         loopEnd, dataSize, dataOffset, nullptr, nullptr, true);
        // A prefetch block may end before a streamed file's header does: the stream reads on.
        const bool prefetchOfAStream = parsed == ZK_HeaderIncomplete && kind == kSourceKindStreamed;
        if (parsed != ZK_Success && !prefetchOfAStream)
        {
            instance->PostEndNotification(kEndedByVoice);
            return parsed;
        }
        if (parsed == ZK_Success)
        {
            if (format.data != nullptr && format.size >= sizeof(uint16_t) &&
                ZK::LoadLittleEndian<uint16_t>(format.data) == kFormatTagExtensible)
                codecKey = kBuiltInPcmKey;
            if (uint64_t{dataOffset} + dataSize <= size)
                kind = kSourceKindInMemory;
        }
    }
    if (kind == kSourceKindInMemory && data == nullptr)
    {
        instance->PostEndNotification(kEndedByVoice);
        return ZK_Fail;
    }
    CZkVoiceSource* source = CZkVoiceSource::Create(kind, codecKey, instance);
    if (source == nullptr)
    {
        instance->PostEndNotification(kEndedByVoice);
        return ZK_Fail;
    }
    source->SetMarkers(&m_markers);

    if (asMain)
    {
        uint8_t behaviour = 0;
        m_virtualMode = instance->GetNodePlayMode(behaviour);
        m_virtualBehaviour = behaviour;
    }
    if (m_virtualMode != kVirtualNone && BelowThreshold(*instance))
    {
        if (m_virtualMode == kVirtualStop)
        {
            FreeSource(source, false);
            return ZK_PartialSuccess;
        }
        if (m_virtualBehaviour == kVirtualModeFromStart && asMain)
        {
            // Virtual from the start: the source is prepared once the voice becomes audible.
            m_main = source;
            this->instance = instance;
            if ((Flags() & kFlagAudible) != 0)
                instance->RetainSources();
            SetFlags(kFlagAudible, false);
            return ZK_Success;
        }
    }

    const ZKRESULT prepared = PrepareSource(*source, *instance);
    if (prepared != ZK_Success && prepared != ZK_NotReadyYet)
    {
        // A source that failed to start ends its instance (as a failed creation does): nothing
        // else would, and its event would never end.
        FreeSource(source, true);
        return prepared;
    }
    if (asMain)
    {
        m_main = source;
        this->instance = instance;
        m_sourcePrepared = prepared == ZK_Success;
        return prepared;
    }
    const bool resamplesItself = (m_main != nullptr && m_main->HandlesPitch()) || source->HandlesPitch();
    if (resamplesItself && m_main != nullptr && m_main->CodecKey() != source->CodecKey())
    {
        FreeSource(source, false);
        return ZK_NoMoreData;
    }
    FreeSource(m_second, false);
    m_second = source;
    return prepared;
}

uint32_t CZkVoice::FramesThisFrame(const CZkPlayingInstance& instance) const
{
    return static_cast<uint32_t>(
        std::lround(static_cast<double>(ZkAudioSettings::FramesPerBuffer()) * instance.GetPitchRatio()));
}

ZKRESULT CZkVoice::CheckSourceReady(CZkPlayingInstance* instance)
{
    if (m_main == nullptr || instance == nullptr)
        return ZK_Fail;
    const ZKRESULT prepared = PrepareSource(*m_main, *instance);
    if (prepared == ZK_NotReadyYet)
        return ZK_NotReadyYet;
    if (prepared != ZK_Success)
        return ZK_Fail;
    m_sourcePrepared = true;
    const int32_t delay = instance->StartDelay();
    if (delay < 0)
        RaiseStarvation();
    const double lookAhead = static_cast<double>(GetEngineSettings().lookAheadFrames) + 1.0;
    const int64_t window = std::llround(lookAhead * ZkAudioSettings::FramesPerBuffer() * instance->GetPitchRatio());
    return delay < window ? ZK_Success : ZK_NotReadyYet;
}

void CZkVoice::SwitchToSecondSource()
{
    if (m_second == nullptr)
        return;
    // The stage after the source reads the second source from now on.
    if (m_resampling != nullptr)
    {
        CZkPlayingInstance* following = m_second->Instance();
        m_resampling->SwitchSource(m_second, m_second->Format(),
                                   following != nullptr ? following->StartDelayCounter() : nullptr);
    }
    else
    {
        CZkVoicePipelineStage* first = &m_filterStage;
        for (CZkEffectStage* effect : m_effects)
        {
            if (effect != nullptr)
            {
                first = effect;
                break;
            }
        }
        first->SetInput(m_second);
    }
    // The labels of the markers still held point into the old source's table.
    m_markers.OwnLabels();
    StopMainSource();
    FreeSource(m_main, false);
    m_main = m_second;
    m_second = nullptr;
    m_mainStopped = false;
    CZkPlayingInstance* next = m_main->Instance();
    this->instance = next;
    if (next != nullptr && m_main->StartOnce(next->MediaData(), next->MediaSize()) == ZK_Success)
        next->MarkSourceStarted();
    m_sourcePrepared = m_main->IsStarted();
    // The pull may run as a voice job: the engine thread reports the new source's duration after
    // the frame (ReportDurationOnce), which gives its instance its end notice.
    m_durationReported = false;
}

void CZkVoice::ReevaluateSource()
{
    CZkPlayingInstance* playing = Instance();
    if (playing == nullptr)
        return;
    if (m_virtualMode == kVirtualOn && m_virtualBehaviour == kVirtualModeFromStart && (Flags() & kFlagAudible) == 0)
    {
        playing->SetSecondFlag(CZkNodeInstanceBase::kFlagStartsVirtual | CZkNodeInstanceBase::kFlagMadeVirtual,
                               false);
        return;
    }
    // Only a seek re-evaluates the source: what the resampling stage kept from a starving frame
    // belongs before the jump.
    if (m_resampling != nullptr)
        m_resampling->DropUnfinishedOutput();
    RestartChain();
}

void CZkVoice::RestartChain()
{
    ReleaseFrameBuffers();
    CZkVoicePipelineStage* end = IsPipelineBuilt() ? ChainEnd() : m_main;
    if (end != nullptr && end->Restart() != ZK_Success)
        EnterStopped();
}
} // namespace ZK::SoundEngine
