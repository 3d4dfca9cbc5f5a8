#include "platform/HardwareSources.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Glsl, VersionTextsAndTheShaderModelAtEachBoundary) {
    int major = -1;
    int minor = -1;
    EXPECT_TRUE(parseGlslVersion("4.50", major, minor));
    EXPECT_EQ(major * 100 + minor, 450);
    EXPECT_TRUE(parseGlslVersion("1.20 NVIDIA via Cg compiler", major, minor));
    EXPECT_EQ(major * 100 + minor, 120);
    EXPECT_TRUE(parseGlslVersion("OpenGL ES GLSL ES 3.20", major, minor));
    EXPECT_EQ(major * 100 + minor, 320);
    EXPECT_TRUE(parseGlslVersion("4.6", major, minor));
    EXPECT_EQ(major * 100 + minor, 460);
    EXPECT_FALSE(parseGlslVersion("", major, minor));
    EXPECT_FALSE(parseGlslVersion("version 4", major, minor));

    EXPECT_EQ(shaderMajorForGlsl(4, 60), 5);
    EXPECT_EQ(shaderMajorForGlsl(4, 0), 5);
    EXPECT_EQ(shaderMajorForGlsl(3, 30), 4);
    EXPECT_EQ(shaderMajorForGlsl(1, 50), 4);
    EXPECT_EQ(shaderMajorForGlsl(1, 40), 3);
    EXPECT_EQ(shaderMajorForGlsl(1, 20), 3);
    EXPECT_EQ(shaderMajorForGlsl(1, 10), 2);
    EXPECT_EQ(shaderMajorForGlsl(1, 0), 0);
    EXPECT_EQ(shaderMajorForGlsl(0, 0), 0);
}
