// Position paths per frame. ForEachActive over 255 running players of 4 users each (the array's
// default maximum), beside the loop a programmer would write for the same motion: a vector of
// segments whose users take start + t x delta. Then the automation step of 1,000 positioned plays
// (every ray moved by its play's offset turned into the emitter's frame, distance and angles
// again) beside the same rays without automation (distance and angles alone).
#include <ZkAudiolib/Common/GameObjects/CZkEmitter.h>
#include <ZkAudiolib/Common/GameObjects/CZkListener.h>
#include <ZkAudiolib/Common/Playback/CZkSharedItemArray.h>
#include <ZkAudiolib/Common/Positioning/CZkPositionPath.h>
#include <ZkAudiolib/Common/Positioning/CZkPositioningMath.h>
#include <ZkAudiolib/Common/Positioning/ZkAutomationOffset.h>

#include <Support/BenchMemory.h>
#include <Support/PeerRatios.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr uint32_t kPlayers = 255;
constexpr uint32_t kUsers = 4;
constexpr uint32_t kVertices = 64;
constexpr uint32_t kInstances = 1000;

// A path of kVertices vertices, 500 ms each, with random ranges: vertex changes (and their
// jitter) come every 24 frames, as a real path's do.
std::vector<ZkPositionVertex>& Vertices()
{
    static std::vector<ZkPositionVertex> vertices = [] {
        std::vector<ZkPositionVertex> made(kVertices);
        for (uint32_t index = 0; index < kVertices; ++index)
            made[index] = {std::sin(0.3f * static_cast<float>(index)) * 100.0f, 2.0f,
                           std::cos(0.3f * static_cast<float>(index)) * 100.0f, 500};
        return made;
    }();
    return vertices;
}

void Ours(benchmark::State& state)
{
    EnsureMemoryMgr();
    ZkPositionPathDef path = {Vertices().data(), kVertices, 1.0f, 1.0f, 1.0f};
    CZkSharedItemArray array;
    array.Clear();
    if (array.Init(kPlayers) != ZK_Success)
    {
        state.SkipWithError("no array");
        return;
    }
    std::vector<float> offsets(kPlayers * kUsers * 3);
    for (uint32_t player = 0; player < kPlayers; ++player)
    {
        CZkPositionPath* made = array.Create();
        array.Forward(made, &path, 1, CZkPositionPath::kPlaylistContinuous, true, nullptr);
        for (uint32_t user = 0; user < kUsers; ++user)
            array.AddUser(made, &offsets[(player * kUsers + user) * 3]);
        array.Start(made, nullptr);
    }
    uint32_t frame = 0;
    PeerBench::MeasurePerUnit(state, "player_frame", kPlayers, [&] {
        array.ForEachActive(++frame);
        benchmark::DoNotOptimize(offsets.data());
    });
    array.Term();
}

// The peer: each player a segment (start, delta, frames), each user's position written absolutely.
void PlainSegments(benchmark::State& state)
{
    struct Segment
    {
        float start[3];
        float delta[3];
        uint32_t startFrame;
        uint32_t frames;
        uint32_t vertex;
    };
    const std::vector<ZkPositionVertex>& vertices = Vertices();
    std::vector<Segment> segments(kPlayers);
    for (Segment& segment : segments)
        segment = {{vertices[0].x, vertices[0].y, vertices[0].z},
                   {vertices[1].x - vertices[0].x, vertices[1].y - vertices[0].y, vertices[1].z - vertices[0].z}, 0, 24, 1};
    std::vector<float> offsets(kPlayers * kUsers * 3);
    uint32_t frame = 0;
    PeerBench::MeasurePerUnit(state, "player_frame", kPlayers, [&] {
        ++frame;
        for (uint32_t index = 0; index < kPlayers; ++index)
        {
            Segment& segment = segments[index];
            const float t = std::min(1.0f, static_cast<float>(frame - segment.startFrame) / static_cast<float>(segment.frames));
            for (uint32_t user = 0; user < kUsers; ++user)
            {
                float* offset = &offsets[(index * kUsers + user) * 3];
                for (int axis = 0; axis < 3; ++axis)
                    offset[axis] = segment.start[axis] + t * segment.delta[axis];
            }
            if (frame - segment.startFrame >= segment.frames)
            {
                const ZkPositionVertex& from = vertices[segment.vertex];
                const ZkPositionVertex& to = vertices[(segment.vertex + 1) % kVertices];
                segment = {{from.x, from.y, from.z}, {to.x - from.x, to.y - from.y, to.z - from.z}, frame, 24,
                           (segment.vertex + 1) % kVertices};
            }
        }
        benchmark::DoNotOptimize(offsets.data());
    });
}

// Rays of 1,000 plays around a listener at the origin, emitters facing various ways.
std::vector<ZkRay> Rays()
{
    std::vector<ZkRay> rays(kInstances);
    for (uint32_t index = 0; index < kInstances; ++index)
    {
        const float angle = 0.37f * static_cast<float>(index);
        const float radius = 5.0f + 0.15f * static_cast<float>(index);
        rays[index].emitter.position = {radius * std::sin(angle), 0.0f, radius * std::cos(angle)};
        rays[index].emitter.front = {std::cos(angle), 0.0f, -std::sin(angle)};
        rays[index].listenerID = 1;
    }
    return rays;
}

void Automation(benchmark::State& state, bool withOffset)
{
    CZkListener listener;
    CZkEmitter emitter;
    const std::vector<ZkRay> collected = Rays();
    std::vector<ZkRay> rays = collected;
    std::vector<float> offsets(kInstances * 3);
    for (uint32_t index = 0; index < kInstances; ++index)
    {
        offsets[index * 3] = static_cast<float>(index % 17);
        offsets[index * 3 + 2] = 3.0f;
    }
    PeerBench::MeasurePerUnit(state, "instance_frame", kInstances, [&] {
        std::copy(collected.begin(), collected.end(), rays.begin()); // each frame collects its rays anew
        float nearest = 1e10f;
        for (uint32_t index = 0; index < kInstances; ++index)
        {
            ZkRay& ray = rays[index];
            if (withOffset)
                MoveRayByOffset(ray, &offsets[index * 3], ray.emitter);
            CZkPositioningMath::ComputeRayDistanceAndAngles(listener, emitter, ray);
            nearest = std::min(nearest, ray.distance);
        }
        benchmark::DoNotOptimize(nearest);
    });
}

void WithAutomation(benchmark::State& state) { Automation(state, true); }
void WithoutAutomation(benchmark::State& state) { Automation(state, false); }

const bool s_registered = [] {
    PeerBench::PeerRuns("PositionPaths/255_players_4_users", "ours", Ours);
    PeerBench::PeerRuns("PositionPaths/255_players_4_users", "plain_segments", PlainSegments);
    PeerBench::PeerRuns("Automation/1000_instances", "ours", WithAutomation);
    PeerBench::PeerRuns("Automation/1000_instances", "no_automation", WithoutAutomation);
    return true;
}();
} // namespace
