// The particle system's costs, per particle: one update (ageing, motion, the smoke's scale-in and
// fade-out) and the draw submission (one textured quad each through the renderer, under a hidden
// OpenGL window; skipped without a display) for 1000, 10000 and 100000 live particles; and one
// spawn (random direction, random speed, the particle appended) with the game's draws, which seed
// a new Mersenne Twister from the system's random device each time, beside the same spawn drawing
// from one kept generator.
#include "Engine/EngineGlobals.h"
#include "Engine/Mesh.h"
#include "Engine/Renderer.h"
#include "Engine/SpriteSource.h"
#include "Objects/Emitter.h"
#include "Objects/GameObject.h"
#include "Objects/ParticleRandom.h"
#include "Objects/ParticleSystem.h"
#include "Objects/Sprite.h"
#include "Objects/Transform.h"

#include "support/GlContext.h"

#include <benchmark/benchmark.h>
#include <glad/gl.h>

#include <random>
#include <unistd.h>

namespace
{
constexpr float kStep = 1.0f / 60.0f;

// An emitter as the airships' smoke has it, on an object of its own.
struct Smoke
{
    Smoke()
    {
        object.AddComponent(new Transform());
        sprite = new Sprite();
        object.AddComponent(sprite);
        emitter = new Emitter();
        emitter->particleLife = 1.0e9f; // nobody dies while measured
        emitter->spawnRate = 8.0f;
        emitter->sprayAngle = 50;
        emitter->minSpeed = 20.0f;
        emitter->maxSpeed = 50.0f;
        emitter->fade = "Out";
        emitter->fadeTime = 1.2f;
        emitter->scaleSetting = "In";
        emitter->scaleMultiplier = 2.5f;
        emitter->scaleTime = 1.2f;
        object.AddComponent(emitter);
        emitter->Init();
    }
    void Fill(size_t count)
    {
        for (size_t spawn = 0; spawn < count; ++spawn)
        {
            emitter->Emit();
        }
    }

    GameObject object;
    Sprite* sprite = nullptr;
    Emitter* emitter = nullptr;
};

// One kept generator: the spawn's draws without reseeding.
class KeptGenerator final : public ParticleRandom::Source
{
public:
    std::uint32_t Next() override { return static_cast<std::uint32_t>(m_generator()); }

private:
    std::mt19937 m_generator{5489u};
};

void BM_ParticleUpdate(benchmark::State& state)
{
    KeptGenerator random;
    ParticleRandom::Install(&random);
    Smoke smoke;
    smoke.Fill(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
    {
        smoke.emitter->Update(kStep);
        benchmark::ClobberMemory();
    }
    state.counters["per_particle"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
    ParticleRandom::Install(nullptr);
}
BENCHMARK(BM_ParticleUpdate)->Arg(1000)->Arg(10000)->Arg(100000);

// A hidden window (the tests' OpenGL context) with the renderer started from the repository's shaders, a one-texel sheet and
// a quad mesh: what a particle draw needs.
class DrawTarget
{
public:
    DrawTarget()
    {
        if (!m_context.IsReady() || chdir(KP_SOURCE_DIR) != 0)
        {
            return;
        }
        windowWidth = kSize;
        windowHeight = kSize;
        RendererInit(m_context.Window());
        const unsigned char white[4] = {255, 255, 255, 255};
        glGenTextures(1, &sheet.texture);
        glBindTexture(GL_TEXTURE_2D, sheet.texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
        const float corners[6][2] = {{-0.5f, 0.5f}, {-0.5f, -0.5f}, {0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}};
        for (const auto& corner : corners)
        {
            Mesh::Vertex vertex{};
            vertex.x = corner[0];
            vertex.y = corner[1];
            quad.vertices.push_back(vertex);
        }
        quad.vertexCount = 6;
        quad.CreateBuffers();
        m_ready = true;
    }
    ~DrawTarget()
    {
        if (!m_ready)
        {
            return;
        }
        quad.Destroy();
        glDeleteTextures(1, &sheet.texture);
        sheet.texture = 0; // gone with the context, before the sheet is
        RendererDeleteOffscreenFramebuffer();
    }
    bool Ready() const { return m_ready; }

    static constexpr int kSize = 256;

private:
    // Declared first: made before the sheet and mesh and destroyed after them.
    kp::test::GlContext m_context{kSize, kSize};

public:
    SpriteSource sheet;
    Mesh quad;

private:
    bool m_ready = false;
};

void BM_ParticleDraw(benchmark::State& state)
{
    DrawTarget target;
    if (!target.Ready())
    {
        state.SkipWithError("no OpenGL window (run under a display, for example xvfb-run)");
        return;
    }
    KeptGenerator random;
    ParticleRandom::Install(&random);
    Smoke smoke;
    smoke.sprite->spriteSource = &target.sheet;
    smoke.sprite->mesh = &target.quad;
    smoke.Fill(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
    {
        Renderer::BeginDrawPass();
        smoke.emitter->Draw();
        glFinish();
    }
    state.counters["per_particle"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
    ParticleRandom::Install(nullptr);
}
BENCHMARK(BM_ParticleDraw)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One spawn; the system is emptied every 50000 spawns, off the clock.
template <bool kSeedEachDraw>
void BM_ParticleSpawn(benchmark::State& state)
{
    KeptGenerator kept;
    ParticleRandom::Install(kSeedEachDraw ? nullptr : &kept);
    Smoke smoke;
    size_t spawned = 0;
    for (auto _ : state)
    {
        smoke.emitter->Emit();
        if (++spawned == 50000)
        {
            state.PauseTiming();
            smoke.emitter->Particles().particles.clear();
            spawned = 0;
            state.ResumeTiming();
        }
    }
    ParticleRandom::Install(nullptr);
}
BENCHMARK(BM_ParticleSpawn<true>)->Name("BM_ParticleSpawn/SeededEachDraw");
BENCHMARK(BM_ParticleSpawn<false>)->Name("BM_ParticleSpawn/KeptGenerator");
} // namespace
