#include "tkal/sdl/SDL_Image.h"

#include "tests/common/Surfaces.h"

#include <gtest/gtest.h>

using testsurf::Owned;
using TKAL::SDL_Image;
using TKAL::SDL_ImageList;

namespace {

class SDL_ImageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0); }
    void TearDown() override { SDL_Quit(); }
};

} // namespace

TEST_F(SDL_ImageTest, CornerKeyReadsTheTopLeftPixelAtEveryDepth) {
    for (int bpp : {8, 16, 24, 32}) {
        SCOPED_TRACE(bpp);
        Owned s(SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, bpp, 0, 0, 0, 0));
        ASSERT_NE(s.s, nullptr);
        Uint32 corner = bpp == 8 ? 7u : SDL_MapRGB(s->format, 0x20, 0x40, 0x80);
        testsurf::put(s, 0, 0, corner);
        testsurf::put(s, 1, 0, bpp == 8 ? 9u : SDL_MapRGB(s->format, 0xFF, 0, 0));
        SDL_Image image(s);
        image.setCornerKey(true);
        EXPECT_TRUE(s->flags & SDL_SRCCOLORKEY);
        EXPECT_EQ(s->format->colorkey, corner);
        image.setCornerKey(false);
        EXPECT_FALSE(s->flags & SDL_SRCCOLORKEY);
    }
}

TEST_F(SDL_ImageTest, KeyAndAlphaChangeTheSharedSurface) {
    Owned s(testsurf::make32(4, 4));
    SDL_Image a(s);
    SDL_Image b(s, TKAL::Rect{1, 1, 2, 2});
    a.setColorKey(1, 2, 3);
    EXPECT_EQ(s->format->colorkey, 0x010203u);
    b.setAlpha(128);
    EXPECT_TRUE(s->flags & SDL_SRCALPHA);
    EXPECT_EQ(s->format->alpha, 128);
    b.setAlpha(-1);
    EXPECT_FALSE(s->flags & SDL_SRCALPHA);
    SDL_Image none(nullptr); // a null surface makes these do nothing
    none.setCornerKey(true);
    none.setAlpha(3);
    none.setColorKey(0, 0, 0);
}

TEST_F(SDL_ImageTest, GridsCutWholeCellsRowByRow) {
    Owned s(testsurf::make32(100, 30));
    SDL_ImageList list;
    EXPECT_EQ(list.addGrid(s, 32, 30, 1, 2, false), 3u);
    int w = 0, h = 0;
    list.get(2)->getSize(w, h);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(static_cast<SDL_Image*>(list.get(2))->rect().x, 64);
    EXPECT_EQ(static_cast<SDL_Image*>(list.get(0))->hotY(), 2);
    EXPECT_EQ(list.get(3), nullptr);
    EXPECT_EQ(list.get(static_cast<unsigned>(-1)), nullptr);

    SDL_ImageList whole;
    EXPECT_EQ(whole.addGrid(s, 0, 0, 0, 0, false), 1u);
    whole.get(0)->getSize(w, h);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 30);

    Owned grid(testsurf::make32(20, 20));
    testsurf::put(grid, 0, 0, 0x00FF00);
    SDL_ImageList cells;
    EXPECT_EQ(cells.addGrid(grid, 10, 10, 0, 0, true), 4u);
    EXPECT_EQ(static_cast<SDL_Image*>(cells.get(2))->rect().y, 10); // second row
    EXPECT_EQ(grid->format->colorkey, 0x00FF00u);
    EXPECT_EQ(cells.addGrid(grid, 30, 10, 0, 0, false), 4u); // cell wider than the surface
}
