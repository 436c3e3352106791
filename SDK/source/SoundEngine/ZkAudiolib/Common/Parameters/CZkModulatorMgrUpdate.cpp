// CZkModulatorMgr: the per-frame step (instances in batches of one kind, the kernels over the
// batches), the value push to the subscribers and the purge of finished instances.
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"

#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstance.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cstring>
#include <new>

namespace ZK::SoundEngine
{
// Up to 16 kernel records of one kind with their output records, in one 16-byte aligned block,
// and the sample buffer their audio-rate records share.
struct ZkModulatorBatch
{
    ZkModulatorBatch* next;
    void* records;
    ZkModulatorOutput* outputs[CZkModulatorMgr::kBatchRecords];
    CZkModulatorInstance* instances[CZkModulatorMgr::kBatchRecords];
    uint32_t count;
    uint32_t audioRateFrames;
    float* samples;
    uint32_t sampleCapacity;
};

namespace
{
constexpr uint32_t kRecords = CZkModulatorMgr::kBatchRecords;
constexpr uint32_t kAlignment = CZkModulatorMgr::kBatchAlignment;
constexpr ZkMemoryId kPool = CZkModulatorMgr::kEnginePool;

constexpr size_t AlignUp(size_t bytes) { return (bytes + kAlignment - 1) & ~size_t{kAlignment - 1}; }

// The sizes of one kind's records.
struct KindLayout
{
    size_t record;
    size_t output;
};

KindLayout LayoutOf(int32_t kind)
{
    switch (kind)
    {
    case ZkModulatorKind_Lfo: return {sizeof(ZkLfoRecord), sizeof(ZkLfoOutput)};
    case ZkModulatorKind_Envelope: return {sizeof(ZkEnvelopeRecord), sizeof(ZkModulatorOutput)};
    default: return {sizeof(ZkTimeRecord), sizeof(ZkModulatorOutput)};
    }
}

// The batch lists are kept in the order envelope, LFO, time.
uint32_t ListIndexOf(int32_t kind)
{
    switch (kind)
    {
    case ZkModulatorKind_Envelope: return 0;
    case ZkModulatorKind_Lfo: return 1;
    default: return 2;
    }
}

ZkModulatorBatch* AllocateBatch(int32_t kind)
{
    const KindLayout layout = LayoutOf(kind);
    const size_t header = AlignUp(sizeof(ZkModulatorBatch));
    const size_t records = AlignUp(layout.record * kRecords);
    const size_t outputs = AlignUp(layout.output * kRecords);
    void* block = ZK::MemoryMgr::Malign(kPool, header + records + outputs, kAlignment);
    if (block == nullptr)
        return nullptr;
    auto* bytes = static_cast<uint8_t*>(block);
    auto* batch = new (block) ZkModulatorBatch{};
    batch->records = bytes + header;
    for (uint32_t index = 0; index < kRecords; ++index)
    {
        void* output = bytes + header + records + layout.output * index;
        batch->outputs[index] =
            kind == ZkModulatorKind_Lfo ? new (output) ZkLfoOutput() : new (output) ZkModulatorOutput();
    }
    return batch;
}

void FreeBatch(ZkModulatorBatch* batch)
{
    if (batch->samples != nullptr)
        ZK::MemoryMgr::Free(kPool, batch->samples);
    ZK::MemoryMgr::Free(kPool, batch);
}

// Copies the instance's header and parameter block into record slot `index` of the batch.
void PackRecord(ZkModulatorBatch& batch, uint32_t index, int32_t kind, CZkModulatorInstance& instance)
{
    switch (kind)
    {
    case ZkModulatorKind_Lfo:
        new (static_cast<ZkLfoRecord*>(batch.records) + index)
            ZkLfoRecord{instance.Header(), *static_cast<const ZkLfoParams*>(instance.GetParamBlock())};
        break;
    case ZkModulatorKind_Envelope:
        new (static_cast<ZkEnvelopeRecord*>(batch.records) + index)
            ZkEnvelopeRecord{instance.Header(), *static_cast<const ZkEnvelopeParams*>(instance.GetParamBlock())};
        break;
    default:
        new (static_cast<ZkTimeRecord*>(batch.records) + index)
            ZkTimeRecord{instance.Header(), *static_cast<const ZkTimeParams*>(instance.GetParamBlock())};
        break;
    }
}

void RunKernel(ZkModulatorBatch& batch, int32_t kind, uint32_t frames)
{
    switch (kind)
    {
    case ZkModulatorKind_Lfo:
        RunLfoKernel(static_cast<const ZkLfoRecord*>(batch.records), static_cast<ZkLfoOutput*>(batch.outputs[0]),
                     batch.count, frames);
        break;
    case ZkModulatorKind_Envelope:
        RunEnvelopeKernel(static_cast<const ZkEnvelopeRecord*>(batch.records), batch.outputs[0], batch.count, frames);
        break;
    default:
        RunTimeKernel(static_cast<const ZkTimeRecord*>(batch.records), batch.outputs[0], batch.count, frames,
                      ZkAudioSettings::SampleRate());
        break;
    }
}

// A sample buffer of at least `samples` floats for the batch. False when it cannot grow.
bool EnsureSamples(ZkModulatorBatch& batch)
{
    if (batch.audioRateFrames <= batch.sampleCapacity)
        return true;
    void* grown = ZK::MemoryMgr::Malign(kPool, sizeof(float) * size_t{batch.audioRateFrames}, kAlignment);
    if (grown == nullptr)
        return false;
    if (batch.samples != nullptr)
        ZK::MemoryMgr::Free(kPool, batch.samples);
    batch.samples = static_cast<float*>(grown);
    batch.sampleCapacity = batch.audioRateFrames;
    return true;
}

// The push's override filter: a subscriber keyed more specifically than the pushing instance is
// skipped when the modulator has an instance of its own on the subscriber's path.
struct InstanceTreeFilter
{
    static bool Test(const void* tree, const ZkRTPCKey& subscriberKey, const ZkRTPCKey& changedKey)
    {
        return static_cast<const ZkModulatorInstanceTree*>(tree)->HasOverride(subscriberKey, changedKey);
    }
};
} // namespace

CZkModulatorMgr::BatchList& CZkModulatorMgr::ListOfKind(Engine& engine, int32_t kind)
{
    return engine.batches[ListIndexOf(kind)];
}

uint32_t CZkModulatorMgr::BatchCount(int32_t kind) const
{
    return m_engine != nullptr ? m_engine->batches[ListIndexOf(kind)].count : 0;
}

void CZkModulatorMgr::FreeBatches(BatchList& list)
{
    for (ZkModulatorBatch* batch = list.head; batch != nullptr;)
    {
        ZkModulatorBatch* next = batch->next;
        FreeBatch(batch);
        batch = next;
    }
    list = BatchList{0, nullptr, nullptr};
}

void CZkModulatorMgr::TrimBatches(BatchList& list, uint32_t used)
{
    if (used == 0)
    {
        FreeBatches(list);
        return;
    }
    ZkModulatorBatch* last = list.head;
    for (uint32_t index = 1; index < used; ++index)
        last = last->next;
    if (last->count >= kRecords / 2)
        return;
    for (ZkModulatorBatch* batch = last->next; batch != nullptr;)
    {
        ZkModulatorBatch* next = batch->next;
        FreeBatch(batch);
        batch = next;
    }
    last->next = nullptr;
    list.tail = last;
    list.count = used;
}

void CZkModulatorMgr::TermInstances()
{
    if (m_engine == nullptr)
        return;
    InstanceList& list = m_engine->instances;
    while (CZkModulatorInstance* instance = list.head)
    {
        list.head = instance->next;
        instance->next = nullptr;
        instance->Term();
        instance->Release();
    }
    list = InstanceList{0, nullptr, nullptr};
    for (BatchList& batches : m_engine->batches)
        FreeBatches(batches);
    ZK::MemoryMgr::Free(kEnginePool, m_engine);
    m_engine = nullptr;
}

void CZkModulatorMgr::Update()
{
    if (m_engine == nullptr)
        return;
    const uint32_t frames = ZkAudioSettings::FramesPerBuffer();
    m_lastStepResult = StepInstances(frames);
    PushValues();
    PurgeFinished();
}

ZKRESULT CZkModulatorMgr::StepInstances(uint32_t frames)
{
    for (BatchList& list : m_engine->batches)
    {
        for (ZkModulatorBatch* batch = list.head; batch != nullptr; batch = batch->next)
        {
            batch->count = 0;
            batch->audioRateFrames = 0;
        }
    }

    for (ZkModulatorBatch*& filling : m_filling)
        filling = nullptr;
    ZKRESULT result = ZK_Success;
    for (CZkModulatorInstance* instance = m_engine->instances.head; instance != nullptr; instance = instance->next)
    {
        // The last frame's output is read by Advance; after it the record that held it is reused.
        instance->Advance(frames);
        if (instance->IsHeld())
        {
            instance->HoldPendingValue();
            continue;
        }
        instance->SetPendingOutput(nullptr);
        // Once packing has failed, the instances after it keep their last values this frame.
        if (result == ZK_Success && instance->Modulator() != nullptr)
            result = PackInstance(*instance, frames);
    }

    for (BatchList& list : m_engine->batches)
    {
        uint32_t used = 0;
        for (ZkModulatorBatch* batch = list.head; batch != nullptr && batch->count != 0; batch = batch->next)
            ++used;
        TrimBatches(list, used);
    }

    const ZKRESULT computed = RunKernels(frames);
    return result != ZK_Success ? result : computed;
}

ZKRESULT CZkModulatorMgr::PackInstance(CZkModulatorInstance& instance, uint32_t)
{
    const int32_t kind = instance.Modulator()->Kind();
    BatchList& list = ListOfKind(*m_engine, kind);
    // Batches fill in list order: the one being filled, else the next (kept from earlier frames),
    // else a new one at the tail.
    ZkModulatorBatch*& filling = m_filling[ListIndexOf(kind)];
    if (filling == nullptr)
        filling = list.head;
    else if (filling->count == kRecords)
        filling = filling->next;
    ZkModulatorBatch* batch = filling;
    if (batch == nullptr)
    {
        batch = AllocateBatch(kind);
        if (batch == nullptr)
            return ZK_InsufficientMemory;
        if (list.tail != nullptr)
            list.tail->next = batch;
        else
            list.head = batch;
        list.tail = batch;
        ++list.count;
        filling = batch;
    }
    const uint32_t index = batch->count++;
    PackRecord(*batch, index, kind, instance);
    ZkModulatorOutput* output = batch->outputs[index];
    output->samples = nullptr;
    output->newState = ZkModulatorState_None;
    batch->instances[index] = &instance;
    batch->audioRateFrames += instance.Header().audioRateFrames;
    instance.SetPendingOutput(output);
    return ZK_Success;
}

ZKRESULT CZkModulatorMgr::RunKernels(uint32_t frames)
{
    ZKRESULT result = ZK_Success;
    for (const int32_t kind : {ZkModulatorKind_Lfo, ZkModulatorKind_Envelope, ZkModulatorKind_Time})
    {
        BatchList& list = ListOfKind(*m_engine, kind);
        bool bufferFailed = false;
        for (ZkModulatorBatch* batch = list.head; batch != nullptr && batch->count != 0; batch = batch->next)
        {
            if (!bufferFailed && !EnsureSamples(*batch))
            {
                bufferFailed = true;
                result = ZK_Fail;
            }
            if (bufferFailed)
            {
                // Not computed: these instances keep their last values this frame.
                for (uint32_t index = 0; index < batch->count; ++index)
                    batch->instances[index]->SetPendingOutput(nullptr);
                continue;
            }
            float* slice = batch->samples;
            const auto* headers = static_cast<const uint8_t*>(batch->records);
            const size_t recordSize = LayoutOf(kind).record;
            for (uint32_t index = 0; index < batch->count; ++index)
            {
                const auto& header = *reinterpret_cast<const ZkModulatorHeader*>(headers + recordSize * index);
                if (header.audioRateFrames != 0)
                {
                    batch->outputs[index]->samples = slice;
                    slice += header.audioRateFrames;
                }
            }
            RunKernel(*batch, kind, frames);
        }
    }
    return result;
}

void CZkModulatorMgr::PushValues()
{
    if (g_pObjectIndex == nullptr)
        return;
    ZkIndexTable& table = g_pObjectIndex->Table(ZkIndexKind::Modulators);
    ZK::Platform::ZkScopedLock guard(table.Lock());
    ZkIndexTable::HashTable& modulators = table.Table();
    for (uint32_t bucket = 0; bucket < modulators.BucketCount(); ++bucket)
    {
        for (CZkIndexedObject* object = modulators.Bucket(bucket); object != nullptr; object = object->pNextItem)
        {
            auto* modulator = static_cast<CZkModulator*>(object);
            ZkModulatorInstanceTree& tree = modulator->Instances();
            if (tree.IsEmpty())
                continue;
            const bool linkable = modulator->IsLinkable();
            tree.VisitAllWithRemoval([&](CZkModulatorInstance* instance) {
                const ZkRTPCKey key = instance->Key();
                const float oldValue = instance->HasValue() ? instance->Header().currentValue : 0.0f;
                const float newValue = instance->Value();
                const CZkRTPCOverrideFilter filter(&tree, &InstanceTreeFilter::Test, key);
                // A subscriber may subscribe or unsubscribe while it is told: walk by index over
                // the array as it stands.
                const auto& subscribers = modulator->Subscribers();
                for (uint32_t index = 0; g_pRTPCMgr != nullptr && index < subscribers.Length(); ++index)
                {
                    ZkRTPCSubscription& subscription = *subscribers[index];
                    const bool servedByLinks = linkable && subscription.kind != ZkRTPCSubscriberKind_Effect &&
                                               (subscription.bit == kLinkedBits[0] || subscription.bit == kLinkedBits[1]);
                    if (servedByLinks)
                        continue;
                    if (subscription.kind == ZkRTPCSubscriberKind_TargetList &&
                        static_cast<CZkParamTargetList*>(subscription.target)->TargetCount() == 0)
                        continue;
                    g_pRTPCMgr->NotifyOne(modulator->ID(), subscription, oldValue, newValue, key, &filter);
                }
                if (!instance->IsFinished())
                    return false;
                instance->Release(); // the tree's reference
                return true;
            });
        }
    }
}

void CZkModulatorMgr::PurgeFinished()
{
    InstanceList& list = m_engine->instances;
    CZkModulatorInstance* finished = nullptr;
    CZkModulatorInstance* previous = nullptr;
    for (CZkModulatorInstance* instance = list.head; instance != nullptr;)
    {
        CZkModulatorInstance* next = instance->next;
        if (instance->IsFinished())
        {
            if (previous != nullptr)
                previous->next = next;
            else
                list.head = next;
            if (list.tail == instance)
                list.tail = previous;
            --list.count;
            instance->next = finished;
            finished = instance;
        }
        else
        {
            previous = instance;
        }
        instance = next;
    }
    while (finished != nullptr)
    {
        CZkModulatorInstance* next = finished->next;
        finished->next = nullptr;
        finished->Term();
        finished->Release();
        finished = next;
    }
}
} // namespace ZK::SoundEngine
