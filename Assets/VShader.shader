#version 330 core
// Sprite program, vertex stage: places a mesh vertex in the world and picks the frame's rectangle
// of the sprite sheet.
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 texCoord;
layout(location = 2) in vec4 color;

uniform mat4 projection;
uniform mat4 view;
uniform mat4 world;
// Corner and size of the frame's rectangle in texture coordinates.
uniform vec2 u_v;
uniform vec2 u_v_size;

out vec2 frameTexCoord;
out vec4 vertexColor;

void main()
{
    gl_Position = projection * view * world * vec4(position, 0.0, 1.0);
    frameTexCoord = u_v + texCoord * u_v_size;
    vertexColor = color;
}
