#include "Platform/Audio/AlsaPump.h"

#include "Platform/PlatformClock.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace ZK::Platform
{
namespace
{
constexpr int64_t kNanosecondsPerMicrosecond = 1000;
constexpr int64_t kMicrosecondsPerMillisecond = 1000;
} // namespace

bool AlsaPump::Start(snd_pcm_t* pcm, ZkEvent* event, uint32_t periodMicroseconds)
{
    Stop();
    m_pcm = pcm;
    m_event = event;
    m_periodMicroseconds = std::max<uint32_t>(periodMicroseconds, 1000);
    m_stopSignal = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopSignal < 0)
        return false;
    ThreadProperties properties;
    properties.name = "ZK ALSA pump";
    if (StartThread(m_thread, &Main, this, properties).status != ThreadStartStatus::Started)
    {
        close(m_stopSignal);
        m_stopSignal = -1;
        return false;
    }
    return true;
}

void AlsaPump::Stop()
{
    if (!m_thread.IsValid())
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_stopSignal, &one, sizeof(one));
    JoinThread(m_thread);
    close(m_stopSignal);
    m_stopSignal = -1;
}

void AlsaPump::Main(void* argument)
{
    static_cast<AlsaPump*>(argument)->Run();
}

bool AlsaPump::WaitForStop(int timeoutMilliseconds) const
{
    pollfd stop{m_stopSignal, POLLIN, 0};
    return poll(&stop, 1, timeoutMilliseconds) > 0 && (stop.revents & POLLIN) != 0;
}

void AlsaPump::Run()
{
    const int count = std::max(0, snd_pcm_poll_descriptors_count(m_pcm));
    std::vector<pollfd> descriptors(static_cast<size_t>(count) + 1);
    const int filled = count > 0 ? snd_pcm_poll_descriptors(m_pcm, descriptors.data(), static_cast<unsigned>(count)) : 0;
    const int pcmDescriptors = std::max(0, filled);
    descriptors[static_cast<size_t>(pcmDescriptors)] = pollfd{m_stopSignal, POLLIN, 0};
    const int periodMilliseconds = static_cast<int>(m_periodMicroseconds / kMicrosecondsPerMillisecond);
    const int64_t periodNanoseconds = int64_t{m_periodMicroseconds} * kNanosecondsPerMicrosecond;
    int64_t lastSet = PerformanceCounter() - periodNanoseconds;

    for (;;)
    {
        // A PCM that has not started never becomes ready by itself: the time-out wakes the owner
        // so that it writes the data that starts it.
        const int ready = poll(descriptors.data(), static_cast<nfds_t>(pcmDescriptors + 1), 2 * periodMilliseconds + 1);
        if ((descriptors[static_cast<size_t>(pcmDescriptors)].revents & POLLIN) != 0)
            return;
        if (ready > 0 && pcmDescriptors > 0)
        {
            unsigned short events = 0;
            if (snd_pcm_poll_descriptors_revents(m_pcm, descriptors.data(), static_cast<unsigned>(pcmDescriptors),
                                                 &events) < 0)
                events = POLLERR;
            if ((events & (POLLOUT | POLLERR)) == 0)
                continue;
        }
        const int64_t sinceLast = PerformanceCounter() - lastSet;
        if (sinceLast < periodNanoseconds)
        {
            const int64_t waitNanoseconds = periodNanoseconds - sinceLast;
            const int waitMilliseconds = static_cast<int>((waitNanoseconds + 999'999) / 1'000'000);
            if (WaitForStop(waitMilliseconds))
                return;
        }
        lastSet = PerformanceCounter();
        m_event->Set();
    }
}
} // namespace ZK::Platform
