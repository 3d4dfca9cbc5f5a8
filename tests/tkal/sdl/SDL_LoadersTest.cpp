#include "tkal/sdl/SDL_Loaders.h"

#include "props/RCacheS.h"
#include "tests/common/Surfaces.h"
#include "tests/common/TempDir.h"
#include "tkal/sdl/SDL_Image.h"
#include "tkal/sdl/SDL_PFrame.h"
#include "tkal/sdl/SDL_TTFont.h"

#include <gtest/gtest.h>

#include <filesystem>

using TKAL::SDL_Image;
using TKAL::SDL_ImageList;
using TKAL::SDL_PFrame;
using TKAL::SDL_TTFont;

namespace {

const char* const fontPath = MORAVO_FONTS "/DejaVuSans.ttf";

// A resource folder with a few bitmaps and a font, and a cache over it.
class SDL_LoadersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        TKAL::installSdlLoaders();
        saveBmp("strip.bmp", 96, 30, 0x112233); // 3 cells of 32 x 30
        saveBmp("pair.bmp", 40, 20, 0x445566);  // 2 cells of 20 x 20
        saveBmp("frame.bmp", 16, 12, 0x778899);
        hasFont = testkit::linkOrCopy(fontPath, dir.path() + "/font.ttf");
        cache = std::make_unique<RCacheS>(dir.path());
    }
    void TearDown() override {
        cache->clear();
        cache.reset();
        TTF_Quit();
        SDL_Quit();
    }
    void saveBmp(const char* name, int w, int h, Uint32 rgb) {
        testsurf::Owned s(testsurf::make32(w, h, rgb));
        testsurf::put(s, 0, 0, 0x00FF00); // the corner pixel keys the surface
        ASSERT_EQ(SDL_SaveBMP(s.s, (dir.path() + "/" + name).c_str()), 0);
    }
    void readTree(const std::string& text) {
        dir.write("res.txt", text);
        ASSERT_TRUE(cache->readProperties("res.txt"));
    }
    int codeOf(const char* type, const char* name) {
        int error = -1;
        void* r = cache->get(type, name, &error);
        return r != nullptr ? 0 : error;
    }

    testkit::TempDir dir;
    std::unique_ptr<RCacheS> cache;
    bool hasFont = false;
};

} // namespace

TEST_F(SDL_LoadersTest, SurfacesAndImagesComeFromFilesAndAreShared) {
    auto* image = cache->get<SDL_Image>("Image", "strip.bmp");
    ASSERT_NE(image, nullptr);
    int w = 0, h = 0;
    image->getSize(w, h);
    EXPECT_EQ(w, 96);
    EXPECT_EQ(image->surface(), cache->get<SDL_Surface>("SDL_Surface", dir.path() + "/strip.bmp"));
    EXPECT_EQ(codeOf("Image", "missing.bmp"), 4);
    EXPECT_EQ(codeOf("Image", "strip.BMP"), 5); // extensions compare exactly
    readTree("s = SDL_Surface : strip.bmp\n");
    EXPECT_EQ(codeOf("SDL_Surface", "@s"), 2); // no surfaces from nodes
}

TEST_F(SDL_LoadersTest, ImageNodesNameTheirFileAsFirstChild) {
    readTree("logo = Image : { strip.bmp }\nempty = Image : x\n");
    auto* logo = cache->get<SDL_Image>("Image", "@logo");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->rect().w, 96);
    EXPECT_EQ(codeOf("Image", "@empty"), 6);
}

TEST_F(SDL_LoadersTest, FramesAreBuiltFromNodesOnly) {
    readTree("f = PFrame : { image = frame.bmp; pos = (1,2); widths = (4,8,4) }\n"
             "whole = PFrame : { image = frame.bmp }\n"
             "bad = PFrame : { pos = (0,0) }\n"
             "gone = PFrame : { image = nothing.bmp }\n");
    auto* f = static_cast<SDL_PFrame*>(cache->get("Frame", "@f", nullptr)); // the alias
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->pieces().originX, 1);
    EXPECT_EQ(f->pieces().originY, 2);
    EXPECT_EQ(f->pieces().middleWidth, 8);
    EXPECT_EQ(f->pieces().top, 0);
    EXPECT_EQ(f->pieces().middleHeight, 12); // no "heights": one middle row as high as the surface
    auto* whole = static_cast<SDL_PFrame*>(cache->get("PFrame", "@whole", nullptr));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->pieces().middleWidth, 16);
    EXPECT_EQ(codeOf("PFrame", "@bad"), 6);
    EXPECT_EQ(codeOf("PFrame", "@gone"), 4);
    EXPECT_EQ(codeOf("PFrame", "pair.bmp"), 5); // no frame loader lists bmp
}

TEST_F(SDL_LoadersTest, ImageListsNumberTheCellsOfAllTheirGridsInOrder) {
    readTree("list = ImageList : {\n"
             "  { source = strip.bmp; sizes = (32,30); org = (3,4) }\n"
             "  { source = pair.bmp; sizes = '(20, 20)'; keyc = 0 }\n"
             "}\n"
             "nosource = ImageList : { { sizes = (1,1) } }\n"
             "none = ImageList : x\n"
             "missing = ImageList : { { source = nothing.bmp } }\n");
    auto* list = cache->get<SDL_ImageList>("ImageList", "@list");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 5u);
    auto* third = static_cast<SDL_Image*>(list->get(2));
    EXPECT_EQ(third->rect().x, 64);
    EXPECT_EQ(third->hotX(), 3);
    EXPECT_EQ(static_cast<SDL_Image*>(list->get(3))->surface()->w, 40);
    SDL_Surface* strip = static_cast<SDL_Image*>(list->get(0))->surface();
    SDL_Surface* pair = static_cast<SDL_Image*>(list->get(3))->surface();
    EXPECT_TRUE(strip->flags & SDL_SRCCOLORKEY);
    EXPECT_FALSE(pair->flags & SDL_SRCCOLORKEY); // keyc 0
    EXPECT_EQ(codeOf("ImageList", "@nosource"), 6);
    EXPECT_EQ(codeOf("ImageList", "@none"), 1);
    EXPECT_EQ(codeOf("ImageList", "@missing"), 4);
}

TEST_F(SDL_LoadersTest, FontsOpenAtTheSizeAfterTheQuestionMark) {
    if (!hasFont)
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    auto* big = cache->get<SDL_TTFont>("TTFont", "font.ttf?18");
    auto* small = cache->get<SDL_TTFont>("TTFont", "font.ttf?10");
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    EXPECT_NE(big, small);
    EXPECT_GT(big->height(), small->height());
    EXPECT_EQ(codeOf("Font", "font.ttf?12"), 5); // file lookups compare type names exactly
    EXPECT_EQ(codeOf("TTFont", "nothing.ttf?12"), 4);

    readTree("f1 = TTFont : { file = font.ttf; size = 18 }\nf2 = TTFont : { file = font.ttf }\n");
    auto* node = cache->get<SDL_TTFont>("Font", "@f1"); // the alias, for a node
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->height(), big->height());
    auto* twelve = cache->get<SDL_TTFont>("TTFont", "@f2");
    ASSERT_NE(twelve, nullptr);
    EXPECT_LT(twelve->height(), big->height());
}
