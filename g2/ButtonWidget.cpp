// Buttons, toggle buttons, labelled buttons and button groups.
#include "g2/ButtonWidget.h"

#include "g2/Game.h"
#include "g2/LabelWidget.h"
#include "g2/Messages.h"
#include "g2/Styles.h"
#include "props/Properties.h"
#include "props/RCache.h"

#include <algorithm>

namespace G2 {

G2_DEFINE_CLASS_INFO(ButtonWidget, Widget, "ButtonWidget")
G2_DEFINE_CLASS_INFO(PushButtonWidget, ButtonWidget, "PushButtonWidget")
G2_DEFINE_CLASS_INFO(LabelButtonWidget, ButtonWidget, "LabelButtonWidget")
G2_DEFINE_CLASS_INFO(LabelPushButtonWidget, PushButtonWidget, "LabelPushButtonWidget")
G2_DEFINE_CLASS_INFO(ButtonGroupWidget, Widget, "ButtonGroupWidget")

// Buttons ------------------------------------------------------------------

ButtonWidget::ButtonWidget(int32_t buttonId) : id(buttonId), style_(nullptr) {
    ButtonStyle* style = toolkit().defaultButtonStyle;
    setButtonStyle(style);
}

ButtonWidget::~ButtonWidget() {
    toolkit().emitter.disconnect(this, Msg::Tick);
    if (group_ != nullptr)
        group_->removeMember(this);
}

void ButtonWidget::setButtonStyle(ButtonStyle* style) {
    style_ = style != nullptr ? style : defaultButtonStyle();
    if (border != style_->border) {
        border = static_cast<uint8_t>(style_->border);
        needsLayout = 1;
    }
    if (isInert())
        applyLook(Disabled);
    else if (isPressed())
        applyLook(Pressed);
    else if ((state & PointerOver) && !(toolkit().windowFlags & NoHover))
        applyLook(Over);
    else
        applyLook(Normal);
}

void ButtonWidget::applyLook(Look look) {
    // A disabled button always shows its disabled look.
    if (isInert())
        look = Disabled;
    TKAL::Frame* frame = nullptr;
    switch (look) {
    case Normal:
        frame = style_->normal;
        break;
    case Over:
        frame = style_->over;
        break;
    case Pressed:
        frame = style_->pressed;
        break;
    case Disabled:
        frame = style_->disabled;
        break;
    }
    setStyle(frame);
    state |= NeedsRedraw;
}

void ButtonWidget::setDisabled(bool on) {
    setInert(on);
    if (on) {
        buttonState &= ~PressedBit;
        applyLook(Disabled);
    } else {
        state &= ~Inert;
        applyLook(Normal);
    }
}

void ButtonWidget::setRepeat(uint8_t delay, uint8_t interval) {
    repeatDelay_ = delay;
    bool wasRepeating = repeatInterval_ != 0;
    repeatInterval_ = interval;
    if (interval != 0 && !wasRepeating)
        toolkit().emitter.connect(this, Msg::Tick);
    else if (interval == 0 && wasRepeating)
        toolkit().emitter.disconnect(this, Msg::Tick);
}

void ButtonWidget::setToggled(bool value) {
    toggled_ = value ? 1 : 0;
}

int ButtonWidget::onEvent(uint32_t code, void* sender, intptr_t data) {
    (void)sender;
    (void)data;
    if (isInert())
        return 1;
    Toolkit& tk = toolkit();
    const bool hover = !(tk.windowFlags & NoHover);
    switch (code) {
    case Msg::PointerEntered:
        if (hover) {
            applyLook(isPressed() ? Pressed : Over);
            emitter().emit(Msg::PointerEntered, 0);
        }
        break;
    case Msg::PointerLeft:
        if (hover) {
            applyLook(isPressed() ? Pressed : Normal);
            emitter().emit(Msg::PointerLeft, 0);
        }
        break;
    case Msg::MousePress:
        buttonState |= PressedBit;
        applyLook(Pressed);
        emitter().emit(Msg::Pressed, 0);
        if (repeatInterval_ != 0) {
            emitter().emit(Msg::Activated, 0);
            countdown_ = repeatDelay_;
        }
        break;
    case Msg::Click: {
        buttonState &= ~PressedBit;
        bool over = (state & PointerOver) != 0;
        applyLook(over && hover ? Over : Normal);
        emitter().emit(Msg::Released, 0);
        if (over && repeatInterval_ == 0)
            emitter().emit(Msg::Activated, 0);
        break;
    }
    case Msg::Tick:
        if (repeatInterval_ != 0 && isPressed()) {
            if (countdown_ < 2) {
                tk.windowFlags |= InputThisFrame;
                emitter().emit(Msg::Activated, 0);
                countdown_ = repeatInterval_;
            } else {
                --countdown_;
            }
        }
        break;
    default:
        break;
    }
    return 1;
}

void ButtonWidget::registerWithGroup() {
    if (state & GroupRegistered)
        return;
    for (Node* a = parent(); a != nullptr; a = a->parent()) {
        if (!a->isKindOf(ButtonGroupWidget::classRecord))
            continue;
        auto* group = static_cast<ButtonGroupWidget*>(a);
        group->addMember(this);
        group_ = group;
        state |= GroupRegistered;
        setToggled(false);
        emitter().connect(group, isKindOf(PushButtonWidget::classRecord) ? Msg::Toggled : Msg::Activated);
        return;
    }
}

void ButtonWidget::load(RCache* cache, const Property* props) {
    Widget::load(cache, props);
    if (props != nullptr) {
        std::string name = props->getString("bstyle", "");
        if (!name.empty() && cache != nullptr) {
            auto* style = static_cast<ButtonStyle*>(cache->get("ButtonStyle", name.c_str(), nullptr));
            if (style != nullptr)
                setButtonStyle(style);
        }
        id = props->getInt("bid", 0);
    }
    registerWithGroup();
}

// Toggle buttons -----------------------------------------------------------

PushButtonWidget::PushButtonWidget(int32_t buttonId) : ButtonWidget(buttonId) {
    emitter().connect(this, Msg::Activated);
    PushButtonStyle* style = toolkit().defaultPushButtonStyle;
    if (style != nullptr)
        setPushStyle(style);
}

PushButtonWidget::~PushButtonWidget() = default;

void PushButtonWidget::applyToggleLook() {
    if (pushStyle_ == nullptr)
        setButtonStyle(nullptr);
    else
        setButtonStyle(toggled_ ? pushStyle_->on : pushStyle_->off);
}

void PushButtonWidget::setPushStyle(PushButtonStyle* style) {
    pushStyle_ = style;
    applyToggleLook();
}

void PushButtonWidget::setToggled(bool value) {
    uint8_t v = value ? 1 : 0;
    if (v == toggled_)
        return;
    toggled_ = v;
    if (pushStyle_ != nullptr)
        applyToggleLook();
}

int PushButtonWidget::onEvent(uint32_t code, void* sender, intptr_t data) {
    if (code == Msg::Activated && sender == this && !isInert()) {
        setToggled(!toggled_);
        emitter().emit(Msg::Toggled, reinterpret_cast<intptr_t>(&toggled_));
    }
    return ButtonWidget::onEvent(code, sender, data);
}

void PushButtonWidget::load(RCache* cache, const Property* props) {
    ButtonWidget::load(cache, props);
    if (props == nullptr)
        return;
    std::string name = props->getString("pbstyle", "");
    if (!name.empty() && cache != nullptr) {
        auto* style = static_cast<PushButtonStyle*>(cache->get("PushButtonStyle", name.c_str(), nullptr));
        if (style != nullptr)
            setPushStyle(style);
    }
    if (props->getInt("auto", 0) != 0)
        state |= PushAuto;
}

// Labelled buttons ---------------------------------------------------------

namespace {

LabelWidget* makeInnerLabel(Widget* button, const char* text) {
    auto label = std::make_unique<LabelWidget>(text);
    label->expand = ExpandBoth;
    label->hJustify = LabelWidget::Center;
    label->vJustify = LabelWidget::Center;
    LabelWidget* raw = label.get();
    label.release()->insertInto(button, nullptr);
    button->flow = FlowHorizontal;
    button->w = button->h = button->preferredW = button->preferredH = 18;
    return raw;
}

void loadInnerLabel(LabelWidget* label, RCache* cache, const Property* props) {
    if (props == nullptr)
        return;
    const Property* node = props->find("label");
    if (node != nullptr)
        label->load(cache, node);
}

} // namespace

LabelButtonWidget::LabelButtonWidget(const char* text, int32_t buttonId)
    : ButtonWidget(buttonId), label_(makeInnerLabel(this, text)) {}

LabelButtonWidget::~LabelButtonWidget() = default;

void LabelButtonWidget::load(RCache* cache, const Property* props) {
    ButtonWidget::load(cache, props);
    loadInnerLabel(label_, cache, props);
}

LabelPushButtonWidget::LabelPushButtonWidget(const char* text, int32_t buttonId)
    : PushButtonWidget(buttonId), label_(makeInnerLabel(this, text)) {}

LabelPushButtonWidget::~LabelPushButtonWidget() = default;

void LabelPushButtonWidget::load(RCache* cache, const Property* props) {
    PushButtonWidget::load(cache, props);
    loadInnerLabel(label_, cache, props);
}

// Button groups ------------------------------------------------------------

ButtonGroupWidget::ButtonGroupWidget() = default;

ButtonGroupWidget::~ButtonGroupWidget() {
    // Members still inside are destroyed after this (children go last), and
    // one moved elsewhere may live on: none may reach the group any more.
    for (ButtonWidget* member : members_) {
        member->group_ = nullptr;
        member->emitter().disconnect(this, Msg::Activated);
        member->emitter().disconnect(this, Msg::Toggled);
    }
}

void ButtonGroupWidget::removeMember(ButtonWidget* button) {
    members_.erase(std::remove(members_.begin(), members_.end(), button), members_.end());
}

int ButtonGroupWidget::onEvent(uint32_t code, void* sender, intptr_t data) {
    if (code == Msg::Toggled && data != 0 && *reinterpret_cast<const uint8_t*>(data) != 0) {
        for (ButtonWidget* member : members_)
            if (member != sender)
                member->setToggled(false);
        return 1;
    }
    return Widget::onEvent(code, sender, data);
}

} // namespace G2
