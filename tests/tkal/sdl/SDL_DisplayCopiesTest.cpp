#include "tkal/sdl/SDL_DisplayCopies.h"

#include "props/RCacheS.h"
#include "tests/common/Surfaces.h"
#include "tests/common/TempDir.h"
#include "tkal/sdl/SDL_Canvas.h"
#include "tkal/sdl/SDL_Display.h"
#include "tkal/sdl/SDL_Image.h"
#include "tkal/sdl/SDL_Loaders.h"

#include <gtest/gtest.h>

#include <memory>

using testsurf::at;
using testsurf::make32;
using testsurf::Owned;
using testsurf::put;
using TKAL::SDL_DisplayCopies;

namespace {

// A surface in the byte order image files load with (red in the low byte),
// with an alpha channel when `alpha` is set, filled with a pattern of
// colours and (with alpha) every kind of coverage.
SDL_Surface* makeFileLike(int w, int h, bool alpha) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, alpha ? 32 : 24, 0x0000FF, 0x00FF00, 0xFF0000,
                                          alpha ? 0xFF000000u : 0u);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Uint8 a = static_cast<Uint8>(x * 255 / (w - 1));
            put(s, x, y, SDL_MapRGBA(s->format, Uint8(x * 37), Uint8(y * 53), Uint8(x * y), a));
        }
    return s;
}

// `from` blitted at (1, 1) onto a fresh "screen" of 0xRRGGBB pixels.
SDL_Surface* drawnOn(SDL_Surface* from, Uint32 background) {
    SDL_Surface* screen = make32(from->w + 2, from->h + 2, background);
    SDL_Rect at{1, 1, 0, 0};
    SDL_BlitSurface(from, nullptr, screen, &at);
    return screen;
}

// The number of pixels in which two 0xRRGGBB surfaces of the same size
// differ by more than `slack` in a channel.
int differences(SDL_Surface* a, SDL_Surface* b, int slack = 0) {
    int count = 0;
    for (int y = 0; y < a->h; ++y)
        for (int x = 0; x < a->w; ++x) {
            Uint32 pa = at(a, x, y);
            Uint32 pb = at(b, x, y);
            for (int shift = 0; shift < 24; shift += 8) {
                int da = static_cast<int>((pa >> shift) & 0xFF) - static_cast<int>((pb >> shift) & 0xFF);
                if (da > slack || da < -slack) {
                    ++count;
                    break;
                }
            }
        }
    return count;
}

} // namespace

TEST(SDL_DisplayCopies, ACopyInTheScreensFormatDrawsTheSamePixelsAndIsMadeOnce) {
    for (bool alpha : {true, false}) {
        SCOPED_TRACE(alpha ? "per-pixel alpha" : "opaque");
        SDL_DisplayCopies copies;
        Owned original(makeFileLike(16, 8, alpha));
        Owned screen(make32(4, 4));
        copies.adopt(original);

        SDL_Surface* copy = copies.forScreen(original, screen);
        ASSERT_NE(copy, original.s);
        EXPECT_EQ(copy->format->Rmask, 0xFF0000u);
        EXPECT_EQ(copy->format->Bmask, 0x0000FFu);
        EXPECT_EQ(copy->format->Amask, alpha ? 0xFF000000u : 0u);
        EXPECT_EQ(copies.forScreen(original, screen), copy) << "kept for the next frame";
        EXPECT_EQ(copies.copyCount(), 1u);

        Owned fromOriginal(drawnOn(original, 0x204060));
        Owned fromCopy(drawnOn(copy, 0x204060));
        // Blitters for different formats may round a blend apart by one.
        EXPECT_EQ(differences(fromOriginal, fromCopy, alpha ? 1 : 0), 0);
    }
}

TEST(SDL_DisplayCopies, ACopyIsMadeAgainWhenTheOriginalsKeyOrAlphaOrTheScreenChange) {
    SDL_DisplayCopies copies;
    Owned original(makeFileLike(16, 8, false));
    Owned screen(make32(4, 4));
    copies.adopt(original);
    copies.forScreen(original, screen);

    // Keyed by its corner, as the image operations key it.
    SDL_SetColorKey(original, SDL_SRCCOLORKEY, at(original, 0, 0));
    SDL_Surface* keyed = copies.forScreen(original, screen);
    {
        Owned fromOriginal(drawnOn(original, 0x204060));
        Owned fromCopy(drawnOn(keyed, 0x204060));
        EXPECT_EQ(at(fromCopy, 1, 1), 0x204060u) << "the keyed corner lets the background through";
        EXPECT_EQ(differences(fromOriginal, fromCopy), 0);
    }

    SDL_SetAlpha(original, SDL_SRCALPHA, 100);
    SDL_Surface* blended = copies.forScreen(original, screen);
    {
        Owned fromOriginal(drawnOn(original, 0xF0E0D0));
        Owned fromCopy(drawnOn(blended, 0xF0E0D0));
        EXPECT_EQ(differences(fromOriginal, fromCopy, 1), 0);
        EXPECT_NE(blended->flags & SDL_SRCALPHA, 0u);
        EXPECT_EQ(blended->format->alpha, 100);
    }

    SDL_SetColorKey(original, 0, 0);
    SDL_SetAlpha(original, 0, 255);
    Owned bgrScreen(SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0x0000FF, 0x00FF00, 0xFF0000, 0));
    SDL_Surface* forOther = copies.forScreen(original, bgrScreen);
    EXPECT_EQ(forOther->format->Rmask, 0x0000FFu) << "a screen of another format gets its own";
    EXPECT_EQ(forOther->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA), 0u);
    EXPECT_EQ(copies.copyCount(), 1u) << "one copy per original, the stale one freed";
}

TEST(SDL_DisplayCopies, SomeSurfacesAreAlwaysDrawnAsTheyAre) {
    SDL_DisplayCopies copies;
    Owned screen(make32(4, 4));
    Owned stranger(makeFileLike(8, 8, true));
    EXPECT_EQ(copies.forScreen(stranger, screen), stranger.s) << "never adopted";

    Owned original(makeFileLike(8, 8, true));
    copies.adopt(original);
    Owned smallScreen(SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 8, 0, 0, 0, 0));
    EXPECT_EQ(copies.forScreen(original, smallScreen), original.s) << "a palette screen would lose colours";
    EXPECT_EQ(copies.copyCount(), 0u);

    Owned palette(SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 8, 0, 0, 0, 0));
    SDL_SetColorKey(palette, SDL_SRCCOLORKEY, 3);
    copies.adopt(palette);
    EXPECT_EQ(copies.forScreen(palette, screen), palette.s) << "a keyed palette image keys one index";

    ASSERT_NE(copies.forScreen(original, screen), original.s);
    copies.dropCopies();
    EXPECT_EQ(copies.copyCount(), 0u);
    EXPECT_NE(copies.forScreen(original, screen), original.s) << "still adopted after the screen closed";
    copies.forget(original);
    EXPECT_EQ(copies.copyCount(), 0u);
    EXPECT_EQ(copies.forScreen(original, screen), original.s);
}

namespace {

// The loader, a screen canvas and an image canvas together, on a 32-bit
// screen of the dummy video driver.
class DisplayCopiesOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        TKAL::installSdlLoaders();
        screen = SDL_SetVideoMode(40, 30, 32, SDL_SWSURFACE);
        ASSERT_NE(screen, nullptr);
        ASSERT_EQ(screen->format->BitsPerPixel, 32);
        Owned picture(makeFileLike(16, 8, false));
        ASSERT_EQ(SDL_SaveBMP(picture.s, (dir.path() + "/picture.bmp").c_str()), 0);
        ASSERT_EQ(SDL_SaveBMP(picture.s, (dir.path() + "/logo.bmp").c_str()), 0);
        cache = std::make_unique<RCacheS>(dir.path());
    }
    void TearDown() override {
        cache->clear();
        cache.reset();
        SDL_Quit();
    }

    testkit::TempDir dir;
    std::unique_ptr<RCacheS> cache;
    SDL_Surface* screen = nullptr;
};

} // namespace

TEST_F(DisplayCopiesOnScreen, LoadedImagesAreDrawnFromCopiesUntilSomethingDrawsIntoThem) {
    SDL_DisplayCopies& copies = SDL_DisplayCopies::instance();
    auto* image = cache->get<TKAL::SDL_Image>("Image", "picture.bmp");
    ASSERT_NE(image, nullptr);
    image->setCornerKey(true);
    std::unique_ptr<TKAL::SDL_Canvas> canvas(TKAL::SDL_Canvas::forScreen(TKAL::Rect{0, 0, 40, 30}));

    SDL_FillRect(screen, nullptr, 0x204060);
    canvas->drawImage(2, 3, 0, image);
    EXPECT_EQ(copies.copyCount(), 1u);
    EXPECT_EQ(at(screen, 2, 3), 0x204060u) << "keyed corner";
    EXPECT_EQ(at(screen, 3, 3), SDL_MapRGB(screen->format, 37, 0, 0));

    // Drawing into the picture must show on the screen.
    TKAL::SDL_Display display;
    std::unique_ptr<TKAL::Canvas> into = display.createImageCanvas(image, TKAL::Rect{0, 0, 16, 8});
    ASSERT_NE(into, nullptr);
    EXPECT_EQ(copies.copyCount(), 0u);
    into->fillRect(1, 0, 1, 1, into->mapRGB(0xABCDEF));
    canvas->drawImage(2, 3, 0, image);
    EXPECT_EQ(at(screen, 3, 3), 0xABCDEFu);
    EXPECT_EQ(copies.copyCount(), 0u);

    auto* logo = cache->get<TKAL::SDL_Image>("Image", "logo.bmp");
    ASSERT_NE(logo, nullptr);
    canvas->drawImage(20, 3, 0, logo);
    EXPECT_EQ(copies.copyCount(), 1u);
    cache->clear();
    EXPECT_EQ(copies.copyCount(), 0u) << "a surface is forgotten, with its copy, when the cache frees it";
}
