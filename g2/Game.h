#pragma once
#include "g2/Emitter.h"
#include "tkal/App.h"
#include "tkal/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TKAL {
class Canvas;
class Display;
class Font;
class Input;
} // namespace TKAL

namespace G2 {

class Node;
class Scene;
class View;
class Widget;
struct ButtonStyle;
struct PushButtonStyle;
struct ProgressFrameStyle;

/// Window flag bits of the toolkit.
enum WindowFlag : uint32_t {
    RepaintAlways = 1u << 0, // clear the whole screen every frame
    RepaintOnce = 1u << 1,   // clear it once (then this bit and bit 0 are cleared)
    NoHover = 1u << 2,       // buttons show no hover look, send no enter/leave
    HideCursor = 1u << 3,
    InputThisFrame = 1u << 4, // set by the frame itself
    SkipIdleUpdate = 1u << 5, // no scene update nor drawing in frames without input
    SkipIdleDraw = 1u << 6,   // no drawing in frames without input
    OutlineDebug = 1u << 7,
    QuitAsMessage = 1u << 8, // quit requests become Msg::QuitRequested (see Game::frame)
    WindowBorderless = 1u << 9,
    WindowCentred = 1u << 10,
    WindowResizable = 1u << 11,
    Resized = 1u << 23,
    EndScene = 1u << 31,
};

/// Data of the frame tick, Msg::Tick.
struct FrameTick {
    uint32_t now;
    uint32_t frame;
};

/// The process-wide state of the toolkit: display, scenes, layers, pointer,
/// focus, timers, the game emitter and the defaults widgets take. It lives
/// for the whole process (it is never destroyed, so that widgets owned by
/// static objects may still leave it at exit).
struct Toolkit {
    TKAL::Display* display = nullptr;
    TKAL::Input* input = nullptr;
    std::unique_ptr<TKAL::Canvas> screenCanvas;
    Scene* current = nullptr;
    Scene* pending = nullptr;
    uint32_t windowFlags = 0;
    uint32_t clearPixel = 0;
    View* views[8] = {};
    uint32_t now = 0;
    uint32_t frameCount = 0;
    uint32_t gameTime = 0;
    TKAL::Rect screenRect;
    struct Mouse {
        uint32_t held = 0;
        uint32_t deferredRelease = 0;
        uint32_t pressedThisFrame = 0;
        int x = 0;
        int y = 0;
        bool moved = false;
    } mouse;
    Node* focus = nullptr;
    /// The popup layer's root: it owns the widgets shown in it.
    std::unique_ptr<Widget> popupRoot;
    /// Widgets that Escape took out of the popup layer, kept until their
    /// openers ask for them back (`Game::hidePopup`).
    std::vector<std::unique_ptr<Node>> closedPopups;
    struct Timer {
        uint32_t due;
        Node* target;
        uint32_t id;
    };
    std::vector<Timer> timers; // by due time; equal times in insertion order
    Emitter emitter{nullptr};
    std::string caption;

    // Defaults installed by the application (borrowed from the resource cache).
    TKAL::Font* defaultFont = nullptr;
    ButtonStyle* defaultButtonStyle = nullptr;
    PushButtonStyle* defaultPushButtonStyle = nullptr;
    ProgressFrameStyle* defaultProgressStyle = nullptr;

    /// Makes `node` the focus node, announcing the change to both nodes.
    void setFocus(Node* node);
    /// Drops the timers and game-emitter connections of a node that is
    /// being destroyed, and the focus it held.
    void forget(Node* node);
    /// Back to the state of a new process (for tests).
    void reset();
};

Toolkit& toolkit();

/// Ends the process after reporting `text` (a start-up resource that cannot
/// be had): calls the installed handler, then exits with code -1.
[[noreturn]] void fatalError(const char* text);
/// The application decides how a fatal error is shown (a message box).
void setFatalErrorHandler(void (*handler)(const char* text));

/// The application frame: polls and routes input, runs timers, switches
/// scenes, updates the current scene and redraws the eight layers.
class Game : public TKAL::App {
public:
    Game();
    ~Game() override;

    /// One frame. Escape first takes whatever is shown in the popup layer
    /// out of it (an open drop-down); otherwise it is a quit request like
    /// the window's close button, after the focus node has had the key
    /// (a text field emits Msg::EscapePressed). With QuitAsMessage a quit
    /// request is Msg::QuitRequested on the game emitter, whose data is 0 for the close
    /// button and the key event for Escape, so that a window shown on top
    /// can take Escape as its own cancel.
    bool frame(uint32_t now, uint32_t gameTime) override;

    /// Opens the window (flags bits 9-11 give its options); false when the
    /// mode cannot be set.
    bool setVideoMode(int w, int h);
    /// Calls `target->onTimer(id)` once the frame's time reaches `due`.
    static void addTimer(Node* target, uint32_t id, uint32_t due);
    /// The popup layer's root, made on first use, sized `w` x `h`.
    static Widget* popupRoot(int w, int h);
    /// Shows a parentless widget in the popup layer at (x, y); the layer
    /// owns it until `hidePopup` hands it back. Answers the widget
    /// (borrowed), or null when there is no popup layer yet or the widget
    /// has a parent (it is then destroyed).
    static Widget* showPopup(std::unique_ptr<Widget> widget, int x, int y);
    /// Takes a widget out of the popup layer and hands its owner back: one
    /// shown there, or one that Escape has closed since. Null when the layer
    /// holds no such widget.
    static std::unique_ptr<Widget> hidePopup(Widget* widget);
    /// Registers `view` in the first free layer slot; false when all are taken.
    static bool addView(View* view);
    static void setPendingScene(Scene* scene);
    /// Ends the current scene without a successor: the loop ends.
    static void quit();

private:
    enum class QuitRequest { None, Window, Escape };
    /// Answers the quit request the input brought, if any.
    QuitRequest inputStep();
    /// One polled event; answers the quit request it makes, if any.
    QuitRequest handleEvent(TKAL::Event& event);
    /// Escape: closes the popups, or else is a quit request.
    QuitRequest escape(const TKAL::Event& event);
    void buttonDown(const TKAL::Event& event);
    void buttonUp(const TKAL::Event& event);
    /// Takes every widget out of the popup layer, keeping each for its
    /// opener; false when none was shown.
    bool closePopups();
    void dispatchMouse(const TKAL::Event& event);
    void routeKey(const TKAL::Event& event);
    void runTimers();
    void redraw();

    TKAL::Event escapeKey_; // the data of the quit request that Escape made
};

/// The node Tab moves the focus to from `from` (backward with `backward`),
/// or null when no node of the tree accepts the focus.
Node* nextFocus(Node* from, bool backward);

/// The layer showing `node` (its tree's root is the layer's root), or null
/// when no layer does.
View* viewShowing(const Node* node);

} // namespace G2
