// Where the particle emitter draws its random numbers: one 32-bit value per draw, turned into a
// uniform value u in [0, 1] as float(n) x 2^-32. In the game each draw seeds a new Mersenne Twister
// (mt19937) from the system's random device and takes its first output, so no generator state is
// kept between draws. Tests install a source of their own to fix the values.
//
// Threading: main thread (the installed source is one global). Ownership: an installed source is
// borrowed and must outlive its use; install null to return to the game's.
#pragma once

#include <cstdint>

namespace ParticleRandom
{
class Source
{
public:
    virtual ~Source() = default;
    virtual std::uint32_t Next() = 0;
};

// The game's source: a new mt19937 seeded from std::random_device for every draw.
class SeededPerDraw final : public Source
{
public:
    std::uint32_t Next() override;
};

// The next value of the source in use, as a float in [0, 1].
float Uniform();
// Uses `source` from now on; null returns to SeededPerDraw.
void Install(Source* source);
} // namespace ParticleRandom
