#pragma once
// A toolkit with a real (dummy-driver) window, driven frame by frame as the
// run loop does, with events pushed into SDL's queue.
#include "g2/Game.h"
#include "g2/View.h"
#include "g2/Widget.h"
#include "tests/g2/Fakes.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

namespace g2test {

class TestGame : public G2::Game {
public:
    int init(int, char**) override { return 0; }
    int exit(int code) override { return code; }
};

class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        G2::toolkit().reset();
        game = std::make_unique<TestGame>();
        ASSERT_TRUE(game->setVideoMode(320, 240));
        view = std::make_unique<G2::View>(G2::toolkit().display, TKAL::Rect{0, 0, 320, 240});
        root = std::make_unique<G2::Widget>();
        root->setSize(320, 240);
        view->setRoot(root.get());
        G2::Game::addView(view.get());
        G2::Game::setPendingScene(&scene);
        drain();
    }
    void TearDown() override {
        root.reset();
        view.reset();
        G2::toolkit().reset();
        game.reset();
        SDL_Quit();
    }

    static void drain() {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
        }
    }
    static void pushButton(bool down, int button, int x, int y) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = static_cast<Uint8>(button);
        e.button.x = static_cast<Uint16>(x);
        e.button.y = static_cast<Uint16>(y);
        SDL_PushEvent(&e);
    }
    static void pushMotion(int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = static_cast<Uint16>(x);
        e.motion.y = static_cast<Uint16>(y);
        SDL_PushEvent(&e);
    }
    static void pushKey(int sym, int unicode = 0, SDLMod mod = KMOD_NONE, bool down = true) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.sym = static_cast<SDLKey>(sym);
        e.key.keysym.unicode = static_cast<Uint16>(unicode);
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    }
    static void pushQuit() {
        SDL_Event e{};
        e.type = SDL_QUIT;
        SDL_PushEvent(&e);
    }
    /// One frame, 100 ms after the previous one.
    bool frame() {
        now += 100;
        return game->frame(now, now);
    }
    /// A click: move there, press and release within one frame.
    void click(int x, int y) {
        pushMotion(x, y);
        pushButton(true, 1, x, y);
        pushButton(false, 1, x, y);
    }

    template <typename T> T* add(std::unique_ptr<T> child, G2::Widget* parent = nullptr) {
        return (parent != nullptr ? parent : root.get())->append(std::move(child));
    }

    uint32_t now = 1000;
    std::unique_ptr<TestGame> game;
    std::unique_ptr<G2::View> view;
    std::unique_ptr<G2::Widget> root;
    fakes::Scene scene;
};

} // namespace g2test
