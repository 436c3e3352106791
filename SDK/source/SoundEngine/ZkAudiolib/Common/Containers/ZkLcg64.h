// ZkLcg64: the engine's random generator, a 64-bit linear congruential generator
// x = x * 0x5851F42D4C957F2D + 1 (wrapping). Every draw advances the state once and uses its high
// 31 bits (x >> 33): an index below n is that value modulo n, a fraction is that value / (2^31 - 1).
//
// Engine() is the one process-wide generator that play probability, randomised properties,
// playlists, dialogue resolution, modulators and music draw from, on the audio thread under the
// global engine lock; SetRandomSeed's message seeds it. Other instances (a modulator's random
// waveform) keep a state of their own.
//
// Threading: an instance is used by one thread at a time. Ownership: a plain value.
#pragma once

#include <cstdint>

namespace ZK
{
class ZkLcg64
{
public:
    static constexpr uint64_t kMultiplier = 0x5851F42D4C957F2Dull;
    static constexpr uint64_t kIncrement = 1;
    // A draw times this is a fraction in [0, 1] (1 / (2^31 - 1)).
    static constexpr double kDrawToFraction = 1.0 / 2147483647.0;

    constexpr ZkLcg64() = default;
    constexpr explicit ZkLcg64(uint64_t seed) : m_state(seed) {}

    static ZkLcg64& Engine();

    void Seed(uint64_t seed) { m_state = seed; }
    uint64_t State() const { return m_state; }

    // Advances the state and returns its high 31 bits.
    uint32_t Draw()
    {
        m_state = m_state * kMultiplier + kIncrement;
        return static_cast<uint32_t>(m_state >> 33);
    }
    // A draw modulo count; 0 when count is 0 (the state still advances).
    uint32_t RandomIndex(uint32_t count)
    {
        const uint32_t value = Draw();
        return count == 0 ? 0 : value % count;
    }
    // A draw in [0, 1], double precision.
    double RandomFraction() { return static_cast<double>(Draw()) * kDrawToFraction; }
    // minimum when the range is empty (no draw); else minimum + fraction * (maximum - minimum).
    float RandomFloatInRange(float minimum, float maximum);
    // low when low == high (no draw); else low + trunc(fraction * (high - low) + 0.5).
    int32_t RandomIntInRange(int32_t low, int32_t high);

private:
    uint64_t m_state = 0;
};
} // namespace ZK
