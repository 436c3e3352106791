#include "Objects/SceneManager.h"

#include "Engine/Input.h"
#include "Engine/Timer.h"
#include "Objects/GameObject.h"
#include "Objects/ObjectSound.h"
#include "Objects/Scene.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace SceneManager
{
std::deque<Scene*> scenes;
Scene* currentScene = nullptr;
float splashClock = 0.0f;
bool ostrelSplashShown = false;
bool menuShown = false;

namespace
{
// The splash screen's sound, posted on its "HalvoSplash" object when the splash sequence restarts.
constexpr const char* kSplashSoundObject = "HalvoSplash";
constexpr ZkUniqueID kSplashSoundEvent = 1029053404;

// Scenes taken off the stack this frame; deleted at the end of Update (see SceneManager.h).
std::vector<Scene*> retiredScenes;
// The scenes of this frame's scene pass, kept between frames so a steady frame allocates nothing.
std::vector<Scene*> passScenes;

// Two scenes that must not be shown together: when both exist and are active, `hidden` goes
// inactive. The tutorial is read from the pause menu: the play field stays stopped behind it and
// the back button returns to the pause menu.
struct ExclusiveDialogs
{
    const char* shown;
    const char* hidden;
    bool stopsPlayFieldAndReturnsToHidden;
};
constexpr std::array kExclusiveDialogs = {
    ExclusiveDialogs{kQuitDialog, kPauseMenu, false},     ExclusiveDialogs{kCreditMenu, kPauseMenu, false},
    ExclusiveDialogs{kMainMenuDialog, kPauseMenu, false}, ExclusiveDialogs{kQuitDialog, kMainMenu, false},
    ExclusiveDialogs{kTutorial, kPauseMenu, true},        ExclusiveDialogs{kMainMenuDialog, kPlayField, false},
};

// The screens after which the play field is no longer needed, in the order they are tested.
constexpr std::array kPlayFieldEnders = {kMainMenu, kLoseScreen, kWinScreen};
// The screens that are torn down as soon as they are hidden, in the order they are tested.
constexpr std::array kIdleScreens = {kMainMenu, kWinScreen, kLoseScreen};

bool IsShown(const Scene* scene)
{
    return scene != nullptr && scene->active;
}

Scene* FindOrAppend(const std::string& name)
{
    if (Scene* scene = Find(name))
    {
        return scene;
    }
    auto* scene = new Scene(name);
    scenes.push_back(scene);
    return scene;
}

// Takes the scene off the stack and keeps it, objects and all, until the end of the frame's update
// (see SceneManager.h). A scene off the stack is neither updated nor drawn.
void Retire(Scene* scene)
{
    const auto onStack = std::find(scenes.begin(), scenes.end(), scene);
    if (onStack != scenes.end())
    {
        scenes.erase(onStack);
    }
    scene->active = false;
    retiredScenes.push_back(scene);
}

void DeleteRetiredScenes()
{
    // Deleting a scene's objects runs no game code, so no scene is retired meanwhile.
    for (Scene* scene : retiredScenes)
    {
        scene->DestroyObjects();
        if (currentScene == scene)
        {
            currentScene = nullptr;
        }
        delete scene;
    }
    retiredScenes.clear();
}

void RunSplashSequence()
{
    if (splashClock == 0.0f)
    {
        Scene* splash = Find(kSplashScreen);
        if (splash != nullptr && !splash->active)
        {
            PostEventOn(splash->objects.Find(kSplashSoundObject), kSplashSoundEvent);
            SwitchTo(kSplashScreen);
        }
    }
    const bool skip = Input::IsTriggered(kSkipMouseLeft) || Input::IsTriggered(kSkipMouseRight) ||
                      Input::IsTriggered(kSkipEnterKey) || Input::IsTriggered(kSkipSpaceKey) ||
                      Input::IsTriggered(kPauseKey);
    if ((splashClock > kOstrelSplashAfterSeconds || skip) && !ostrelSplashShown)
    {
        SwitchTo(kOstrelSplash);
        ostrelSplashShown = true;
    }
    if ((splashClock > kMenuAfterSeconds || skip) && !menuShown)
    {
        SwitchTo(kMainMenu);
        menuShown = true;
    }
}

void ApplyDialogExclusivity()
{
    for (const ExclusiveDialogs& rule : kExclusiveDialogs)
    {
        Scene* shown = Find(rule.shown);
        Scene* hidden = Find(rule.hidden);
        if (!IsShown(shown) || !IsShown(hidden))
        {
            continue;
        }
        hidden->active = false;
        if (rule.stopsPlayFieldAndReturnsToHidden)
        {
            if (Scene* playField = Find(kPlayField))
            {
                playField->active = false;
            }
            currentScene = hidden;
        }
    }
}

void TogglePause(Scene* scene)
{
    Scene* playField = Find(kPlayField);
    if (scene->name == kPauseMenu)
    {
        if (playField != nullptr)
        {
            playField->active = true;
        }
        scene->active = false;
        SetTimersPaused(false);
        return;
    }
    if (playField != nullptr)
    {
        playField->active = false;
    }
    SetTimersPaused(true);
    Open(kPauseMenu);
    BringToFront(kPauseMenu);
    currentScene = scene;
}

void RunScenePass(float dt)
{
    // Scenes that an update appends to the stack are not visited in this pass.
    passScenes.assign(scenes.begin(), scenes.end());
    for (Scene* scene : passScenes)
    {
        if (!scene->active)
        {
            continue;
        }
        if (scene->name != kMainMenu && Input::IsTriggered(kPauseKey))
        {
            TogglePause(scene);
            break;
        }
        if (scene->name == kPlayField && IsShown(Find(kPauseMenu)))
        {
            continue;
        }
        scene->Update(dt);
    }
    passScenes.clear();
}

void TearDownPlayField()
{
    Scene* playField = Find(kPlayField);
    if (playField == nullptr || playField->active)
    {
        return;
    }
    for (const char* ender : kPlayFieldEnders)
    {
        if (IsShown(Find(ender)))
        {
            Retire(playField);
            return;
        }
    }
}

void TearDownIdleScreens()
{
    for (const char* screen : kIdleScreens)
    {
        Scene* scene = Find(screen);
        if (scene != nullptr && !scene->active)
        {
            Retire(scene);
        }
    }
}
} // namespace

void OpenFirstScene(const std::string& name)
{
    auto* scene = new Scene(name);
    currentScene = scene;
    scene->active = true;
    scenes.push_back(scene);
    scene->AddStartingUnits();
}

Scene* Find(const std::string& name)
{
    for (Scene* scene : scenes)
    {
        if (scene->name == name)
        {
            return scene;
        }
    }
    return nullptr;
}

bool Exists(const std::string& name)
{
    return Find(name) != nullptr;
}

bool IsObjectActive(const GameObject* object)
{
    if (object == nullptr)
    {
        return false;
    }
    for (const Scene* scene : scenes)
    {
        if (scene->active && scene->objects.Find(object->name) != nullptr)
        {
            return true;
        }
    }
    return false;
}

void Open(const std::string& name)
{
    Scene* scene = FindOrAppend(name);
    scene->AddStartingUnits();
    scene->active = true;
}

void SwitchTo(const std::string& name)
{
    if (name == kCreditMenu)
    {
        ReloadAll();
    }
    Scene* target = FindOrAppend(name);
    for (Scene* scene : scenes)
    {
        scene->active = false;
        currentScene = scene;
    }
    target->AddStartingUnits();
    target->active = true;
}

void BringToFront(const std::string& name)
{
    const auto found =
        std::find_if(scenes.begin(), scenes.end(), [&name](const Scene* scene) { return scene->name == name; });
    if (found == scenes.end())
    {
        return;
    }
    Scene* scene = *found;
    scenes.erase(found);
    scenes.push_back(scene);
}

void Remove(const std::string& name)
{
    BringToFront(name);
    if (scenes.empty())
    {
        return;
    }
    Retire(scenes.back());
}

void ReloadAll()
{
    std::vector<std::pair<std::string, bool>> remembered;
    while (!scenes.empty())
    {
        Scene* scene = scenes.front();
        remembered.emplace_back(scene->name, scene->active);
        Retire(scene);
    }
    for (const auto& [name, wasActive] : remembered)
    {
        auto* scene = new Scene(name);
        scene->active = wasActive;
        scene->AddStartingUnits();
        scenes.push_back(scene);
    }
}

void Update(float dt)
{
    splashClock += dt;
    if (Input::IsTriggered(kRestartSplashKey))
    {
        splashClock = 0.0f;
        ostrelSplashShown = false;
        menuShown = false;
    }
    RunSplashSequence();
    ApplyDialogExclusivity();
    RunScenePass(dt);
    TearDownPlayField();
    TearDownIdleScreens();
    DeleteRetiredScenes();
}

void DrawActiveScenes()
{
    for (Scene* scene : scenes)
    {
        if (!scene->active)
        {
            continue;
        }
        for (GameObject* object : scene->objects.entries)
        {
            if (object != nullptr)
            {
                object->Draw();
            }
        }
    }
}

void DestroyAll()
{
    for (Scene* scene : scenes)
    {
        retiredScenes.push_back(scene);
    }
    scenes.clear();
    DeleteRetiredScenes();
    currentScene = nullptr;
    splashClock = 0.0f;
    ostrelSplashShown = false;
    menuShown = false;
}
} // namespace SceneManager
