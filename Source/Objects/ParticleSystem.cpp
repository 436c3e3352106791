#include "Objects/ParticleSystem.h"

#include "Objects/GameObject.h"
#include "Objects/Physics.h"
#include "Objects/RendererDraws.h"
#include "Objects/Sprite.h"
#include "Objects/Transform.h"

#include <glm/mat4x4.hpp>
#include <glm/vec4.hpp>

namespace
{
enum class ScaleMode
{
    None,
    In,  // grows from the object's scale to scaleMultiplier times it over the first scaleTime
    Pop, // jumps to scaleMultiplier times the object's scale once scaleTime has passed
    Out, // grows to scaleMultiplier times the object's scale over the last scaleTime
};
enum class FadeMode
{
    None,
    In,
    Out, // the alpha is the life left: the particle fades over its last second
};

ScaleMode ScaleModeOf(const std::string& setting)
{
    if (setting == "In")
    {
        return ScaleMode::In;
    }
    if (setting == "Pop")
    {
        return ScaleMode::Pop;
    }
    return setting == "Out" ? ScaleMode::Out : ScaleMode::None;
}

FadeMode FadeModeOf(const std::string& setting)
{
    if (setting == "In")
    {
        return FadeMode::In;
    }
    return setting == "Out" ? FadeMode::Out : FadeMode::None;
}

// The scale factor of "In" and "Out" at `part` seconds into a change of `whole` seconds towards
// `multiplier`. A scale time of 0 gives the factor 1 instead of a non-finite matrix.
float GrowthFactor(float part, float whole, float multiplier)
{
    return whole != 0.0f ? part / whole * (multiplier - 1.0f) + 1.0f : 1.0f;
}

struct Block
{
    float m00, m01, m10, m11;
};

void SetScaled(Particle& particle, float k, const Block& block)
{
    particle.m00 = k * block.m00;
    particle.m01 = k * block.m01;
    particle.m10 = k * block.m10;
    particle.m11 = k * block.m11;
}
} // namespace

bool ParticleSystem::Add(const Particle& particle)
{
    if (IsFull())
    {
        return false;
    }
    particles.push_back(particle);
    return true;
}

void ParticleSystem::Age(float dt)
{
    // One stable pass: the same survivors, in the same order, as taking each dead one out in turn.
    std::size_t kept = 0;
    for (std::size_t index = 0; index < particles.size(); ++index)
    {
        Particle& particle = particles[index];
        particle.life -= dt;
        if (particle.life > 0.0f)
        {
            particles[kept++] = particle;
        }
    }
    particles.resize(kept);
}

bool ParticleSystem::FollowedVelocity(const GameObject* owner, glm::vec2& velocity) const
{
    const GameObject* followed = owner != nullptr ? owner->parent : nullptr;
    const Physics* physics = followed != nullptr ? followed->GetComponent<Physics>() : nullptr;
    if (physics == nullptr)
    {
        return false;
    }
    velocity = glm::vec2(physics->velocity);
    return true;
}

void ParticleSystem::Update(float dt, const GameObject* owner)
{
    Age(dt);
    glm::vec2 followed{0.0f};
    if (moveWithObject && !FollowedVelocity(owner, followed))
    {
        return;
    }
    if (!hiveMind)
    {
        for (Particle& particle : particles)
        {
            particle.x += followed.x * dt;
            particle.y += followed.y * dt;
            particle.vx += particle.ax * dt;
            particle.vy += particle.ay * dt;
            particle.x += particle.vx * dt;
            particle.y += particle.vy * dt;
        }
    }
    else
    {
        for (Particle& particle : particles)
        {
            if (!moveWithObject)
            {
                // Hive-mind particles shrink with their remaining life, every frame (a scale time
                // of 0 leaves them as they are).
                const float k = scaleTime != 0.0f ? particle.life / scaleTime * scaleMultiplier : 1.0f;
                particle.m00 *= k;
                particle.m01 *= k;
                particle.m10 *= k;
                particle.m11 *= k;
            }
            particle.vx += launch.x * dt;
            particle.vy += launch.y * dt;
            particle.x += followed.x * dt + particle.vx * dt;
            particle.y += followed.y * dt + particle.vy * dt;
        }
    }
    ScaleFadeAnimate(dt);
}

void ParticleSystem::ScaleFadeAnimate(float dt)
{
    const ScaleMode scaleMode = ScaleModeOf(scaleSetting);
    const FadeMode fadeMode = FadeModeOf(fade);
    Block block{1.0f, 0.0f, 0.0f, 1.0f};
    if (transform != nullptr && scaleMode != ScaleMode::None)
    {
        const glm::mat4& world = transform->GetMatrix();
        block = Block{world[0][0], world[0][1], world[1][0], world[1][1]};
    }
    const float fadeStart = particleLife - fadeTime;
    const bool animates = frameCount > 0;
    const auto lastFrame = static_cast<std::uint32_t>(frameCount);
    for (Particle& particle : particles)
    {
        const float elapsed = particleLife - particle.life;
        switch (scaleMode)
        {
        case ScaleMode::In:
            if (elapsed <= scaleTime)
            {
                SetScaled(particle, GrowthFactor(elapsed, scaleTime, scaleMultiplier), block);
            }
            break;
        case ScaleMode::Pop:
            if (elapsed >= scaleTime)
            {
                SetScaled(particle, scaleMultiplier, block);
            }
            break;
        case ScaleMode::Out:
            if (particle.life <= scaleTime)
            {
                SetScaled(particle, GrowthFactor(scaleTime - particle.life, scaleTime, scaleMultiplier), block);
            }
            break;
        case ScaleMode::None:
            break;
        }
        if (fadeMode == FadeMode::Out)
        {
            particle.alpha = particle.life;
        }
        else if (fadeMode == FadeMode::In)
        {
            particle.alpha = fadeTime >= 1.0f ? 1.0f - (particle.life - fadeStart / fadeTime)
                                              : 1.0f - (particle.life - fadeStart) * fadeTime;
        }
        if (animates)
        {
            particle.frameTimer -= dt;
            if (particle.frame < lastFrame)
            {
                if (particle.frameTimer <= 0.0f)
                {
                    particle.frame += 1;
                    particle.frameTimer = frameDuration;
                }
            }
            else if (looping)
            {
                particle.frame = 0;
            }
        }
    }
}

void ParticleSystem::Draw() const
{
    if (sprite == nullptr || particles.empty())
    {
        return;
    }
    glm::mat4 world(1.0f);
    for (const Particle& particle : particles)
    {
        const unsigned frame = uniformAnimation ? static_cast<unsigned>(sprite->frameIndex) : particle.frame;
        const glm::vec4 colour(sprite->colour, particle.alpha);
        world[0] = glm::vec4(particle.m00, particle.m01, 0.0f, 0.0f);
        world[1] = glm::vec4(particle.m10, particle.m11, 0.0f, 0.0f);
        world[3] = glm::vec4(particle.x, particle.y, 0.0f, 1.0f);
        Renderer::DrawParticle(sprite->spriteSource, sprite->mesh, &world, frame, &colour);
    }
}
