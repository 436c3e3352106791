// The "ENVS" chunk: two groups of three environment curves, each with its enabled flag.
#include "ZkAudiolib/Common/Banks/BankParse.h"

#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kCurveCount = CZkEnvCurves::kGroups * CZkEnvCurves::kCurvesPerGroup;
constexpr size_t kCurveHeaderBytes = 2 + sizeof(uint16_t);

bool CurvesAreWhole(const uint8_t* body, uint32_t size)
{
    ZK::ZkByteCursor cursor(body, size);
    for (uint32_t curve = 0; curve < kCurveCount; ++curve)
    {
        const uint8_t* header = cursor.Take(kCurveHeaderBytes);
        if (header == nullptr)
            return false;
        const uint16_t points = ZK::LoadLittleEndian<uint16_t>(header + 2);
        if (!cursor.Skip(size_t{points} * sizeof(ZkCurvePoint)))
            return false;
    }
    return true;
}
} // namespace

ZKRESULT BankManager::ReadEnvironment(Parse&, uint32_t size)
{
    if (g_pStateMgr == nullptr || size == 0)
        return ZK_Fail;
    return ReadSection(size, ZK_Fail, [](const uint8_t* body, uint32_t bodySize) {
        if (!CurvesAreWhole(body, bodySize))
            return ZK_InvalidFile;
        if (g_pEnvCurves == nullptr)
            return ZK_Fail;
        ZK::ZkByteCursor cursor(body, bodySize);
        for (uint32_t curve = 0; curve < kCurveCount; ++curve)
        {
            uint8_t enabled = 0, scaling = 0;
            uint16_t count = 0;
            cursor.Read(enabled);
            cursor.Read(scaling);
            cursor.Read(count);
            const uint8_t* bytes = cursor.Take(size_t{count} * sizeof(ZkCurvePoint));
            const uint32_t group = curve / CZkEnvCurves::kCurvesPerGroup;
            const uint32_t index = curve % CZkEnvCurves::kCurvesPerGroup;
            g_pEnvCurves->curveEnabled[group][index] = enabled != 0 ? 1 : 0;
            // The curves take aligned points; the bank's may lie anywhere.
            auto* points = static_cast<ZkCurvePoint*>(
                ZK::MemoryMgr::Malloc(ZkMemID_Default, size_t{count} * sizeof(ZkCurvePoint) + 1));
            if (points == nullptr)
                return ZK_InsufficientMemory;
            std::memcpy(points, bytes, size_t{count} * sizeof(ZkCurvePoint));
            const ZKRESULT result = g_pEnvCurves->Set(group, index, count, points, scaling);
            ZK::MemoryMgr::Free(ZkMemID_Default, points);
            if (result != ZK_Success)
                return result;
        }
        return ZK_Success;
    });
}
} // namespace ZK::SoundEngine
