#include "tkal/sdl/SDL_TTFont.h"

#include "support/Utf.h"
#include "tests/common/Surfaces.h"
#include "tkal/sdl/SDL_Canvas.h"

#include <gtest/gtest.h>

#include <fstream>

using testsurf::Owned;
using TKAL::Rect;
using TKAL::SDL_TTFont;

namespace {

const char* const fontPath = MORAVO_FONTS "/DejaVuSans.ttf";

class SDL_TTFontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        if (!std::ifstream(fontPath))
            GTEST_SKIP() << "fonts-dejavu-core is not installed";
    }
    void TearDown() override {
        TTF_Quit();
        SDL_Quit();
    }
};

int failingInit() {
    return -1;
}

} // namespace

TEST_F(SDL_TTFontTest, OpensAtTheGivenSizeAndMeasures) {
    SDL_TTFont small(fontPath, 10);
    SDL_TTFont large(fontPath, 18);
    ASSERT_TRUE(small.isOpen());
    EXPECT_GT(large.height(), small.height());
    EXPECT_GT(large.textWidth("Hola", 0), small.textWidth("Hola", 0));
    EXPECT_EQ(small.textWidth("Hola mundo", 4), small.textWidth("Hola", 0));
    EXPECT_EQ(small.charWidth('W'), small.textWidth("W", 0));
    EXPECT_EQ(small.reserved1(1, 2, 3), 0);
    EXPECT_EQ(small.reserved2(1, 2, 3), 0);
}

TEST_F(SDL_TTFontTest, Utf8Latin1AndUcs2MeasureTheSameText) {
    SDL_TTFont font(fontPath, 14);
    const char* utf8 = "Contrase\xC3\xB1"
                       "a Memor\xC3\xAD"
                       "a";
    uint16_t wide[32] = {};
    int n = support::utf8ToUtf16(utf8, wide, 31);
    wide[n] = 0;
    int w8 = font.textWidth(utf8, 0);
    EXPECT_GT(w8, 0);
    EXPECT_EQ(font.textWidthW(wide, 0), w8);
    EXPECT_EQ(font.textWidthW(wide, 3), font.textWidth("Con", 0));
    EXPECT_TRUE(font.setUTF8(false));
    EXPECT_EQ(font.textWidth("Contrase\xF1"
                             "a Memor\xED"
                             "a",
                             0),
              w8);
    EXPECT_FALSE(font.setUTF8(true));
}

TEST_F(SDL_TTFontTest, DrawsBlendedTextUnderTheClip) {
    SDL_TTFont font(fontPath, 16);
    Owned s(testsurf::make32(100, 30));
    TKAL::SDL_Canvas canvas(s, Rect{0, 0, 50, 30});
    font.drawText(2, 2, &canvas, "MMMMMMMMMM", 0xFFFFFF, 0);
    int lit = 0, beyond = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x)
            if (testsurf::at(s, x, y) != 0)
                (x < 50 ? lit : beyond)++;
    EXPECT_GT(lit, 50);
    EXPECT_EQ(beyond, 0);

    Owned t(testsurf::make32(100, 30));
    TKAL::SDL_Canvas other(t, Rect{0, 0, 100, 30});
    const uint16_t text[] = {'I', 0};
    font.drawTextW(0, 0, &other, text, 0xFF0000, 0);
    bool red = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 20; ++x)
            red = red || (testsurf::at(t, x, y) & 0xFF0000) != 0;
    EXPECT_TRUE(red);
}

TEST_F(SDL_TTFontTest, MissingFileGivesAClosedFontNotACrash) {
    SDL_TTFont font("/nonexistent/font.ttf", 12);
    EXPECT_FALSE(font.isOpen());
    EXPECT_EQ(font.height(), 0);
    EXPECT_EQ(font.textWidth("x", 0), 0);
    font.drawText(0, 0, nullptr, "x", 0, 0);
}

TEST_F(SDL_TTFontTest, FontSystemThatCannotStartEndsTheProcessWithMinusOne) {
    EXPECT_EXIT(
        {
            TTF_Quit();
            SDL_TTFont::setInitFunction(failingInit);
            SDL_TTFont font(fontPath, 12);
        },
        // -1 as POSIX keeps it (its low byte) and as Windows does.
        [](int status) {
            return ::testing::ExitedWithCode(255)(status) || ::testing::ExitedWithCode(-1)(status);
        },
        "");
}
