// Writes what the bound read framebuffer holds to a PNG file in the build tree, so that a person
// can look at what a test drew. Returns the path written, or an empty string on failure.
#pragma once

#include <string>

namespace kp::test
{
std::string WriteFramebufferPng(const std::string& name, int width, int height);
} // namespace kp::test
