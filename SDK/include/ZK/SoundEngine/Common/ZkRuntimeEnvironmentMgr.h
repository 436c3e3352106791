// The processor-feature registry: which instruction sets the processor offers (and the operating
// system lets us use), the size of the second-level cache and of a cache line. The kernel tables of
// the mixer and the resampler read it once, when the renderer starts, to choose between SSE and
// AVX2 kernels; plug-ins reach it through ZK::ZkRuntimeEnvironmentMgr::Instance to make the same
// choice.
//
// Threading: Instance is safe from any thread (function-local static). DetectFeatures and
// DisableFeatures run during engine initialisation, before any renderer thread reads the flags;
// the queries are lock-free reads.
// Ownership: one registry per process, destroyed at process exit.
#pragma once

#include <cstdint>

namespace ZK
{
// Feature flags. FMA is ours: the AVX2 kernels also use fused multiply-add, so they are chosen only
// when both ZK_SIMD_AVX2 and ZK_SIMD_FMA are present.
constexpr uint32_t ZK_SIMD_SSE = 0x01;
constexpr uint32_t ZK_SIMD_SSE2 = 0x02;
constexpr uint32_t ZK_SIMD_SSE3 = 0x04;
constexpr uint32_t ZK_SIMD_SSSE3 = 0x08;
constexpr uint32_t ZK_SIMD_SSE41 = 0x10;
constexpr uint32_t ZK_SIMD_AVX = 0x20;
constexpr uint32_t ZK_SIMD_F16C = 0x40;
constexpr uint32_t ZK_SIMD_AVX2 = 0x80;
constexpr uint32_t ZK_SIMD_FMA = 0x100;
// The bits the platform setting "AVX enable = 0" clears.
constexpr uint32_t ZK_SIMD_AVX_FAMILY = ZK_SIMD_AVX | ZK_SIMD_AVX2;

constexpr uint16_t kDefaultL2CacheSizeKB = 1024;
constexpr uint8_t kDefaultCacheLineSizeBytes = 64;

// The raw processor-identification words detection reads. xcr0 is the extended control register
// 0 (read with XGETBV only when the processor reports OSXSAVE; 0 otherwise).
struct ZkCpuidReport
{
    uint32_t maxStandardLeaf = 0;
    uint32_t leaf1Ecx = 0;
    uint32_t leaf1Edx = 0;
    uint32_t leaf7Ebx = 0;
    uint32_t maxExtendedLeaf = 0;
    uint32_t leaf80000006Ecx = 0;
    uint64_t xcr0 = 0;

    // Reads this processor.
    static ZkCpuidReport ReadProcessor();
};

// What plug-ins see of the registry.
class IZkRuntimeEnvironment
{
public:
    virtual ~IZkRuntimeEnvironment() = default;
    // True when any bit of mask is among the feature flags.
    virtual bool IsFeatureSupported(uint32_t mask) const = 0;
    virtual uint16_t GetL2CacheSizeKB() const = 0;
    virtual uint8_t GetCacheLineSizeBytes() const = 0;
};

class ZkRuntimeEnvironmentMgr final : public IZkRuntimeEnvironment
{
public:
    static ZkRuntimeEnvironmentMgr* Instance();

    bool IsFeatureSupported(uint32_t mask) const override { return (m_features & mask) != 0; }
    uint16_t GetL2CacheSizeKB() const override { return m_l2CacheSizeKB; }
    uint8_t GetCacheLineSizeBytes() const override { return m_cacheLineSizeBytes; }
    uint32_t GetFeatureFlags() const { return m_features; }

    // Reads the processor again and ORs the flags found into the present ones (bringing back bits
    // that DisableFeatures removed); updates both cache sizes.
    void DetectFeatures();
    void DetectFeatures(const ZkCpuidReport& report);
    void DisableFeatures(uint32_t mask) { m_features &= ~mask; }

    // The flags a report yields. AVX, F16C, FMA and AVX2 count only when the operating system saves
    // the YMM registers on a context switch (OSXSAVE, and XCR0 bits 1 and 2), else using them would
    // fault with an illegal instruction.
    static uint32_t FlagsFromReport(const ZkCpuidReport& report);

    // Applies the platform setting "AVX enable" (a byte, default 1): detects the features again and,
    // when the setting is 0, clears AVX and AVX2. Platform audio start-up calls it before the
    // renderer fills its kernel tables.
    void ApplyAvxPermission(uint8_t avxEnabled);

    // AVX2 kernels need AVX2 and FMA.
    bool CanUseAvx2Kernels() const
    {
        return (m_features & (ZK_SIMD_AVX2 | ZK_SIMD_FMA)) == (ZK_SIMD_AVX2 | ZK_SIMD_FMA);
    }

private:
    ZkRuntimeEnvironmentMgr();

    uint32_t m_features = 0;
    uint16_t m_l2CacheSizeKB = kDefaultL2CacheSizeKB;
    uint8_t m_cacheLineSizeBytes = kDefaultCacheLineSizeBytes;
};
} // namespace ZK
