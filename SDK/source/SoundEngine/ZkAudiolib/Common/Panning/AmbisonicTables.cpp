// The lazily built ambisonic coefficient tables: per order index, the weighted harmonics of the
// sphere sample points (decoding), of the circle points (horizontal decoding) and the plain
// harmonics of the sphere points (encoding).
//
// Publication: the first caller builds a table and publishes it with a compare-exchange; a thread
// that loses the race frees its own copy and takes the winner's, so two builders never leak one.
// Tables live until TermTables (renderer term), which runs while nothing pans.
#include "ZkSpeakerPan.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <atomic>
#include <cstring>

namespace
{
constexpr uint32_t kSlotCount = 6;
constexpr uint32_t kTableAlignmentBytes = 16;
// c_l^2 = 2^(2l) (l!)^2 / (2l + 1)!: scales the sectoral (m = +-l) terms of the circle table.
constexpr float kSectoralSquared[6] = {1.0f, 0.66666667f, 0.53333333f, 0.45714286f, 0.40634921f, 0.36940837f};

enum TableKind
{
    kHarmonics3D,
    kHarmonics2D,
    kEncoding,
    kKindCount
};

std::atomic<float*> g_tables[kKindCount][kSlotCount];

uint32_t ChannelsOf(uint32_t orderIndex) { return (orderIndex + 2) * (orderIndex + 2); }

float* Build(TableKind kind, uint32_t orderIndex)
{
    const bool circle = kind == kHarmonics2D;
    const uint32_t points = circle ? CZkSpeakerPan::kCirclePointCount : CZkSpeakerPan::GetSamplePointCount(orderIndex);
    const uint32_t channels = ChannelsOf(orderIndex);
    float* table = static_cast<float*>(
        ZK::MemoryMgr::Malign(ZkMemID_Default, sizeof(float) * channels * points, kTableAlignmentBytes));
    if (table == nullptr)
        return nullptr;
    const float* source = circle ? CZkSpeakerPan::GetCirclePoints() : CZkSpeakerPan::GetSamplePoints(orderIndex);
    CZkSpeakerPan::ComputeSphericalHarmonicsForPoints(orderIndex, source, points, table);
    if (kind == kEncoding)
    {
        // Undo the (2l + 1) weighting: the encoder uses the plain harmonics.
        for (uint32_t l = 0; l <= orderIndex + 1; ++l)
            for (uint32_t n = l * l; n < (l + 1) * (l + 1); ++n)
                for (uint32_t i = 0; i < points; ++i)
                    table[n * points + i] /= static_cast<float>(2 * l + 1);
    }
    else if (circle)
    {
        // Only the sectoral terms carry the horizontal field; they get (2l + 1) c_l^2 in all.
        for (uint32_t l = 0; l <= orderIndex + 1; ++l)
            for (uint32_t n = l * l; n < (l + 1) * (l + 1); ++n)
            {
                const int32_t m = static_cast<int32_t>(n) - static_cast<int32_t>(l * l + l);
                const float scale = (m == static_cast<int32_t>(l) || m == -static_cast<int32_t>(l)) ? kSectoralSquared[l] : 0.0f;
                for (uint32_t i = 0; i < points; ++i)
                    table[n * points + i] *= scale;
            }
    }
    return table;
}

const float* GetOrBuild(TableKind kind, uint32_t orderIndex)
{
    if (orderIndex > CZkSpeakerPan::kMaxOrderIndex)
        return nullptr;
    std::atomic<float*>& slot = g_tables[kind][orderIndex];
    float* table = slot.load(std::memory_order_acquire);
    if (table != nullptr)
        return table;
    float* built = Build(kind, orderIndex);
    if (built == nullptr)
        return nullptr;
    float* expected = nullptr;
    if (slot.compare_exchange_strong(expected, built, std::memory_order_acq_rel, std::memory_order_acquire))
        return built;
    ZK::MemoryMgr::Free(ZkMemID_Default, built); // another thread published first
    return expected;
}
} // namespace

void CZkSpeakerPan::InitTables()
{
    for (auto& kindSlots : g_tables)
        for (auto& slot : kindSlots)
            slot.store(nullptr, std::memory_order_release);
}

void CZkSpeakerPan::TermTables()
{
    for (auto& kindSlots : g_tables)
        for (auto& slot : kindSlots)
        {
            float* table = slot.exchange(nullptr, std::memory_order_acq_rel);
            if (table != nullptr)
                ZK::MemoryMgr::Free(ZkMemID_Default, table);
        }
}

const float* CZkSpeakerPan::GetHarmonicTable3D(uint32_t orderIndex) { return GetOrBuild(kHarmonics3D, orderIndex); }
const float* CZkSpeakerPan::GetHarmonicTable2D(uint32_t orderIndex) { return GetOrBuild(kHarmonics2D, orderIndex); }
const float* CZkSpeakerPan::GetEncodingTable(uint32_t orderIndex) { return GetOrBuild(kEncoding, orderIndex); }

void CZkSpeakerPan::EncodeVector(uint32_t orderIndex, const float* values, float* out)
{
    if (orderIndex > kMaxOrderIndex)
        return;
    const uint32_t channels = ChannelsOf(orderIndex);
    const float* table = GetEncodingTable(orderIndex);
    if (table == nullptr)
    {
        std::memset(out, 0, sizeof(float) * channels);
        return;
    }
    const uint32_t points = GetSamplePointCount(orderIndex);
    for (uint32_t n = 0; n < channels; ++n)
    {
        float sum = 0.0f;
        for (uint32_t i = 0; i < points; ++i)
            sum += table[n * points + i] * values[i];
        out[n] = sum;
    }
}
