// The engine started in a test's window as the program starts it: the window and its size in the
// engine's globals, the viewport, the blending the program's start-up sets, the input read from a
// test's device, then the engine's own start-up; and taken down again, leaving nothing behind for
// the next test. The sound engine (unless the test installs a GameSound double) plays into an
// empty virtual audio system, as on a machine without a sound card: nothing reaches the machine's
// speakers.
#pragma once

#include "Engine/Engine.h"
#include "Engine/EngineGlobals.h"
#include "Engine/Input.h"
#include "Engine/InputDevice.h"
#include "Engine/Renderer.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <glad/gl.h>

namespace kp::test
{
inline ZK::Platform::VirtualAudioSystem& NoSoundCard()
{
    static ZK::Platform::VirtualAudioSystem system;
    return system;
}

// `audio` is where the sound engine plays (the machine's sound system is never reached).
inline void StartEngine(GLFWwindow* testWindow, int width, int height, trindle::InputDevice& device,
                        ZK::Platform::IEndpointProvider* audio = &NoSoundCard())
{
    window = testWindow;
    windowWidth = static_cast<float>(width);
    windowHeight = static_cast<float>(height);
    glViewport(0, 0, width, height);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    Input::ClearState();
    Input::SetDevice(&device);
    ZK::Platform::InstallEndpointProvider(audio);
    EngineInit();
}

inline void StopEngine()
{
    EngineShutdown();
    ZK::Platform::InstallEndpointProvider(nullptr);
    Input::SetDevice(nullptr);
    Input::ClearState();
    Renderer::objects = Renderer::Objects{};
    window = nullptr;
    windowWidth = 0;
    windowHeight = 0;
}
} // namespace kp::test
