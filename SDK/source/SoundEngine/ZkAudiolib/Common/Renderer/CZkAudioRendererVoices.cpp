// CZkAudioRenderer: the voice list and the pending-voice list: voices made for playing instances,
// listed by their source's key and routed into the mix graph, or kept pending while their source
// prepares; the lookups of the voice command queue; the graph's rerouting of every voice; the end
// of every voice at the engine's end.
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererVoiceList.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingInstance.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/Sources/CZkVoiceSource.h"
#include "ZkAudiolib/Common/Voice/CZkVoice.h"

namespace ZK::SoundEngine
{
namespace
{
// The key the voice list is ordered by: the main source's per-frame answer.
uint32_t KeyOf(const CZkVoice& voice)
{
    return voice.MainSource() != nullptr ? voice.MainSource()->FrameStep() : 0;
}

bool SourceOf(const CZkVoiceSource* source, const CZkPlayingInstance* instance)
{
    return source != nullptr && source->Instance() == instance;
}

CZkPlayingInstance* InstanceOf(const CZkVoice& voice)
{
    return voice.MainSource() != nullptr ? voice.MainSource()->Instance() : nullptr;
}

// The bus a node's sound goes to: its own output bus, else its nearest ancestor's.
CZkHierarchyNode* OutputBusOf(const CZkPlayingInstance& instance)
{
    for (const CZkHierarchyNode* level = instance.Node(); level != nullptr; level = level->Parent())
        if (level->OutputBus() != nullptr)
            return level->OutputBus();
    return nullptr;
}

bool MixesPerListener(const CZkHierarchyNode* bus)
{
    return bus != nullptr && bus->GetFlagBit1();
}

// The routing of a voice: its instance's output bus, for its game object (per listener when the
// output bus mixes per listener).
void Route(CZkVoice& voice)
{
    CZkPlayingInstance* instance = InstanceOf(voice);
    if (instance == nullptr)
        return;
    CZkHierarchyNode* outputBus = OutputBusOf(*instance);
    CZkAudioRenderer::ConnectVoice(voice, outputBus, instance->GameObjectOf(), MixesPerListener(outputBus));
}

// The instance's source joins, as its follow-up source, a started voice of the instance's voice
// group that has none yet: it takes over on the sample after that voice's source ends. Voices not
// started yet are passed over: they belong to the same launch (the layers of one item), which
// sound together. 5 joined; 17 when no voice takes it (it needs a voice of its own); the source's
// failure (the instance's end is posted).
ZKRESULT JoinVoiceGroup(CZkPlayingInstance& instance)
{
    for (CZkVoice* voice : RendererVoices().voices)
    {
        const CZkPlayingInstance* main = InstanceOf(*voice);
        const uint32_t state = voice->State();
        if (main == nullptr || main == &instance || main->VoiceGroupID() != instance.VoiceGroupID() ||
            voice->SecondSource() != nullptr || main->IsDead() ||
            (state != CZkVoice::kStatePlaying && state != CZkVoice::kStatePaused))
            continue;
        const ZKRESULT attached = voice->AttachSource(&instance, false);
        if (attached != ZK_Success && attached != ZK_NotReadyYet)
            return attached;
        // The voice answers for the instance from now on: a stop releases its source there.
        instance.SetVoice(voice);
        instance.MarkStarving();
        return CZkAudioRenderer::kJoinedVoice;
    }
    return ZK_NoMoreData;
}

void UnlinkPending(CZkVoice* previous, CZkVoice* voice)
{
    ZkRendererVoiceList& list = RendererVoices();
    (previous != nullptr ? previous->pendingNext : list.pendingHead) = voice->pendingNext;
    if (list.pendingTail == voice)
        list.pendingTail = previous;
    voice->pendingNext = nullptr;
}
} // namespace

ZkRendererVoiceList& RendererVoices()
{
    static ZkRendererVoiceList list;
    return list;
}

void DestroyVoice(CZkVoice* voice)
{
    // The instance forgets a voice that goes (its source's stop has usually told it already).
    if (CZkPlayingInstance* instance = InstanceOf(*voice); instance != nullptr && instance->Voice() == voice)
        instance->SetVoice(nullptr);
    CZkVoice::Destroy(voice);
}

uint32_t CZkAudioRenderer::VoiceCount() { return RendererVoices().voices.Length(); }

CZkVoice* CZkAudioRenderer::VoiceAt(uint32_t index) { return RendererVoices().voices[index]; }

uint32_t CZkAudioRenderer::PendingVoiceCount()
{
    uint32_t count = 0;
    for (const CZkVoice* voice = RendererVoices().pendingHead; voice != nullptr; voice = voice->pendingNext)
        ++count;
    return count;
}

ZKRESULT CZkAudioRenderer::CreateVoice(CZkPlayingInstance& instance, uint32_t& flags)
{
    if (instance.VoiceGroupID() != 0)
    {
        const ZKRESULT joined = JoinVoiceGroup(instance);
        if (joined != ZK_NoMoreData)
            return joined;
    }
    CZkVoice* voice = CZkVoice::Create();
    if (voice == nullptr)
    {
        instance.PostEndNotification(CZkVoice::kEndedByVoice);
        return ZK_Fail;
    }
    const ZKRESULT attached = voice->AttachSource(&instance, true);
    if (attached == ZK_NotReadyYet)
    {
        instance.SetVoice(voice);
        ZkRendererVoiceList& list = RendererVoices();
        (list.pendingTail != nullptr ? list.pendingTail->pendingNext : list.pendingHead) = voice;
        list.pendingTail = voice;
        return ZK_Success;
    }
    if (attached != ZK_Success)
    {
        DestroyVoice(voice);
        return attached;
    }
    instance.SetVoice(voice);
    const ZKRESULT inserted = InsertVoice(voice);
    if (inserted == ZK_Success)
        flags |= kRequestVoiceListed;
    return inserted;
}

ZKRESULT CZkAudioRenderer::InsertVoice(CZkVoice* voice)
{
    if (!voice->IsPipelineBuilt() && voice->BuildPipeline() != ZK_Success)
    {
        DestroyVoice(voice);
        return ZK_Fail;
    }
    auto& voices = RendererVoices().voices;
    const uint32_t key = KeyOf(*voice);
    uint32_t at = 0;
    while (at < voices.Length() && KeyOf(*voices[at]) < key)
        ++at;
    if (voices.Insert(at, voice) == nullptr)
    {
        DestroyVoice(voice);
        return ZK_Fail;
    }
    Route(*voice);
    return ZK_Success;
}

ZKRESULT CZkAudioRenderer::RemovePendingVoice(CZkPlayingInstance& instance, CZkVoice* voice)
{
    ZkRendererVoiceList& list = RendererVoices();
    CZkVoice* previous = nullptr;
    CZkVoice* pending = list.pendingHead;
    while (pending != nullptr && pending != voice)
    {
        previous = pending;
        pending = pending->pendingNext;
    }
    if (pending == nullptr)
        return ZK_Success; // listed already
    const ZKRESULT ready = voice->CheckSourceReady(&instance);
    if (ready == ZK_NotReadyYet)
        return ZK_NotReadyYet;
    UnlinkPending(previous, voice);
    if (ready == ZK_Success)
        return InsertVoice(voice);
    DestroyVoice(voice);
    return ZK_Fail;
}

CZkVoice* CZkAudioRenderer::FindVoiceForSource(ZkVoiceCommand& command)
{
    const CZkPlayingInstance* instance = command.instance;
    const bool secondToo = command.Code() == ZkVoiceCommand_StopSource;
    for (CZkVoice* voice : RendererVoices().voices)
    {
        if (!SourceOf(voice->MainSource(), instance) && !(secondToo && SourceOf(voice->SecondSource(), instance)))
            continue;
        if (voice->State() != CZkVoice::kStateIdle)
            command.SetReady();
        return voice;
    }
    CZkVoice* own = instance != nullptr ? instance->Voice() : nullptr;
    if (own != nullptr && (secondToo || SourceOf(own->MainSource(), instance)))
        return own;
    return nullptr;
}

void CZkAudioRenderer::RerouteVoices()
{
    for (CZkVoice* voice : RendererVoices().voices)
    {
        CZkPlayingInstance* instance = InstanceOf(*voice);
        if (instance == nullptr)
            continue;
        RefreshConnections(*voice, instance->GameObjectOf(), MixesPerListener(OutputBusOf(*instance)));
        Route(*voice);
    }
}

ZKRESULT CZkAudioRenderer::DestroyAllVoices()
{
    ZkRendererVoiceList& list = RendererVoices();
    while (!list.voices.IsEmpty())
    {
        CZkVoice* voice = list.voices[0];
        list.voices.Erase(0);
        DestroyVoice(voice);
    }
    while (list.pendingHead != nullptr)
    {
        CZkVoice* voice = list.pendingHead;
        UnlinkPending(nullptr, voice);
        DestroyVoice(voice);
    }
    list.voices.Term();
    DestroyAllBuses();
    ZkVoiceLists::FreePlayingList();
    return ZK_Success;
}
} // namespace ZK::SoundEngine
