// The whole program: sticky-keys shortcut off, window and context, engine start-up, the frame loop
// until the window closes, shutdown, window closed, sticky keys restored.
//
// Threading: main thread. Ownership: everything the program makes is released before it returns.
#pragma once

// Exit code when the window, its context or the OpenGL loader cannot be set up.
constexpr int kExitNoWindow = 1;

// Returns 0 after a normal shutdown, kExitNoWindow (after printing why) when the window could not
// be opened; the engine is then never started.
int RunGame();
