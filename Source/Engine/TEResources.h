// Small routines that turn files into OpenGL objects: reading a whole text file, building a
// shader program from two GLSL files, creating an empty render texture, loading an image into a
// texture, and creating the vertex array and buffer of a mesh.
//
// Failures that the game survives (a shader that does not compile or link, an image that does not
// decode) are reported through ReportAssertion with the file's name and go on, as each routine
// says.
//
// Threading: main thread, with the window's OpenGL context current.
// Ownership: every id handed out belongs to the caller, who deletes it (or leaves it to the
// context's end).
#pragma once

#include <string>

namespace TEResources
{
// A 2-D mesh vertex as the sprite program reads it: position, texture coordinate, colour.
struct MeshVertex
{
    float x, y;
    float u, v;
    float r, g, b, a;
};
static_assert(sizeof(MeshVertex) == 32, "the mesh vertex layout is 32 bytes");

// The whole file; an empty string when it cannot be opened.
std::string ReadTextFile(const std::string& path);

// Compiles the two files and links them. On success returns true and stores the program in
// `program`. On failure reports the assertion "false" with the file and the compiler's or linker's
// log, leaves `program` unchanged and returns false; a failing vertex shader stops before the
// fragment shader is read.
bool CreateShaderProgram(unsigned& program, const std::string& vertexPath, const std::string& fragmentPath);

// A new RGB, 8-bit, linearly filtered texture of width x height without data, left bound.
void CreateEmptyTexture(unsigned& texture, int width, int height);

// A new RGBA texture holding the decoded PNG image (linear filtering, mirrored repeat), with width
// and height set to the image's size. When the image cannot be opened or decoded, is not a PNG, or
// is larger than a texture may be (PngImage.h), the texture is still created, width and height
// keep the caller's values, the failure is reported naming the file and what is wrong with it,
// and the texture holds one opaque magenta texel so the fault shows on screen.
void LoadTexture(unsigned& texture, const std::string& path, int& width, int& height);

// Vertex array and buffer of `count` vertices: attribute 0 position, 1 texture coordinate,
// 2 colour, 32-byte stride, static draw.
void CreateMeshBuffers(unsigned& vertexArray, unsigned& buffer, const MeshVertex* vertices, int count);
} // namespace TEResources
