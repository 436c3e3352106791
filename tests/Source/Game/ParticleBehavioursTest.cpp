// The particle behaviours: the death burst fires once, hit sparks come while the parent is being
// hit, streams keep their rate (two particles in a 0.25 s frame at 10 a second), stop at the
// emitter's 100000, 'P' streams only while held, the "Rotate" pattern turns the object, and a copy
// starts uninitialised.
#include "GameTestKit.h"
#include "Game/EmitterDeath.h"
#include "Game/EmitterExplosion.h"
#include "Game/EmitterKey.h"
#include "Game/EmitterTest.h"
#include "Objects/Emitter.h"
#include "Objects/ParticleSystem.h"
#include "Source/Objects/ParticleSource.h"

namespace
{
using kp::test::ObjectBuilder;

class ParticleBehavioursTest : public kp::test::GameFixture
{
protected:
    // A child emitter object (rate, life) with `behavior`, under a parent with Stats.
    GameObject* Make(EmitterBehavior* behavior, float rate, float life = 100.0f)
    {
        auto* emitter = new Emitter();
        emitter->spawnRate = rate;
        emitter->particleLife = life;
        ObjectBuilder child("Puffs");
        child.Showing(Sheet(1, 1)).With(emitter).With(behavior);
        emitter->Init();
        ObjectBuilder parent("Ship");
        parent.WithStats(100).Child(child.Build());
        m_parent = Keep(parent.Build());
        return m_parent->children.front();
    }
    static size_t Count(const GameObject* object) { return object->GetComponent<Emitter>()->Particles().particles.size(); }

    GameObject* m_parent = nullptr;
    kp::test::FixedParticleSource m_random{{0x80000000u}};
};

TEST_F(ParticleBehavioursTest, ADeathBurstFiresOnceHoweverLongTheParentStaysDead)
{
    GameObject* burst = Make(new EmitterDeath(), 0.0f);
    FrameOf({m_parent}, 0.1f);
    EXPECT_EQ(Count(burst), 0u);
    m_parent->GetComponent<Stats>()->dead = true;
    for (int frame = 0; frame < 10; ++frame)
    {
        FrameOf({m_parent}, 0.1f);
    }
    EXPECT_EQ(Count(burst), 1u);
}

TEST_F(ParticleBehavioursTest, SparksComeOnEveryUpdateWhileTheParentIsBeingHit)
{
    GameObject* sparks = Make(new EmitterExplosion(), 0.0f);
    auto* stats = m_parent->GetComponent<Stats>();
    stats->damaged = true;
    stats->health = 50; // falls from 100: damaged for one Stats update
    for (int frame = 0; frame < 3; ++frame)
    {
        // The parent's Stats update first (damaged this frame), then the child's behaviour.
        stats->previousHealth = stats->health + 1;
        FrameOf({m_parent}, 0.1f);
    }
    EXPECT_EQ(Count(sparks), 3u);
    FrameOf({m_parent}, 0.1f); // health steady: no longer damaged
    EXPECT_EQ(Count(sparks), 3u);
}

TEST_F(ParticleBehavioursTest, AStreamOfTenASecondEmitsTwiceInAQuarterSecondFrame)
{
    GameObject* stream = Make(new EmitterTest(), 10.0f);
    std::vector<size_t> counts;
    for (int frame = 0; frame < 4; ++frame)
    {
        FrameOf({m_parent}, 0.25f);
        counts.push_back(Count(stream));
    }
    // The first frame only fills the accumulator to the interval; then at t = 0.1 and 0.2 of each.
    EXPECT_EQ(counts, (std::vector<size_t>{0, 2, 4, 6}));
    // Frames no longer than the interval: one particle once the interval has passed.
    GameObject* steady = Make(new EmitterTest(), 10.0f);
    std::vector<size_t> steadyCounts;
    for (int frame = 0; frame < 6; ++frame)
    {
        FrameOf({m_parent}, 0.05f);
        steadyCounts.push_back(Count(steady));
    }
    EXPECT_EQ(steadyCounts, (std::vector<size_t>{0, 0, 1, 1, 1, 2}));
}

TEST_F(ParticleBehavioursTest, AStreamStopsAddingAtAHundredThousand)
{
    GameObject* stream = Make(new EmitterTest(), 1000.0f);
    auto& system = stream->GetComponent<Emitter>()->Particles();
    while (system.particles.size() < ParticleSystem::kMaxParticles - 50)
    {
        stream->GetComponent<Emitter>()->SpawnParticle();
    }
    FrameOf({m_parent}, 0.01f);
    FrameOf({m_parent}, 1.0f); // a thousand particles' worth
    EXPECT_EQ(Count(stream), ParticleSystem::kMaxParticles);
}

// A stopped stream (rate 0) emits nothing; so does a negative rate, which no data should hold,
// instead of filling the emitter in one frame.
TEST_F(ParticleBehavioursTest, AStreamWithoutAPositiveRateEmitsNothing)
{
    for (const float rate : {0.0f, -10.0f})
    {
        SCOPED_TRACE(rate);
        GameObject* stream = Make(new EmitterTest(), rate);
        for (int frame = 0; frame < 4; ++frame)
        {
            FrameOf({m_parent}, 0.25f);
        }
        EXPECT_EQ(Count(stream), 0u);
    }
}

TEST_F(ParticleBehavioursTest, TheKeyStreamRunsOnlyWhileThePKeyIsHeld)
{
    constexpr int kP = 80;
    GameObject* stream = Make(new EmitterKey(), 10.0f);
    for (int frame = 0; frame < 5; ++frame)
    {
        FrameOf({m_parent}, 0.25f);
    }
    EXPECT_EQ(Count(stream), 0u);
    m_input.Press(kP);
    FrameOf({m_parent}, 0.25f); // pressed this frame: not yet held
    EXPECT_EQ(Count(stream), 0u);
    FrameOf({m_parent}, 0.25f); // held: the accumulator fills
    FrameOf({m_parent}, 0.25f);
    EXPECT_EQ(Count(stream), 2u);
    m_input.Release(kP);
    FrameOf({m_parent}, 0.25f);
    EXPECT_EQ(Count(stream), 2u);
}

TEST_F(ParticleBehavioursTest, TheRotatePatternTurnsTheObjectAfterEachParticle)
{
    GameObject* stream = Make(new EmitterTest(), 10.0f);
    stream->GetComponent<Emitter>()->patternType = "Rotate";
    FrameOf({m_parent}, 0.25f);
    FrameOf({m_parent}, 0.25f);
    EXPECT_EQ(stream->GetComponent<Transform>()->rotation, 10.0f);
}

TEST_F(ParticleBehavioursTest, ACopyStartsUninitialisedWithTheSameAccumulatorAndArming)
{
    auto* burst = new EmitterDeath();
    Make(burst, 0.0f);
    burst->name = "EmitterDeath";
    burst->currentState = 4;
    burst->nextState = 2;
    burst->accumulator = 0.75f;
    burst->armed = false;
    std::unique_ptr<Component> copied(burst->Clone());
    const auto* copy = dynamic_cast<const EmitterDeath*>(copied.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->type, ComponentType::EmitterBehavior);
    EXPECT_EQ(copy->name, "EmitterDeath");
    EXPECT_EQ(copy->currentState, -1);
    EXPECT_EQ(copy->nextState, 0);
    EXPECT_EQ(copy->accumulator, 0.75f);
    EXPECT_FALSE(copy->armed);
}
} // namespace
