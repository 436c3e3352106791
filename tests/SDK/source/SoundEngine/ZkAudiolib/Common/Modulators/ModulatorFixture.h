// Shared by the modulator tests: an engine with its object index, game-parameter manager and bank
// manager (the bank parse fixture), modulators read from banks written by tools/bank_writer.py,
// instances made and kept as the modulator manager's attach step does (the tree's slot holds
// them), one engine frame of an instance run as the manager's step does, and the numpy models.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Banks/BankTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/NumberLines.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Modulators/CZkModulator.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorInstanceKinds.h"
#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace ZkModulatorTest
{
using namespace ZK::SoundEngine;
using ZkBankTest::Bytes;

constexpr uint32_t kFrames = 1024;
constexpr uint32_t kRate = 48000;

// One frame of output of an instance: its value, peak and state, and its samples at audio rate.
struct FrameResult
{
    float value = 0.0f;
    float peak = 0.0f;
    int32_t state = ZkModulatorState_None;
    std::vector<float> samples;
};

// One instance stepped frame by frame: Advance, its kernel record, the kernel, the pending
// output (the manager's per-frame step for a single instance).
class InstanceStepper
{
public:
    explicit InstanceStepper(CZkModulatorInstance& instance) : m_instance(instance) {}

    FrameResult Step(uint32_t frames = kFrames)
    {
        m_instance.Advance(frames);
        m_buffer.assign(frames, -99.0f);
        FrameResult result;
        ZkModulatorOutput* output = nullptr;
        switch (m_instance.Modulator() != nullptr ? m_instance.Modulator()->Kind() : m_kind)
        {
        case ZkModulatorKind_Lfo:
        {
            ZkLfoRecord record{m_instance.Header(), *static_cast<ZkLfoParams*>(m_instance.GetParamBlock())};
            m_lfo.samples = record.header.audioRateFrames != 0 ? m_buffer.data() : nullptr;
            RunLfoKernel(&record, &m_lfo, 1, frames);
            output = &m_lfo;
            break;
        }
        case ZkModulatorKind_Envelope:
        {
            ZkEnvelopeRecord record{m_instance.Header(), *static_cast<ZkEnvelopeParams*>(m_instance.GetParamBlock())};
            m_plain.samples = record.header.audioRateFrames != 0 ? m_buffer.data() : nullptr;
            RunEnvelopeKernel(&record, &m_plain, 1, frames);
            output = &m_plain;
            break;
        }
        default:
        {
            ZkTimeRecord record{m_instance.Header(), *static_cast<ZkTimeParams*>(m_instance.GetParamBlock())};
            m_plain.samples = record.header.audioRateFrames != 0 ? m_buffer.data() : nullptr;
            RunTimeKernel(&record, &m_plain, 1, frames, ZkAudioSettings::SampleRate());
            output = &m_plain;
            break;
        }
        }
        m_kind = m_instance.Modulator() != nullptr ? m_instance.Modulator()->Kind() : m_kind;
        m_instance.SetPendingOutput(output);
        result.value = output->lastValue;
        result.peak = output->peak;
        result.state = output->newState;
        if (output->samples != nullptr)
            result.samples = m_buffer;
        return result;
    }

private:
    CZkModulatorInstance& m_instance;
    int32_t m_kind = ZkModulatorKind_Lfo;
    ZkLfoOutput m_lfo;
    ZkModulatorOutput m_plain;
    std::vector<float> m_buffer;
};

// One frame of a kernel record on its own, as an instance would be stepped: the age grows by a
// frame, the kernel runs (into buffer at audio rate), the value (and the LFO's oscillator) comes
// back for the next frame.
inline FrameResult StepRecord(ZkEnvelopeRecord& record, std::vector<float>& buffer)
{
    const bool audio = record.header.audioRateFrames != 0;
    buffer.resize(kFrames);
    record.header.elapsedFrames += kFrames;
    ZkModulatorOutput output;
    output.samples = audio ? buffer.data() : nullptr;
    RunEnvelopeKernel(&record, &output, 1, kFrames);
    record.header.currentValue = output.lastValue;
    return FrameResult{output.lastValue, output.peak, output.newState, audio ? buffer : std::vector<float>{}};
}

inline FrameResult StepRecord(ZkLfoRecord& record, std::vector<float>& buffer)
{
    const bool audio = record.header.audioRateFrames != 0;
    buffer.resize(kFrames);
    record.header.elapsedFrames += kFrames;
    ZkLfoOutput output;
    output.samples = audio ? buffer.data() : nullptr;
    RunLfoKernel(&record, &output, 1, kFrames);
    record.params.oscillator = output.oscillator;
    return FrameResult{output.lastValue, output.peak, output.newState, audio ? buffer : std::vector<float>{}};
}

// The lines the numpy model prints for a JSON list of cases, each split into its numbers.
inline std::vector<std::vector<double>> RunModel(const std::string& casesJson)
{
    const std::string command = "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
                                "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/modulator_model.py\" '" +
                                casesJson + "'";
    std::vector<std::vector<double>> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
    {
        ADD_FAILURE() << "cannot run the model";
        return lines;
    }
    std::string text;
    char chunk[4096];
    size_t read = 0;
    while ((read = fread(chunk, 1, sizeof(chunk), pipe)) > 0)
        text.append(chunk, read);
    EXPECT_EQ(pclose(pipe), 0) << "the model failed";
    lines = NumberLines(text);
    return lines;
}

class ModulatorTest : public ZkBankTest::BankParseTest
{
protected:
    void SetUp() override
    {
        ZkBankTest::BankParseTest::SetUp();
        ASSERT_EQ(m_registry.Init(), ZK_Success);
        g_pRegistryMgr = &m_registry;
    }

    void TearDown() override
    {
        // Instances in a tree hold their modulator: they end first, as the engine's term ends
        // the running instances before the banks go.
        ZkIndexTable::HashTable& table = m_index.Table(ZkIndexKind::Modulators).Table();
        for (uint32_t bucket = 0; bucket < table.BucketCount(); ++bucket)
        {
            for (CZkIndexedObject* object = table.Bucket(bucket); object != nullptr; object = object->pNextItem)
                EndInstances(static_cast<CZkModulator*>(object));
        }
        for (CZkModulatorInstance* instance : m_kept)
            instance->Release();
        m_kept.clear();
        m_registry.Term();
        g_pRegistryMgr = nullptr;
        TermPositioningGlobals();
        ZkBankTest::BankParseTest::TearDown();
    }

    // A registered game object (the registry keeps it).
    CZkRegisteredObj* Register(ZkGameObjectID id)
    {
        EXPECT_EQ(m_registry.RegisterObject(id), ZK_Success);
        return m_registry.GetObj(id);
    }

    // Parses a bank holding the items (JSON objects); 1 expected.
    void LoadItems(const std::string& items)
    {
        const Bytes bank = ZkBankTest::WriteBank(ZkBankTest::Bank(R"({"tag": "BKHD"}, {"tag": "HIRC", "items": [)" +
                                                                  items + "]}"));
        ASSERT_EQ(ParseMemory(bank, static_cast<ZkBankID>(m_banks.size() + 1)), ZK_Success);
    }

    CZkModulator* Modulator(ZkUniqueID id)
    {
        return static_cast<CZkModulator*>(m_index.Table(ZkIndexKind::Modulators).Table().Find(id));
    }

    // A new instance for the trigger at the scope, held by the test until TearDown.
    CZkModulatorInstance* NewInstance(CZkModulator* modulator, const ZkModulatorTrigger& trigger, int32_t scope,
                                      CZkHierarchyNode* target = nullptr)
    {
        bool created = false;
        CZkModulatorInstance* instance = modulator->CreateInstance(nullptr, trigger, target, scope, created);
        if (instance != nullptr)
        {
            instance->AddRef();
            m_kept.push_back(instance);
        }
        return instance;
    }

    // The attach step of the manager for one modulator: the slot of the trigger's key reduced to
    // the scope, the instance created or joined there. Null when none is made.
    CZkModulatorInstance* Attach(CZkModulator* modulator, const ZkModulatorTrigger& trigger, int32_t scope,
                                 bool* created = nullptr, CZkHierarchyNode* target = nullptr)
    {
        ZkModulatorInstanceTree::Slot* slot =
            modulator->Instances().FindOrInsertSlot(ReduceKeyToScope(trigger.Key(), scope));
        if (slot == nullptr)
            return nullptr;
        CZkModulatorInstance* existing = slot->hasInstance ? slot->instance : nullptr;
        bool made = false;
        CZkModulatorInstance* instance = modulator->CreateInstance(existing, trigger, target, scope, made);
        if (created != nullptr)
            *created = made;
        if (instance == nullptr)
        {
            if (existing == nullptr)
                modulator->Instances().RemoveKey(ReduceKeyToScope(trigger.Key(), scope));
            return nullptr;
        }
        if (instance != existing)
            modulator->Instances().Store(*slot, instance);
        return instance;
    }

    // Ends every instance of the modulator's tree (as the modulator manager's term does).
    static void EndInstances(CZkModulator* modulator)
    {
        modulator->Instances().VisitAllWithRemoval([](CZkModulatorInstance* instance) {
            instance->Term();
            instance->Release();
            return true;
        });
    }

    std::vector<CZkModulatorInstance*> m_kept;
    CZkRegistryMgr m_registry;
};

// A trigger that plays (not MIDI-driven) with the trigger kind that creates scoped instances.
inline ZkModulatorTrigger PlayTrigger(CZkRegisteredObj* object = nullptr, ZkPlayingID playingID = 0)
{
    ZkModulatorTrigger trigger;
    trigger.gameObject = object;
    trigger.playingID = playingID;
    trigger.triggerKind = 1;
    return trigger;
}
} // namespace ZkModulatorTest
