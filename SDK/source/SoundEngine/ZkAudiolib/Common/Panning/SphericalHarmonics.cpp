// Real spherical harmonics in ACN order with SN3D normalisation (no Condon-Shortley phase), the
// ambisonic order of a channel count and the mixed-order layouts.
#include "ZkSpeakerPan.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr uint32_t kMaxOrder = 5;
// Close to a pole the azimuth is meaningless: above this Z^2 the higher degrees keep only their
// zonal (m = 0) term, taken as Z^l.
constexpr float kPoleZSquared = 0.99f;
// Mixed-order layouts by channel count (bit n set: ACN channel n absent); counts above 11 are full.
constexpr uint32_t kAbsentChannels[12] = {0, 0xE, 0xC, 0x4, 0, 0xE4, 0xE0, 0x7CE4, 0x7CE0, 0, 0, 0x7C00};

double Factorial(uint32_t n)
{
    double f = 1.0;
    for (uint32_t i = 2; i <= n; ++i)
        f *= i;
    return f;
}

// SN3D factor sqrt((2 - delta_m0) (l - m)! / (l + m)!) for m >= 0.
float Sn3dFactor(uint32_t l, uint32_t m)
{
    static const auto table = [] {
        struct Table
        {
            float values[kMaxOrder + 1][kMaxOrder + 1];
        } t{};
        for (uint32_t l = 0; l <= kMaxOrder; ++l)
            for (uint32_t m = 0; m <= l; ++m)
                t.values[l][m] =
                    static_cast<float>(std::sqrt((m == 0 ? 1.0 : 2.0) * Factorial(l - m) / Factorial(l + m)));
        return t;
    }();
    return table.values[l][m];
}
} // namespace

uint8_t CZkSpeakerPan::OrderIndexOfChannelCount(uint32_t channels)
{
    switch (channels)
    {
    case 1: case 2: case 3: case 4: return 0;
    case 5: case 6: case 9: return 1;
    case 7: case 8: case 11: case 16: return 2;
    case 25: return 3;
    case 36: return 4;
    default: return kInvalidOrderIndex;
    }
}

uint32_t CZkSpeakerPan::AbsentChannelMask(uint32_t channels)
{
    return channels < 12 ? kAbsentChannels[channels] : 0;
}

int32_t CZkSpeakerPan::AcnOfChannel(uint32_t channels, uint32_t i)
{
    const uint8_t orderIndex = OrderIndexOfChannelCount(channels);
    if (orderIndex == kInvalidOrderIndex || i >= channels)
        return -1;
    const uint32_t absent = AbsentChannelMask(channels);
    const uint32_t full = (orderIndex + 2u) * (orderIndex + 2u);
    uint32_t present = 0;
    for (uint32_t n = 0; n < full; ++n)
    {
        if (n < 32 && ((absent >> n) & 1u) != 0)
            continue;
        if (present == i)
            return static_cast<int32_t>(n);
        ++present;
    }
    return -1;
}

void CZkSpeakerPan::ComputeSphericalHarmonics(float X, float Y, float Z, uint32_t order, uint32_t stride, float* out)
{
    order = std::min(order, kMaxOrder);
    out[0] = 1.0f;
    if (order == 0)
        return;
    out[1 * stride] = Y;
    out[2 * stride] = Z;
    out[3 * stride] = X;
    if (order == 1)
        return;
    const float zz = Z * Z;
    if (zz >= kPoleZSquared)
    {
        float zPower = Z;
        for (uint32_t l = 2; l <= order; ++l)
        {
            zPower *= Z;
            for (uint32_t n = l * l; n < (l + 1) * (l + 1); ++n)
                out[n * stride] = 0.0f;
            out[(l * l + l) * stride] = zPower;
        }
        return;
    }
    const float cosEl = std::sqrt(1.0f - zz);
    const float cosAz = X / cosEl;
    const float sinAz = Y / cosEl;
    // cos(m az) and sin(m az) by the angle-addition recurrence.
    float cosM[kMaxOrder + 1];
    float sinM[kMaxOrder + 1];
    cosM[0] = 1.0f;
    sinM[0] = 0.0f;
    for (uint32_t m = 1; m <= order; ++m)
    {
        cosM[m] = cosM[m - 1] * cosAz - sinM[m - 1] * sinAz;
        sinM[m] = sinM[m - 1] * cosAz + cosM[m - 1] * sinAz;
    }
    // Associated Legendre functions P_l^m(Z) without the Condon-Shortley phase, column by column in m.
    float legendre[kMaxOrder + 1][kMaxOrder + 1] = {};
    float diagonal = 1.0f; // P_m^m = (2m - 1)!! cosEl^m
    for (uint32_t m = 0; m <= order; ++m)
    {
        if (m > 0)
            diagonal *= static_cast<float>(2 * m - 1) * cosEl;
        legendre[m][m] = diagonal;
        if (m + 1 <= order)
            legendre[m + 1][m] = Z * static_cast<float>(2 * m + 1) * diagonal;
        for (uint32_t l = m + 2; l <= order; ++l)
            legendre[l][m] = (static_cast<float>(2 * l - 1) * Z * legendre[l - 1][m] -
                              static_cast<float>(l + m - 1) * legendre[l - 2][m]) /
                             static_cast<float>(l - m);
    }
    for (uint32_t l = 2; l <= order; ++l)
    {
        const uint32_t centre = l * l + l;
        out[centre * stride] = legendre[l][0];
        for (uint32_t m = 1; m <= l; ++m)
        {
            const float radial = Sn3dFactor(l, m) * legendre[l][m];
            out[(centre + m) * stride] = radial * cosM[m];
            out[(centre - m) * stride] = radial * sinM[m];
        }
    }
}

void CZkSpeakerPan::EncodeDirection(float azimuth, float elevation, ZkChannelConfig config, float* out)
{
    const uint8_t orderIndex = OrderIndexOfChannelCount(config.NumChannels());
    if (orderIndex == kInvalidOrderIndex)
        return;
    const float cosEl = std::cos(elevation);
    ComputeSphericalHarmonics(std::cos(azimuth) * cosEl, -std::sin(azimuth) * cosEl, std::sin(elevation),
                              orderIndex + 1u, 1, out);
}

void CZkSpeakerPan::ComputeSphericalHarmonicsForPoints(uint32_t orderIndex, const float* points, uint32_t count,
                                                       float* out)
{
    if (orderIndex > kMaxOrderIndex)
        return;
    const uint32_t order = orderIndex + 1;
    for (uint32_t i = 0; i < count; ++i)
    {
        const float* p = points + 4 * i;
        // Engine (x right, y up, z front) to ambisonic (X front, Y left, Z up).
        ComputeSphericalHarmonics(p[2], -p[0], p[1], order, count, out + i);
        for (uint32_t l = 0; l <= order; ++l)
            for (uint32_t n = l * l; n < (l + 1) * (l + 1); ++n)
                out[n * count + i] *= static_cast<float>(2 * l + 1);
    }
}

void CZkSpeakerPan::GetDecodingMatrixShape(ZkChannelConfig config, uint32_t& pointCount, uint32_t& orderIndex)
{
    orderIndex = OrderIndexOfChannelCount(config.NumChannels());
    pointCount = GetSamplePointCount(orderIndex);
}
