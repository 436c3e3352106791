// The particles of one emitter: small textured quads born at the emitter's position, accelerated
// along their launch vector, grown or shrunk, faded and animated, and removed when their life runs
// out. The Emitter component (Emitter.h) owns one, fills its settings at Init and spawns into it;
// the system ages, moves and draws what it holds.
//
// Motion, by (hiveMind, moveWithObject): free particles integrate their own acceleration; hive-mind
// particles all follow the system's current launch vector and shrink with their remaining life;
// particles that move with an object also take the velocity of the emitter object's parent (the
// emitter sits on a child of the object it follows). Without a parent with Physics to follow,
// particles that move with an object are left as they are, as if paused.
//
// Threading: main thread; Draw inside the draw pass. Ownership: the system owns its particles; the
// sprite and transform are the emitter object's, borrowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <glm/vec2.hpp>
#include <string>
#include <vector>

class GameObject;
class Sprite;
class Transform;

struct Particle
{
    float x, y;                 // world position
    float alpha;                // opacity when drawn
    float m00, m01, m10, m11;   // 2x2 linear transform (rotation and scale), column-major
    float vx, vy;               // velocity, 0 at birth
    float ax, ay;               // acceleration: the launch vector at birth
    float life;                 // seconds left
    std::uint32_t frame;        // own animation frame, 0 at birth
    float frameTimer;           // seconds until the next own frame
};

class ParticleSystem
{
public:
    // Particles one system holds at most; a spawn beyond it is refused.
    static constexpr std::size_t kMaxParticles = 100000;

    bool IsFull() const { return particles.size() >= kMaxParticles; }
    // Appends `particle` unless the system is full; whether it was added.
    bool Add(const Particle& particle);

    // One frame of dt seconds, for the emitter on `owner`: every particle ages by dt and those
    // whose life is over are removed (the others keep their order); the rest move, then scale,
    // fade and animate as the settings say.
    void Update(float dt, const GameObject* owner);
    // Submits one draw per particle, in order, with the sprite's sheet, mesh and colour and the
    // particle's own alpha; the frame is the sprite's with uniform animation, else the particle's.
    void Draw() const;

    Sprite* sprite = nullptr;
    Transform* transform = nullptr;
    std::vector<Particle> particles;
    glm::vec2 launch{0.0f}; // the last launch vector made by the emitter
    bool moveWithObject = false;
    bool hiveMind = false;
    bool uniformAnimation = true;
    bool looping = false;
    float particleLife = 0.0f;
    float frameDuration = 0.0f;
    std::string fade;
    float fadeTime = 0.0f;
    std::string scaleSetting;
    float scaleMultiplier = 0.0f;
    float scaleTime = 0.0f;
    std::int32_t frameCount = 0;

private:
    // Ageing: life -= dt for each; a particle whose life is over leaves, the others keep their order.
    void Age(float dt);
    // The velocity of the object these particles follow, or false when they follow none and must
    // be left as they are.
    bool FollowedVelocity(const GameObject* owner, glm::vec2& velocity) const;
    // Scale, fade and own animation of every particle, after it moved.
    void ScaleFadeAnimate(float dt);
};
