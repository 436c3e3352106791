#include "KernelTestSupport.h"

#include <ZkAudiolib/Common/Mixing/ZkKernelTables.h>

#include <gtest/gtest.h>

namespace
{
using namespace ZK;

constexpr uint32_t kLeaf1EdxSseSse2 = (1u << 25) | (1u << 26);
constexpr uint32_t kLeaf1EcxAvxFmaOsxsave = (1u << 28) | (1u << 12) | (1u << 27);
constexpr uint32_t kLeaf7EbxAvx2 = 1u << 5;

ZkCpuidReport AvxCapableReport()
{
    ZkCpuidReport report;
    report.maxStandardLeaf = 7;
    report.leaf1Edx = kLeaf1EdxSseSse2;
    report.leaf1Ecx = kLeaf1EcxAvxFmaOsxsave | 1u /* SSE3 */;
    report.leaf7Ebx = kLeaf7EbxAvx2;
    report.xcr0 = 0x7;
    report.maxExtendedLeaf = 0x80000008u;
    report.leaf80000006Ecx = (512u << 16) | 64u;
    return report;
}

struct FlagsCase
{
    const char* name;
    ZkCpuidReport report;
    uint32_t expectedFlags;
};

class FlagsFromReport : public testing::TestWithParam<FlagsCase>
{
};

TEST_P(FlagsFromReport, MapsProcessorBitsToFlags)
{
    EXPECT_EQ(ZkRuntimeEnvironmentMgr::FlagsFromReport(GetParam().report), GetParam().expectedFlags);
}

FlagsCase Case(const char* name, void (*change)(ZkCpuidReport&), uint32_t expected)
{
    ZkCpuidReport report = AvxCapableReport();
    change(report);
    return FlagsCase{name, report, expected};
}

constexpr uint32_t kAllFlags = ZK_SIMD_SSE | ZK_SIMD_SSE2 | ZK_SIMD_SSE3 | ZK_SIMD_AVX | ZK_SIMD_FMA | ZK_SIMD_AVX2;
constexpr uint32_t kSseOnly = ZK_SIMD_SSE | ZK_SIMD_SSE2 | ZK_SIMD_SSE3;

INSTANTIATE_TEST_SUITE_P(
    Table, FlagsFromReport,
    testing::Values(Case("Capable", [](ZkCpuidReport&) {}, kAllFlags),
                    // The processor reports AVX2 but the operating system does not save YMM state:
                    // using AVX would fault, so none of the AVX family counts.
                    Case("NoOsxsave", [](ZkCpuidReport& r) { r.leaf1Ecx &= ~(1u << 27); r.xcr0 = 0; }, kSseOnly),
                    Case("YmmStateNotSaved", [](ZkCpuidReport& r) { r.xcr0 = 0x3; }, kSseOnly),
                    Case("NoFma", [](ZkCpuidReport& r) { r.leaf1Ecx &= ~(1u << 12); }, kAllFlags & ~ZK_SIMD_FMA),
                    Case("NoStandardLeaves", [](ZkCpuidReport& r) { r.maxStandardLeaf = 0; }, 0u),
                    Case("AllSse", [](ZkCpuidReport& r) { r.leaf1Ecx |= (1u << 9) | (1u << 19) | (1u << 29); },
                         kAllFlags | ZK_SIMD_SSSE3 | ZK_SIMD_SSE41 | ZK_SIMD_F16C)),
    [](const testing::TestParamInfo<FlagsCase>& info) { return std::string(info.param.name); });

// Restores the process-wide registry to what this processor reports.
class RuntimeEnvironment : public testing::Test
{
protected:
    void TearDown() override
    {
        ZkRuntimeEnvironmentMgr* registry = ZkRuntimeEnvironmentMgr::Instance();
        registry->DisableFeatures(0xFFFFFFFFu);
        registry->DetectFeatures();
        ZkKernelTables::InitMixerKernels();
        ZkKernelTables::InitResamplerKernels();
    }
    ZkRuntimeEnvironmentMgr* registry = ZkRuntimeEnvironmentMgr::Instance();
};

TEST_F(RuntimeEnvironment, AvxTwoWithoutFmaOrOsSupportNeverInstallsAvxTwoKernels)
{
    ZkCpuidReport noFma = AvxCapableReport();
    noFma.leaf1Ecx &= ~(1u << 12);
    ZkCpuidReport noOs = AvxCapableReport();
    noOs.xcr0 = 0x3;
    for (const ZkCpuidReport& report : {noFma, noOs})
    {
        registry->DisableFeatures(0xFFFFFFFFu);
        registry->DetectFeatures(report);
        EXPECT_FALSE(registry->CanUseAvx2Kernels());
        ZkKernelTables::InitMixerKernels();
        EXPECT_STREQ(ZkKernelTables::MixerFormName(), "sse");
    }
}

TEST_F(RuntimeEnvironment, DisableThenDetectRestoresAvxFlagsAndCacheDefaults)
{
    registry->DetectFeatures(AvxCapableReport());
    EXPECT_EQ(registry->GetL2CacheSizeKB(), 512);
    EXPECT_EQ(registry->GetCacheLineSizeBytes(), 64);
    registry->DisableFeatures(ZK_SIMD_AVX_FAMILY);
    EXPECT_FALSE(registry->IsFeatureSupported(ZK_SIMD_AVX2));
    EXPECT_FALSE(registry->IsFeatureSupported(ZK_SIMD_AVX));
    EXPECT_TRUE(registry->IsFeatureSupported(ZK_SIMD_SSE2 | ZK_SIMD_AVX2)) << "any bit of the mask";
    registry->DetectFeatures(AvxCapableReport());
    EXPECT_TRUE(registry->IsFeatureSupported(ZK_SIMD_AVX2));

    ZkCpuidReport oldProcessor = AvxCapableReport();
    oldProcessor.maxExtendedLeaf = 0x80000004u;
    registry->DetectFeatures(oldProcessor);
    EXPECT_EQ(registry->GetL2CacheSizeKB(), kDefaultL2CacheSizeKB);
    EXPECT_EQ(registry->GetCacheLineSizeBytes(), kDefaultCacheLineSizeBytes);
}

TEST_F(RuntimeEnvironment, PlatformAvxSettingChoosesTheKernels)
{
    registry->ApplyAvxPermission(0);
    EXPECT_FALSE(registry->IsFeatureSupported(ZK_SIMD_AVX2));
    ZkKernelTables::InitMixerKernels();
    ZkKernelTables::InitResamplerKernels();
    EXPECT_STREQ(ZkKernelTables::MixerFormName(), "sse");
    EXPECT_EQ(g_zkKernelTables.resampler.cells[6], ZkResamplerKernels::MakeSseTable().cells[6]);

    registry->ApplyAvxPermission(1);
    ZkKernelTables::InitMixerKernels();
    ZkKernelTables::InitResamplerKernels();
    EXPECT_STREQ(ZkKernelTables::MixerFormName(), ProcessorRunsAvx2Kernels() ? "avx2" : "sse");
    const auto expected = ProcessorRunsAvx2Kernels() ? ZkResamplerKernels::MakeAvx2Table() : ZkResamplerKernels::MakeSseTable();
    for (uint32_t cell = 0; cell < ZkResamplerKernels::kCells; ++cell)
        EXPECT_EQ(g_zkKernelTables.resampler.cells[cell], expected.cells[cell]) << cell;
}
} // namespace
