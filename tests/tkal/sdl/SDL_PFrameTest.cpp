#include "tkal/sdl/SDL_PFrame.h"

#include "tests/common/Surfaces.h"
#include "tkal/sdl/SDL_Canvas.h"

#include <gtest/gtest.h>

using testsurf::at;
using testsurf::Owned;
using TKAL::Rect;
using TKAL::SDL_Canvas;
using TKAL::SDL_PFrame;

namespace {

class SDL_PFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        // Source: one row 4 high; column c holds the colour 0x0100 | c, so
        // every destination pixel tells which source column it came from.
        source = testsurf::make32(40, 4);
        for (int c = 0; c < 40; ++c)
            testsurf::paint(source, c, 0, 1, 4, 0x0100u | Uint32(c));
    }
    void TearDown() override {
        SDL_FreeSurface(source);
        SDL_Quit();
    }

    static SDL_PFrame::Pieces columns(int left, int middle, int right) {
        SDL_PFrame::Pieces p;
        p.left = left;
        p.middleWidth = middle;
        p.right = right;
        p.middleHeight = 4;
        return p;
    }

    // The source column drawn at destination column x (row 0), or -1.
    static int columnAt(SDL_Surface* s, int x) {
        Uint32 v = at(s, x, 0);
        return v == 0 ? -1 : int(v & 0xFF);
    }

    SDL_Surface* source = nullptr;
};

} // namespace

TEST_F(SDL_PFrameTest, MiddlePiecesAreTiledAndTheLastTileIsCut) {
    Owned dest(testsurf::make32(100, 4));
    SDL_Canvas canvas(dest, Rect{0, 0, 100, 4});
    SDL_PFrame frame(source, columns(10, 20, 10));
    frame.draw(&canvas, Rect{3, 0, 65, 4});
    EXPECT_EQ(columnAt(dest, 2), -1);
    EXPECT_EQ(columnAt(dest, 3), 0); // left piece at x
    EXPECT_EQ(columnAt(dest, 12), 9);
    EXPECT_EQ(columnAt(dest, 13), 10); // middle at x + 10
    EXPECT_EQ(columnAt(dest, 32), 29);
    EXPECT_EQ(columnAt(dest, 33), 10); // again at x + 30
    EXPECT_EQ(columnAt(dest, 53), 10); // cut tile at x + 50, 5 wide
    EXPECT_EQ(columnAt(dest, 57), 14);
    EXPECT_EQ(columnAt(dest, 58), 30); // right piece at x + 55
    EXPECT_EQ(columnAt(dest, 67), 39);
    EXPECT_EQ(columnAt(dest, 68), -1);
}

TEST_F(SDL_PFrameTest, PiecesAreDrawnWholeWhenTheRectangleIsSmaller) {
    Owned dest(testsurf::make32(100, 4));
    SDL_Canvas canvas(dest, Rect{0, 0, 100, 4});
    SDL_PFrame frame(source, columns(10, 20, 10));
    frame.draw(&canvas, Rect{0, 0, 15, 4});
    EXPECT_EQ(columnAt(dest, 9), 9);
    EXPECT_EQ(columnAt(dest, 10), 30); // the right piece follows the left one
    EXPECT_EQ(columnAt(dest, 19), 39); // 5 pixels beyond the rectangle
    EXPECT_EQ(columnAt(dest, 20), -1);
}

TEST_F(SDL_PFrameTest, RowsStackAndTheMiddleRowTilesDown) {
    // Rows: top 1, middle 2, bottom 1 of a 1-column source coloured by row.
    Owned rows(testsurf::make32(1, 4));
    for (int r = 0; r < 4; ++r)
        testsurf::paint(rows, 0, r, 1, 1, 0x0200u | Uint32(r));
    SDL_PFrame::Pieces p;
    p.middleWidth = 1;
    p.top = 1;
    p.middleHeight = 2;
    p.bottom = 1;
    Owned dest(testsurf::make32(1, 10));
    SDL_Canvas canvas(dest, Rect{0, 0, 1, 10});
    SDL_PFrame frame(rows, p);
    frame.draw(&canvas, Rect{0, 0, 1, 7});
    std::vector<int> seen;
    for (int y = 0; y < 8; ++y)
        seen.push_back(at(dest, 0, y) == 0 ? -1 : int(at(dest, 0, y) & 0xFF));
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 1, 2, 1, 3, -1}));
}

TEST_F(SDL_PFrameTest, NothingWithoutSurfaceOrRows) {
    Owned dest(testsurf::make32(20, 4));
    SDL_Canvas canvas(dest, Rect{0, 0, 20, 4});
    SDL_PFrame::Pieces flat = columns(5, 5, 5);
    flat.middleHeight = 0;
    SDL_PFrame noRows(source, flat);
    noRows.draw(&canvas, Rect{0, 0, 20, 4});
    SDL_PFrame noSurface(nullptr, columns(5, 5, 5));
    noSurface.draw(&canvas, Rect{0, 0, 20, 4});
    EXPECT_EQ(at(dest, 0, 0), 0u);
}

TEST_F(SDL_PFrameTest, FrameDrawsUnderTheCanvasClipAndOrigin) {
    Owned dest(testsurf::make32(100, 4));
    SDL_Canvas canvas(dest, Rect{10, 0, 20, 4});
    SDL_PFrame frame(source, columns(10, 20, 10));
    frame.draw(&canvas, Rect{0, 0, 65, 4});
    EXPECT_EQ(columnAt(dest, 9), -1);
    EXPECT_EQ(columnAt(dest, 10), 0);
    EXPECT_EQ(columnAt(dest, 29), 19);
    EXPECT_EQ(columnAt(dest, 30), -1); // clipped
}
