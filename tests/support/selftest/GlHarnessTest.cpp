// Proves that the test machine can open a window with an OpenGL 3.3 core context and read back
// what it drew.
#include "support/FramebufferPng.h"
#include "support/GlContext.h"

#include <glad/gl.h>
#include <gtest/gtest.h>

#include <array>

TEST(GlHarness, ClearedPixelReadsBack)
{
    constexpr int kSize = 64;
    kp::test::GlContext context(kSize, kSize);
    ASSERT_TRUE(context.IsReady()) << context.Error();

    GLint major = 0;
    GLint minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    EXPECT_GE(major * 10 + minor, 33);

    glViewport(0, 0, kSize, kSize);
    glClearColor(1.0f, 0.5f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();

    std::array<unsigned char, 4> pixel{};
    glReadPixels(kSize / 2, kSize / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    EXPECT_EQ(pixel[0], 255);
    EXPECT_NEAR(pixel[1], 128, 1);
    EXPECT_EQ(pixel[2], 0);
    EXPECT_EQ(pixel[3], 255);
    EXPECT_FALSE(kp::test::WriteFramebufferPng("gl_harness_clear", kSize, kSize).empty());
}
