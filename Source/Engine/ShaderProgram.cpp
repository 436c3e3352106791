#include "Engine/Assertion.h"
#include "Engine/TEResources.h"

#include <array>
#include <cstddef>
#include <glad/gl.h>

namespace TEResources
{
namespace
{
constexpr const char* kSourceName = "Source/TEResources";
// Enough of a compiler's or linker's log to say what is wrong, without flooding the terminal.
constexpr GLsizei kLogBytes = 1024;

std::string ShaderLog(GLuint shader)
{
    std::array<GLchar, kLogBytes> log{};
    GLsizei length = 0;
    glGetShaderInfoLog(shader, kLogBytes, &length, log.data());
    return std::string(log.data(), static_cast<std::size_t>(length));
}

std::string ProgramLog(GLuint program)
{
    std::array<GLchar, kLogBytes> log{};
    GLsizei length = 0;
    glGetProgramInfoLog(program, kLogBytes, &length, log.data());
    return std::string(log.data(), static_cast<std::size_t>(length));
}

// Compiles one stage from a file. Returns the shader, or 0 after reporting the failure; a failed
// shader object is deleted, since nothing can use it.
GLuint CompileStage(GLenum stage, const char* stageName, const std::string& path)
{
    const std::string source = ReadTextFile(path);
    const GLuint shader = glCreateShader(stage);
    const GLchar* text = source.data();
    const GLint length = static_cast<GLint>(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE)
    {
        return shader;
    }
    const std::string why = source.empty() ? "the file is missing or empty" : "it does not compile";
    trindle::ReportAssertion("false", kSourceName,
                             std::string(stageName) + " shader \"" + path + "\": " + why + ": " +
                                 ShaderLog(shader));
    glDeleteShader(shader);
    return 0;
}
} // namespace

bool CreateShaderProgram(unsigned& program, const std::string& vertexPath, const std::string& fragmentPath)
{
    const GLuint vertexShader = CompileStage(GL_VERTEX_SHADER, "vertex", vertexPath);
    if (vertexShader == 0)
    {
        return false;
    }
    const GLuint fragmentShader = CompileStage(GL_FRAGMENT_SHADER, "fragment", fragmentPath);
    if (fragmentShader == 0)
    {
        glDeleteShader(vertexShader);
        return false;
    }
    const GLuint linked = glCreateProgram();
    glAttachShader(linked, vertexShader);
    glAttachShader(linked, fragmentShader);
    glLinkProgram(linked);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    GLint status = GL_FALSE;
    glGetProgramiv(linked, GL_LINK_STATUS, &status);
    if (status != GL_TRUE)
    {
        trindle::ReportAssertion("false", kSourceName,
                                 "shader program of \"" + vertexPath + "\" and \"" + fragmentPath +
                                     "\" does not link: " + ProgramLog(linked));
        glDeleteProgram(linked);
        return false;
    }
    program = linked;
    return true;
}
} // namespace TEResources
