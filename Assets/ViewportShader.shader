#version 330 core
// Viewport program, vertex stage: the full-screen quad. The off-screen image is the size of the
// window and already holds the whole picture scaled to it (the sprite program's projection spans
// the 1920 x 1080 reference screen), so the quad covers the window one texel to one pixel. The
// "world" matrix the engine sets (the window's scale from the reference at start-up) would scale
// the picture a second time: it is left unused.
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 texCoord;

out vec2 imageTexCoord;

void main()
{
    gl_Position = vec4(position, 0.0, 1.0);
    imageTexCoord = texCoord;
}
