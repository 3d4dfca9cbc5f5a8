// Widgets built from a layout file, as the launcher builds its windows.
#include "g2/ButtonWidget.h"
#include "g2/LabelWidget.h"
#include "g2/ListWidget.h"
#include "g2/StyleLoaders.h"
#include "g2/Styles.h"
#include "props/Properties.h"
#include "props/RCacheS.h"
#include "tests/common/TempDir.h"
#include "tkal/sdl/SDL_Loaders.h"

#include <SDL.h>

#include <gtest/gtest.h>

namespace {

class LoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        G2::installStyleLoaders();
        TKAL::installSdlLoaders();
        cache = std::make_unique<RCacheS>(dir.path());
        dir.write("res.txt", "bg = LFrame : {}\n"
                             "look = ButtonStyle : { border = 3; normal = @bg }\n"
                             "panel = {\n"
                             "  pos = (5,6); size = (200,100); expand = 'horizontal vertical'; align = end\n"
                             "  flow = vertical; gravity = start; border = 4; spacing = 2; style = @bg\n"
                             "}\n"
                             "label = { text = 'Hola'; color = (255,0,16); justify = end; margin = 7 }\n"
                             "button = { bstyle = @look; bid = 1010 }\n"
                             "badstyle = { style = @nothing }\n"
                             "framefont = { font = @bg }\n"
                             "picturefont = { header_font = pic.bmp }\n");
        ASSERT_TRUE(cache->readProperties("res.txt"));
    }
    void TearDown() override { cache->clear(); }
    const Property* node(const char* path) { return cache->properties()->find(path); }

    testkit::TempDir dir;
    std::unique_ptr<RCacheS> cache;
};

} // namespace

TEST_F(LoadTest, WidgetKeysSetLayoutAndStyle) {
    G2::Widget panel;
    panel.needsLayout = 0;
    panel.load(cache.get(), node("panel"));
    EXPECT_EQ(panel.name(), "panel");
    EXPECT_EQ(panel.x, 5);
    EXPECT_EQ(panel.requestedY, 6);
    EXPECT_EQ(panel.w, 200);
    EXPECT_EQ(panel.preferredH, 100);
    EXPECT_EQ(panel.expand, G2::ExpandBoth);
    EXPECT_EQ(panel.align, G2::AlignEnd);
    EXPECT_EQ(panel.flow, G2::FlowVertical);
    EXPECT_EQ(panel.gravity, G2::GravityStart);
    EXPECT_EQ(panel.border, 4);
    EXPECT_EQ(panel.spacing, 2);
    EXPECT_EQ(panel.style(), cache->get("Frame", "@bg", nullptr));
    EXPECT_TRUE(panel.needsLayout);

    // Missing keys keep what is there.
    G2::Widget again;
    again.border = 9;
    again.load(cache.get(), node("label"));
    EXPECT_EQ(again.border, 9);
    EXPECT_EQ(again.w, 10);
}

TEST_F(LoadTest, LabelKeysAndTheTextThatAMissingKeyEmpties) {
    G2::LabelWidget label("before");
    label.load(cache.get(), node("label"));
    EXPECT_EQ(label.text(), "Hola");
    EXPECT_EQ(label.colour, 0xFF0010u);
    EXPECT_EQ(label.hJustify, G2::LabelWidget::End);
    EXPECT_EQ(label.vJustify, G2::LabelWidget::Start); // one word: vertical start
    EXPECT_EQ(label.margin, 7);
    label.load(cache.get(), node("panel"));
    EXPECT_EQ(label.text(), "");
}

TEST_F(LoadTest, ButtonKeysApplyTheStyleAndId) {
    G2::ButtonWidget button(5);
    button.load(cache.get(), node("button"));
    EXPECT_EQ(button.id, 1010);
    EXPECT_EQ(button.border, 3);
    EXPECT_EQ(button.style(), cache->get("Frame", "@bg", nullptr));
    button.load(cache.get(), node("label")); // "bid" is applied on every load
    EXPECT_EQ(button.id, 0);
}

TEST_F(LoadTest, AStyleTheCacheCannotMakeRaisesOutOfLoad) {
    G2::Widget widget;
    EXPECT_THROW(widget.load(cache.get(), node("badstyle")), RCache::NotFound);
}

TEST_F(LoadTest, AFontNamingAResourceOfAnotherKindRaisesForTheFont) {
    SDL_Surface* pixels = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_EQ(SDL_SaveBMP(pixels, (dir.path() + "/pic.bmp").c_str()), 0);
    SDL_FreeSurface(pixels);
    auto failure = [this](G2::Widget& widget, const Property* props) {
        try {
            widget.load(cache.get(), props);
        } catch (const RCache::NotFound& e) {
            return std::to_string(e.code()) + " " + e.type() + " " + e.name();
        }
        return std::string("loaded");
    };
    G2::LabelWidget label; // an LFrame node
    EXPECT_EQ(failure(label, node("framefont")), "3 Font @bg");
    G2::TableWidget table; // a picture, by its extension
    EXPECT_EQ(failure(table, node("picturefont")), "3 Font pic.bmp");
    EXPECT_EQ(table.headerFont, nullptr);
}
