// Times pieces of work too short for the steady clock (a read of kvm-clock costs about 56 ns) with
// the time-stamp counter: each piece between two ordered reads, the cost of one read measured right
// after it and taken off, and the counter's rate measured against the steady clock over the whole
// life of the timer. x86-64 with an invariant time-stamp counter; one thread.
#pragma once

#include <x86intrin.h>

#include <chrono>
#include <cstdint>

class CounterTimer
{
public:
    CounterTimer() : m_startTime(std::chrono::steady_clock::now()), m_startTicks(__rdtsc()) {}

    // The counter, read after everything before it has run and before anything after it starts.
    static uint64_t Read()
    {
        _mm_lfence();
        const uint64_t ticks = __rdtsc();
        _mm_lfence();
        return ticks;
    }

    // Adds the piece between the reads start and end (end read last).
    void Add(uint64_t start, uint64_t end)
    {
        m_readTicks += Read() - end;
        m_workTicks += end - start;
    }

    // Nanoseconds of the pieces added so far.
    double Nanoseconds() const
    {
        const double ticksPerNs = static_cast<double>(__rdtsc() - m_startTicks) /
                                  std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - m_startTime).count();
        return (static_cast<double>(m_workTicks) - static_cast<double>(m_readTicks)) / ticksPerNs;
    }

private:
    std::chrono::steady_clock::time_point m_startTime;
    uint64_t m_startTicks;
    uint64_t m_workTicks = 0;
    uint64_t m_readTicks = 0;
};
