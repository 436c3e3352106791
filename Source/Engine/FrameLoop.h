// The frame loop of the program: each frame takes its time step from glfwGetTime, reads the
// window's size, updates, renders and polls window events, and every 0.11 s of frames it stores
// the frame count times 10 as the frames-per-second value and gives the window the game's title.
// The loop never sleeps and swaps without vertical sync.
//
// Threading: main thread. Ownership: none; the loop reads and writes the globals of
// EngineGlobals.h.
#pragma once

// Length of one frames-per-second measuring window, in seconds.
constexpr double kFrameRateWindowSeconds = 0.11;
// The measuring window is a tenth of a second long in spirit: its frame count times this is the
// frames-per-second value (not frames divided by the measured time).
constexpr int kFrameRateScale = 10;

// Counts frames and their time steps for the frames-per-second value.
class FrameRateMeter
{
public:
    // Adds one frame of dt seconds. When the measuring window is full (the float sum, widened to
    // double, is >= 0.11) it writes `framesPerSecond`, starts a new window and returns true.
    bool AddFrame(float dt);

    int FramesInWindow() const { return m_frames; }

private:
    int m_frames = 0;
    float m_accumulated = 0.0f;
};

class FrameLoop
{
public:
    // One frame: time step, window size, EngineUpdate, EngineRender, glfwPollEvents, the meter.
    void RunFrame();
    // Frames until the window is asked to close (tested before every frame).
    void Run();

    const FrameRateMeter& Meter() const { return m_meter; }

private:
    FrameRateMeter m_meter;
};
