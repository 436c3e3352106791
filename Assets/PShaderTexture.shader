#version 330 core
// Sprite program, fragment stage: the sheet's texel, tinted by the vertex colour and the sprite's
// colour (its alpha fades the sprite).
in vec2 frameTexCoord;
in vec4 vertexColor;

uniform sampler2D spriteTexture;
uniform vec4 colorVal;

out vec4 fragColor;

void main()
{
    fragColor = texture(spriteTexture, frameTexCoord) * vertexColor * colorVal;
}
