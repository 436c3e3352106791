// Attenuation objects read from banks written by tools/bank_writer.py: the cone and the curve map
// at their offsets, the volume roles' scalings, the parameter-curve list, the failures the bank
// reader reports, bodies damaged so that a literal read would run past the slots or the item, and
// the look-ups by id.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Banks/BankTestSupport.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/Attenuations/CZkAttenuation.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningParams.h"

#include <cmath>
#include <cstring>
#include <vector>
#include <algorithm>
#include <string>

namespace
{
using namespace ZK::SoundEngine;
using ZkBankTest::Bytes;

constexpr float kPi = 3.14159265f;
constexpr float kDegrees = kPi / 180.0f;
const std::string kTwoPoints = R"({"scaling": 2, "points": [[0, 0], [100, -0.5]]})";

class AttenuationObjects : public ZkBankTest::BankParseTest
{
protected:
    static Bytes BankOf(const std::string& items)
    {
        return ZkBankTest::WriteBank(ZkBankTest::Bank(R"({"tag": "BKHD"}, {"tag": "HIRC", "items": [)" + items + "]}"));
    }
    ZKRESULT Load(const std::string& items)
    {
        return ParseMemory(BankOf(items), static_cast<ZkBankID>(m_banks.size() + 1));
    }
    CZkAttenuation* Attenuation(ZkUniqueID id)
    {
        return static_cast<CZkAttenuation*>(m_index.Table(ZkIndexKind::Attenuations).Table().Find(id));
    }
    // The body of the bank's only hierarchy item.
    static Bytes BodyOf(const Bytes& bank)
    {
        const uint8_t tag[] = {'H', 'I', 'R', 'C'};
        const auto at = std::search(bank.begin(), bank.end(), std::begin(tag), std::end(tag));
        const size_t item = static_cast<size_t>(at - bank.begin()) + 8 + 4;
        uint32_t size = 0;
        std::memcpy(&size, bank.data() + item + 1, sizeof(size));
        return Bytes(bank.begin() + static_cast<std::ptrdiff_t>(item + 5),
                     bank.begin() + static_cast<std::ptrdiff_t>(item + 5 + size));
    }
};

TEST_F(AttenuationObjects, ConeAndMapAreReadAtTheirOffsets)
{
    ASSERT_EQ(Load(R"({"type": "attenuation", "id": 1, "map": [0, 255, 255, 255, 255, 255, 255], "curves": [)" +
                   kTwoPoints + R"(]},
                      {"type": "attenuation", "id": 2, "second_flag": 1, "map": [255, 255, 255, 0, 255, 255, 255],
                       "cone": {"inside": 90, "outside": 180, "volume": -12, "lowpass": 30, "highpass": 40},
                       "curves": [)" + kTwoPoints + "]}"),
              ZK_Success);
    CZkAttenuation* off = Attenuation(1);
    CZkAttenuation* on = Attenuation(2);
    ASSERT_NE(off, nullptr);
    ASSERT_NE(on, nullptr);
    EXPECT_EQ(off->RefCount(), 1u) << "the bank's reference";
    EXPECT_FALSE(off->ConeEnabled());
    EXPECT_FALSE(off->SecondFlag());
    EXPECT_EQ(off->SlotOfRole(ZkAttenuationRole_DryVolume), 0);
    EXPECT_FALSE(off->HasCurve(ZkAttenuationRole_LowPass));
    EXPECT_FLOAT_EQ(off->ConeFactor(kPi), 0.0f) << "no cone";

    EXPECT_TRUE(on->ConeEnabled());
    EXPECT_TRUE(on->SecondFlag());
    EXPECT_EQ(on->SlotOfRole(ZkAttenuationRole_LowPass), 0) << "the map after the cone, at 26";
    EXPECT_FALSE(on->HasCurve(ZkAttenuationRole_DryVolume));
    EXPECT_NEAR(on->ConeInsideHalfAngle(), 45.0f * kDegrees, 1e-6f) << "full angles become half-angles";
    EXPECT_NEAR(on->ConeOutsideHalfAngle(), 90.0f * kDegrees, 1e-6f);
    EXPECT_FLOAT_EQ(on->ConeOutsideVolumeDb(), -12.0f);
    EXPECT_FLOAT_EQ(on->ConeOutsideLowPass(), 30.0f);
    EXPECT_FLOAT_EQ(on->ConeOutsideHighPass(), 40.0f);
    const struct
    {
        float angleDegrees;
        float factor;
    } cone[] = {{0.0f, 0.0f}, {45.0f, 0.0f}, {67.5f, 0.5f}, {90.0f, 1.0f}, {180.0f, 1.0f}};
    for (const auto& c : cone)
        EXPECT_NEAR(on->ConeFactor(c.angleDegrees * kDegrees), c.factor, 1e-5f) << c.angleDegrees << " degrees";
    EXPECT_NEAR(on->EvaluateRole(ZkAttenuationRole_LowPass, 100.0f, -1.0f), 20.0f * std::log10(0.5f), 1e-4f)
        << "a filter curve keeps its scaling (signed decibels) and values";
}

TEST_F(AttenuationObjects, VolumeRolesBecomeLinearGains)
{
    // Slot 0: signed dB (y + 1), slot 1: decibels (to gain), slot 2: a filter curve in dB scaling 0
    // that no volume role uses (kept as read).
    ASSERT_EQ(Load(R"({"type": "attenuation", "id": 1, "map": [0, 0, 1, 2, 255, 255, 255], "curves": [)" + kTwoPoints +
                   R"(, {"scaling": 0, "points": [[0, 0], [10, -6.0206]]},
                       {"scaling": 0, "points": [[0, 100], [10, 50]]}]})"),
              ZK_Success);
    CZkAttenuation* attenuation = Attenuation(1);
    ASSERT_NE(attenuation, nullptr);
    float gains[3] = {7.0f, 7.0f, 7.0f};
    attenuation->EvaluateVolumes(100.0f, gains);
    EXPECT_FLOAT_EQ(gains[0], 0.5f) << "scaling 2 at y = -0.5 is linear gain 0.5";
    EXPECT_FLOAT_EQ(gains[1], 0.5f) << "the first send on the dry slot takes the dry value";
    // Decibels become a gain through the fast power of ten (0.23 %).
    EXPECT_NEAR(gains[2], 0.5f, 0.5f * 0.0023f) << "decibels become a gain";
    attenuation->EvaluateVolumes(0.0f, gains);
    EXPECT_FLOAT_EQ(gains[0], 1.0f);
    EXPECT_NEAR(gains[2], 1.0f, 0.0023f);
    EXPECT_FLOAT_EQ(attenuation->EvaluateRole(ZkAttenuationRole_LowPass, 5.0f, 0.0f), 75.0f);
    EXPECT_FLOAT_EQ(attenuation->LastPointX(ZkAttenuationRole_DryVolume), 100.0f) << "the last bank point, not the sentinel";
    EXPECT_FLOAT_EQ(attenuation->LastPointX(ZkAttenuationRole_Spread), 0.0f);

    ASSERT_EQ(Load(R"({"type": "attenuation", "id": 2, "map": [255, 0, 255, 255, 255, 255, 255], "curves": [)" +
                   kTwoPoints + "]}"),
              ZK_Success);
    float kept[3] = {0.25f, 1.0f, 0.75f};
    Attenuation(2)->EvaluateVolumes(100.0f, kept);
    EXPECT_FLOAT_EQ(kept[0], 0.25f) << "a role without curve leaves its gain";
    EXPECT_FLOAT_EQ(kept[1], 0.5f);
    EXPECT_FLOAT_EQ(kept[2], 0.75f);
}

TEST_F(AttenuationObjects, ALaterParameterCurveReplacesTheOneWithTheSameTargetAndCurve)
{
    ASSERT_EQ(Load(R"({"type": "attenuation", "id": 1, "map": [0, 255, 255, 255, 255, 255, 255], "curves": [)" +
                   kTwoPoints + R"(], "rtpc": [
                       {"parameter": 5, "target": 20, "curve": 1, "points": [[0, 1], [1, 2]]},
                       {"parameter": 6, "target": 21, "curve": 1, "points": [[0, 3], [1, 4]]},
                       {"parameter": 7, "parameter_type": 2, "combine": 3, "target": 20, "curve": 1, "points": [[0, 5]]},
                       {"parameter": 8, "target": 20, "curve": 2}]})"),
              ZK_Success);
    const auto& curves = Attenuation(1)->ParamCurves();
    ASSERT_EQ(curves.Length(), 3u);
    EXPECT_EQ(curves[0].paramID, 6u) << "the earlier entry of target 20, curve 1 is gone";
    EXPECT_EQ(curves[1].paramID, 7u);
    EXPECT_EQ(curves[1].paramType, 2u);
    EXPECT_EQ(curves[1].combineMode, 3u);
    EXPECT_EQ(curves[1].target, 20u);
    uint32_t segment = 1;
    EXPECT_FLOAT_EQ(curves[1].curve.Evaluate(0.5f, segment), 5.0f);
    EXPECT_EQ(curves[2].curve.PointCount(), 0u) << "an entry without points keeps an empty curve";
}

// Results the bank reader hands on. The first three are damaged so that a literal read would write
// past the seven slots, read a map byte beyond them, or evaluate a slot that holds no points.
TEST_F(AttenuationObjects, BadBodiesEndTheRead)
{
    std::string eight;
    for (int curve = 0; curve < 8; ++curve)
        eight += (curve != 0 ? ", " : "") + kTwoPoints;
    const struct
    {
        const char* what;
        std::string item;
        ZKRESULT expected;
    } cases[] = {
        {"eight curves", R"({"type": "attenuation", "id": 1, "map": {"0": 0}, "curves": [)" + eight + "]}",
         ZK_InvalidFile},
        {"a map byte of 7", R"({"type": "attenuation", "id": 1, "map": {"0": 7}, "curves": [)" + kTwoPoints + "]}",
         ZK_InvalidFile},
        {"a map naming slot 2 of 2 curves",
         R"({"type": "attenuation", "id": 1, "map": {"3": 2}, "curves": [)" + kTwoPoints + ", " + kTwoPoints + "]}",
         ZK_InvalidFile},
        {"a cone angle that is not a number",
         R"({"type": "attenuation", "id": 1, "cone": {"inside": NaN, "outside": 10}, "curves": [)" + kTwoPoints + "]}",
         ZK_InvalidFile},
        {"an infinite cone volume",
         R"({"type": "attenuation", "id": 1, "cone": {"volume": -Infinity}, "curves": [)" + kTwoPoints + "]}",
         ZK_InvalidFile},
        {"a parameter-curve count one too large",
         R"({"type": "attenuation", "id": 1, "curves": [)" + kTwoPoints + R"(], "rtpc_count": 1})", ZK_InvalidFile},
        {"no curves", R"({"type": "attenuation", "id": 1})", ZK_Fail},
        {"a curve without points", R"({"type": "attenuation", "id": 1, "curves": [{"points": []}]})",
         ZK_InvalidParameter},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Load(c.item), c.expected) << c.what;
}

// Every cut of a whole body (cone, two curves, two parameter curves) is malformed; each cut is a
// heap block of exactly its length, so a read past it is caught by the address sanitizer.
TEST_F(AttenuationObjects, EveryCutOfABodyIsMalformed)
{
    const Bytes body = BodyOf(BankOf(
        R"({"type": "attenuation", "id": 9, "map": [0, 1, 255, 1, 255, 255, 255],
            "cone": {"inside": 30, "outside": 90, "volume": -6, "lowpass": 10, "highpass": 5},
            "curves": [)" + kTwoPoints + ", " + kTwoPoints + R"(], "rtpc": [
            {"parameter": 5, "target": 200, "curve": 1, "points": [[0, 1], [1, 2]]},
            {"parameter": 6, "target": 21, "curve": 2}]})"));
    for (size_t cut = 0; cut < body.size(); ++cut)
    {
        CZkAttenuation* attenuation = CZkAttenuation::Create(100 + static_cast<ZkUniqueID>(cut));
        ASSERT_NE(attenuation, nullptr);
        const std::vector<uint8_t> bytes(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(attenuation->ReadFromBank(bytes.data(), static_cast<uint32_t>(cut)), ZK_InvalidFile) << cut << " bytes";
        attenuation->Release();
    }
    CZkAttenuation* whole = CZkAttenuation::Create(99);
    EXPECT_EQ(whole->ReadFromBank(body.data(), static_cast<uint32_t>(body.size())), ZK_Success);
    EXPECT_EQ(whole->ParamCurves().Length(), 2u);
    whole->Release();
}

TEST_F(AttenuationObjects, LookUpsCountTheirReferencesAndASecondBankOnlyReferences)
{
    const std::string item = R"({"type": "attenuation", "id": 3, "map": {"0": 0}, "curves": [)" + kTwoPoints + "]}";
    ASSERT_EQ(Load(item), ZK_Success);
    ASSERT_EQ(Load(item), ZK_Success);
    CZkAttenuation* attenuation = CZkAttenuation::Find(3);
    ASSERT_EQ(attenuation, Attenuation(3));
    EXPECT_EQ(attenuation->RefCount(), 3u) << "two banks and the look-up";
    EXPECT_EQ(attenuation->Release(), 2u);
    EXPECT_EQ(CZkAttenuation::Find(0), nullptr);
    EXPECT_EQ(CZkAttenuation::Find(4), nullptr);
}

// The positioning record holds one reference however often it is asked, looks an id up again
// until it is found, and gives its reference back when reset, when the id changes, or when it goes.
TEST_F(AttenuationObjects, APositioningRecordHoldsOneReferenceToItsAttenuation)
{
    const std::string item = R"({"type": "attenuation", "id": 8, "map": {"0": 0}, "curves": [)" + kTwoPoints + "]}";
    {
        CZkPositioningParams record;
        record.SetAttenuationID(8);
        EXPECT_EQ(record.GetAttenuation(), nullptr) << "not loaded yet";
        ASSERT_EQ(Load(item), ZK_Success);
        CZkAttenuation* held = record.GetAttenuation();
        ASSERT_EQ(held, Attenuation(8)) << "looked up again";
        EXPECT_EQ(record.GetAttenuation(), held);
        EXPECT_EQ(held->RefCount(), 2u) << "the bank and the record, once";
        record.Reset();
        EXPECT_EQ(held->RefCount(), 1u);
        EXPECT_EQ(record.HeldAttenuation(), nullptr);
        EXPECT_EQ(record.GetAttenuation(), held);
        record.SetAttenuationID(0);
        EXPECT_EQ(held->RefCount(), 1u) << "another id gives it back";
        EXPECT_EQ(record.GetAttenuation(), nullptr) << "id 0: none";
        record.SetAttenuationID(8);
        record.GetAttenuation();
        EXPECT_EQ(held->RefCount(), 2u);
    }
    EXPECT_EQ(Attenuation(8)->RefCount(), 1u) << "given back when the record goes";
}

TEST_F(AttenuationObjects, OutOfMemory)
{
    using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;
    {
        ScopedAllocationFailure fail(CZkAttenuation::kPool, 1);
        EXPECT_EQ(CZkAttenuation::Create(1), nullptr);
    }
    const Bytes body = BodyOf(BankOf(R"({"type": "attenuation", "id": 1, "map": {"0": 1}, "curves": [)" + kTwoPoints +
                                     ", " + kTwoPoints + R"(], "rtpc": [{"parameter": 5, "target": 2, "points": [[0, 1]]}]})"));
    // Allocations of pool 0: each curve's aligned copy and block, the list, the entry's copy and block.
    for (uint32_t nth = 1;; ++nth)
    {
        CZkAttenuation* attenuation = CZkAttenuation::Create(1);
        ZKRESULT result;
        {
            ScopedAllocationFailure fail(CZkAttenuation::kListPool, nth);
            result = attenuation->ReadFromBank(body.data(), static_cast<uint32_t>(body.size()));
            if (ZK::MemoryMgr::FaultInjection::FailedAllocations() == 0)
            {
                EXPECT_EQ(result, ZK_Success);
                attenuation->Release();
                break;
            }
        }
        EXPECT_TRUE(result == ZK_InsufficientMemory || result == ZK_Fail) << nth;
        attenuation->Release(); // frees what was kept (the leak checker watches)
    }
}
} // namespace
