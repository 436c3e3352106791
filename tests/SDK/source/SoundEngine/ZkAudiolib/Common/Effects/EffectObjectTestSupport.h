// Effect objects for the tests of their users (voices' stages, plug-in host contexts, output
// devices): a real CZkEffectObject in its kind's table, read from a small body made here (the
// bank tests of the objects themselves use banks of tools/bank_writer.py).
#pragma once

#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace ZkEffectTest
{
using namespace ZK::SoundEngine;

struct EffectFields
{
    uint32_t pluginID = CZkEffectObject::kNoPlugin;
    std::vector<ZkUniqueID> media;
    std::vector<ZkEffectInitialValue> initialValues; // parameter ids below 128
    // Audio-device share sets: the effect of each slot (0 = none) and the bypass bits.
    ZkUniqueID deviceEffects[kEffectSlotCount] = {};
    uint8_t deviceBypass = 0;
};

template <typename T>
void Put(std::vector<uint8_t>& bytes, T value)
{
    const size_t at = bytes.size();
    bytes.resize(at + sizeof(T));
    std::memcpy(bytes.data() + at, &value, sizeof(T));
}

inline std::vector<uint8_t> EffectBody(ZkUniqueID id, const EffectFields& fields, bool device)
{
    std::vector<uint8_t> body;
    Put(body, id);
    Put(body, fields.pluginID);
    Put<uint32_t>(body, 0); // no parameter data
    Put(body, static_cast<uint8_t>(fields.media.size()));
    for (size_t index = 0; index < fields.media.size(); ++index)
    {
        Put(body, static_cast<uint8_t>(index));
        Put(body, fields.media[index]);
    }
    Put<uint16_t>(body, 0);  // subscriptions
    Put<uint16_t>(body, 0);  // state chunk: no properties, no groups
    Put(body, static_cast<uint16_t>(fields.initialValues.size()));
    for (const ZkEffectInitialValue& initial : fields.initialValues)
    {
        Put(body, static_cast<uint8_t>(initial.paramID));
        Put(body, initial.drivenKind);
        Put(body, initial.value);
    }
    if (!device)
        return body;
    uint8_t count = 0;
    for (ZkUniqueID effect : fields.deviceEffects)
        count = static_cast<uint8_t>(count + (effect != 0 ? 1 : 0));
    Put<uint8_t>(body, 0); // override
    Put(body, count);
    if (count == 0)
        return body;
    Put(body, fields.deviceBypass);
    for (uint8_t slot = 0; slot < kEffectSlotCount; ++slot)
    {
        if (fields.deviceEffects[slot] == 0)
            continue;
        Put(body, slot);
        Put(body, fields.deviceEffects[slot]);
        Put<uint8_t>(body, 1);
        Put<uint8_t>(body, 0);
    }
    return body;
}

// A new effect object of the kind's table (one reference, the caller's), read from fields.
inline CZkEffectObject* MakeEffect(ZkIndexKind kind, ZkUniqueID id, const EffectFields& fields = {})
{
    CZkEffectObject* object = kind == ZkIndexKind::AudioDevices   ? CZkEffectObject::CreateDevice(id)
                              : kind == ZkIndexKind::SharedEffects ? CZkEffectObject::CreateShared(id)
                                                                   : CZkEffectObject::CreateCustom(id);
    EXPECT_NE(object, nullptr);
    if (object == nullptr)
        return nullptr;
    const std::vector<uint8_t> body = EffectBody(id, fields, kind == ZkIndexKind::AudioDevices);
    const ZKRESULT read = object->ReadFromBank(body.data(), static_cast<uint32_t>(body.size()));
    EXPECT_TRUE(read == ZK_Success || read == ZK_PluginNotRegistered) << read;
    return object;
}

inline CZkEffectObject* MakeEffect(ZkIndexKind kind, ZkUniqueID id, uint32_t pluginID)
{
    EffectFields fields;
    fields.pluginID = pluginID;
    return MakeEffect(kind, id, fields);
}
} // namespace ZkEffectTest
