#version 330 core
// Viewport program, fragment stage: shows the off-screen image. "editorToggle" is the centre of
// the image in texture coordinates; (0.5, 0.5) shows it unmoved.
in vec2 imageTexCoord;

uniform sampler2D viewportTextureID;
uniform vec2 editorToggle;

out vec4 fragColor;

void main()
{
    vec2 shift = editorToggle - vec2(0.5);
    fragColor = vec4(texture(viewportTextureID, imageTexCoord + shift).rgb, 1.0);
}
