#include "Engine/Camera.h"

#include "Engine/Renderer.h"

#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

namespace Camera
{
void Set(GLFWwindow* window, int width, int height)
{
    glfwSetWindowAspectRatio(window, kAspectNumerator, kAspectDenominator);

    const glm::mat4 view =
        glm::lookAt(glm::vec3(0.0f, 0.0f, 1.0f), glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f));
    // The reference screen, not the window: a window smaller than 1920 x 1080 would otherwise cut
    // off the edges of the picture, and a larger one would show it small in a dark frame, while
    // the mouse areas are scaled to the window.
    const float halfWidth = kReferenceWidth * 0.5f;
    const float halfHeight = kReferenceHeight * 0.5f;
    const glm::mat4 projection = glm::ortho(-halfWidth, halfWidth, -halfHeight, halfHeight, -1.0f, 1.0f);

    const float scaleX = static_cast<float>(width) / kReferenceWidth;
    const float scaleY = static_cast<float>(height) / kReferenceHeight;
    Renderer::objects.viewportMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, 1.0f)) *
                                       glm::rotate(glm::mat4(1.0f), 0.0f, glm::vec3(0.0f, 0.0f, 1.0f)) *
                                       glm::scale(glm::mat4(1.0f), glm::vec3(scaleX, scaleY, 1.0f));

    const GLuint program = Renderer::objects.spriteProgram;
    glUseProgram(program);
    glUniformMatrix4fv(glGetUniformLocation(program, "projection"), 1, GL_FALSE, glm::value_ptr(projection));
    glUniformMatrix4fv(glGetUniformLocation(program, "view"), 1, GL_FALSE, glm::value_ptr(view));
    glUseProgram(0);
}
} // namespace Camera
