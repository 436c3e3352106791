// ZkFlushDenormals: switches the calling thread's floating-point unit to flush-to-zero and
// denormals-are-zero for the life of the object, and puts the previous mode back when it ends.
//
// Why: a filter's tail decays into denormal numbers, and on x86 every operation that meets one
// takes a slow path (a decaying filter tail costs 1.3 to 1.5 times as much per block). Values that
// small (below 1.2e-38) are far below anything a 16-bit or 24-bit output can carry, so treating
// them as zero changes nothing that can be heard.
//
// Where: the mode is a property of a thread (the MXCSR register), so every thread that renders
// opens one of these around its render work: the render pass of each engine tick (around the whole
// pass, not per voice, since reading and writing the register is slow), and each job thread that
// processes voices or buses, around its job. Code outside the scope keeps the standard behaviour.
//
// Threading: per thread, no shared state. Audio thread: no allocation, no locks.
#pragma once

#include <xmmintrin.h>

class ZkFlushDenormals
{
public:
    static constexpr unsigned int kFlushToZero = 0x8000;      // MXCSR bit 15
    static constexpr unsigned int kDenormalsAreZero = 0x0040; // MXCSR bit 6

    ZkFlushDenormals() : m_saved(_mm_getcsr()) { _mm_setcsr(m_saved | kFlushToZero | kDenormalsAreZero); }
    ~ZkFlushDenormals() { _mm_setcsr(m_saved); }
    ZkFlushDenormals(const ZkFlushDenormals&) = delete;
    ZkFlushDenormals& operator=(const ZkFlushDenormals&) = delete;

private:
    unsigned int m_saved;
};
