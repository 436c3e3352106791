// Writes a small PNG for a test to load. stb_image_write keeps its row order in a global that the
// framebuffer PNG helper turns to bottom-up; images written here are always top row first.
#pragma once

#include <stb_image_write.h>
#include <string>

namespace kp::test
{
inline bool WritePngTopRowFirst(const std::string& path, int width, int height, int channels,
                                const unsigned char* pixels)
{
    stbi_flip_vertically_on_write(0);
    return stbi_write_png(path.c_str(), width, height, channels, pixels, width * channels) != 0;
}
} // namespace kp::test
