#include "Engine/SpriteSource.h"

#include "Engine/Assertion.h"
#include "Engine/TEResources.h"

#include <glad/gl.h>

SpriteSource::~SpriteSource()
{
    if (texture != 0)
    {
        glDeleteTextures(1, &texture);
    }
}

void SpriteSource::Load(const std::string& jsonPath)
{
    SpriteSource read;
    TEResources::ReadSpriteSourceFile(read, jsonPath);
    TEResources::LoadTexture(texture, read.path, width, height);
    if (texture == 0)
    {
        trindle::ReportAssertion("false", "Source/SpriteSource",
                                 "no texture could be created for \"" + read.path + "\"");
    }
    name = std::move(read.name);
    path = std::move(read.path);
    numRows = read.numRows;
    numCols = read.numCols;
}
