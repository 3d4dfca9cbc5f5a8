#include "tests/g2/GameFixture.h"

#include "g2/ButtonWidget.h"
#include "g2/LabelWidget.h"
#include "g2/Messages.h"
#include "g2/ProgressWidget.h"
#include "g2/Styles.h"
#include "tkal/Image.h"

using g2test::GameTest;

namespace {

class FakeImage : public TKAL::Image {
public:
    FakeImage(int w, int h) : w_(w), h_(h) {}
    void placeRect(int x, int y, TKAL::Rect& r) const override {
        r = TKAL::Rect{int16_t(x), int16_t(y), uint16_t(w_), uint16_t(h_)};
    }
    void getSize(int& w, int& h) const override {
        w = w_;
        h = h_;
    }
    void setCornerKey(bool) override {}
    void setColorKey(uint8_t, uint8_t, uint8_t) override {}
    void setAlpha(int) override {}
    void setHotSpot(int, int) override {}

private:
    int w_, h_;
};

class FakeList : public TKAL::ImageList {
public:
    explicit FakeList(int n) {
        for (int i = 0; i < n; ++i)
            images.push_back(std::make_unique<FakeImage>(4, 4));
    }
    unsigned count() const override { return unsigned(images.size()); }
    TKAL::Image* get(unsigned i) const override { return i < images.size() ? images[i].get() : nullptr; }
    int indexOf(const TKAL::Image* image) const {
        for (size_t i = 0; i < images.size(); ++i)
            if (images[i].get() == image)
                return int(i);
        return -1;
    }
    std::vector<std::unique_ptr<FakeImage>> images;
};

} // namespace

TEST_F(GameTest, LabelsJustifyTheirText) {
    fakes::Font font(1, 10);
    auto label = std::make_unique<G2::LabelWidget>("0123456789012345678901234567890"); // 31 wide
    label->font = &font;
    label->setSize(100, 30);
    G2::LabelWidget* l = add(std::move(label));
    frame();
    ASSERT_FALSE(font.draws.empty());
    EXPECT_EQ(font.draws.back().x, 34);
    EXPECT_EQ(font.draws.back().y, 10);
    l->hJustify = G2::LabelWidget::End;
    l->vJustify = G2::LabelWidget::End;
    l->margin = 5;
    frame();
    EXPECT_EQ(font.draws.back().x, 64);
    EXPECT_EQ(font.draws.back().y, 20);
    l->hJustify = G2::LabelWidget::Start;
    l->vJustify = G2::LabelWidget::Start;
    frame();
    EXPECT_EQ(font.draws.back().x, 5);
    EXPECT_EQ(font.draws.back().y, 0);

    const uint16_t wide[] = {'H', 0xF3, 'l', 'a', 0};
    l->setTextW(wide);
    EXPECT_EQ(l->text(), "H\xC3\xB3la");
    l->setText(nullptr);
    EXPECT_EQ(l->text(), "");
}

TEST_F(GameTest, LabelWithoutFontDrawsNeitherFrameNorChildren) {
    fakes::Frame frame_;
    fakes::Font font;
    auto label = std::make_unique<G2::LabelWidget>("x");
    label->font = nullptr;
    label->setStyle(&frame_);
    G2::LabelWidget* l = add(std::move(label));
    auto inner = std::make_unique<G2::LabelWidget>("child");
    inner->font = &font;
    add(std::move(inner), l);
    frame();
    EXPECT_TRUE(frame_.rects.empty());
    EXPECT_TRUE(font.draws.empty());
}

TEST_F(GameTest, ProgressBarFillsByValue) {
    fakes::Frame bgFrame, fgFrame, back;
    G2::ProgressFrameStyle style;
    style.border = 2;
    style.frame = &back;
    style.fg = &fgFrame;
    style.bg = &bgFrame;
    auto bar = std::make_unique<G2::ProgressFrameWidget>();
    bar->setProgressStyle(&style);
    EXPECT_EQ(bar->style(), &back);
    bar->setSize(104, 20);
    bar->setValue(50);
    G2::ProgressFrameWidget* b = add(std::move(bar));
    frame();
    ASSERT_EQ(fgFrame.rects.size(), 1u);
    EXPECT_EQ(fgFrame.rects[0].x, 2);
    EXPECT_EQ(fgFrame.rects[0].w, 50);
    EXPECT_EQ(fgFrame.rects[0].h, 16);
    ASSERT_EQ(bgFrame.rects.size(), 1u);
    EXPECT_EQ(bgFrame.rects[0].x, 52);
    EXPECT_EQ(bgFrame.rects[0].w, 50);

    b->setValue(0);
    frame();
    EXPECT_EQ(fgFrame.rects.size(), 1u); // no fg piece
    b->setValue(100);
    frame();
    EXPECT_EQ(bgFrame.rects.size(), 2u); // no bg piece at the maximum
    b->setValue(250);                    // beyond the maximum: the bar is full, never more
    frame();
    EXPECT_EQ(fgFrame.rects.back().w, 100);
    b->setMaximum(0); // not positive: empty, and no division by zero
    frame();
    EXPECT_EQ(bgFrame.rects.back().w, 100);

    style.vert = 1;
    b->setMaximum(100);
    b->setValue(25);
    b->setSize(20, 104);
    frame();
    EXPECT_EQ(fgFrame.rects.back().h, 25);
    EXPECT_EQ(fgFrame.rects.back().w, 16);
    EXPECT_EQ(bgFrame.rects.back().y, 27);
}

TEST_F(GameTest, AnimationStepsThroughItsImagesAndStopsOrLoops) {
    FakeList images(4);
    auto anim = std::make_unique<G2::AnimWidget>();
    anim->setImages(&images);
    anim->frameRate = 0.5;
    G2::AnimWidget* a = add(std::move(anim));
    fakes::Listener listener;
    a->emitter().connect(&listener, G2::Msg::FirstFrame);
    a->emitter().connect(&listener, G2::Msg::LastFrame);
    std::vector<int> shown{images.indexOf(a->image())};
    for (int i = 0; i < 8; ++i) {
        frame();
        shown.push_back(images.indexOf(a->image()));
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3, 3}));
    EXPECT_EQ(listener.codes(), (std::vector<uint32_t>{G2::Msg::LastFrame}));

    a->motion |= G2::AnimWidget::Loop;
    frame(); // 3.5
    frame(); // 4.0 becomes 0.0
    EXPECT_EQ(images.indexOf(a->image()), 0);
    EXPECT_EQ(listener.codes(), (std::vector<uint32_t>{G2::Msg::LastFrame, G2::Msg::FirstFrame}));
    a->setFrame(6);
    EXPECT_EQ(a->framePosition(), 2.0);
}

TEST_F(GameTest, AnimationSlidesAPictureUntilItsEdgeMeetsTheArea) {
    FakeImage wide(100, 10);
    auto anim = std::make_unique<G2::AnimWidget>();
    anim->setSize(40, 10);
    anim->setImage(&wide);
    anim->hVelocity = -25;
    anim->motion = G2::AnimWidget::MoveHorizontal;
    G2::AnimWidget* a = add(std::move(anim));
    fakes::Listener listener;
    a->emitter().connect(&listener, G2::Msg::HorizontalMotionEnded);
    frame(); // -25
    frame(); // -50
    EXPECT_EQ(a->imageX, -50);
    EXPECT_FALSE(a->centred());
    frame(); // -75 would leave a gap: stops at 40 - 100
    EXPECT_EQ(a->imageX, -60);
    EXPECT_EQ(a->motion & G2::AnimWidget::MoveHorizontal, 0u);
    EXPECT_EQ(listener.count(G2::Msg::HorizontalMotionEnded), 1);
    frame();
    EXPECT_EQ(a->imageX, -60);
}

TEST_F(GameTest, PushButtonTogglesOnEveryClickAndReportsItsState) {
    auto push = std::make_unique<G2::PushButtonWidget>(3);
    push->setSize(30, 30);
    G2::PushButtonWidget* p = add(std::move(push));
    struct ToggleProbe : G2::EventTarget {
        std::vector<int> values;
        int onEvent(uint32_t, void*, intptr_t data) override {
            values.push_back(*reinterpret_cast<const uint8_t*>(data));
            return 0;
        }
    } probe;
    p->emitter().connect(&probe, G2::Msg::Toggled);
    frame();
    click(10, 10);
    frame();
    frame();
    click(10, 10);
    frame();
    frame();
    EXPECT_EQ(probe.values, (std::vector<int>{1, 0}));
}

TEST_F(GameTest, PushStyleGivesOneLookWhenOffAndOneWhenOn) {
    fakes::Frame offFrame, onFrame;
    G2::ButtonStyle off{3, &offFrame, nullptr, nullptr, nullptr};
    G2::ButtonStyle on{1, &onFrame, nullptr, nullptr, nullptr};
    G2::PushButtonStyle style{&off, &on};
    G2::PushButtonWidget p;
    p.setPushStyle(&style);
    EXPECT_EQ(p.style(), &offFrame);
    EXPECT_EQ(p.border, 3);
    p.setToggled(true);
    EXPECT_EQ(p.style(), &onFrame);
    EXPECT_EQ(p.border, 1);
    p.setPushStyle(nullptr); // the built-in look: border 1, no frames
    EXPECT_EQ(p.style(), nullptr);
}

TEST_F(GameTest, AutoRepeatFiresOnPressThenAfterTheDelayThenEveryInterval) {
    auto button = std::make_unique<G2::ButtonWidget>();
    button->setSize(20, 20);
    button->setRepeat(10, 2);
    G2::ButtonWidget* b = add(std::move(button));
    fakes::Listener listener;
    b->emitter().connect(&listener, G2::Msg::Activated);
    frame();
    pushButton(true, 1, 5, 5);
    frame(); // the press fires once; this frame's tick is the first after it
    std::vector<int> firedAt;
    int fired = listener.count(G2::Msg::Activated);
    EXPECT_EQ(fired, 1);
    for (int tick = 1; tick <= 16; ++tick) {
        frame();
        if (listener.count(G2::Msg::Activated) > fired)
            firedAt.push_back(tick);
        fired = listener.count(G2::Msg::Activated);
    }
    EXPECT_EQ(firedAt, (std::vector<int>{9, 11, 13, 15})); // the 10th tick after the press, then every 2nd
    pushButton(false, 1, 5, 5);
    frame();
    frame();
    int afterRelease = listener.count(G2::Msg::Activated);
    frame();
    EXPECT_EQ(listener.count(G2::Msg::Activated),
              afterRelease); // no repeat once released, no click activation
}

TEST_F(GameTest, ButtonLooksFollowThePointerAndDisabledButtonsIgnoreEverything) {
    fakes::Frame normal, over, pressed, disabled;
    G2::ButtonStyle style{2, &normal, &pressed, &over, &disabled};
    auto button = std::make_unique<G2::ButtonWidget>();
    button->setButtonStyle(&style);
    button->setSize(20, 20);
    G2::ButtonWidget* b = add(std::move(button));
    EXPECT_EQ(b->style(), &normal);
    EXPECT_EQ(b->border, 2);
    frame();
    pushMotion(5, 5);
    frame();
    EXPECT_EQ(b->style(), &over);
    pushButton(true, 1, 5, 5);
    frame();
    EXPECT_EQ(b->style(), &pressed);
    pushButton(false, 1, 5, 5);
    frame();
    EXPECT_EQ(b->style(), &over);
    pushMotion(100, 100);
    frame();
    EXPECT_EQ(b->style(), &normal);

    fakes::Listener listener;
    b->emitter().connect(&listener, G2::Msg::Pressed);
    b->setDisabled(true);
    EXPECT_EQ(b->style(), &disabled);
    click(5, 5);
    frame();
    frame();
    EXPECT_TRUE(listener.messages.empty());
}

TEST_F(GameTest, LabelledButtonsCarryALabelFillingTheirContent) {
    fakes::Font font(2, 10);
    G2::toolkit().defaultFont = &font;
    auto button = std::make_unique<G2::LabelButtonWidget>("Jugar", 1002);
    EXPECT_EQ(button->w, 18);
    EXPECT_EQ(button->flow, G2::FlowHorizontal);
    button->setSize(100, 30);
    G2::LabelButtonWidget* b = add(std::move(button));
    frame();
    EXPECT_EQ(b->label()->text(), "Jugar");
    EXPECT_EQ(b->label()->w, 100 - 2); // the default style's border is 1
    ASSERT_FALSE(font.draws.empty());
    EXPECT_EQ(font.draws.back().x, (98 - 10) / 2); // in the label's own content
    EXPECT_EQ(b->id, 1002);
}

TEST_F(GameTest, ButtonGroupLetsOneMemberBeOn) {
    auto group = std::make_unique<G2::ButtonGroupWidget>();
    group->flow = G2::FlowHorizontal;
    group->setSize(100, 20);
    G2::ButtonGroupWidget* g = add(std::move(group));
    G2::PushButtonWidget* a = add(std::make_unique<G2::PushButtonWidget>(), g);
    G2::PushButtonWidget* b = add(std::make_unique<G2::PushButtonWidget>(), g);
    a->load(nullptr, nullptr);
    b->load(nullptr, nullptr);
    a->load(nullptr, nullptr); // registers once
    ASSERT_EQ(g->members().size(), 2u);
    a->emitter().emit(G2::Msg::Activated);
    EXPECT_TRUE(a->toggled());
    b->emitter().emit(G2::Msg::Activated);
    EXPECT_TRUE(b->toggled());
    EXPECT_FALSE(a->toggled());

    a->detach(); // destroyed: a member leaves the group
    EXPECT_EQ(g->members(), std::vector<G2::ButtonWidget*>{b});
    b->emitter().emit(G2::Msg::Activated);
    b->emitter().emit(G2::Msg::Activated);
    EXPECT_TRUE(b->toggled());

    // A member moved out of the group outlives it without reaching it.
    std::unique_ptr<G2::Node> moved = b->detach();
    g->detach();
    b->emitter().emit(G2::Msg::Activated);
    EXPECT_FALSE(b->toggled());
}
