// The Emitter component and its particle system: the reader, Init and Clone; directions inside
// the spray cone and launch speeds from a fixed random source (glm rotating the cone's axis is the
// oracle); where a particle is born and how it looks; ageing in one stable pass; the four motion
// cases, scale, fade and own animation; the 100000 cap; and particles drawn where they are, with
// their own frame or the sprite's and their own alpha.
#include "Objects/Emitter.h"

#include "Engine/Json.h"
#include "Engine/MeshManager.h"
#include "Engine/Renderer.h"
#include "Engine/SpriteSourceManager.h"
#include "Objects/Animation.h"
#include "Objects/GameObject.h"
#include "ObjectFileText.h"
#include "Objects/ParticleSystem.h"
#include "Objects/Physics.h"
#include "Objects/Sprite.h"
#include "Objects/Transform.h"
#include "ParticleSource.h"
#include "Source/Engine/AssetFolder.h"
#include "Source/Engine/RendererForTest.h"
#include "support/FramebufferPng.h"
#include "support/GlContext.h"

#include <cmath>
#include <glm/gtx/rotate_vector.hpp>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace
{
using kp::test::FixedParticleSource;

constexpr double kDegree = 3.14159265358979323846 / 180.0;

// An object carrying an emitter, as the object reader builds it: Transform, Sprite, Animation,
// then the Emitter and its Init. Optionally the child of a parent at `parentAt`.
class EmitterFixture : public ::testing::Test
{
protected:
    Emitter& MakeEmitter(float rotation = 0.0f)
    {
        auto* transform = new Transform();
        transform->rotation = rotation;
        m_object.AddComponent(transform);
        m_object.AddComponent(new Sprite());
        m_emitter = new Emitter();
        m_object.AddComponent(m_emitter);
        m_emitter->Init();
        return *m_emitter;
    }

    // Makes the emitter's object a child of a parent at `position` (with Physics when `velocity`
    // is given).
    void GiveParent(glm::vec3 position, const glm::vec3* velocity)
    {
        auto* transform = new Transform();
        transform->translation = position;
        m_parent.AddComponent(transform);
        if (velocity != nullptr)
        {
            auto* physics = new Physics();
            physics->velocity = *velocity;
            m_parent.AddComponent(physics);
        }
        m_object.parent = &m_parent;
    }

    // One particle of the given life and acceleration at (x, y), 2x2 block identity.
    static Particle ParticleAt(float x, float y, float life, glm::vec2 acceleration = glm::vec2(0.0f))
    {
        Particle particle{};
        particle.x = x;
        particle.y = y;
        particle.alpha = 1.0f;
        particle.m00 = 1.0f;
        particle.m11 = 1.0f;
        particle.ax = acceleration.x;
        particle.ay = acceleration.y;
        particle.life = life;
        return particle;
    }

    ParticleSystem& System() { return m_emitter->Particles(); }

    GameObject m_parent;
    GameObject m_object;
    Emitter* m_emitter = nullptr;
    FixedParticleSource m_random{{0}};
};

TEST_F(EmitterFixture, TheReaderTakesEveryKeyAndInitHandsThemToTheParticleSystem)
{
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    Emitter& emitter = MakeEmitter();
    emitter.Read(kp::test::ObjectFile(R"("Emitter": {"PatternType": "Rotate", "ParticleMoveWithObject": true,
        "HiveMind": true, "UniformAnimation": false, "ParticleLife": 1.5, "SpawnRate": 12, "SprayAngle": 45,
        "MinSpeed": 10, "MaxSpeed": 30, "Fade": "In", "FadeTime": 0.5, "ScaleSetting": "Pop",
        "ScaleMultiplier": 2, "ScaleTime": 0.25})"));
    EXPECT_EQ(emitter.patternType, "Rotate");
    EXPECT_TRUE(emitter.moveWithObject);
    EXPECT_TRUE(emitter.hiveMind);
    EXPECT_FALSE(emitter.uniformAnimation);
    EXPECT_EQ(emitter.spawnRate, 12.0f);
    EXPECT_EQ(emitter.sprayAngle, 45);
    EXPECT_EQ(emitter.maxSpeed, 30.0f);

    auto* animation = new Animation();
    animation->FrameCount = 4;
    animation->FrameDuration = 0.125f;
    animation->IsLooping = true;
    m_object.AddComponent(animation);
    emitter.Init();
    const ParticleSystem& system = emitter.Particles();
    EXPECT_EQ(system.sprite, m_object.GetComponent<Sprite>());
    EXPECT_EQ(system.transform, m_object.GetComponent<Transform>());
    EXPECT_EQ(system.particleLife, 1.5f);
    EXPECT_TRUE(system.moveWithObject && system.hiveMind && !system.uniformAnimation);
    EXPECT_EQ(system.fade, "In");
    EXPECT_EQ(system.scaleSetting, "Pop");
    EXPECT_EQ(system.scaleTime, 0.25f);
    EXPECT_EQ(system.frameCount, 4);
    EXPECT_EQ(system.frameDuration, 0.125f);
    EXPECT_TRUE(system.looping);

    // A clone keeps the settings and starts with a system of its own, empty.
    emitter.SpawnParticle();
    std::unique_ptr<Component> copied(emitter.Clone());
    const auto* clone = dynamic_cast<const Emitter*>(copied.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->patternType, "Rotate");
    EXPECT_EQ(clone->spawnRate, 12.0f);
    EXPECT_NE(&clone->Particles(), &emitter.Particles());
    EXPECT_TRUE(clone->Particles().particles.empty());
    EXPECT_EQ(emitter.Particles().particles.size(), 1u);
}

TEST_F(EmitterFixture, DirectionsStayInsideTheSprayConeAboutTheHeading)
{
    // At rotation 0 the cone opens about straight up; turned, about straight down turned by the
    // rotation. The cone's half-angle is half the spray angle in whole degrees.
    for (const int sprayAngle : {1, 90, 359})
    {
        for (const float rotation : {0.0f, 30.0f})
        {
            for (const double u : {0.0, 0.25, 0.5, 0.75, 1.0})
            {
                SCOPED_TRACE(testing::Message() << "angle " << sprayAngle << ", rotation " << rotation << ", u " << u);
                Emitter& emitter = MakeEmitter(rotation);
                emitter.sprayAngle = sprayAngle;
                m_random.Set({FixedParticleSource::ValueOf(u)});
                const glm::vec2 direction = emitter.RandomDirection();

                const double half = (sprayAngle / 2) * kDegree;
                const double offset = u * 2.0 * half - half;
                const glm::dvec2 expected = rotation == 0.0f
                                                ? glm::rotate(glm::dvec2(0.0, 1.0), -offset)
                                                : glm::rotate(glm::dvec2(0.0, -1.0), rotation * kDegree + offset);
                EXPECT_NEAR(direction.x, expected.x, 1e-5);
                EXPECT_NEAR(direction.y, expected.y, 1e-5);
                const glm::dvec2 axis = rotation == 0.0f ? glm::dvec2(0.0, 1.0)
                                                         : glm::rotate(glm::dvec2(0.0, -1.0), rotation * kDegree);
                const double fromAxis = std::acos(std::clamp(glm::dot(glm::dvec2(direction), axis), -1.0, 1.0));
                EXPECT_LE(fromAxis, half + 1e-3) << "inside the cone";
                EXPECT_NEAR(glm::length(glm::dvec2(direction)), 1.0, 1e-6);
            }
        }
    }
}

TEST_F(EmitterFixture, ASpeedBetweenTheLimitsLaunchesAlongTheDirection)
{
    Emitter& emitter = MakeEmitter();
    emitter.minSpeed = 20.0f;
    emitter.maxSpeed = 60.0f;
    m_random.Set({FixedParticleSource::ValueOf(0.25)});
    emitter.RandomSpeed(glm::vec2(0.6f, 0.8f));
    EXPECT_FLOAT_EQ(System().launch.x, 18.0f);
    EXPECT_FLOAT_EQ(System().launch.y, 24.0f);
}

TEST_F(EmitterFixture, AParticleIsBornAtTheObjectWithItsTurnAndScale)
{
    const glm::vec3 drift(3.0f, 0.0f, 0.0f);
    GiveParent(glm::vec3(100, 200, 0), &drift);
    Emitter& emitter = MakeEmitter(90.0f);
    auto* transform = m_object.GetComponent<Transform>();
    transform->translation = glm::vec3(10, 5, 0);
    transform->scale = glm::vec3(2, 3, 1);
    transform->dirty = true;
    emitter.particleLife = 1.25f;
    emitter.Init();
    System().frameDuration = 0.2f;
    System().launch = glm::vec2(7, -8);
    for (const char* fade : {"Out", "In"})
    {
        emitter.fade = fade;
        emitter.SpawnParticle();
    }
    ASSERT_EQ(System().particles.size(), 2u);
    const Particle& born = System().particles[0];
    EXPECT_EQ(born.x, 110.0f);
    EXPECT_EQ(born.y, 205.0f);
    EXPECT_EQ(born.alpha, 1.0f);
    EXPECT_EQ(System().particles[1].alpha, 0.0f) << "a fade-in starts transparent";
    // The upper-left 2x2 block of the world matrix: turned a quarter, scaled 2 by 3.
    EXPECT_NEAR(born.m00, 0.0f, 1e-5f);
    EXPECT_NEAR(born.m01, 2.0f, 1e-5f);
    EXPECT_NEAR(born.m10, -3.0f, 1e-5f);
    EXPECT_NEAR(born.m11, 0.0f, 1e-5f);
    EXPECT_EQ(born.vx, 0.0f);
    EXPECT_EQ(born.ax, 7.0f);
    EXPECT_EQ(born.ay, -8.0f);
    EXPECT_EQ(born.life, 1.25f);
    EXPECT_EQ(born.frame, 0u);
    EXPECT_EQ(born.frameTimer, 0.2f);
}

TEST_F(EmitterFixture, AParticleWithoutLifeIsGoneAtTheNextUpdate)
{
    Emitter& emitter = MakeEmitter();
    emitter.SpawnParticle();
    EXPECT_EQ(System().particles.size(), 1u) << "drawn once, at its birth";
    emitter.Update(0.016f);
    EXPECT_TRUE(System().particles.empty());
}

TEST_F(EmitterFixture, AgeingRemovesTheDeadAndKeepsTheOthersInOrder)
{
    MakeEmitter();
    for (const float life : {0.5f, 0.1f, 0.7f, 0.05f, 0.3f, 0.2f})
    {
        System().Add(ParticleAt(life * 10.0f, 0.0f, life));
    }
    System().Update(0.2f, &m_object);
    std::vector<float> survivors;
    for (const Particle& particle : System().particles)
    {
        survivors.push_back(particle.x);
    }
    EXPECT_EQ(survivors, (std::vector<float>{5.0f, 7.0f, 3.0f}));
    EXPECT_NEAR(System().particles[0].life, 0.3f, 1e-6f);
}

TEST_F(EmitterFixture, EachMotionCaseMovesAsItSays)
{
    const glm::vec3 drift(4.0f, 2.0f, 0.0f);
    const struct
    {
        const char* label;
        bool hiveMind;
        bool moveWithObject;
        bool parent;
        bool parentPhysics;
        glm::vec2 position; // after one update of 0.5 s
        float scale;        // m00 after it
    } cases[] = {
        // Free: v = a dt = (5, 0), x += v dt.
        {"free", false, false, false, false, {12.5f, 20.0f}, 1.0f},
        // With the parent's velocity first, then as free.
        {"with object", false, true, true, true, {14.5f, 21.0f}, 1.0f},
        {"with object, parent without Physics", false, true, true, false, {10.0f, 20.0f}, 1.0f},
        {"with object, no parent", false, true, false, false, {10.0f, 20.0f}, 1.0f},
        // The system's launch (0, -6) instead of the particle's own acceleration; shrinking by
        // life / scaleTime x multiplier = 1.5 / 2 x 2.
        {"hive mind", true, false, false, false, {10.0f, 18.5f}, 1.5f},
        {"hive mind with object", true, true, true, true, {12.0f, 19.5f}, 1.0f},
        {"hive mind with object, parent without Physics", true, true, true, false, {10.0f, 20.0f}, 1.0f},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.label);
        GameObject parent;
        GameObject object;
        object.AddComponent(new Transform());
        auto* emitter = new Emitter();
        object.AddComponent(emitter);
        if (row.parent)
        {
            parent.AddComponent(new Transform());
            if (row.parentPhysics)
            {
                auto* physics = new Physics();
                physics->velocity = drift;
                parent.AddComponent(physics);
            }
            object.parent = &parent;
        }
        emitter->hiveMind = row.hiveMind;
        emitter->moveWithObject = row.moveWithObject;
        emitter->scaleTime = 2.0f;
        emitter->scaleMultiplier = 2.0f;
        emitter->fade = "Out";
        emitter->Init();
        ParticleSystem& system = emitter->Particles();
        system.launch = glm::vec2(0.0f, -6.0f);
        system.Add(ParticleAt(10.0f, 20.0f, 2.0f, glm::vec2(10.0f, 0.0f)));
        system.Update(0.5f, &object);
        const Particle& moved = system.particles.at(0);
        EXPECT_NEAR(moved.x, row.position.x, 1e-5f);
        EXPECT_NEAR(moved.y, row.position.y, 1e-5f);
        EXPECT_NEAR(moved.m00, row.scale, 1e-5f);
        const bool left = row.position == glm::vec2(10.0f, 20.0f);
        // A particle left as it is keeps its alpha too; the others fade out with their life.
        EXPECT_EQ(moved.alpha, left ? 1.0f : 1.5f);
    }
}

TEST_F(EmitterFixture, ScaleSettingsFollowTheObjectsScaleOverTime)
{
    // Life 2, scale time 1, multiplier 3, the object scaled by 2: sampled every 0.5 s.
    const struct
    {
        const char* setting;
        std::vector<float> m00; // after 0.5, 1.0, 1.5 s
    } cases[] = {
        // In: k = elapsed / scaleTime x (3 - 1) + 1 while elapsed <= 1, then kept.
        {"In", {4.0f, 6.0f, 6.0f}},
        // Pop: 3 x the object's scale once elapsed >= 1.
        {"Pop", {1.0f, 6.0f, 6.0f}},
        // Out: k = (scaleTime - life) / scaleTime x 2 + 1 while life <= 1.
        {"Out", {1.0f, 2.0f, 4.0f}},
        {"none", {1.0f, 1.0f, 1.0f}},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.setting);
        Emitter& emitter = MakeEmitter();
        m_object.GetComponent<Transform>()->scale = glm::vec3(2, 2, 1);
        emitter.scaleSetting = row.setting;
        emitter.scaleTime = 1.0f;
        emitter.scaleMultiplier = 3.0f;
        emitter.particleLife = 2.0f;
        emitter.Init();
        System().Add(ParticleAt(0, 0, 2.0f));
        for (const float expected : row.m00)
        {
            System().Update(0.5f, &m_object);
            EXPECT_NEAR(System().particles.at(0).m00, expected, 1e-5f);
        }
    }
}

TEST_F(EmitterFixture, AScaleTimeOfZeroKeepsTheMatricesFinite)
{
    for (const char* setting : {"In", "Out", "Pop"})
    {
        for (const bool hiveMind : {false, true})
        {
            SCOPED_TRACE(testing::Message() << setting << (hiveMind ? ", hive mind" : ""));
            Emitter& emitter = MakeEmitter();
            emitter.scaleSetting = setting;
            emitter.hiveMind = hiveMind;
            emitter.scaleMultiplier = 2.0f;
            emitter.particleLife = 1.0f;
            emitter.Init();
            System().Add(ParticleAt(0, 0, 1.0f));
            System().Update(0.0f, &m_object);
            System().Update(0.25f, &m_object);
            const Particle& particle = System().particles.at(0);
            for (const float value : {particle.m00, particle.m01, particle.m10, particle.m11})
            {
                EXPECT_TRUE(std::isfinite(value));
            }
        }
    }
}

TEST_F(EmitterFixture, FadesFollowTheLifeLeft)
{
    const struct
    {
        const char* fade;
        float fadeTime;
        float alpha; // after 0.5 s of a life of 2 (life left 1.5)
    } cases[] = {
        {"Out", 1.0f, 1.5f},
        // In, fade time >= 1: 1 - (life - (particleLife - fadeTime) / fadeTime) = 1 - (1.5 - 0.5 / 1.5).
        {"In", 1.5f, 1.0f - (1.5f - 0.5f / 1.5f)},
        // In, fade time < 1: 1 - (life - (particleLife - fadeTime)) x fadeTime = 1 - (1.5 - 1.5) x 0.5.
        {"In", 0.5f, 1.0f},
        {"none", 1.0f, 1.0f},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(testing::Message() << row.fade << " " << row.fadeTime);
        Emitter& emitter = MakeEmitter();
        emitter.fade = row.fade;
        emitter.fadeTime = row.fadeTime;
        emitter.particleLife = 2.0f;
        emitter.Init();
        System().Add(ParticleAt(0, 0, 2.0f));
        System().Update(0.5f, &m_object);
        EXPECT_NEAR(System().particles.at(0).alpha, row.alpha, 1e-5f);
    }
}

TEST_F(EmitterFixture, OwnAnimationRunsToTheLastFrameAndStaysThereUnlessLooping)
{
    for (const bool looping : {false, true})
    {
        SCOPED_TRACE(looping ? "looping" : "once");
        Emitter& emitter = MakeEmitter();
        emitter.uniformAnimation = false;
        auto* animation = new Animation();
        animation->FrameCount = 4;
        animation->FrameDuration = 0.1f;
        animation->IsLooping = looping;
        m_object.AddComponent(animation);
        emitter.particleLife = 10.0f;
        emitter.Init();
        emitter.SpawnParticle();
        std::vector<unsigned> frames;
        for (int update = 0; update < 7; ++update)
        {
            System().Update(0.1f, &m_object);
            frames.push_back(System().particles.at(0).frame);
        }
        EXPECT_EQ(frames, looping ? (std::vector<unsigned>{1, 2, 3, 4, 0, 1, 2})
                                  : (std::vector<unsigned>{1, 2, 3, 4, 4, 4, 4}));
    }
}

TEST_F(EmitterFixture, TheHundredThousandAndFirstParticleIsRefused)
{
    Emitter& emitter = MakeEmitter();
    emitter.particleLife = 5.0f;
    emitter.Init();
    for (size_t spawn = 0; spawn < ParticleSystem::kMaxParticles; ++spawn)
    {
        emitter.SpawnParticle();
    }
    EXPECT_TRUE(emitter.IsFull());
    emitter.Emit();
    EXPECT_EQ(System().particles.size(), ParticleSystem::kMaxParticles);
}

class ParticleDrawTest : public ::testing::Test
{
protected:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 180;
    // Six world units to a pixel.
    static constexpr float kUnitsPerPixel = 1920.0f / kWidth;

    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        m_folder.CopyShaders();
        m_folder.Write("Assets/Mesh/Quad.json", kp::test::RectangleMeshJson("Quad", 0.5f, 0.5f));
        // Frame 0 red, frame 1 green.
        m_folder.WriteSheet("Assets/Art/puffs.png", 2, 1, 8, [](int frame) {
            return frame == 0 ? std::array<unsigned char, 3>{220, 20, 20} : std::array<unsigned char, 3>{20, 220, 20};
        });
        m_folder.Write("Assets/Art/Puffs.json", kp::test::SpriteSourceJson("Puffs", "puffs.png", 2, 1));
        kp::test::StartRenderer(m_context.Window(), kWidth, kHeight);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    void TearDown() override { kp::test::StopRenderer(); }

    // The window's pixel at (x, y) world units from the centre, after drawing the emitter.
    std::array<int, 3> PixelAt(float x, float y) const
    {
        unsigned char rgba[4] = {};
        glReadPixels(static_cast<int>(kWidth / 2 + x / kUnitsPerPixel), static_cast<int>(kHeight / 2 + y / kUnitsPerPixel),
                     1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return {rgba[0], rgba[1], rgba[2]};
    }

    kp::test::GlContext m_context{kWidth, kHeight};
    kp::test::AssetFolder m_folder;
    kp::test::WorkingFolder m_here{m_folder.Root()};
};

TEST_F(ParticleDrawTest, ParticlesAreDrawnWhereTheyAreWithTheirFrameAndAlpha)
{
    GameObject object;
    object.AddComponent(new Transform());
    auto* sprite = new Sprite();
    sprite->mesh = MeshManager::Get("Quad");
    sprite->spriteSource = SpriteSourceManager::Get("Puffs");
    sprite->frameIndex = 1;
    object.AddComponent(sprite);
    auto* emitter = new Emitter();
    object.AddComponent(emitter);
    emitter->uniformAnimation = false;
    emitter->Init();
    // 120 units (20 pixels) square, one on each side, their own frames; one half transparent.
    const struct
    {
        float x, y;
        unsigned frame;
        float alpha;
    } placed[] = {{-480, 0, 0, 1.0f}, {480, 0, 1, 1.0f}, {0, 270, 0, 0.5f}};
    for (const auto& each : placed)
    {
        Particle particle{};
        particle.x = each.x;
        particle.y = each.y;
        particle.m00 = 120.0f;
        particle.m11 = 120.0f;
        particle.alpha = each.alpha;
        particle.frame = each.frame;
        particle.life = 1.0f;
        emitter->Particles().Add(particle);
    }
    for (const bool uniform : {false, true})
    {
        SCOPED_TRACE(uniform ? "the sprite's frame" : "their own frames");
        emitter->Particles().uniformAnimation = uniform;
        Renderer::BeginDrawPass();
        object.Draw(); // the object's own sprite (one unit at the centre), then its particles
        Renderer::PresentOffscreenImage();
        glFinish();
        EXPECT_FALSE(kp::test::WriteFramebufferPng(uniform ? "particles_uniform" : "particles_own_frames", kWidth, kHeight).empty());
        const std::array<int, 3> left = PixelAt(-480, 0);
        const std::array<int, 3> right = PixelAt(480, 0);
        EXPECT_GT(uniform ? left[1] : left[0], 200) << "frame " << (uniform ? 1 : 0);
        EXPECT_GT(right[1], 200) << "frame 1";
        // Half over the grey background (26): (220 + 26) / 2.
        const std::array<int, 3> faded = PixelAt(0, 270);
        EXPECT_NEAR(uniform ? faded[1] : faded[0], 123, 4);
        EXPECT_NEAR(PixelAt(0, -270)[0], 26, 2) << "nothing where no particle is";
    }
}
} // namespace
