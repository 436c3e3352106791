// Dialogue resolution and the plug-in custom-data look-up, as the game and the plug-ins call them.
//   ResolveDialogueEvent/BestMatch  an event of three arguments whose tree has three levels of 30
//                                    keys, the wildcard among them (27,000 leaves): a path found
//                                    exactly, and one that falls back to the wildcard at its last two
//                                    levels
//   ResolveDialogueEvent/Weighted   the same tree in weighted mode: the exact and wildcard branches of
//                                    every level collected (8 leaves), one pick drawn
//   CustomDataFind                  the block of the last of 1,000 entries, and the all-objects
//                                    fall-back for a game object without one
// One iteration is one call; the figure to read is the time per iteration.
#include "Support/BenchMemory.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Dialogue/CZkDialogueEvent.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Plugins/CZkPluginCustomData.h"

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkDynamicDialogue.h>

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kKeysPerLevel = 30; // key 0, the wildcard, and 1 to 29
constexpr uint32_t kLevels = 3;
constexpr ZkUniqueID kBestMatchEvent = 1;
constexpr ZkUniqueID kWeightedEvent = 2;

void Append(std::vector<uint8_t>& bytes, uint32_t value)
{
    const size_t at = bytes.size();
    bytes.resize(at + sizeof(value));
    ZK::StoreLittleEndian(bytes.data() + at, value);
}

// The bank body of a dialogue event with the full tree, laid out level by level.
std::vector<uint8_t> EventBody(ZkUniqueID id, uint8_t mode)
{
    std::vector<uint8_t> nodes;
    uint32_t levelStart = 0;
    uint32_t levelCount = 1;
    uint32_t nextFree = 1;
    std::vector<uint32_t> keys{0};
    for (uint32_t level = 0; level <= kLevels; ++level)
    {
        std::vector<uint32_t> nextKeys;
        for (uint32_t index = 0; index < levelCount; ++index)
        {
            Append(nodes, keys[index]);
            if (level == kLevels)
            {
                Append(nodes, 1000 + levelStart + index); // the audio node id
            }
            else
            {
                Append(nodes, nextFree | (kKeysPerLevel << 16));
                nextFree += kKeysPerLevel;
                for (uint32_t key = 0; key < kKeysPerLevel; ++key)
                    nextKeys.push_back(key);
            }
            Append(nodes, 50 | (100u << 16)); // weight 50, probability 100
        }
        levelStart += levelCount;
        levelCount *= kKeysPerLevel;
        keys = std::move(nextKeys);
    }
    std::vector<uint8_t> body;
    Append(body, id);
    body.push_back(100);
    Append(body, kLevels);
    for (uint32_t argument = 0; argument < kLevels; ++argument)
    {
        Append(body, argument + 1);
        body.push_back(0);
    }
    Append(body, static_cast<uint32_t>(nodes.size()));
    body.push_back(mode);
    body.insert(body.end(), nodes.begin(), nodes.end());
    body.push_back(0); // no properties
    body.push_back(0); // no ranged properties
    return body;
}

struct DialogueWorld
{
    DialogueWorld()
    {
        EnsureMemoryMgr();
        g_pObjectIndex = ZK::ZkNew<ObjectIndex>(ZkMemID_EngineSingletons);
        if (g_pObjectIndex == nullptr || !g_pObjectIndex->InitTables())
            std::abort();
        for (const auto& [id, mode] : {std::pair{kBestMatchEvent, uint8_t{0}}, std::pair{kWeightedEvent, uint8_t{1}}})
        {
            const std::vector<uint8_t> body = EventBody(id, mode);
            CZkDialogueEvent* event = CZkDialogueEvent::Create(id);
            if (event == nullptr || event->SetFromBank(body.data(), static_cast<uint32_t>(body.size())) != ZK_Success)
                std::abort();
        }
    }
};

DialogueWorld& World()
{
    static DialogueWorld world;
    return world;
}

void ResolveBestMatch(benchmark::State& state)
{
    World();
    // Found exactly; or 31, no key of the tree, takes the wildcard at the last two levels.
    const uint32_t path[kLevels] = {7, state.range(0) == 0 ? 13u : 31u, state.range(0) == 0 ? 29u : 31u};
    for (auto _ : state)
        benchmark::DoNotOptimize(DynamicDialogue::ResolveDialogueEvent(kBestMatchEvent, path, kLevels));
    state.SetLabel(state.range(0) == 0 ? "exact path" : "wildcard fall-back");
}
BENCHMARK(ResolveBestMatch)->Name("ResolveDialogueEvent/BestMatch")->Arg(0)->Arg(1);

void ResolveWeighted(benchmark::State& state)
{
    World();
    const uint32_t path[kLevels] = {7, 13, 29};
    for (auto _ : state)
        benchmark::DoNotOptimize(DynamicDialogue::ResolveDialogueEvent(kWeightedEvent, path, kLevels));
}
BENCHMARK(ResolveWeighted)->Name("ResolveDialogueEvent/Weighted");

void CustomDataFind(benchmark::State& state)
{
    EnsureMemoryMgr();
    static const uint32_t s_block = 0x3F000000; // the bytes of 0.5f
    constexpr uint32_t kEntries = 1000;
    constexpr ZkGameObjectID kAll = CZkPluginCustomData::kAnyGameObject;
    if (CZkPluginCustomData::EntryCount() == 0)
    {
        for (uint32_t index = 0; index < kEntries; ++index)
        {
            const ZkGameObjectID gameObject = index + 1 == kEntries ? kAll : index;
            CZkPluginCustomData::Post(7, gameObject, ZK::ZkPluginTypeEffect, 64, 9,
                                      const_cast<uint32_t*>(&s_block), sizeof(s_block), false);
        }
    }
    const uint32_t key = ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, 64, 9);
    const ZkGameObjectID asked = state.range(0) == 0 ? kEntries - 2 : 5000;
    for (auto _ : state)
    {
        const void* data = nullptr;
        uint32_t size = 0;
        CZkPluginCustomData::Find(7, asked, key, data, size);
        benchmark::DoNotOptimize(data);
    }
    state.SetLabel(state.range(0) == 0 ? "own entry, near the end" : "all-objects fall-back");
}
BENCHMARK(CustomDataFind)->Name("CustomDataFind/1000")->Arg(0)->Arg(1);
} // namespace
