// The engine's start-up, per-frame steps and shutdown, run by the program between opening and
// closing the window.
//
// Threading: main thread, with the window's context current.
// Ownership: EngineInit creates the renderer's objects; EngineShutdown releases what EngineInit and
// the game created (sprite sources, timers, meshes, the off-screen framebuffer).
#pragma once

// Mute toggles on the key '0'; full screen toggles on the key '['.
constexpr int kMuteKey = 48;
constexpr int kFullscreenKey = 91;

// Start-up after the window and its context exist: the renderer.
void EngineInit();

// One simulation step of dt seconds: fades, the input poll, the mute key, timers, the full-screen
// key.
void EngineUpdate(float dt);

// Draws one frame and presents it: RenderFrame, then the swap.
void EngineRender();

// The two passes of a frame, into the window's back buffer, without presenting it (tests read the
// back buffer after it).
void RenderFrame();

// Releases everything EngineInit and the game created.
void EngineShutdown();
