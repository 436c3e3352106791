// CZkVoice: construction, the state table, stopping and detaching, the effect bypass operations
// and the services plug-ins reach through the voice.
//
// State table (Start, Pause, Resume, Stop):
//   0 idle     1 (source started)  2                   2                    2
//   1 playing  2                   3 (source paused)   1                    2
//   2 stopped  2                   2                   2                    2
//   3 paused   2                   3                   1 (source resumed)   2
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/CZkEffectStage.h"
#include "ZkAudiolib/Common/Voice/CZkResamplingStage.h"

#include <limits>
#include <new>

namespace ZK::SoundEngine
{
CZkVoice* CZkVoice::Create()
{
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkVoice));
    return memory != nullptr ? new (memory) CZkVoice() : nullptr;
}

void CZkVoice::Destroy(CZkVoice* voice)
{
    if (voice == nullptr)
        return;
    voice->ReleaseSecondSource();
    voice->Detach();
    voice->~CZkVoice();
    ZK::MemoryMgr::Free(kPool, voice);
}

CZkVoice::CZkVoice()
    : m_cachedVolumeDb(std::numeric_limits<float>::max()), m_cachedVolumeLinear(std::numeric_limits<float>::max())
{
    m_filterStage.Filter().Init();
    m_buffer.status = ZK_DataNeeded;
    m_buffer.position = kUnknownPlayPosition;
}

CZkVoice::~CZkVoice()
{
    Detach();
}

CZkPlayingInstance* CZkVoice::Instance() const
{
    return m_main != nullptr ? m_main->Instance() : nullptr;
}

void CZkVoice::FreeSource(CZkVoiceSource*& source, bool stop)
{
    if (source == nullptr)
        return;
    if (stop)
        source->Stop(kEndedByVoice);
    else
        source->StopStream();
    CZkVoiceSource::Destroy(source);
    source = nullptr;
}

void CZkVoice::StopMainSource()
{
    // Once: the source's stop posts the instance's end.
    if (m_main != nullptr && !m_mainStopped)
    {
        m_mainStopped = true;
        m_main->Stop(kEndedByVoice);
    }
}

void CZkVoice::EnterStopped()
{
    if (m_state == kStateStopped)
        return;
    m_state = kStateStopped;
    StopMainSource();
}

void CZkVoice::Start()
{
    if (m_state == kStateIdle)
    {
        if (m_main != nullptr && m_main->Instance() != nullptr)
        {
            CZkPlayingInstance* instance = m_main->Instance();
            if (m_main->StartOnce(instance->MediaData(), instance->MediaSize()) == ZK_Success && !m_durationReported)
            {
                m_durationReported = true;
                m_main->ReportDuration();
            }
        }
        m_state = kStatePlaying;
    }
    else if (m_state != kStateStopped)
        EnterStopped();
}

void CZkVoice::Pause()
{
    if (m_state == kStatePlaying)
        m_state = kStatePaused;
    else if (m_state != kStatePaused)
        EnterStopped();
}

void CZkVoice::Resume()
{
    if (m_state == kStatePaused)
        m_state = kStatePlaying;
    else if (m_state != kStatePlaying)
        EnterStopped();
}

void CZkVoice::Stop()
{
    EnterStopped();
}

void CZkVoice::StopSourceOfContext(CZkPlayingInstance* instance)
{
    if (m_main != nullptr && m_main->Instance() == instance)
    {
        if (!m_main->TakesStop())
            EnterStopped();
    }
    else if (m_second != nullptr && m_second->Instance() == instance)
        ReleaseSecondSource();
}

void CZkVoice::ReleaseSecondSource()
{
    FreeSource(m_second, true);
}

void CZkVoice::ReportDurationOnce()
{
    if (m_main != nullptr && m_sourcePrepared && !m_durationReported &&
        (m_state == kStatePlaying || m_state == kStatePaused))
    {
        m_durationReported = true;
        m_main->ReportDuration();
    }
}

void CZkVoice::Detach()
{
    ReleasePipeline();
    // A main source that was never stopped posts the instance's end now.
    StopMainSource();
    FreeSource(m_main, false);
    FreeSource(m_second, false);
    m_mainStopped = false;
    m_sourcePrepared = false;
    m_durationReported = false;
    SetFlags(kFlagAudible, true);
    CZkAudioRenderer::SetGraphDirty(0); // a refresh: the buses it fed may have lost their purpose
}

// --- Effect bypass ---
void CZkVoice::SetEffectBypass(uint8_t value, uint8_t mask)
{
    for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
    {
        if ((mask & (1u << slot)) != 0 && m_effects[slot] != nullptr)
            m_effects[slot]->bypass = static_cast<uint16_t>((value >> slot) & 1u);
    }
}

uint32_t CZkVoice::AddEffectSlotBypass(uint32_t slot, int16_t amount)
{
    if (slot < kEffectSlots && m_effects[slot] != nullptr)
        m_effects[slot]->bypass = static_cast<uint16_t>(m_effects[slot]->bypass + amount);
    return slot;
}

void CZkVoice::RefreshEffectBypass()
{
    CZkPlayingInstance* instance = Instance();
    if (instance == nullptr)
        return;
    for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
    {
        ZkEffectDescription description;
        if (m_effects[slot] != nullptr && instance->ForwardSlot54(slot, description))
            m_effects[slot]->bypass = description.bypassed ? 1 : 0;
    }
}

bool CZkVoice::UsesObject(const void* object) const
{
    if (object == nullptr)
        return false;
    for (const CZkEffectStage* effect : m_effects)
    {
        if (effect != nullptr && effect->GetPlugin() == object)
            return true;
    }
    for (const CZkVoiceSource* source : {m_main, m_second})
    {
        if (source != nullptr && source->Instance() != nullptr &&
            (source->Instance()->MediaData() == object || source->Instance()->Media() == object))
            return true;
    }
    return false;
}

bool CZkVoice::UsesShareSet(const LoadedBank* bank) const
{
    // Effects hold no reference on the bank of their share set, and sources read their media
    // through their instance, which holds the bank: nothing of the voice keeps a bank.
    (void)bank;
    return false;
}

const CZkModulatorLinks* CZkVoice::GetModulatorLinks() const
{
    const CZkPlayingInstance* instance = Instance();
    return instance != nullptr ? instance->ModulatorLinks().links : nullptr;
}

const CZkModulatorLinks* CZkVoice::GetContextModulatorLinks() const
{
    const CZkPlayingInstance* instance = Instance();
    return instance != nullptr ? instance->ContextModulatorLinks() : nullptr;
}

// --- Services plug-ins reach through the voice ---
int32_t CZkVoice::GetStopFrame() const
{
    const CZkPlayingInstance* instance = Instance();
    return instance != nullptr ? instance->PendingStopOffset() : -1;
}

ZkGameObjectID CZkVoice::GetGameObjectID() const
{
    return View().gameObjectID;
}

uint32_t CZkVoice::GetRayCount() const
{
    return View().rayCount;
}

ZKRESULT CZkVoice::GetEmitterPosition(uint32_t index, ZkRay& ray) const
{
    if (index >= View().rayCount || View().rays == nullptr)
        return ZK_Fail;
    ray = View().rays[index];
    return ZK_Success;
}

uint32_t CZkVoice::GetPositionCount() const
{
    // The instance's own positions are not collected yet (no positioning of its own).
    return 0;
}

ZKRESULT CZkVoice::GetPositionRecord(uint32_t, ZkChannelEmitter&) const
{
    return ZK_Fail;
}

uint32_t CZkVoice::GetPositioningType() const
{
    return View().positioning.flags & ZkMixPositioning::kPannerModeMask;
}

float CZkVoice::GetSpread() const
{
    return View().positioning.spread;
}

bool CZkVoice::GetListeners(ZkGameObjectID* ids, uint32_t& count) const
{
    // The listeners of the rays, each once, in ray order.
    uint32_t found = 0;
    bool allFit = true;
    for (uint32_t i = 0; i < View().rayCount; ++i)
    {
        const ZkGameObjectID listener = View().rays[i].listenerID;
        bool seen = false;
        for (uint32_t j = 0; j < i && !seen; ++j)
            seen = View().rays[j].listenerID == listener;
        if (seen)
            continue;
        if (ids != nullptr)
        {
            if (found >= count)
            {
                allFit = false;
                continue;
            }
            ids[found] = listener;
        }
        ++found;
    }
    if (ids == nullptr || allFit)
        count = found;
    return allFit;
}

ZKRESULT CZkVoice::GetListenerData(ZkGameObjectID, ZkTransform&) const
{
    // The listeners' transforms are read from the game object, which the voice does not reach yet.
    return ZK_Fail;
}

ZKRESULT CZkVoice::GetSourceInfo(ZK::ZkSourceInfo& info) const
{
    if (m_main == nullptr)
        return ZK_Fail;
    info.positionSamples = m_buffer.position.positionSamples;
    info.rate = m_buffer.position.rate;
    info.durationSamples = m_buffer.position.durationSamples;
    info.sampleRate = m_buffer.position.sampleRate;
    info.pendingFrames = m_resampling != nullptr ? m_resampling->PendingFrames() : 0;
    return ZK_Success;
}

void CZkVoice::RelocateSourceData(const uint8_t* newBase, const uint8_t* oldBase)
{
    if (m_resampling != nullptr)
        m_resampling->RelocateInput(newBase, oldBase);
}

ZkPlayingID CZkVoice::GetPlayingID() const
{
    const CZkPlayingInstance* instance = Instance();
    return instance != nullptr ? instance->PlayingID() : 0;
}

uint32_t CZkVoice::GetPriority() const
{
    const CZkPlayingInstance* instance = Instance();
    return instance != nullptr ? instance->IntegerPriority() : 0u;
}

float CZkVoice::GetPitchRatio() const
{
    const CZkPlayingInstance* instance = Instance();
    return instance != nullptr ? instance->GetPitchRatio() : 1.0f;
}

void CZkVoice::CollectSends(ZK::ZkArray<ZkSendRecord>& sends)
{
    const CZkPlayingInstance* instance = Instance();
    if (instance != nullptr)
        instance->CollectSends(sends);
}
} // namespace ZK::SoundEngine
