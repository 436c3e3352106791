// The Emitter component (kind 8): a particle effect on an object. It owns a particle system
// (ParticleSystem.h) whose particles take their look from the object's Sprite (sheet, mesh, colour,
// and with uniform animation its frame) and their frame timing from the object's Animation. The
// emitter never spawns on its own: a particle behaviour (kind 9) decides when, and emits each
// particle by RandomDirection, RandomSpeed and SpawnParticle, in that order (Emit does all three).
//
// A particle is born at the object's position (its parent's world position added), with the
// object's rotation and scale, moving along a random direction inside the spray cone at a random
// speed between the minimum and maximum. Random values come from ParticleRandom.h.
//
// Object-file member "Emitter", every key optional: "PatternType" (string, read by the particle
// behaviours), "ParticleMoveWithObject", "HiveMind", "UniformAnimation" (booleans), "ParticleLife"
// (seconds), "SpawnRate" (particles per second), "SprayAngle" (integer degrees, the cone's full
// width), "MinSpeed", "MaxSpeed", "Fade" ("In", "Out", else none), "FadeTime" (seconds),
// "ScaleSetting" ("In", "Out", "Pop", else none), "ScaleMultiplier", "ScaleTime" (seconds).
//
// Threading: main thread; Draw inside the draw pass. Ownership: the emitter owns its particle
// system; the object's Sprite and Transform are borrowed by it from Init on.
#pragma once

#include "Objects/Component.h"

#include <cstdint>
#include <glm/vec2.hpp>
#include <memory>
#include <string>

class ParticleSystem;

class Emitter : public Component
{
public:
    static constexpr ComponentType kType = ComponentType::Emitter;

    Emitter();
    ~Emitter() override;
    Emitter& operator=(const Emitter&) = delete;

    // Reads the member "Emitter" of the object file text (JsonFileScope names the file).
    void Read(const std::string& fileText);
    // Hands the settings, the owner's Sprite and Transform and its Animation's frame timing to
    // the particle system. Runs after those components exist and before the first spawn.
    void Init() override;
    // Every setting copied, with a particle system of its own, empty.
    Component* Clone() const override;
    void Update(float dt) override;
    void Draw() override;

    // A unit direction inside the spray cone about the object's heading: straight up at rotation
    // 0; at any other rotation the cone is turned by it from straight down.
    glm::vec2 RandomDirection() const;
    // The particle system's launch vector := `direction` times a random speed.
    void RandomSpeed(const glm::vec2& direction);
    // Appends one particle launched along the last launch vector; nothing when full.
    void SpawnParticle();
    // RandomDirection, RandomSpeed, SpawnParticle.
    void Emit();
    bool IsFull() const;

    ParticleSystem& Particles() { return *particles; }
    const ParticleSystem& Particles() const { return *particles; }

    std::string patternType;
    bool moveWithObject = false;
    bool hiveMind = false;
    bool uniformAnimation = true;
    float particleLife = 0.0f;
    float spawnRate = 0.0f; // particles per second, used by the particle behaviours
    std::int32_t sprayAngle = 0;
    float minSpeed = 0.0f;
    float maxSpeed = 0.0f;
    std::string fade;
    float fadeTime = 0.0f;
    std::string scaleSetting;
    float scaleMultiplier = 0.0f;
    float scaleTime = 0.0f;

private:
    Emitter(const Emitter& source);
    std::unique_ptr<ParticleSystem> particles;
};
