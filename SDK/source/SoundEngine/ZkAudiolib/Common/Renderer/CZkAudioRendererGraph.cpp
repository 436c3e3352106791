// CZkAudioRenderer: the upkeep of the mix graph: the graph update that refreshes or rebuilds the
// buses when routing, listeners, bus configurations or devices changed, and the level computation
// that orders the buses so that each runs after all of its inputs.
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererBusList.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
bool HasDryOutput(const CZkMixBus& bus)
{
    for (const CZkMixerInputContext* c = bus.FirstOutput(); c != nullptr; c = c->nextOutput)
        if (c->connectionType == kConnectionDirect)
            return true;
    return false;
}

bool SameLayout(ZkChannelConfig a, ZkChannelConfig b)
{
    return a.NumChannels() == b.NumChannels() && a.Type() == b.Type() && a.Mask() == b.Mask();
}

// A root without outputs keeps its place while its device exists and still has its layout.
bool RootStillServed(CZkMixBus& bus)
{
    if (!bus.IsRoot())
        return false;
    const CZkOutputDevice* device = bus.GetOutputDevice();
    if (device == nullptr)
        return false;
    const ZkChannelConfig deviceConfig = device->channelConfig;
    if (deviceConfig.Type() == ZkChannelConfigType_Objects)
        return SameLayout(bus.GetChannelConfig(), deviceConfig);
    return SameLayout(bus.GetOutputConfig(), deviceConfig);
}

// Whether the refresh keeps the bus.
bool KeepOnRefresh(CZkMixBus& bus)
{
    const CZkHierarchyNode* parent = bus.ParentNode();
    CZkAudioRenderer::RefreshConnections(bus, bus.Key().GameObject(), parent != nullptr && parent->GetFlagBit1());
    if (bus.FirstOutput() != nullptr)
        return HasDryOutput(bus);
    return RootStillServed(bus);
}

struct LevelWalk
{
    int32_t highest = 0;
    bool feedback = false;

    void WalkInputs(CZkMixBus& bus, int32_t depth)
    {
        for (CZkMixerInputContext* c = bus.FirstInput(); c != nullptr; c = c->nextInput)
        {
            CZkMixContext& input = c->GetInputContext();
            if (!input.IsBus())
                continue;
            auto& inputBus = static_cast<CZkMixBus&>(input);
            const bool closesCycle = (inputBus.windowFlags & CZkMixBus::kWindowVisited) != 0;
            c->flags = closesCycle ? (c->flags | CZkMixerInputContext::kFlagDeferred)
                                   : (c->flags & ~CZkMixerInputContext::kFlagDeferred);
            if (closesCycle)
                feedback = true;
            else
                Assign(inputBus, depth);
        }
    }

    void Assign(CZkMixBus& bus, int32_t depth)
    {
        bus.windowFlags |= CZkMixBus::kWindowVisited;
        highest = std::max(highest, depth);
        if (bus.level == CZkMixBus::kNoLevel || bus.level < depth)
            bus.level = depth;
        WalkInputs(bus, depth + 1);
        bus.windowFlags = static_cast<uint8_t>(bus.windowFlags & ~CZkMixBus::kWindowVisited);
    }
};

// Inputs of bus that are buses of its own level and not deferred.
uint32_t SameLevelInputs(const CZkMixBus& bus)
{
    uint32_t count = 0;
    for (const CZkMixerInputContext* c = bus.FirstInput(); c != nullptr; c = c->nextInput)
    {
        const CZkMixContext& input = c->GetInputContext();
        if (input.IsBus() && (c->flags & CZkMixerInputContext::kFlagDeferred) == 0 &&
            static_cast<const CZkMixBus&>(input).level == bus.level)
            ++count;
    }
    return count;
}

// Stable counting sort of buses[first, first + count) by key (ascending).
void SortByKey(CZkMixBus** buses, uint32_t count, const uint32_t* keys, CZkMixBus** scratch)
{
    uint32_t largest = 0;
    for (uint32_t i = 0; i < count; ++i)
        largest = std::max(largest, keys[i]);
    uint32_t at = 0;
    for (uint32_t key = 0; key <= largest; ++key)
        for (uint32_t i = 0; i < count; ++i)
            if (keys[i] == key)
                scratch[at++] = buses[i];
    std::copy(scratch, scratch + count, buses);
}
} // namespace

bool CZkAudioRenderer::GraphChanged() { return RendererBuses().graphChanged; }
void CZkAudioRenderer::SetGraphChanged() { RendererBuses().graphChanged = true; }
bool CZkAudioRenderer::HasFeedback() { return RendererBuses().feedback; }
uint32_t CZkAudioRenderer::LevelCount() { return RendererBuses().levelCounts.Length(); }
int32_t CZkAudioRenderer::BusesAtLevel(uint32_t level) { return RendererBuses().levelCounts[level]; }
bool CZkAudioRenderer::IsLevelSerial(uint32_t level) { return RendererBuses().serialFlags[level] != 0; }

ZKRESULT CZkAudioRenderer::UpdateGraph()
{
    const int32_t dirty = GraphDirty();
    if (dirty == kGraphClean)
        return ZK_Success;
    ZkRendererBusList& list = RendererBuses();
    // A bus destroyed in a walk can leave others without a destination: walk again until the
    // graph holds still.
    for (bool removed = true; removed;)
    {
        removed = false;
        for (uint32_t i = 0; i < list.buses.Length();)
        {
            if (dirty != kGraphRebuildAll && KeepOnRefresh(*list.buses[i]))
            {
                ++i;
                continue;
            }
            RemoveBus(i);
            removed = true;
        }
    }
    RerouteVoices();
    ClearGraphDirty();
    return ZK_Success;
}

ZKRESULT CZkAudioRenderer::ComputeBusLevels()
{
    ZkRendererBusList& list = RendererBuses();
    if (!list.graphChanged)
        return ZK_Success;
    for (CZkMixBus* bus : list.buses)
        bus->level = CZkMixBus::kNoLevel;
    LevelWalk walk;
    for (CZkMixBus* bus : list.buses)
    {
        if (bus->FirstOutput() != nullptr || !bus->IsRoot())
            continue;
        bus->windowFlags |= CZkMixBus::kWindowVisited;
        if (bus->level == CZkMixBus::kNoLevel)
            bus->level = 0;
        walk.WalkInputs(*bus, 1);
        bus->windowFlags = static_cast<uint8_t>(bus->windowFlags & ~CZkMixBus::kWindowVisited);
    }
    list.feedback = walk.feedback;

    const uint32_t levels = static_cast<uint32_t>(walk.highest) + 1;
    const uint32_t count = list.buses.Length();
    if (list.levelCounts.Reserve(levels) != ZK_Success || list.serialFlags.Reserve(levels) != ZK_Success ||
        list.scratch.Reserve(count) != ZK_Success || list.keys.Reserve(count) != ZK_Success)
        return ZK_Fail;
    list.levelCounts.RemoveAll();
    list.serialFlags.RemoveAll();
    for (uint32_t level = 0; level < levels; ++level)
    {
        list.levelCounts.AddLast(0);
        list.serialFlags.AddLast(0);
    }
    for (CZkMixBus* bus : list.buses)
        if (bus->level != CZkMixBus::kNoLevel)
            ++list.levelCounts[static_cast<uint32_t>(bus->level)];

    // Counting sort into level order; buses no root reaches fill the list from the end.
    list.scratch.RemoveAll();
    for (uint32_t i = 0; i < count; ++i)
        list.scratch.AddLast(nullptr);
    uint32_t next = 0;
    uint32_t unreached = count;
    for (uint32_t level = 0; level < levels; ++level)
        for (CZkMixBus* bus : list.buses)
            if (bus->level == static_cast<int32_t>(level))
                list.scratch[next++] = bus;
    for (CZkMixBus* bus : list.buses)
        if (bus->level == CZkMixBus::kNoLevel)
            list.scratch[--unreached] = bus;
    std::copy(list.scratch.begin(), list.scratch.end(), list.buses.begin());

    if (list.feedback)
    {
        uint32_t first = static_cast<uint32_t>(list.levelCounts[0]);
        for (uint32_t level = 1; level < levels; ++level)
        {
            const uint32_t size = static_cast<uint32_t>(list.levelCounts[level]);
            CZkMixBus** buses = list.buses.Data() + first;
            first += size;
            if (size < 2)
                continue;
            list.keys.RemoveAll();
            bool any = false;
            for (uint32_t i = 0; i < size; ++i)
            {
                list.keys.AddLast(SameLevelInputs(*buses[i]));
                any = any || list.keys[i] != 0;
            }
            if (!any)
                continue;
            SortByKey(buses, size, list.keys.Data(), list.scratch.Data());
            list.serialFlags[level] = 1;
        }
    }
    list.graphChanged = false;
    return ZK_Success;
}
} // namespace ZK::SoundEngine
