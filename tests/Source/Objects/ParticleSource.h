// A fixed source of the particle emitter's random draws: the given 32-bit values in turn, over and
// over. Installed while it lives.
#pragma once

#include "Objects/ParticleRandom.h"

#include <cstdint>
#include <vector>

namespace kp::test
{
class FixedParticleSource final : public ParticleRandom::Source
{
public:
    explicit FixedParticleSource(std::vector<std::uint32_t> values) : m_values(std::move(values))
    {
        ParticleRandom::Install(this);
    }
    ~FixedParticleSource() override { ParticleRandom::Install(nullptr); }
    FixedParticleSource(const FixedParticleSource&) = delete;
    FixedParticleSource& operator=(const FixedParticleSource&) = delete;

    std::uint32_t Next() override { return m_values[m_next++ % m_values.size()]; }
    void Set(std::vector<std::uint32_t> values)
    {
        m_values = std::move(values);
        m_next = 0;
    }

    // The 32-bit value that a draw turns into `u` (0, 0.25, 0.5, 0.75; 1 for the largest value).
    static std::uint32_t ValueOf(double u)
    {
        return u >= 1.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(u * 4294967296.0);
    }

private:
    std::vector<std::uint32_t> m_values;
    std::size_t m_next = 0;
};
} // namespace kp::test
