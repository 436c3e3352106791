#version 330 core
// Viewport program, vertex stage: the full-screen quad. The off-screen image is always the size of
// the window, so the quad covers the whole window as it is; the "world" matrix the engine sets
// (scaled for the window's size at start-up) is not needed for that and is left unused.
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 texCoord;

out vec2 imageTexCoord;

void main()
{
    gl_Position = vec4(position, 0.0, 1.0);
    imageTexCoord = texCoord;
}
