// The scene stack and the game's fixed screen flow. Every scene lives on one stack whose order is
// the order of update and of drawing (front first, so the back is drawn on top); scenes are shown
// and hidden by their active flag and found by exact name. Once per frame Update runs the flow:
// the splash sequence on its clock ("SplashScreen", "OstrelSplash" after 5 s, "MenuUI" after 10 s,
// or "MenuUI" at once on a skip input; 'B' restarts it), the exclusivity of dialogs, the Escape
// pause toggle (the play field stops, every timer pauses, "PauseMenu" opens on top), the update of
// the active scenes, and the tear-down of the play field and of idle screens, which are rebuilt
// from their files when they are shown again. Buttons call Open, SwitchTo, BringToFront, Remove.
//
// Threading: main thread only.
// Ownership: the manager owns every scene on the stack and its objects. A scene taken off the
// stack (torn down, removed, or reloaded) is made inactive and kept, objects and all, until the end
// of the frame's Update, since code of that very scene may still be running (a button that switches
// to the credits rebuilds every scene from inside its own update); then its objects and the scene
// are deleted, and currentScene becomes null if it named it. DestroyAll deletes everything
// (shutdown).
#pragma once

#include <deque>
#include <string>

class GameObject;
class Scene;

namespace SceneManager
{
// Scene names the flow refers to.
constexpr const char* kSplashScreen = "SplashScreen";
constexpr const char* kOstrelSplash = "OstrelSplash";
constexpr const char* kMainMenu = "MenuUI";
constexpr const char* kPlayField = "Sandbox";
constexpr const char* kPauseMenu = "PauseMenu";
constexpr const char* kCreditMenu = "CreditMenu";
constexpr const char* kTutorial = "Tutorial";
constexpr const char* kQuitDialog = "AreUSure";
constexpr const char* kMainMenuDialog = "AreUSureMain";
constexpr const char* kWinScreen = "GameWin";
constexpr const char* kLoseScreen = "GameLose";

// Seconds after the start (or a restart) of the splash sequence at which it moves on.
constexpr float kOstrelSplashAfterSeconds = 5.0f;
constexpr float kMenuAfterSeconds = 10.0f;

// Input codes of the flow: released this frame (the went-up edge).
constexpr int kSkipMouseLeft = 0;
constexpr int kSkipMouseRight = 1;
constexpr int kSkipSpaceKey = 32;
constexpr int kRestartSplashKey = 66; // 'B'
constexpr int kPauseKey = 256;        // Escape; also a skip input
constexpr int kSkipEnterKey = 257;

// The scene stack, front to back.
extern std::deque<Scene*> scenes;
// The scene remembered by SwitchTo, the pause toggle and the tutorial rule, for the back button;
// null before the first scene and after the scene it named was taken down.
extern Scene* currentScene;
// Seconds since start, or since 'B' restarted the splash sequence.
extern float splashClock;
extern bool ostrelSplashShown;
extern bool menuShown;

// Start-up: builds the scene `name`, makes it the current scene, active, at the back of the stack,
// and gives it its starting units.
void OpenFirstScene(const std::string& name);

// The first scene of the stack named `name`, or null.
Scene* Find(const std::string& name);
bool Exists(const std::string& name);
// Whether some active scene's objects hold an object with the name of `object` (false for null).
bool IsObjectActive(const GameObject* object);

// The scene `name` (built from its file and appended at the back when it is not on the stack) gets
// its starting units and is made active. Other scenes keep their flags; an existing scene keeps its
// place in the stack.
void Open(const std::string& name);
// Like Open, but every scene of the stack is made inactive first and currentScene ends as the
// scene at the back of the stack. Switching to "CreditMenu" first rebuilds every scene (ReloadAll).
void SwitchTo(const std::string& name);
// Moves the first scene named `name` to the back of the stack (updated and drawn last); nothing
// when there is none.
void BringToFront(const std::string& name);
// BringToFront(name), then takes the scene at the back off the stack (with an empty stack,
// nothing). Its objects are not destroyed at once: the scene is deleted at the end of the frame.
void Remove(const std::string& name);
// Takes every scene off the stack (deleted with its objects at the end of the frame's Update) and
// builds each again from its file, keeping the order and the active flags, with its starting units.
void ReloadAll();

// One frame of the screen flow and of the active scenes' updates.
void Update(float dt);
// The draw pass: every object of every active scene, front to back, in list order. Stashed objects
// are not drawn.
void DrawActiveScenes();

// Deletes every scene and its objects, empties the stack and resets the flow (shutdown).
void DestroyAll();
} // namespace SceneManager
