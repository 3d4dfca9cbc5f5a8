#include "tkal/sdl/SDL_Canvas.h"

#include "tests/common/Surfaces.h"
#include "tkal/sdl/SDL_Display.h"
#include "tkal/sdl/SDL_Image.h"

#include <gtest/gtest.h>

using testsurf::at;
using testsurf::make32;
using testsurf::Owned;
using TKAL::Rect;
using TKAL::SDL_Canvas;
using TKAL::SDL_Image;

namespace {

class SDL_CanvasTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0); }
    void TearDown() override { SDL_Quit(); }
};

// An image kind the SDL canvas does not know.
class ForeignImage : public TKAL::Image {
public:
    void placeRect(int, int, Rect&) const override {}
    void getSize(int& w, int& h) const override { w = h = 10; }
    void setCornerKey(bool) override {}
    void setColorKey(uint8_t, uint8_t, uint8_t) override {}
    void setAlpha(int) override {}
    void setHotSpot(int, int) override {}
};

} // namespace

TEST_F(SDL_CanvasTest, NewCanvasIsClippedToItsRectangleWithOriginAtItsCorner) {
    Owned s(make32(100, 100));
    SDL_Canvas canvas(s, Rect{10, 20, 30, 40});
    int x = 0, y = 0;
    canvas.getOrigin(x, y);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    canvas.fill(0xFF0000);
    EXPECT_EQ(at(s, 10, 20), 0xFF0000u);
    EXPECT_EQ(at(s, 39, 59), 0xFF0000u);
    EXPECT_EQ(at(s, 40, 59), 0u);
    EXPECT_EQ(at(s, 9, 20), 0u);
    Rect local;
    canvas.getClip(local);
    EXPECT_EQ(local.x, 0);
    EXPECT_EQ(local.y, 0);
    EXPECT_EQ(local.w, 30);
    // Drawing is in local coordinates.
    canvas.fillRect(0, 0, 2, 2, 0x00FF00);
    EXPECT_EQ(at(s, 11, 21), 0x00FF00u);
    // The creation depth is 1: popping once returns to the canvas's own area.
    canvas.translate(5, 5);
    canvas.setClip(Rect{0, 0, 1, 1});
    EXPECT_TRUE(canvas.popClip());
    EXPECT_TRUE(canvas.popOrigin());
    canvas.getOrigin(x, y);
    EXPECT_EQ(x, 10);
    EXPECT_FALSE(canvas.popClip());
    EXPECT_FALSE(canvas.popOrigin());
}

TEST_F(SDL_CanvasTest, SetClipReplacesTheClipEvenWhenLargerAndStaysInsideTheSurface) {
    Owned s(make32(50, 50));
    SDL_Canvas canvas(s, Rect{0, 0, 50, 50});
    canvas.begin(Rect{10, 10, 5, 5});
    canvas.setClip(Rect{-10, -10, 40, 40}); // local, relative to the origin (10, 10)
    Rect clip = canvas.absoluteClip();
    EXPECT_EQ(clip.x, 0);
    EXPECT_EQ(clip.y, 0);
    EXPECT_EQ(clip.w, 40);
    EXPECT_EQ(clip.h, 40);
    canvas.begin(Rect{40, 40, 100, 100});
    clip = canvas.absoluteClip();
    EXPECT_EQ(clip.w, 10); // cut to the surface
    canvas.fill(0x0000FF);
    EXPECT_EQ(at(s, 49, 49), 0x0000FFu);
    EXPECT_EQ(at(s, 39, 39), 0u);
}

TEST_F(SDL_CanvasTest, StacksRefuseBeyondTheirDepth) {
    Owned s(make32(8, 8));
    SDL_Canvas canvas(s, Rect{0, 0, 8, 8});
    int clips = 0;
    while (canvas.pushClip())
        ++clips;
    EXPECT_EQ(clips, 15); // one saved at creation
    int origins = 0;
    while (canvas.pushOrigin())
        ++origins;
    EXPECT_EQ(origins, 31);
}

TEST_F(SDL_CanvasTest, DeferredImagesAreDrawnLargestDepthFirstAtFlushTimeOrigin) {
    Owned s(make32(60, 60));
    Owned red(make32(30, 30, 0xFF0000)), green(make32(20, 20, 0x00FF00)), blue(make32(10, 10, 0x0000FF));
    SDL_Image r(red), g(green), b(blue);
    SDL_Canvas canvas(s, Rect{0, 0, 60, 60});
    EXPECT_FALSE(canvas.setDeferred(true));
    canvas.drawImage(0, 0, 5, &r);
    canvas.drawImage(0, 0, 1, &b);
    canvas.drawImage(0, 0, 3, &g);
    EXPECT_EQ(at(s, 5, 5), 0u); // nothing yet
    canvas.translate(10, 10);
    EXPECT_TRUE(canvas.setDeferred(false)); // flushes
    EXPECT_EQ(at(s, 15, 15), 0x0000FFu);
    EXPECT_EQ(at(s, 25, 25), 0x00FF00u);
    EXPECT_EQ(at(s, 35, 35), 0xFF0000u);
    EXPECT_EQ(at(s, 5, 5), 0u);
}

TEST_F(SDL_CanvasTest, DrawImageHonoursHotSpotAndCullsOutsideTheClip) {
    Owned s(make32(40, 40));
    Owned dot(make32(4, 4, 0xABCDEF));
    SDL_Image image(dot);
    image.setHotSpot(2, 2);
    Rect placed;
    image.placeRect(10, 10, placed);
    EXPECT_EQ(placed.x, 8);
    EXPECT_EQ(placed.w, 4);
    SDL_Canvas canvas(s, Rect{0, 0, 40, 40});
    canvas.drawImage(10, 10, 0, &image);
    EXPECT_EQ(at(s, 8, 8), 0xABCDEFu);
    EXPECT_EQ(at(s, 11, 11), 0xABCDEFu);
    EXPECT_EQ(at(s, 12, 12), 0u);
    ForeignImage foreign;
    canvas.drawImage(20, 20, 0, &foreign); // a wrong kind draws nothing
    canvas.drawImage(20, 20, 0, nullptr);
    EXPECT_EQ(at(s, 20, 20), 0u);
}

TEST_F(SDL_CanvasTest, OutlineBandsOrAWholeFill) {
    Owned s(make32(60, 60));
    SDL_Canvas canvas(s, Rect{0, 0, 60, 60});
    canvas.drawOutline(0, 0, 5, 40, 3, 0x111111); // 2t >= w: everything
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(at(s, x, y), 0x111111u) << x << "," << y;

    canvas.drawOutline(10, 10, 20, 20, 2, 0x222222);
    EXPECT_EQ(at(s, 10, 10), 0x222222u);
    EXPECT_EQ(at(s, 29, 29), 0x222222u);
    EXPECT_EQ(at(s, 11, 20), 0x222222u);
    EXPECT_EQ(at(s, 12, 20), 0u); // inside stays
    EXPECT_EQ(at(s, 20, 12), 0u);

    testsurf::paint(s, 40, 0, 20, 20, 0x333333);
    canvas.drawOutline(40, 0, 20, 20, 2, 0); // pixel 0 draws no bands
    EXPECT_EQ(at(s, 40, 0), 0x333333u);
    canvas.drawOutline(40, 0, 20, 20, 0, 0x444444); // no thickness
    EXPECT_EQ(at(s, 40, 0), 0x333333u);
}

TEST_F(SDL_CanvasTest, BandFramesAndMappingUseTheSurfaceFormat) {
    Owned s(make32(20, 20));
    Owned strip(make32(30, 10, 0));
    testsurf::paint(strip, 10, 0, 10, 10, 0x00AA00);
    TKAL::SDL_ImageBand band(10, 10);
    band.add({strip, 0, 0});
    band.add({strip, 10, 0});
    band.add({nullptr, 0, 0});
    SDL_Canvas canvas(s, Rect{0, 0, 20, 20});
    canvas.drawBandFrame(5, 5, &band, 1);
    EXPECT_EQ(at(s, 5, 5), 0x00AA00u);
    EXPECT_EQ(at(s, 14, 14), 0x00AA00u);
    canvas.drawBandFrame(0, 0, &band, 2); // null surface
    canvas.drawBandFrame(0, 0, &band, 3); // out of range
    canvas.drawBandFrame(0, 0, &band, -1);
    EXPECT_EQ(at(s, 0, 0), 0u);
    EXPECT_EQ(canvas.mapRGB(0x123456), 0x123456u);
}

TEST_F(SDL_CanvasTest, DisplayMakesImageCanvasesAndSubImages) {
    TKAL::SDL_Display display;
    Owned s(make32(50, 40));
    SDL_Image whole(s);
    auto canvas = display.createImageCanvas(&whole, Rect{0, 0, 50, 40});
    ASSERT_NE(canvas, nullptr);
    canvas->fill(0x010203);
    EXPECT_EQ(at(s, 49, 39), 0x010203u);
    ForeignImage foreign;
    EXPECT_EQ(display.createImageCanvas(&foreign, Rect{0, 0, 1, 1}), nullptr);

    Rect part{40, 30, 20, 20};
    auto sub = display.createSubImage(&whole, &part);
    ASSERT_NE(sub, nullptr);
    int w = 0, h = 0;
    sub->getSize(w, h);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 10);
    EXPECT_EQ(static_cast<SDL_Image*>(sub.get())->surface(), s.s);
    auto copy = display.createSubImage(&whole, nullptr);
    copy->getSize(w, h);
    EXPECT_EQ(w, 50);
}

TEST_F(SDL_CanvasTest, ScreenCanvasFollowsTheVideoSurfaceAcrossModeChanges) {
    TKAL::SDL_Display display;
    ASSERT_TRUE(display.open(40, 30, 0, 0));
    auto canvas = display.createScreenCanvas(Rect{0, 0, 200, 200});
    ASSERT_NE(canvas, nullptr);
    ASSERT_TRUE(display.resize(80, 60));
    canvas->begin(Rect{0, 0, 200, 200});
    canvas->fill(canvas->mapRGB(0xFFFFFF));
    Rect clip;
    canvas->getClip(clip);
    EXPECT_EQ(clip.w, 80);
    EXPECT_EQ(clip.h, 60);
    display.close();
    canvas->fill(1); // no screen: nothing, and no crash
}
