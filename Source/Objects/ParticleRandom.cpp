#include "Objects/ParticleRandom.h"

#include <random>

namespace ParticleRandom
{
namespace
{
SeededPerDraw g_seededPerDraw;
Source* g_installed = nullptr;
// 2^-32: a 32-bit value to [0, 1] (the largest values round up to 1).
constexpr float kUnitPer32Bits = 0x1p-32f;
} // namespace

std::uint32_t SeededPerDraw::Next()
{
    std::random_device device;
    std::mt19937 generator(device());
    return static_cast<std::uint32_t>(generator());
}

float Uniform()
{
    Source& source = g_installed != nullptr ? *g_installed : g_seededPerDraw;
    return static_cast<float>(source.Next()) * kUnitPer32Bits;
}

void Install(Source* source)
{
    g_installed = source;
}
} // namespace ParticleRandom
