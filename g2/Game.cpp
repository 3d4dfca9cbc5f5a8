// The application frame and the toolkit's process-wide state:
//   [state]   toolkit(), focus, forgetting destroyed nodes, fatal errors
//   [focus]   Tab navigation
//   [frame]   Game::frame, the input step, keyboard routing, timers, redraw
//   [screen]  video mode, layers, popups, scenes
#include "g2/Game.h"

#include "g2/Messages.h"
#include "g2/Scene.h"
#include "g2/View.h"
#include "g2/Widget.h"
#include "support/XLog2.h"
#include "tkal/Canvas.h"
#include "tkal/Display.h"
#include "tkal/Input.h"

#include <algorithm>
#include <cstdlib>

namespace G2 {

// [state] -------------------------------------------------------------------

Toolkit& toolkit() {
    static Toolkit* state = new Toolkit;
    return *state;
}

void Toolkit::setFocus(Node* node) {
    if (node == focus)
        return;
    Node* previous = focus;
    focus = node;
    if (previous != nullptr) {
        previous->state |= NeedsRedraw;
        previous->focusChanged();
    }
    if (node != nullptr) {
        node->state |= NeedsRedraw;
        node->focusChanged();
    }
}

void Toolkit::forget(Node* node) {
    if (focus == node)
        focus = nullptr;
    timers.erase(
        std::remove_if(timers.begin(), timers.end(), [node](const Timer& t) { return t.target == node; }),
        timers.end());
    emitter.disconnectAll(node);
}

void Toolkit::reset() {
    closedPopups.clear();
    popupRoot.reset();
    screenCanvas.reset();
    Toolkit fresh;
    display = fresh.display;
    input = fresh.input;
    current = pending = nullptr;
    windowFlags = 0;
    clearPixel = 0;
    std::fill(std::begin(views), std::end(views), nullptr);
    now = frameCount = gameTime = 0;
    screenRect = TKAL::Rect{};
    mouse = Mouse{};
    focus = nullptr;
    timers.clear();
    caption.clear();
    defaultFont = nullptr;
    defaultButtonStyle = nullptr;
    defaultPushButtonStyle = nullptr;
    defaultProgressStyle = nullptr;
}

namespace {
void (*fatalHandler)(const char*) = nullptr;
} // namespace

void setFatalErrorHandler(void (*handler)(const char* text)) {
    fatalHandler = handler;
}

void fatalError(const char* text) {
    xlog()->format(0x1, "fatal: %s", text);
    if (fatalHandler != nullptr)
        fatalHandler(text);
    std::exit(-1);
}

// [focus] -------------------------------------------------------------------

namespace {

bool takesTab(Node* n) {
    return !(n->state & SkipTab) && n->acceptsFocus();
}

Node* searchSubtree(Node* n, bool backward) {
    if (takesTab(n))
        return n;
    for (Node* c = backward ? n->lastChild() : n->firstChild(); c != nullptr;
         c = backward ? c->prevSibling() : c->nextSibling()) {
        if (Node* found = searchSubtree(c, backward))
            return found;
    }
    return nullptr;
}

} // namespace

Node* nextFocus(Node* from, bool backward) {
    if (from == nullptr)
        return nullptr;
    for (Node* level = from; level != nullptr; level = level->parent()) {
        for (Node* s = backward ? level->prevSibling() : level->nextSibling(); s != nullptr;
             s = backward ? s->prevSibling() : s->nextSibling()) {
            if (Node* found = searchSubtree(s, backward))
                return found;
        }
    }
    Node* top = from;
    while (top->parent() != nullptr)
        top = top->parent();
    return searchSubtree(top, backward);
}

// [frame] -------------------------------------------------------------------

Game::Game() = default;
Game::~Game() = default;

void Game::routeKey(const TKAL::Event& event) {
    Toolkit& tk = toolkit();
    if (tk.focus == nullptr)
        return;
    if (event.type == TKAL::Event::KeyDown && event.arg1 == 9) {
        Node* next = nextFocus(tk.focus, (event.arg2 & TKAL::Event::Shift) != 0);
        if (next != nullptr)
            tk.setFocus(next);
        return;
    }
    TKAL::Event copy = event;
    tk.focus->onEvent(Msg::KeyEvent, nullptr, reinterpret_cast<intptr_t>(&copy));
}

void Game::dispatchMouse(const TKAL::Event& event) {
    Toolkit& tk = toolkit();
    TKAL::Event copy = event;
    tk.emitter.emit(event.type, reinterpret_cast<intptr_t>(&copy));
    for (int slot = 7; slot >= 0; --slot) {
        View* view = tk.views[slot];
        if (view != nullptr && view->mouseEvent(event, tk.mouse.x, tk.mouse.y) != 0)
            break;
    }
}

bool Game::closePopups() {
    Toolkit& tk = toolkit();
    if (!tk.popupRoot || tk.popupRoot->firstChild() == nullptr)
        return false;
    // Their openers take them back with hidePopup (a combo box notices that
    // its list is gone at its next tick).
    while (Node* shown = tk.popupRoot->firstChild())
        tk.closedPopups.push_back(shown->detach());
    return true;
}

Game::QuitRequest Game::inputStep() {
    Toolkit& tk = toolkit();
    tk.mouse.held &= ~tk.mouse.deferredRelease;
    tk.mouse.deferredRelease = 0;
    tk.mouse.pressedThisFrame = 0;
    tk.mouse.moved = false;
    if (tk.input == nullptr)
        return QuitRequest::None;
    TKAL::Event event;
    while (tk.input->poll(event)) {
        tk.windowFlags |= InputThisFrame;
        // A quit request leaves the rest of the queue, and the layers'
        // bookkeeping, to the next frame.
        QuitRequest quit = handleEvent(event);
        if (quit != QuitRequest::None)
            return quit;
    }
    for (int slot = 7; slot >= 0; --slot)
        if (tk.views[slot] != nullptr)
            tk.views[slot]->tick();
    return QuitRequest::None;
}

Game::QuitRequest Game::handleEvent(TKAL::Event& event) {
    Toolkit& tk = toolkit();
    switch (event.type) {
    case TKAL::Event::Quit:
        return QuitRequest::Window;
    case TKAL::Event::KeyDown:
        if (event.arg1 == 27)
            return escape(event);
        routeKey(event);
        break;
    case TKAL::Event::KeyUp:
        routeKey(event);
        break;
    case TKAL::Event::ButtonDown:
        buttonDown(event);
        break;
    case TKAL::Event::ButtonUp:
        buttonUp(event);
        break;
    case TKAL::Event::Motion:
        tk.mouse.moved = true;
        tk.mouse.x = event.arg2;
        tk.mouse.y = event.arg3;
        event.arg1 = static_cast<int32_t>(tk.mouse.held);
        dispatchMouse(event);
        break;
    case TKAL::Event::Resize:
        tk.windowFlags |= Resized;
        if (tk.display != nullptr && tk.display->resize(event.arg1, event.arg2)) {
            tk.screenRect.w = static_cast<uint16_t>(event.arg1);
            tk.screenRect.h = static_cast<uint16_t>(event.arg2);
            tk.emitter.emit(Msg::WindowResized, reinterpret_cast<intptr_t>(&event));
        }
        break;
    default:
        break;
    }
    return QuitRequest::None;
}

Game::QuitRequest Game::escape(const TKAL::Event& event) {
    // Escape closes what is open on top before it means "close".
    if (closePopups())
        return QuitRequest::None;
    if (toolkit().windowFlags & QuitAsMessage)
        routeKey(event);
    escapeKey_ = event;
    return QuitRequest::Escape;
}

void Game::buttonDown(const TKAL::Event& event) {
    Toolkit& tk = toolkit();
    uint32_t button = static_cast<uint32_t>(event.arg1);
    tk.mouse.held |= button;
    tk.mouse.pressedThisFrame |= button;
    tk.mouse.x = event.arg2;
    tk.mouse.y = event.arg3;
    dispatchMouse(event);
}

void Game::buttonUp(const TKAL::Event& event) {
    Toolkit& tk = toolkit();
    uint32_t button = static_cast<uint32_t>(event.arg1);
    // A press and release inside one frame still counts as held once, so
    // that the widget sees the click in the bookkeeping.
    if (tk.mouse.pressedThisFrame & button)
        tk.mouse.deferredRelease |= button;
    else
        tk.mouse.held &= ~button;
    tk.mouse.x = event.arg2;
    tk.mouse.y = event.arg3;
    dispatchMouse(event);
}

void Game::runTimers() {
    Toolkit& tk = toolkit();
    while (!tk.timers.empty() && static_cast<int32_t>(tk.timers.front().due - tk.now) <= 0) {
        Toolkit::Timer due = tk.timers.front();
        tk.timers.erase(tk.timers.begin());
        due.target->onTimer(due.id);
    }
}

void Game::redraw() {
    Toolkit& tk = toolkit();
    if (tk.display == nullptr)
        return;
    tk.display->setClip(&tk.screenRect);
    if (tk.windowFlags & (RepaintAlways | RepaintOnce)) {
        tk.display->clear(tk.clearPixel);
        if (tk.windowFlags & RepaintOnce)
            tk.windowFlags &= ~uint32_t(RepaintAlways | RepaintOnce);
    }
    for (View* view : tk.views) {
        if (view == nullptr || !(view->flags & View::RedrawEveryFrame))
            continue;
        tk.display->setClip(&tk.screenRect);
        view->draw();
        view->endFrame();
    }
    tk.display->flip();
}

bool Game::frame(uint32_t now, uint32_t gameTime) {
    Toolkit& tk = toolkit();
    tk.now = now;
    tk.gameTime = gameTime;

    if (tk.pending != nullptr) {
        if (tk.current != nullptr)
            tk.current->leave();
        Scene* next = tk.pending;
        tk.pending = nullptr;
        tk.current = next;
        next->enter();
    } else if ((tk.windowFlags & EndScene) && tk.current != nullptr) {
        Scene* ending = tk.current;
        tk.current = nullptr;
        ending->leave();
    }
    if (tk.current == nullptr)
        return false;

    tk.windowFlags &= ~uint32_t(Resized);
    QuitRequest quit = inputStep();
    if (quit != QuitRequest::None) {
        if (!(tk.windowFlags & QuitAsMessage))
            return false;
        tk.emitter.emit(Msg::QuitRequested,
                        quit == QuitRequest::Escape ? reinterpret_cast<intptr_t>(&escapeKey_) : 0);
    }

    FrameTick tick{tk.now, tk.frameCount};
    tk.emitter.emit(Msg::Tick, reinterpret_cast<intptr_t>(&tick));
    runTimers();

    bool active = (tk.windowFlags & InputThisFrame) != 0;
    if ((tk.windowFlags & SkipIdleUpdate) && !active) {
        ++tk.frameCount;
        return true;
    }
    if (tk.current != nullptr && tk.current->update())
        tk.current->afterUpdate();
    if (!((tk.windowFlags & SkipIdleDraw) && !active))
        redraw();

    tk.windowFlags &= ~uint32_t(InputThisFrame);
    ++tk.frameCount;
    return true;
}

View* viewShowing(const Node* node) {
    if (node == nullptr)
        return nullptr;
    while (node->parent() != nullptr)
        node = node->parent();
    for (View* view : toolkit().views)
        if (view != nullptr && view->root() == node)
            return view;
    return nullptr;
}

// [screen] ------------------------------------------------------------------

bool Game::setVideoMode(int w, int h) {
    Toolkit& tk = toolkit();
    tk.display = TKAL::Display::instance();
    if (tk.input == nullptr) {
        tk.input = TKAL::Input::instance();
        tk.mouse = Toolkit::Mouse{};
        tk.focus = nullptr;
    }
    tk.screenRect = TKAL::Rect{0, 0, static_cast<uint16_t>(w), static_cast<uint16_t>(h)};
    tk.screenCanvas.reset();
    if (!tk.display->open(w, h, 0, (tk.windowFlags >> 9) & 7))
        return false;
    tk.screenCanvas = tk.display->createScreenCanvas(tk.screenRect);
    tk.display->setCaption(tk.caption.c_str());
    tk.display->showCursor(!(tk.windowFlags & HideCursor));
    return true;
}

void Game::addTimer(Node* target, uint32_t id, uint32_t due) {
    auto& timers = toolkit().timers;
    auto at = std::upper_bound(timers.begin(), timers.end(), due, [](uint32_t d, const Toolkit::Timer& t) {
        return static_cast<int32_t>(d - t.due) < 0;
    });
    timers.insert(at, Toolkit::Timer{due, target, id});
}

Widget* Game::popupRoot(int w, int h) {
    Toolkit& tk = toolkit();
    if (!tk.popupRoot) {
        tk.popupRoot = std::make_unique<Widget>();
        tk.popupRoot->flow = FlowNone;
    }
    tk.popupRoot->setSize(w, h);
    return tk.popupRoot.get();
}

Widget* Game::showPopup(std::unique_ptr<Widget> owner, int x, int y) {
    Toolkit& tk = toolkit();
    if (!tk.popupRoot || owner == nullptr || owner->parent() != nullptr)
        return nullptr;
    Widget* widget = tk.popupRoot->append(std::move(owner));
    // What the pointer did to it before it was taken away last (a list
    // closed by the press that chose from it) is over: it would show as
    // hovered, and keep its drop-down open, until the pointer moved twice.
    widget->state &= ~uint32_t(ButtonsMask | PointerOver | MouseThisFrame);
    if (widget->x != x || widget->y != y) {
        widget->x = widget->requestedX = static_cast<int16_t>(x);
        widget->y = widget->requestedY = static_cast<int16_t>(y);
        widget->needsLayout = 1;
    }
    if (!widget->visible) {
        widget->visible = 1;
        widget->markLayoutAround();
        for (Widget* a = widget->parentWidget(); a != nullptr; a = a->parentWidget())
            a->needsLayout = 1;
    }
    return widget;
}

std::unique_ptr<Widget> Game::hidePopup(Widget* widget) {
    Toolkit& tk = toolkit();
    if (widget == nullptr || !tk.popupRoot)
        return nullptr;
    if (widget->parentWidget() == tk.popupRoot.get()) {
        widget->setParent(nullptr);
        return std::unique_ptr<Widget>(widget);
    }
    auto& closed = tk.closedPopups;
    auto found = std::find_if(closed.begin(), closed.end(),
                              [widget](const std::unique_ptr<Node>& node) { return node.get() == widget; });
    if (found == closed.end())
        return nullptr;
    found->release();
    closed.erase(found);
    return std::unique_ptr<Widget>(widget);
}

bool Game::addView(View* view) {
    for (View*& slot : toolkit().views) {
        if (slot == nullptr) {
            slot = view;
            return true;
        }
    }
    return false;
}

void Game::setPendingScene(Scene* scene) {
    toolkit().pending = scene;
}

void Game::quit() {
    toolkit().windowFlags |= EndScene;
}

} // namespace G2
