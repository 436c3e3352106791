// What the sound engine's fuzz entries share: the check of a promise, the memory manager (started
// once for the whole run, as libFuzzer calls an entry many times in one process, and never
// stopped), and the input read from the front as a script.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace kp::fuzz
{
// A broken promise of the code under test: a finding.
inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

inline void StartSoundMemory()
{
    if (ZK::MemoryMgr::IsInitialized())
        return;
    ZkMemSettings settings;
    ZK::MemoryMgr::GetDefaultSettings(settings);
    if (ZK::MemoryMgr::Init(&settings) != ZK_Success)
        std::abort();
    ZK::MemoryMgr::InitForThread();
}

// The leak checker's switches, present only in a build with it (weak: null elsewhere).
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

// Runs `make` with the leak checker looking away. For what an entry keeps for the whole run
// (libFuzzer checks for leaks between inputs): much of it is reachable only through the memory
// manager's own mappings, which the checker does not scan.
template <typename Make>
void MakeForTheWholeRun(Make make)
{
    if (__lsan_disable != nullptr)
        __lsan_disable();
    make();
    if (__lsan_enable != nullptr)
        __lsan_enable();
}

// The bytes of a fuzz input, taken from the front as the entry needs them; past the end every
// read gives 0.
class InputBytes
{
public:
    InputBytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_position >= m_size; }
    size_t Left() const { return Empty() ? 0 : m_size - m_position; }
    uint8_t Byte() { return Empty() ? 0 : m_data[m_position++]; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    uint32_t Long() { return Word() | (static_cast<uint32_t>(Word()) << 16); }
    // The rest of the input, or up to count bytes of it.
    const uint8_t* Take(size_t count, size_t& taken)
    {
        taken = count < Left() ? count : Left();
        const uint8_t* start = m_data + m_position;
        m_position += taken;
        return start;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};
} // namespace kp::fuzz
