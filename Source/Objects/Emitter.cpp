#include "Objects/Emitter.h"

#include "Objects/Animation.h"
#include "Objects/GameObject.h"
#include "Objects/ObjectFileJson.h"
#include "Objects/ParticleRandom.h"
#include "Objects/ParticleSystem.h"
#include "Objects/Sprite.h"
#include "Objects/Transform.h"

#include <cmath>

namespace
{
// The single-precision pi the spray cone and the heading are measured with.
constexpr float kPi = 3.1415927f;
constexpr float kDegrees = 180.0f;

template <class Value, class Reader>
void ReadIfPresent(const rapidjson::Value& member, const char* key, Value& value, Reader read)
{
    if (trindle::FindJsonMember(member, key) != nullptr)
    {
        value = read(member, key);
    }
}
} // namespace

Emitter::Emitter() : Component(kType), particles(std::make_unique<ParticleSystem>()) {}

Emitter::Emitter(const Emitter& source)
    : Component(source), patternType(source.patternType), moveWithObject(source.moveWithObject),
      hiveMind(source.hiveMind), uniformAnimation(source.uniformAnimation), particleLife(source.particleLife),
      spawnRate(source.spawnRate), sprayAngle(source.sprayAngle), minSpeed(source.minSpeed),
      maxSpeed(source.maxSpeed), fade(source.fade), fadeTime(source.fadeTime), scaleSetting(source.scaleSetting),
      scaleMultiplier(source.scaleMultiplier), scaleTime(source.scaleTime),
      particles(std::make_unique<ParticleSystem>())
{
}

Emitter::~Emitter() = default;

void Emitter::Read(const std::string& fileText)
{
    const rapidjson::Document document = trindle::ParseObjectFile(fileText);
    const rapidjson::Value& member = trindle::JsonObject(trindle::ObjectFileRoot(document), "Emitter");
    ReadIfPresent(member, "PatternType", patternType, trindle::JsonString);
    ReadIfPresent(member, "ParticleMoveWithObject", moveWithObject, trindle::JsonBool);
    ReadIfPresent(member, "HiveMind", hiveMind, trindle::JsonBool);
    ReadIfPresent(member, "UniformAnimation", uniformAnimation, trindle::JsonBool);
    ReadIfPresent(member, "ParticleLife", particleLife, trindle::JsonFloat);
    ReadIfPresent(member, "SpawnRate", spawnRate, trindle::JsonFloat);
    ReadIfPresent(member, "SprayAngle", sprayAngle, trindle::JsonInt);
    ReadIfPresent(member, "MinSpeed", minSpeed, trindle::JsonFloat);
    ReadIfPresent(member, "MaxSpeed", maxSpeed, trindle::JsonFloat);
    ReadIfPresent(member, "Fade", fade, trindle::JsonString);
    ReadIfPresent(member, "FadeTime", fadeTime, trindle::JsonFloat);
    ReadIfPresent(member, "ScaleSetting", scaleSetting, trindle::JsonString);
    ReadIfPresent(member, "ScaleMultiplier", scaleMultiplier, trindle::JsonFloat);
    ReadIfPresent(member, "ScaleTime", scaleTime, trindle::JsonFloat);
}

void Emitter::Init()
{
    ParticleSystem& system = *particles;
    system.sprite = owner != nullptr ? owner->GetComponent<Sprite>() : nullptr;
    system.transform = owner != nullptr ? owner->GetComponent<Transform>() : nullptr;
    system.particleLife = particleLife;
    system.moveWithObject = moveWithObject;
    system.hiveMind = hiveMind;
    system.uniformAnimation = uniformAnimation;
    system.fade = fade;
    system.fadeTime = fadeTime;
    system.scaleSetting = scaleSetting;
    system.scaleMultiplier = scaleMultiplier;
    system.scaleTime = scaleTime;
    if (const auto* animation = owner != nullptr ? owner->GetComponent<Animation>() : nullptr)
    {
        system.frameDuration = animation->FrameDuration;
        system.frameCount = animation->FrameCount;
        system.looping = animation->IsLooping;
    }
}

Component* Emitter::Clone() const
{
    return new Emitter(*this);
}

void Emitter::Update(float dt)
{
    particles->Update(dt, owner);
}

void Emitter::Draw()
{
    particles->Draw();
}

glm::vec2 Emitter::RandomDirection() const
{
    const float u = ParticleRandom::Uniform();
    const float half = static_cast<float>(sprayAngle / 2) * kPi / kDegrees;
    const float r = u * (2.0f * half) - half;
    const Transform* transform = owner != nullptr ? owner->GetComponent<Transform>() : nullptr;
    const float rotation = transform != nullptr ? transform->rotation * kPi / kDegrees : 0.0f;
    if (rotation == 0.0f)
    {
        return glm::vec2(std::sin(r), std::cos(r));
    }
    // (sin(rot + r), -cos(rot + r)): a turned emitter sprays about straight down, turned by rot.
    return glm::vec2(std::sin(rotation) * std::cos(r) + std::cos(rotation) * std::sin(r),
                     std::sin(rotation) * std::sin(r) - std::cos(rotation) * std::cos(r));
}

void Emitter::RandomSpeed(const glm::vec2& direction)
{
    const float speed = ParticleRandom::Uniform() * (maxSpeed - minSpeed) + minSpeed;
    particles->launch = glm::vec2(speed * direction.x, speed * direction.y);
}

void Emitter::SpawnParticle()
{
    Transform* transform = owner != nullptr ? owner->GetComponent<Transform>() : nullptr;
    glm::vec3 position(0.0f);
    float block[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    if (transform != nullptr)
    {
        position = transform->translation;
        const Transform* parentTransform =
            owner->parent != nullptr ? owner->parent->GetComponent<Transform>() : nullptr;
        if (parentTransform != nullptr)
        {
            position += parentTransform->GetWorldTranslation();
        }
        const glm::mat4& world = transform->GetMatrix();
        block[0] = world[0][0];
        block[1] = world[0][1];
        block[2] = world[1][0];
        block[3] = world[1][1];
    }
    const ParticleSystem& system = *particles;
    Particle particle{};
    particle.x = position.x;
    particle.y = position.y;
    particle.alpha = fade == "In" ? 0.0f : 1.0f;
    particle.m00 = block[0];
    particle.m01 = block[1];
    particle.m10 = block[2];
    particle.m11 = block[3];
    particle.ax = system.launch.x;
    particle.ay = system.launch.y;
    particle.life = system.particleLife;
    particle.frameTimer = system.frameDuration;
    particles->Add(particle);
}

void Emitter::Emit()
{
    RandomSpeed(RandomDirection());
    SpawnParticle();
}

bool Emitter::IsFull() const
{
    return particles->IsFull();
}
