#include "tkal/sdl/SDL_Display.h"

#include "tests/common/Surfaces.h"

#include <gtest/gtest.h>

namespace {

class SDL_DisplayTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError(); }
    void TearDown() override { SDL_Quit(); }
    TKAL::SDL_Display display;
};

} // namespace

TEST_F(SDL_DisplayTest, WindowModeIsDoubleBufferedAndNotFullScreen) {
    ASSERT_TRUE(display.open(800, 600, 0, TKAL::Display::Centred));
    EXPECT_FALSE(display.fullscreen());
    EXPECT_EQ(display.sdlFlags(), Uint32(SDL_HWSURFACE | SDL_DOUBLEBUF));
    EXPECT_EQ(display.screenRect().w, 800);
    EXPECT_EQ(display.screenRect().h, 600);
}

TEST_F(SDL_DisplayTest, NonZeroDepthAsksForFullScreenAndOptionsMapToFlags) {
    ASSERT_TRUE(display.open(320, 200, 8, TKAL::Display::Borderless | TKAL::Display::Resizable));
    EXPECT_TRUE(display.fullscreen());
    EXPECT_EQ(display.sdlFlags(),
              Uint32(SDL_HWSURFACE | SDL_DOUBLEBUF | SDL_FULLSCREEN | SDL_NOFRAME | SDL_RESIZABLE));
}

TEST_F(SDL_DisplayTest, AttachAdoptsTheExistingSurface) {
    int w = 0, h = 0, bpp = -1;
    EXPECT_FALSE(display.attach(w, h, bpp));
    ASSERT_NE(SDL_SetVideoMode(100, 80, 0, 0), nullptr);
    ASSERT_TRUE(display.attach(w, h, bpp));
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 80);
    EXPECT_EQ(bpp, SDL_GetVideoSurface()->format->BitsPerPixel);
    EXPECT_FALSE(display.fullscreen());
}

TEST_F(SDL_DisplayTest, ResizeKeepsDepthAndFlags) {
    ASSERT_TRUE(display.open(100, 100, 0, 0));
    ASSERT_TRUE(display.resize(150, 120));
    EXPECT_EQ(display.screenRect().w, 150);
    EXPECT_EQ(display.screenRect().h, 120);
    EXPECT_EQ(display.screen()->w, 150);
}

TEST_F(SDL_DisplayTest, ClearPaintsTheWholeScreenWhateverTheClip) {
    ASSERT_TRUE(display.open(40, 30, 0, 0));
    TKAL::Rect corner{0, 0, 4, 4};
    display.setClip(&corner);
    display.clear(7);
    EXPECT_EQ(testsurf::at(display.screen(), 39, 29), 7u);
    EXPECT_EQ(testsurf::at(display.screen(), 0, 0), 7u);
    display.update(nullptr);
    display.flip();
}

TEST_F(SDL_DisplayTest, CloseAndReopenRestoreTheMode) {
    ASSERT_TRUE(display.open(64, 48, 0, 0));
    display.close();
    EXPECT_EQ(SDL_GetVideoSurface(), nullptr);
    ASSERT_TRUE(display.reopen());
    EXPECT_EQ(display.screen()->w, 64);
    EXPECT_EQ(display.screen()->h, 48);
}
