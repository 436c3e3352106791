// The spatial worker: woken by the spatial stream's event, it copies the bed ring into the 12
// static objects and every dynamic record's ring into its object, under the sink's lock, then wakes
// the engine thread. A wait that ends without the event (50 ms) or a failed update latches the
// sink's error: the device is then set up again.
//
// Audio thread: copies and zero-fills only; no allocation.
#include "ZkAudiolib/Win32/ZkSinkCoreAudio.h"

#include <Platform/PlatformCom.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <algorithm>
#include <cstring>

namespace ZK::SoundEngine
{
using namespace ZK::Platform;

namespace
{
std::atomic<uint32_t> g_lastWorkerApartmentCount{0};

// The object's buffer for this update as floats; false when it cannot be had.
bool ObjectBuffer(ISpatialAudioObject* object, float*& samples, uint32_t& frames)
{
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (object == nullptr || AudioFailed(object->GetBuffer(&bytes, &size)) || bytes == nullptr)
        return false;
    samples = reinterpret_cast<float*>(bytes);
    frames = size / sizeof(float);
    return true;
}
} // namespace

uint32_t CZkSinkCoreAudio::LastWorkerApartmentCount()
{
    return g_lastWorkerApartmentCount.load(std::memory_order_acquire);
}

void CZkSinkCoreAudio::WorkerMain(void* argument)
{
    auto* sink = static_cast<CZkSinkCoreAudio*>(argument);
    const bool apartment = InitializeApartment();
    while (sink->m_workerRunning.load(std::memory_order_acquire))
        sink->ServiceSpatialStream(WorkerWaitMs());
    if (apartment)
        UninitializeApartment();
    g_lastWorkerApartmentCount.store(ApartmentInitCount(), std::memory_order_release);
}

void CZkSinkCoreAudio::ServiceSpatialStream(uint32_t waitMs)
{
    if (!m_streamEvent.Wait(waitMs))
    {
        // No event from the stream: it stopped, and the device must be set up again.
        m_error.store(true, std::memory_order_release);
        return;
    }
    if (m_workerRunning.load(std::memory_order_acquire))
        UpdateObjects();
}

void CZkSinkCoreAudio::UpdateObjects()
{
    {
        ZkScopedLock lock(m_lock);
        uint32_t available = 0;
        uint32_t requested = 0;
        if (AudioFailed(m_spatialStream->BeginUpdatingAudioObjects(&available, &requested)))
        {
            m_error.store(true, std::memory_order_release);
            return;
        }
        const uint32_t bedFrames = static_cast<uint32_t>(std::max(m_bed.Fill(), 0)) / kBedChannels;
        const uint32_t count = std::min(bedFrames, requested);
        if (bedFrames < requested)
            m_underrun.store(true, std::memory_order_release);

        float* channels[kBedChannels] = {};
        bool allChannels = true;
        for (uint32_t channel = 0; channel < kBedChannels; ++channel)
        {
            uint32_t frames = 0;
            allChannels = ObjectBuffer(m_static[channel].object, channels[channel], frames) && frames >= requested &&
                          allChannels;
        }
        if (allChannels)
        {
            m_bed.ReadFramesInto(channels, kBedChannels, count);
            for (float* samples : channels)
                std::fill(samples + count, samples + requested, 0.0f);
        }
        else
        {
            m_error.store(true, std::memory_order_release);
        }

        for (uint32_t i = 0; i < m_recordCount; ++i)
        {
            ZkSpatialObjectRecord& record = m_records[i];
            float* samples = nullptr;
            uint32_t frames = 0;
            if (!ObjectBuffer(record.object, samples, frames))
            {
                m_error.store(true, std::memory_order_release);
                continue;
            }
            frames = std::min(frames, requested);
            if (record.IsFree() && record.state == ZK_NoMoreData)
            {
                record.object->SetVolume(0.0f);
                record.object->SetPosition(0.0f, 0.0f, 0.0f);
                std::fill(samples, samples + frames, 0.0f);
                continue;
            }
            record.object->SetVolume(1.0f);
            record.object->SetPosition(record.x, record.y, -record.z);
            const uint32_t held = std::min(frames, static_cast<uint32_t>(std::max(record.ring.Fill(), 0)));
            record.ring.ReadInto(samples, held);
            std::fill(samples + held, samples + frames, 0.0f);
            if (record.state == ZK_NoMoreData && record.ring.Fill() <= 0)
            {
                // Played to its end: the record serves the next new object.
                record.key = ZkSpatialObjectRecord::kFree;
                if (m_drainingObjects.load(std::memory_order_relaxed) != 0)
                    m_drainingObjects.fetch_sub(1, std::memory_order_relaxed);
            }
        }

        if (AudioFailed(m_spatialStream->EndUpdatingAudioObjects()))
            m_error.store(true, std::memory_order_release);

        for (uint32_t i = m_recordCount; i-- > 0;)
        {
            ZkSpatialObjectRecord& record = m_records[i];
            if (record.object != nullptr || record.ring.Fill() > 0)
                continue;
            if (record.ring.data != nullptr)
                ZK::MemoryMgr::Free(ZkMemID_Default, record.ring.data);
            record = m_records[m_recordCount - 1];
            --m_recordCount;
        }
    }
    if (m_context != nullptr)
        m_context->SignalEngineThread();
}
} // namespace ZK::SoundEngine
