#include "ZkAudiolib/Common/Hierarchy/ZkPropertyTable.h"

#include <array>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint8_t kNone = kNoParameter;
constexpr uint8_t kSum = kNotAccumulated;

struct Row
{
    uint32_t id;
    bool isInteger;
    double value;
    uint8_t parameter;
    uint8_t slot;
};

// Ids not listed are float 0, driven by nothing, not accumulated ("stored only").
constexpr Row kRows[] = {
    {0, false, 0.0, 0, 0},      {1, false, 0.0, 1, kSum},    {2, false, 0.0, 2, 1},
    {3, false, 0.0, 3, 2},      {4, false, 0.0, 4, 3},       {5, false, 0.0, 5, 4},
    {6, false, 0.0, 7, 5},      {7, false, 50.0, 17, kSum},  {8, false, -10.0, kNone, kSum},
    {11, false, 1.0, 14, kSum}, {12, false, 0.0, 18, kSum},  {13, false, 0.0, 19, kSum},
    {14, false, 0.0, 24, kSum}, {15, true, 0, kNone, kSum},  {16, true, 0, kNone, kSum},
    {17, false, 100.0, kNone, kSum},
    {19, false, 0.0, 39, 6},    {20, false, 0.0, 40, 7},     {21, false, 0.0, 41, 8},
    {22, false, 0.0, 42, 9},    {23, false, 0.0, 38, 10},    {24, false, 0.0, 43, 11},
    {25, false, 0.0, 44, 12},   {26, false, 0.0, 45, 13},    {27, false, 96.0, 34, kSum},
    {28, false, 16.0, 36, kSum}, {29, false, 1.0, 35, kSum}, {32, false, 200.0, kNone, kSum},
    {33, false, 12.0, 37, 14},  {40, true, 1, kNone, kSum},  {41, true, 1, kNone, kSum},
    {43, true, 1, kNone, kSum}, {44, true, 7, kNone, kSum},  {45, true, 60, kNone, kSum},
    {46, true, 1, kNone, kSum}, {47, true, 0, 11, kSum},     {48, true, 0, 12, kSum},
    {49, true, 0, kNone, kSum}, {50, true, 127, kNone, kSum}, {51, true, 0, kNone, kSum},
    {52, true, 127, kNone, kSum}, {53, true, 65535, kNone, kSum}, {54, false, 1.0, 13, kSum},
    {57, true, -1, kNone, kSum}, {58, true, 1, kNone, kSum}, {59, false, 0.0, 6, kSum},
    {60, false, 0.0, 48, 15},   {61, false, 0.0, 49, 16},    {62, false, 0.0, 50, 17},
    {63, false, 0.0, 51, 18},   {64, false, 0.0, 52, 19},    {65, false, 0.0, 53, 20},
    {66, false, 0.0, 54, 21},   {67, false, 0.0, 55, 22},    {68, false, 0.0, 56, 23},
    {69, false, 0.0, 57, 24},   {70, true, 0, kNone, kSum},  {71, false, 100.0, 23, kSum},
    {72, false, 0.0, 47, 25},   {73, false, 0.0, 58, kSum},
};

std::array<ZkPropertyInfo, kPropertyCount + 1> BuildTable()
{
    std::array<ZkPropertyInfo, kPropertyCount + 1> table{};
    for (ZkPropertyInfo& info : table)
        info = ZkPropertyInfo{ZkPropertyValue{}, false, kNoParameter, kNotAccumulated};
    for (const Row& row : kRows)
    {
        ZkPropertyInfo& info = table[row.id];
        info.isInteger = row.isInteger;
        info.defaultValue = row.isInteger ? ZkPropertyValue::FromInt(static_cast<int32_t>(row.value))
                                          : ZkPropertyValue::FromFloat(static_cast<float>(row.value));
        info.parameter = row.parameter;
        info.accumulationSlot = row.slot;
    }
    // The twelve id-valued properties: none is -1.
    for (uint32_t id = ZkProp_FirstIdValued; id < ZkProp_FirstIdValued + 12; ++id)
        table[id] = ZkPropertyInfo{ZkPropertyValue::FromInt(-1), true, kNoParameter, kNotAccumulated};
    return table;
}

constexpr uint32_t kDrivenProperties = 74;
constexpr uint32_t kParameterCount = 64;

std::array<uint8_t, kParameterCount> BuildParameterTable()
{
    std::array<uint8_t, kParameterCount> properties{};
    properties.fill(static_cast<uint8_t>(kNoProperty));
    for (uint32_t id = 0; id < kDrivenProperties; ++id)
    {
        const uint8_t parameter = PropertyInfo(id).parameter;
        if (parameter < kParameterCount && parameter != kNoParameter)
            properties[parameter] = static_cast<uint8_t>(id);
    }
    return properties;
}
} // namespace

const ZkPropertyInfo& PropertyInfo(uint32_t id)
{
    static const std::array<ZkPropertyInfo, kPropertyCount + 1> table = BuildTable();
    return table[id < kPropertyCount ? id : kPropertyCount];
}

uint32_t ParameterProperty(uint32_t parameter)
{
    static const std::array<uint8_t, kParameterCount> table = BuildParameterTable();
    return parameter < kParameterCount ? table[parameter] : kNoProperty;
}
} // namespace ZK::SoundEngine
