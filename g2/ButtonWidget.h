#pragma once
#include "g2/Widget.h"

#include <vector>

namespace G2 {

struct ButtonStyle;
struct PushButtonStyle;
class ButtonGroupWidget;
class LabelWidget;

/// A button: looks for normal, over, pressed and disabled from its style;
/// emits Msg::Pressed, Msg::Released, Msg::Activated (a click that ends
/// over it, or an auto-repeat step while held), and re-emits
/// Msg::PointerEntered and Msg::PointerLeft. A button consumes
/// the mouse events that reach it: its children never see them.
class ButtonWidget : public Widget {
    G2_CLASS_INFO()
public:
    enum Look { Normal, Over, Pressed, Disabled };

    explicit ButtonWidget(int32_t id = 0);
    ~ButtonWidget() override;

    /// Reads "bstyle" and "bid" (always), then joins an enclosing button group.
    void load(RCache* cache, const Property* props) override;
    int onEvent(uint32_t code, void* sender, intptr_t data) override;
    /// A plain button only stores the value.
    virtual void setToggled(bool value);

    /// Null means the built-in default (border 1, no frames).
    void setButtonStyle(ButtonStyle* style);
    ButtonStyle* buttonStyle() const { return style_; }
    /// Repeats activation while held: on the press, after `delay` ticks,
    /// then every `interval` ticks. Interval 0 turns repetition off.
    void setRepeat(uint8_t delay, uint8_t interval);
    void setDisabled(bool on);
    bool isPressed() const { return (buttonState & PressedBit) != 0; }
    bool toggled() const { return toggled_ != 0; }
    void applyLook(Look look);

    int32_t id;
    uint8_t buttonState = 0;

protected:
    friend class ButtonGroupWidget;
    static constexpr uint8_t PressedBit = 0x20;
    /// Joins the nearest enclosing "ButtonGroupWidget", once.
    void registerWithGroup();

    ButtonStyle* style_;
    /// The group this button joined (it leaves it when destroyed), or null.
    ButtonGroupWidget* group_ = nullptr;
    uint8_t repeatDelay_ = 0;
    uint8_t repeatInterval_ = 0;
    uint8_t countdown_ = 0;
    uint8_t toggled_ = 0;
};

/// A button that toggles on every activation and emits Msg::Toggled with a
/// pointer to its new state; its push style gives one look when off, one when on.
class PushButtonWidget : public ButtonWidget {
    G2_CLASS_INFO()
public:
    explicit PushButtonWidget(int32_t id = 0);
    ~PushButtonWidget() override;

    /// Reads "pbstyle" and "auto".
    void load(RCache* cache, const Property* props) override;
    int onEvent(uint32_t code, void* sender, intptr_t data) override;
    void setToggled(bool value) override;
    void setPushStyle(PushButtonStyle* style);
    PushButtonStyle* pushStyle() const { return pushStyle_; }

private:
    void applyToggleLook();
    PushButtonStyle* pushStyle_ = nullptr;
};

/// A button showing a label over its background.
class LabelButtonWidget : public ButtonWidget {
    G2_CLASS_INFO()
public:
    explicit LabelButtonWidget(const char* text = "", int32_t id = 0);
    ~LabelButtonWidget() override;
    /// Also reads the child node "label" into the inner label.
    void load(RCache* cache, const Property* props) override;
    LabelWidget* label() const { return label_; }

private:
    LabelWidget* label_;
};

/// A toggle button showing a label over its background.
class LabelPushButtonWidget : public PushButtonWidget {
    G2_CLASS_INFO()
public:
    explicit LabelPushButtonWidget(const char* text = "", int32_t id = 0);
    ~LabelPushButtonWidget() override;
    void load(RCache* cache, const Property* props) override;
    LabelWidget* label() const { return label_; }

private:
    LabelWidget* label_;
};

/// Buttons inside a group register with it when they are loaded. The group
/// behaves as a radio group: a member push button toggled on turns the
/// other members off. A member destroyed first leaves the group; a group
/// destroyed first lets go of its members (one moved out of it outlives it).
class ButtonGroupWidget : public Widget {
    G2_CLASS_INFO()
public:
    ButtonGroupWidget();
    ~ButtonGroupWidget() override;
    int onEvent(uint32_t code, void* sender, intptr_t data) override;
    void addMember(ButtonWidget* button) { members_.push_back(button); }
    void removeMember(ButtonWidget* button);
    const std::vector<ButtonWidget*>& members() const { return members_; }

private:
    std::vector<ButtonWidget*> members_; // borrowed
};

} // namespace G2
