#include "tkal/sdl/SDL_Input.h"

#include "tkal/Display.h"

#include <gtest/gtest.h>

namespace {

class SDL_InputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_TRUE(TKAL::Display::instance()->open(64, 48, 0, 0));
    }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override {
        TKAL::Event drained;
        while (input->poll(drained)) {
        }
    }

    TKAL::Event pushAndPoll(SDL_Event sdl) {
        EXPECT_EQ(SDL_PushEvent(&sdl), 0);
        TKAL::Event e;
        EXPECT_TRUE(input->poll(e));
        return e;
    }

    TKAL::Input* input = TKAL::Input::instance();
};

} // namespace

TEST_F(SDL_InputTest, KeysCarrySymbolMergedModifiersAndCharacter) {
    SDL_Event sdl{};
    sdl.type = SDL_KEYDOWN;
    sdl.key.keysym.sym = SDLK_a;
    sdl.key.keysym.mod = static_cast<SDLMod>(KMOD_RSHIFT | KMOD_LCTRL);
    sdl.key.keysym.unicode = 0xF1;
    TKAL::Event e = pushAndPoll(sdl);
    EXPECT_EQ(e.type, 2u);
    EXPECT_EQ(e.arg1, SDLK_a);
    EXPECT_EQ(e.arg2, 3);
    EXPECT_EQ(e.arg3, 0xF1);
    EXPECT_TRUE(input->isKeyEvent(e));

    sdl.type = SDL_KEYUP;
    sdl.key.keysym.mod = static_cast<SDLMod>(KMOD_LALT | KMOD_RMETA);
    e = pushAndPoll(sdl);
    EXPECT_EQ(e.type, 4u);
    EXPECT_EQ(e.arg2, 12);
}

TEST_F(SDL_InputTest, ButtonsBecomeBitsWithPosition) {
    SDL_Event sdl{};
    sdl.type = SDL_MOUSEBUTTONDOWN;
    sdl.button.button = 3;
    sdl.button.x = 17;
    sdl.button.y = 9;
    TKAL::Event e = pushAndPoll(sdl);
    EXPECT_EQ(e.type, 8u);
    EXPECT_EQ(e.arg1, 4);
    EXPECT_EQ(e.arg2, 17);
    EXPECT_EQ(e.arg3, 9);
    EXPECT_EQ(e.arg4, 0);
    EXPECT_FALSE(input->isKeyEvent(e));

    sdl.type = SDL_MOUSEBUTTONUP;
    sdl.button.button = 4; // wheel step
    e = pushAndPoll(sdl);
    EXPECT_EQ(e.type, 16u);
    EXPECT_EQ(e.arg1, 8);
}

TEST_F(SDL_InputTest, MotionKeepsNegativeRelativeMovement) {
    SDL_Event sdl{};
    sdl.type = SDL_MOUSEMOTION;
    sdl.motion.state = SDL_BUTTON(1);
    sdl.motion.x = 5;
    sdl.motion.y = 6;
    sdl.motion.xrel = -3;
    sdl.motion.yrel = -200;
    TKAL::Event e = pushAndPoll(sdl);
    EXPECT_EQ(e.type, 32u);
    EXPECT_EQ(e.arg1, 1);
    EXPECT_EQ(e.arg2, 5);
    EXPECT_EQ(e.arg3, 6);
    EXPECT_EQ(e.arg4, -3);
    EXPECT_EQ(e.arg5, -200);
}

TEST_F(SDL_InputTest, QuitResizeAndOtherKinds) {
    SDL_Event sdl{};
    sdl.type = SDL_QUIT;
    EXPECT_EQ(pushAndPoll(sdl).type, 1u);

    sdl = SDL_Event{};
    sdl.type = SDL_VIDEORESIZE;
    sdl.resize.w = 800;
    sdl.resize.h = 600;
    TKAL::Event e = pushAndPoll(sdl);
    EXPECT_EQ(e.type, 64u);
    EXPECT_EQ(e.arg1, 800);
    EXPECT_EQ(e.arg2, 600);

    for (Uint8 kind : {Uint8(SDL_ACTIVEEVENT), Uint8(SDL_JOYAXISMOTION), Uint8(SDL_VIDEOEXPOSE)}) {
        sdl = SDL_Event{};
        sdl.type = kind;
        EXPECT_EQ(pushAndPoll(sdl).type, 0u) << int(kind);
    }

    TKAL::Event none;
    EXPECT_FALSE(input->poll(none));
}
