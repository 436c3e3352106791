// What the game's behaviour tests share: objects built in code (a sheet of rows and columns with no
// texture, a box or circle collider, stats), scenes built from empty scene files in a test folder
// and put on the scene stack, the mouse and keys of a scripted input device, frames run in the
// engine's order with a fixed time step, the game's sound recorded by the test double, and
// everything global put back as the program starts.
#pragma once

#include "Engine/EngineGlobals.h"
#include "Engine/Fade.h"
#include "Engine/Input.h"
#include "Engine/SoundGameObjects.h"
#include "Engine/SpriteSource.h"
#include "Engine/Timer.h"
#include "Game/Behavior.h"
#include "Game/GameGlobals.h"
#include "Objects/Animation.h"
#include "Objects/Audio.h"
#include "Objects/Collider.h"
#include "Objects/ComponentFactory.h"
#include "Objects/GameObject.h"
#include "Objects/Physics.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"
#include "Objects/Sprite.h"
#include "Objects/Stats.h"
#include "Objects/Transform.h"
#include "Source/Engine/AssetFolder.h"
#include "Source/Engine/RecordingGameSound.h"
#include "Source/Engine/ScriptedInputDevice.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace kp::test
{
// Every scene name the game's code opens or switches to.
inline const std::vector<std::string> kGameSceneNames = {
    "SplashScreen", "OstrelSplash", "MenuUI",   "Sandbox", "PauseMenu", "AreUSure",
    "AreUSureMain", "CreditMenu",   "Tutorial", "GameWin", "GameLose",  "Loading1",
};

// A new behaviour of `kind` as the object reader makes it.
inline Behavior* MakeBehavior(BehaviorClass kind, int argument = 0)
{
    return CreateBehavior(BehaviorChoice{kind, argument, {}, 0.0f, {}});
}

// An object under construction; the object itself is handed to a scene or kept by the fixture.
class ObjectBuilder
{
public:
    explicit ObjectBuilder(std::string name) : m_object(std::make_unique<GameObject>())
    {
        m_object->name = std::move(name);
        m_object->AddComponent(new Transform());
    }

    ObjectBuilder& At(float x, float y)
    {
        OwnTransform()->translation = glm::vec3(x, y, 0.0f);
        OwnTransform()->dirty = true;
        return *this;
    }
    ObjectBuilder& Scaled(float x, float y)
    {
        OwnTransform()->scale = glm::vec3(x, y, 1.0f);
        OwnTransform()->dirty = true;
        return *this;
    }
    // A sprite on `sheet` (no mesh), at frame `frame`.
    ObjectBuilder& Showing(SpriteSource* sheet, int frame = 0)
    {
        auto* sprite = new Sprite();
        sprite->spriteSource = sheet;
        sprite->frameIndex = frame;
        m_object->AddComponent(sprite);
        return *this;
    }
    ObjectBuilder& Animated(int frameCount = 1, float frameDuration = 0.1f, bool rows = true)
    {
        auto* animation = new Animation();
        animation->FrameCount = frameCount;
        animation->FrameDuration = frameDuration;
        animation->DiffAnimations = rows;
        if (const auto* sprite = m_object->GetComponent<Sprite>())
        {
            animation->frameIndex = sprite->frameIndex;
        }
        m_object->AddComponent(animation);
        return *this;
    }
    // A box of the object's scale times the modifiers (the mouse area of a button).
    ObjectBuilder& Box(float widthMod = 1.0f, float heightMod = 1.0f)
    {
        auto* collider = new Collider();
        collider->shape = Collider::kShapeBox;
        collider->WidthMod = widthMod;
        collider->HeightMod = heightMod;
        m_object->AddComponent(collider);
        collider->Update(0.0f);
        return *this;
    }
    ObjectBuilder& Circle(float radiusMod)
    {
        auto* collider = new Collider();
        collider->shape = Collider::kShapeCircle;
        collider->RadiusMod = radiusMod;
        m_object->AddComponent(collider);
        collider->Update(0.0f);
        return *this;
    }
    ObjectBuilder& WithAudio()
    {
        m_object->AddComponent(new Audio());
        return *this;
    }
    ObjectBuilder& WithPhysics()
    {
        m_object->AddComponent(new Physics());
        return *this;
    }
    // Stats at full health `maxHealth`, hitting for `damage`, reloading in `reloadSeconds`.
    ObjectBuilder& WithStats(int maxHealth, int damage = 0, int reloadSeconds = 1, int respawnSeconds = 0)
    {
        auto* stats = new Stats();
        stats->MaxHealth = maxHealth;
        stats->health = maxHealth;
        stats->previousHealth = maxHealth;
        stats->AttackDamage = damage;
        stats->ReloadTime = reloadSeconds;
        stats->reloadRemaining = static_cast<float>(reloadSeconds);
        stats->RespawnRate = respawnSeconds;
        if (respawnSeconds != 0)
        {
            stats->respawnRemaining = static_cast<float>(respawnSeconds);
        }
        m_object->AddComponent(stats);
        return *this;
    }
    ObjectBuilder& With(Component* component)
    {
        m_object->AddComponent(component);
        return *this;
    }
    // Appends `child` to the object's children.
    ObjectBuilder& Child(std::unique_ptr<GameObject> child)
    {
        child->parent = m_object.get();
        m_object->children.push_back(child.release());
        return *this;
    }

    GameObject* Get() const { return m_object.get(); }
    std::unique_ptr<GameObject> Build() { return std::move(m_object); }

private:
    ::Transform* OwnTransform() { return m_object->GetComponent<::Transform>(); }
    std::unique_ptr<GameObject> m_object;
};

class GameFixture : public ::testing::Test
{
protected:
    // The engine's reference window: world units and window pixels agree.
    static constexpr float kWindowWidth = 1920.0f;
    static constexpr float kWindowHeight = 1080.0f;
    static constexpr int kMouse = 0;

    GameFixture()
    {
        for (const std::string& scene : kGameSceneNames)
        {
            m_folder.Write("Assets/Spaces/" + scene + ".json", R"({"Objects": []})");
        }
        // A play field adds its airship archetypes when shown; bare ones do here.
        for (const char* archetype : {"Korvane1", "Korvane2", "Korvane3"})
        {
            m_folder.Write(std::string("Assets/GameObjects/") + archetype + ".json",
                           std::string(R"({"GameObject": {"name": ")") + archetype + "\"}}");
        }
        windowWidth = kWindowWidth;
        windowHeight = kWindowHeight;
        Input::ClearState();
        Input::SetDevice(&m_input);
        listenerIds.assign(1, 1);
        emitterIds.assign(1, 1);
        ResetGameGlobals();
        ClearScenes();
    }
    ~GameFixture() override
    {
        m_objects.clear();
        SceneManager::DestroyAll();
        DeleteAllFades();
        DeleteAllTimers();
        Input::SetDevice(nullptr);
        Input::ClearState();
        listenerIds.clear();
        emitterIds.clear();
        windowWidth = 0;
        windowHeight = 0;
        isMuted = false;
        volumeLevel1 = 0;
        volumeLevel2 = 0;
        wasFullscreen = false;
        ResetGameGlobals();
    }

    static void ResetGameGlobals()
    {
        gGold = 0;
        gSelectedType = 1;
        gShownStatType = 0;
        gStatDisplayType = 0;
        gSelectedArchetype = nullptr;
    }

    // No scene at all, the splash sequence over.
    static void ClearScenes()
    {
        SceneManager::DestroyAll();
        SceneManager::ostrelSplashShown = true;
        SceneManager::menuShown = true;
        SceneManager::splashClock = 100.0f;
    }

    // A sheet of `rows` x `columns` frames without a texture, kept for the test.
    SpriteSource* Sheet(int rows, int columns)
    {
        auto sheet = std::make_unique<SpriteSource>();
        sheet->numRows = rows;
        sheet->numCols = columns;
        m_sheets.push_back(std::move(sheet));
        return m_sheets.back().get();
    }

    // Keeps `object` for the test (not in any scene).
    GameObject* Keep(std::unique_ptr<GameObject> object)
    {
        m_objects.push_back(std::move(object));
        return m_objects.back().get();
    }

    // A scene of that name from its empty file, active or not, at the back of the stack.
    static Scene& AddScene(const std::string& name, bool active = true)
    {
        auto* scene = new Scene(name);
        scene->active = active;
        SceneManager::scenes.push_back(scene);
        return *scene;
    }
    // Puts `object` at the back of the scene's object list, which owns it from now on.
    static GameObject* Place(Scene& scene, std::unique_ptr<GameObject> object)
    {
        GameObject* placed = object.release();
        scene.objects.entries.push_back(placed);
        return placed;
    }

    // The cursor over the world position (x, y) of the reference window.
    void PointAt(float x, float y)
    {
        m_input.SetCursor(static_cast<double>(x) + kWindowWidth / 2.0, kWindowHeight / 2.0 - static_cast<double>(y));
    }
    void PointAway() { PointAt(5000.0f, 5000.0f); }

    // One frame as the engine runs it, without drawing: fades, input, timers, the screen flow and
    // the scenes.
    void Frame(float dt)
    {
        TickFades(dt);
        Input::Poll();
        TickTimers(dt);
        SceneManager::Update(dt);
    }
    // One frame of objects outside any scene: input, timers, then each object's update.
    void FrameOf(std::initializer_list<GameObject*> objects, float dt)
    {
        TickFades(dt);
        Input::Poll();
        TickTimers(dt);
        for (GameObject* object : objects)
        {
            object->Update(dt);
        }
    }

    AssetFolder m_folder;
    WorkingFolder m_working{m_folder.Root()};
    ScriptedInputDevice m_input;
    RecordingGameSound m_sound;
    std::vector<std::unique_ptr<SpriteSource>> m_sheets;
    std::vector<std::unique_ptr<GameObject>> m_objects;
};
} // namespace kp::test
