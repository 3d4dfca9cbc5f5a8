#include "tests/g2/GameFixture.h"

#include "g2/ButtonWidget.h"
#include "g2/Messages.h"

using G2::Widget;
using g2test::GameTest;

namespace {

// A widget that records the messages the toolkit sends it and can take the
// focus.
class Probe : public Widget {
public:
    explicit Probe(bool focusable = false) : focusable_(focusable) {}
    int onEvent(uint32_t code, void*, intptr_t data) override {
        if (code == G2::Msg::KeyEvent)
            keys.push_back(reinterpret_cast<const TKAL::Event*>(data)->arg1);
        else if (code == G2::Msg::MousePress)
            presses.push_back({reinterpret_cast<const TKAL::Event*>(data)->arg2,
                               reinterpret_cast<const TKAL::Event*>(data)->arg3});
        codes.push_back(code);
        if (code == G2::Msg::Click)
            clickData.push_back(data);
        return 0;
    }
    void onTimer(uint32_t id) override { timers.push_back(id); }
    bool acceptsFocus() const override { return focusable_; }
    int count(uint32_t code) const { return int(std::count(codes.begin(), codes.end(), code)); }
    std::vector<uint32_t> codes;
    std::vector<intptr_t> clickData;
    std::vector<int> keys;
    std::vector<std::pair<int, int>> presses;
    std::vector<uint32_t> timers;

private:
    bool focusable_;
};

std::unique_ptr<Probe> probeAt(int x, int y, int w, int h, bool focusable = false) {
    auto p = std::make_unique<Probe>(focusable);
    p->x = static_cast<int16_t>(x);
    p->y = static_cast<int16_t>(y);
    p->setSize(w, h);
    return p;
}

} // namespace

TEST_F(GameTest, SceneIsEnteredUpdatedAndLeftAndTheLoopEndsWithoutOne) {
    EXPECT_TRUE(frame());
    EXPECT_EQ(scene.log, (std::vector<std::string>{"enter", "update", "after"}));
    scene.updateAnswer = false;
    EXPECT_TRUE(frame());
    EXPECT_EQ(scene.log.back(), "update");
    G2::Game::quit();
    EXPECT_FALSE(frame());
    EXPECT_EQ(scene.log.back(), "leave");
}

TEST_F(GameTest, ClickInsideOneFrameArrivesAsMessage1022InTheNextFrame) {
    Probe* probe = add(probeAt(10, 10, 50, 50));
    frame();
    pushButton(true, 1, 20, 20);
    pushButton(false, 1, 20, 20);
    frame();
    EXPECT_EQ(probe->count(G2::Msg::Click), 0); // still held through this frame
    frame();
    ASSERT_EQ(probe->count(G2::Msg::Click), 1);
    EXPECT_EQ(probe->clickData[0], 1);
    EXPECT_EQ(probe->presses[0], (std::pair<int, int>{10, 10})); // local coordinates
}

TEST_F(GameTest, PressesReachChildrenInTheBorderRegionWithReducedCoordinates) {
    auto panel = probeAt(0, 0, 100, 100);
    panel->border = 10;
    Probe* outer = add(std::move(panel));
    Probe* child = add(probeAt(0, 0, 20, 20), outer); // at the content origin
    frame();
    pushButton(true, 1, 15, 15);
    frame();
    ASSERT_EQ(outer->presses.size(), 1u); // the widget first, then its children
    ASSERT_EQ(child->presses.size(), 1u);
    EXPECT_EQ(child->presses[0], (std::pair<int, int>{5, 5}));
    EXPECT_EQ(G2::toolkit().focus, child); // the innermost ends with the focus
}

TEST_F(GameTest, PointerEnteringAndLeavingSendsEnterAndLeave) {
    Probe* probe = add(probeAt(10, 10, 20, 20));
    frame();
    pushMotion(15, 15);
    frame();
    EXPECT_EQ(probe->count(G2::Msg::PointerEntered), 1);
    pushMotion(16, 16);
    frame();
    EXPECT_EQ(probe->count(G2::Msg::PointerEntered), 1);
    pushMotion(100, 100);
    frame();
    EXPECT_EQ(probe->count(G2::Msg::PointerLeft), 1);
    pushMotion(101, 101);
    frame();
    EXPECT_EQ(probe->count(G2::Msg::PointerLeft), 1); // not over it: nothing more
}

TEST_F(GameTest, ButtonPressedAndReleasedOutsideIsNotActivated) {
    auto button = std::make_unique<G2::ButtonWidget>(7);
    button->x = 10;
    button->y = 10;
    button->setSize(40, 20);
    G2::ButtonWidget* b = add(std::move(button));
    fakes::Listener listener;
    for (uint32_t code : {G2::Msg::Activated, G2::Msg::Pressed, G2::Msg::Released})
        b->emitter().connect(&listener, code);
    frame();
    pushMotion(20, 20);
    pushButton(true, 1, 20, 20);
    frame();
    pushMotion(200, 200);
    pushButton(false, 1, 200, 200);
    frame();
    EXPECT_EQ(listener.codes(), (std::vector<uint32_t>{G2::Msg::Pressed, G2::Msg::Released}));

    listener.messages.clear();
    click(20, 20);
    frame();
    frame();
    EXPECT_EQ(listener.codes(),
              (std::vector<uint32_t>{G2::Msg::Pressed, G2::Msg::Released, G2::Msg::Activated}));
}

TEST_F(GameTest, QuitRequestsBecomeMessage1002WithTheFlagAndEndTheLoopWithout) {
    fakes::Listener listener;
    G2::toolkit().emitter.connect(&listener, G2::Msg::QuitRequested);
    G2::toolkit().windowFlags |= G2::QuitAsMessage;
    frame();
    pushQuit();
    EXPECT_TRUE(frame());
    pushKey(SDLK_ESCAPE, 27);
    EXPECT_TRUE(frame());
    ASSERT_EQ(listener.count(G2::Msg::QuitRequested), 2);
    EXPECT_EQ(listener.messages[0].data, 0); // the close button
    EXPECT_NE(listener.messages[1].data, 0); // Escape: its key event

    G2::toolkit().windowFlags &= ~uint32_t(G2::QuitAsMessage);
    pushKey(SDLK_ESCAPE, 27);
    EXPECT_FALSE(frame());
    pushQuit();
    EXPECT_FALSE(frame());
}

TEST_F(GameTest, TabMovesTheFocusThroughTheWholeTreeAndWraps) {
    Widget* panelA = add(std::make_unique<Widget>());
    Widget* panelB = add(std::make_unique<Widget>());
    Probe* first = add(std::make_unique<Probe>(true), panelA);
    add(std::make_unique<Probe>(false), panelA);
    Probe* second = add(std::make_unique<Probe>(true), panelB);
    Probe* skipped = add(std::make_unique<Probe>(true), panelB);
    skipped->state |= G2::SkipTab;
    Probe* last = add(std::make_unique<Probe>(true), panelB);
    frame();
    G2::toolkit().setFocus(first);
    pushKey(SDLK_TAB, 9);
    frame();
    EXPECT_EQ(G2::toolkit().focus, second);
    pushKey(SDLK_TAB, 9);
    frame();
    EXPECT_EQ(G2::toolkit().focus, last);
    pushKey(SDLK_TAB, 9);
    frame();
    EXPECT_EQ(G2::toolkit().focus, first); // wrapped
    pushKey(SDLK_TAB, 9, KMOD_LSHIFT);
    frame();
    EXPECT_EQ(G2::toolkit().focus, last); // backwards
    pushKey('a', 'a');
    pushKey('a', 'a', KMOD_NONE, false);
    frame();
    EXPECT_EQ(last->keys, (std::vector<int>{'a', 'a'}));
    EXPECT_TRUE(first->keys.empty());
}

TEST_F(GameTest, FocusChangesAreAnnouncedOnTheWidgetsEmitters) {
    Probe* a = add(std::make_unique<Probe>(true));
    Probe* b = add(std::make_unique<Probe>(true));
    fakes::Listener la, lb;
    a->emitter().connect(&la, G2::Msg::FocusGained);
    a->emitter().connect(&la, G2::Msg::FocusLost);
    b->emitter().connect(&lb, G2::Msg::FocusGained);
    G2::toolkit().setFocus(a);
    G2::toolkit().setFocus(b);
    EXPECT_EQ(la.codes(), (std::vector<uint32_t>{G2::Msg::FocusGained, G2::Msg::FocusLost}));
    EXPECT_EQ(lb.codes(), (std::vector<uint32_t>{G2::Msg::FocusGained}));
    root.reset(); // destroying the focus holder clears the focus
    EXPECT_EQ(G2::toolkit().focus, nullptr);
}

TEST_F(GameTest, TimersRunWhenDueInDueOrderKeepingInsertionOrderForTies) {
    Probe* probe = add(std::make_unique<Probe>());
    G2::Game::addTimer(probe, 1, now + 250);
    G2::Game::addTimer(probe, 2, now + 150);
    G2::Game::addTimer(probe, 3, now + 250);
    G2::Game::addTimer(probe, 4, now + 150);
    frame(); // +100
    EXPECT_TRUE(probe->timers.empty());
    frame(); // +200
    EXPECT_EQ(probe->timers, (std::vector<uint32_t>{2, 4}));
    frame(); // +300
    EXPECT_EQ(probe->timers, (std::vector<uint32_t>{2, 4, 1, 3}));
    G2::Game::addTimer(probe, 5, now + 100);
    probe->detach(); // a destroyed node's timers go with it
    frame();
    EXPECT_EQ(G2::toolkit().timers.size(), 0u);
}

TEST_F(GameTest, TickMessageCarriesTheTimeAndFrameCounter) {
    struct TickProbe : G2::EventTarget {
        std::vector<G2::FrameTick> ticks;
        int onEvent(uint32_t, void*, intptr_t data) override {
            ticks.push_back(*reinterpret_cast<const G2::FrameTick*>(data));
            return 0;
        }
    } probe;
    G2::toolkit().emitter.connect(&probe, G2::Msg::Tick);
    frame();
    frame();
    ASSERT_EQ(probe.ticks.size(), 2u);
    EXPECT_EQ(probe.ticks[1].now, now);
    EXPECT_EQ(probe.ticks[1].frame, probe.ticks[0].frame + 1);
    G2::toolkit().emitter.disconnectAll(&probe);
}

TEST_F(GameTest, IdleFramesSkipUpdateWithFlag5) {
    frame();
    scene.log.clear();
    G2::toolkit().windowFlags |= G2::SkipIdleUpdate;
    frame();
    EXPECT_TRUE(scene.log.empty());
    pushMotion(5, 5);
    frame();
    EXPECT_EQ(scene.log, (std::vector<std::string>{"update", "after"}));
}

TEST_F(GameTest, PopupsAttachToThePopupRootAndDetach) {
    G2::Widget* popupRoot = G2::Game::popupRoot(320, 240);
    EXPECT_EQ(G2::Game::popupRoot(100, 100), popupRoot);
    EXPECT_EQ(popupRoot->w, 100);
    auto hidden = std::make_unique<Widget>();
    hidden->visible = 0;
    Widget* list = G2::Game::showPopup(std::move(hidden), 30, 40);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->parent(), popupRoot);
    EXPECT_EQ(list->x, 30);
    EXPECT_TRUE(list->visible);
    std::unique_ptr<Widget> owner = G2::Game::hidePopup(list);
    EXPECT_EQ(owner.get(), list);
    EXPECT_EQ(list->parent(), nullptr);
    EXPECT_EQ(G2::Game::hidePopup(list), nullptr);

    // Escape takes it out of the layer; its opener still gets it back.
    G2::Game::showPopup(std::move(owner), 0, 0);
    pushKey(SDLK_ESCAPE, 27);
    EXPECT_TRUE(frame());
    EXPECT_EQ(list->parent(), nullptr);
    EXPECT_EQ(G2::Game::hidePopup(list).get(), list);
}
