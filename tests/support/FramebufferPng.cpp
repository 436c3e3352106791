#include "support/FramebufferPng.h"

#include <glad/gl.h>
#include <stb_image_write.h>

#include <vector>

namespace kp::test
{
std::string WriteFramebufferPng(const std::string& name, int width, int height)
{
    constexpr int kChannels = 4;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * kChannels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());

    // OpenGL's rows run bottom to top; PNG's run top to bottom.
    stbi_flip_vertically_on_write(1);
    const std::string path = std::string(KP_TEST_OUTPUT_DIR) + "/" + name + ".png";
    const int written = stbi_write_png(path.c_str(), width, height, kChannels, pixels.data(), width * kChannels);
    return written != 0 ? path : std::string();
}
} // namespace kp::test
