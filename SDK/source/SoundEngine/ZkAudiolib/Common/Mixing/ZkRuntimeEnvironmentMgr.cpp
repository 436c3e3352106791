// Processor identification with CPUID and XGETBV (see ZkRuntimeEnvironmentMgr.h).
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

#include <cpuid.h>

namespace ZK
{
namespace
{
constexpr uint32_t kLeaf1EdxSse = 1u << 25;
constexpr uint32_t kLeaf1EdxSse2 = 1u << 26;
constexpr uint32_t kLeaf1EcxSse3 = 1u << 0;
constexpr uint32_t kLeaf1EcxSsse3 = 1u << 9;
constexpr uint32_t kLeaf1EcxFma = 1u << 12;
constexpr uint32_t kLeaf1EcxSse41 = 1u << 19;
constexpr uint32_t kLeaf1EcxOsxsave = 1u << 27;
constexpr uint32_t kLeaf1EcxAvx = 1u << 28;
constexpr uint32_t kLeaf1EcxF16c = 1u << 29;
constexpr uint32_t kLeaf7EbxAvx2 = 1u << 5;
constexpr uint64_t kXcr0SseAndYmmState = 0x6; // XMM (bit 1) and upper YMM (bit 2) saved by the OS
constexpr uint32_t kCacheLeaf = 0x80000006u;

uint64_t ReadXcr0()
{
    uint32_t low = 0;
    uint32_t high = 0;
    // XGETBV with ECX = 0, as inline assembly so that this file needs no -mxsave.
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}
} // namespace

ZkCpuidReport ZkCpuidReport::ReadProcessor()
{
    ZkCpuidReport report;
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    report.maxStandardLeaf = eax;
    if (report.maxStandardLeaf >= 1)
    {
        __cpuid(1, eax, ebx, ecx, edx);
        report.leaf1Ecx = ecx;
        report.leaf1Edx = edx;
        if (report.maxStandardLeaf >= 7)
        {
            __cpuid_count(7, 0, eax, ebx, ecx, edx);
            report.leaf7Ebx = ebx;
        }
        if (report.leaf1Ecx & kLeaf1EcxOsxsave)
            report.xcr0 = ReadXcr0();
    }
    __cpuid(0x80000000u, eax, ebx, ecx, edx);
    report.maxExtendedLeaf = eax;
    if (report.maxExtendedLeaf >= kCacheLeaf)
    {
        __cpuid(kCacheLeaf, eax, ebx, ecx, edx);
        report.leaf80000006Ecx = ecx;
    }
    return report;
}

uint32_t ZkRuntimeEnvironmentMgr::FlagsFromReport(const ZkCpuidReport& report)
{
    if (report.maxStandardLeaf < 1)
        return 0;
    uint32_t flags = 0;
    const uint32_t ecx = report.leaf1Ecx;
    const uint32_t edx = report.leaf1Edx;
    if (edx & kLeaf1EdxSse)
        flags |= ZK_SIMD_SSE;
    if (edx & kLeaf1EdxSse2)
        flags |= ZK_SIMD_SSE2;
    if (ecx & kLeaf1EcxSse3)
        flags |= ZK_SIMD_SSE3;
    if (ecx & kLeaf1EcxSsse3)
        flags |= ZK_SIMD_SSSE3;
    if (ecx & kLeaf1EcxSse41)
        flags |= ZK_SIMD_SSE41;

    const bool osSavesYmm = (ecx & kLeaf1EcxOsxsave) != 0 && (report.xcr0 & kXcr0SseAndYmmState) == kXcr0SseAndYmmState;
    if (osSavesYmm)
    {
        if (ecx & kLeaf1EcxAvx)
            flags |= ZK_SIMD_AVX;
        if (ecx & kLeaf1EcxF16c)
            flags |= ZK_SIMD_F16C;
        if (ecx & kLeaf1EcxFma)
            flags |= ZK_SIMD_FMA;
        if (report.leaf7Ebx & kLeaf7EbxAvx2)
            flags |= ZK_SIMD_AVX2;
    }
    return flags;
}

ZkRuntimeEnvironmentMgr::ZkRuntimeEnvironmentMgr()
{
    DetectFeatures();
}

ZkRuntimeEnvironmentMgr* ZkRuntimeEnvironmentMgr::Instance()
{
    static ZkRuntimeEnvironmentMgr registry;
    return &registry;
}

void ZkRuntimeEnvironmentMgr::DetectFeatures()
{
    DetectFeatures(ZkCpuidReport::ReadProcessor());
}

void ZkRuntimeEnvironmentMgr::DetectFeatures(const ZkCpuidReport& report)
{
    m_features |= FlagsFromReport(report);
    if (report.maxExtendedLeaf >= kCacheLeaf)
    {
        m_l2CacheSizeKB = static_cast<uint16_t>(report.leaf80000006Ecx >> 16);
        m_cacheLineSizeBytes = static_cast<uint8_t>(report.leaf80000006Ecx & 0xFFu);
    }
    else
    {
        m_l2CacheSizeKB = kDefaultL2CacheSizeKB;
        m_cacheLineSizeBytes = kDefaultCacheLineSizeBytes;
    }
}

void ZkRuntimeEnvironmentMgr::ApplyAvxPermission(uint8_t avxEnabled)
{
    DetectFeatures();
    if (avxEnabled == 0)
        DisableFeatures(ZK_SIMD_AVX_FAMILY);
}
} // namespace ZK
