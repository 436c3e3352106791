// The engine's start-up, per-frame steps and shutdown, run by the program between opening and
// closing the window.
//
// Threading: main thread, with the window's context current.
// Ownership: EngineInit creates the renderer's objects, starts the sound engine with the game's
// banks and creates the first scene; EngineShutdown releases what EngineInit and the game created
// (sprite sources, timers, meshes, scenes, the sound engine, the off-screen framebuffer).
#pragma once

// Mute toggles on the key '0'; full screen toggles on the key '['.
constexpr int kMuteKey = 48;
constexpr int kFullscreenKey = 91;

// The scene shown first, active at start-up.
constexpr const char* kFirstSceneName = "SplashScreen";

// Start-up after the window and its context exist: the renderer, the sound engine and the game's
// banks (a failing sound step is reported and the game goes on, silently where the engine could
// not start), then the first scene (read from "./Assets/Spaces/SplashScreen.json"; a missing or
// malformed file stops the program).
void EngineInit();

// One simulation step of dt seconds: fades, the input poll, the mute key (both volume game
// parameters to 0, or back to the saved levels), the close of the frame's sound requests, timers,
// the screen flow and the active scenes (SceneManager::Update), the full-screen key.
void EngineUpdate(float dt);

// Draws one frame and presents it: RenderFrame, then the swap.
void EngineRender();

// The two passes of a frame, into the window's back buffer, without presenting it (tests read the
// back buffer after it).
void RenderFrame();

// Releases everything EngineInit and the game created: sprite sources, timers, meshes, every scene
// and its objects, the sound engine (after the scenes, whose sound objects it unregisters), the
// off-screen framebuffer.
void EngineShutdown();
