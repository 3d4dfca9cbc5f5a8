#include "g2/StyleLoaders.h"

#include "g2/Styles.h"
#include "props/RCacheS.h"
#include "tests/common/Surfaces.h"
#include "tests/common/TempDir.h"
#include "tests/g2/Fakes.h"
#include "tkal/sdl/SDL_Canvas.h"

#include <gtest/gtest.h>

namespace {

class StyleLoadersTest : public ::testing::Test {
protected:
    void SetUp() override {
        G2::installStyleLoaders();
        cache = std::make_unique<RCacheS>(dir.path());
    }
    void TearDown() override { cache->clear(); }
    void readTree(const std::string& text) {
        dir.write("res.txt", text);
        ASSERT_TRUE(cache->readProperties("res.txt"));
    }
    template <typename T> T* get(const char* type, const char* name) { return cache->get<T>(type, name); }

    testkit::TempDir dir;
    std::unique_ptr<RCacheS> cache;
};

} // namespace

TEST_F(StyleLoadersTest, ButtonStyleWithOnlyNormalHasBorderOneAndNoOtherLooks) {
    readTree("plain = LFrame : { fill = (1,2,3) }\n"
             "b = ButtonStyle : { normal = @plain }\n"
             "b2 = ButtonStyle : { border = 4; normal = @plain; over = @plain; pressed = @plain; disabled = "
             "@plain }\n");
    auto* b = get<G2::ButtonStyle>("ButtonStyle", "@b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->border, 1);
    EXPECT_NE(b->normal, nullptr);
    EXPECT_EQ(b->pressed, nullptr);
    EXPECT_EQ(b->over, nullptr);
    EXPECT_EQ(b->disabled, nullptr);
    auto* b2 = get<G2::ButtonStyle>("ButtonStyle", "@b2");
    EXPECT_EQ(b2->border, 4);
    EXPECT_EQ(b2->disabled, b->normal); // the frame is made once and shared
}

TEST_F(StyleLoadersTest, EveryStyleReadsItsKeysAndDefaults) {
    readTree("f = LFrame : { width = 2 }\n"
             "up = ButtonStyle : { normal = @f }\n"
             "push = PushButtonStyle : { on = @up; off = @up }\n"
             "bar = ProgressFrameStyle : { vert = 1; fg = @f }\n"
             "table = TableStyle : { margin = 5; odd = @f }\n"
             "item = ListItemStyle : { selected = @f }\n"
             "scroll = ScrollStyle : { type = horizontal; icon_size = 300; up = @up; frame = @f }\n"
             "plainscroll = ScrollStyle : { down = @up }\n");
    auto* push = get<G2::PushButtonStyle>("PushButtonStyle", "@push");
    EXPECT_EQ(push->on, push->off);
    EXPECT_EQ(push->on, get<G2::ButtonStyle>("ButtonStyle", "@up"));
    auto* bar = get<G2::ProgressFrameStyle>("ProgressFrameStyle", "@bar");
    EXPECT_EQ(bar->border, 2);
    EXPECT_EQ(bar->vert, 1);
    EXPECT_NE(bar->fg, nullptr);
    EXPECT_EQ(bar->bg, nullptr);
    auto* table = get<G2::TableStyle>("TableStyle", "@table");
    EXPECT_EQ(table->border, 2);
    EXPECT_EQ(table->margin, 5);
    EXPECT_NE(table->odd, nullptr);
    auto* item = get<G2::ListItemStyle>("ListItemStyle", "@item");
    EXPECT_EQ(item->border, 1);
    EXPECT_NE(item->selected, nullptr);
    auto* scroll = get<G2::ScrollStyle>("ScrollStyle", "@scroll");
    EXPECT_EQ(scroll->type, G2::ScrollStyle::Horizontal);
    EXPECT_EQ(scroll->iconSize, 44); // 300 kept in 8 bits
    EXPECT_NE(scroll->up, nullptr);
    auto* plain = get<G2::ScrollStyle>("ScrollStyle", "@plainscroll");
    EXPECT_EQ(plain->type, G2::ScrollStyle::Vertical);
    EXPECT_EQ(plain->iconSize, 32);
}

TEST_F(StyleLoadersTest, StylesComeFromNodesOnlyAndBadReferencesRaise) {
    readTree("broken = ButtonStyle : { normal = @nowhere }\nf = LFrame : {}\n");
    int error = 0;
    EXPECT_EQ(cache->get("ButtonStyle", "style.txt", &error), nullptr);
    EXPECT_EQ(error, 5);
    EXPECT_THROW(cache->get("ButtonStyle", "@broken", &error), RCache::NotFound);
    EXPECT_NE(cache->get("Frame", "@f", &error), nullptr); // the LFrame loader serves "Frame"
}

TEST_F(StyleLoadersTest, LineFrameWithoutKeysDrawsAOnePixelWhiteBorder) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    readTree("f = LFrame : {}\nfilled = LFrame : { fill = (0,0,255); border = (0,0,0); width = 3 }\n");
    auto* frame = static_cast<G2::LFrame*>(cache->get("Frame", "@f", nullptr));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->fill, 0u);
    EXPECT_EQ(frame->borderColour, 0xFFFFFFu);
    EXPECT_EQ(frame->width, 1);
    testsurf::Owned s(testsurf::make32(20, 20));
    TKAL::SDL_Canvas canvas(s, TKAL::Rect{0, 0, 20, 20});
    frame->draw(&canvas, TKAL::Rect{2, 2, 10, 10});
    EXPECT_EQ(testsurf::at(s, 2, 2), 0xFFFFFFu);
    EXPECT_EQ(testsurf::at(s, 11, 11), 0xFFFFFFu);
    EXPECT_EQ(testsurf::at(s, 5, 5), 0u);
    EXPECT_EQ(testsurf::at(s, 12, 12), 0u);

    auto* filled = static_cast<G2::LFrame*>(cache->get("Frame", "@filled", nullptr));
    filled->draw(&canvas, TKAL::Rect{0, 0, 20, 20});
    EXPECT_EQ(testsurf::at(s, 3, 3), 0x0000FFu);
    EXPECT_EQ(testsurf::at(s, 0, 0), 0u); // black is no border
    EXPECT_EQ(testsurf::at(s, 16, 16), 0x0000FFu);
    EXPECT_EQ(testsurf::at(s, 17, 17), 0u);
    SDL_Quit();
}
