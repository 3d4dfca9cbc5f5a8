// The looks of the controls. Every picture is cut into nine pieces by the
// layout file (corners kept, edges and middle repeated), so the middle rows
// and columns of each are kept uniform where the control may grow.
#include "demo/art/Art.h"

#include <functional>

namespace art {

namespace {

using namespace palette;

struct Shade {
    Colour top, bottom, border;
    bool highlight;
};

const Colour clear{0, 0, 0, 0};

Picture rounded(int w, int h, float radius, const Shade& s) {
    Picture p(w, h);
    p.roundRect(0, 0, float(w), float(h), radius, s.top, s.bottom, s.border, 1);
    if (s.highlight)
        p.line(radius, 1.5f, float(w) - radius, 1.5f, 1, white.withAlpha(0.28f));
    return p;
}

// Push buttons: blue, brighter under the pointer, sunken when pressed.
const Shade buttonNormal{Colour::rgb(0x3C74A5), Colour::rgb(0x21466A), Colour::rgb(0x79ABD4), true};
const Shade buttonOver{Colour::rgb(0x4D8BC2), Colour::rgb(0x2B5A86), Colour::rgb(0xBFE2FB), true};
const Shade buttonPressed{Colour::rgb(0x1B3651), Colour::rgb(0x2A5379), Colour::rgb(0x79ABD4), false};
const Shade buttonDisabled{Colour::rgb(0x3A434D), Colour::rgb(0x2C333B), Colour::rgb(0x56616C), false};

// Drop-down selectors: light, with dark text and an arrow at the right.
const Shade comboNormal{Colour::rgb(0xF4F7FA), Colour::rgb(0xCCD8E4), Colour::rgb(0x7FA7C9), false};
const Shade comboOver{Colour::rgb(0xFFFFFF), Colour::rgb(0xDCE7F1), Colour::rgb(0xB8DCF8), false};
const Shade comboOpen{Colour::rgb(0xC3D1DE), Colour::rgb(0xE8EEF4), Colour::rgb(0x79ABD4), false};
const Shade comboDisabled{Colour::rgb(0x9AA3AC), Colour::rgb(0x868F98), Colour::rgb(0x6C757E), false};

Picture combo(const Shade& s) {
    const int w = 34, h = 26;
    Picture p = rounded(w, h, 4, s);
    p.fillRect(w - 22, 5, 1, h - 10, Colour::rgb(0x9DB7CE));
    float cx = float(w) - 11, cy = 13;
    p.polygon({{cx - 4.5f, cy - 2.5f}, {cx + 4.5f, cy - 2.5f}, {cx, cy + 3}}, Colour::rgb(0x2A4058));
    return p;
}

Picture checkBox(const Colour& border, bool on, bool pressed) {
    Picture p(18, 18);
    Colour top = pressed ? Colour::rgb(0x1A2C40) : Colour::rgb(0x0A1420);
    p.roundRect(0, 0, 18, 18, 3, top, Colour::rgb(0x12233A), border, 1);
    if (on) {
        p.line(4.5f, 9.5f, 7.5f, 12.8f, 2.4f, amber);
        p.line(7.5f, 12.8f, 13.6f, 5.2f, 2.4f, amber);
    }
    return p;
}

enum Direction { Up, Down, Left, Right };

Picture arrow(Direction d, const Shade& s) {
    Picture p = rounded(16, 16, 3, s);
    float c = 8, a = 3.5f, b = 2.5f;
    std::vector<std::pair<float, float>> t;
    switch (d) {
    case Up:
        t = {{c - a, c + b}, {c + a, c + b}, {c, c - b - 0.5f}};
        break;
    case Down:
        t = {{c - a, c - b}, {c + a, c - b}, {c, c + b + 0.5f}};
        break;
    case Left:
        t = {{c + b, c - a}, {c + b, c + a}, {c - b - 0.5f, c}};
        break;
    case Right:
        t = {{c - b, c - a}, {c - b, c + a}, {c + b + 0.5f, c}};
        break;
    }
    p.polygon(t, white.withAlpha(0.95f));
    return p;
}

Picture closeButton(const Shade& s) {
    Picture p = rounded(20, 20, 4, s);
    p.line(6.5f, 6.5f, 13.5f, 13.5f, 2, white);
    p.line(13.5f, 6.5f, 6.5f, 13.5f, 2, white);
    return p;
}

} // namespace

bool writeLooks(const std::string& folder) {
    std::vector<Named> looks;
    auto add = [&looks](const std::string& file, Picture picture) {
        looks.push_back({file, std::move(picture)});
    };

    // Panels: the dialogs, the credits and the open selector lists.
    {
        Picture p(96, 96);
        p.roundRect(0, 0, 96, 96, 10, panel.withAlpha(0.94f), panel.withAlpha(0.94f),
                    Colour::rgb(0x4F7FA8, 0.95f), 1);
        p.line(10, 1.5f, 86, 1.5f, 1, white.withAlpha(0.12f));
        add("panel.png", std::move(p));
    }
    {
        Picture p(48, 48);
        p.roundRect(0, 0, 48, 48, 8, night.withAlpha(0.80f), night.withAlpha(0.80f), amber.withAlpha(0.55f),
                    1);
        add("credits-frame.png", std::move(p));
    }
    {
        Picture p(24, 24);
        p.roundRect(0, 0, 24, 24, 3, Colour::rgb(0x13263A), Colour::rgb(0x13263A), Colour::rgb(0x6F9CC4), 1);
        add("menu-frame.png", std::move(p));
    }
    // Text fields and the options strip: dark and sunken.
    {
        Picture p(24, 24);
        p.roundRect(0, 0, 24, 24, 4, Colour::rgb(0x08111B), Colour::rgb(0x08111B), Colour::rgb(0x3F678C), 1);
        p.line(4, 1.5f, 20, 1.5f, 1, Colour{0, 0, 0, 0.5f});
        add("field.png", std::move(p));
    }

    add("button.png", rounded(24, 28, 5, buttonNormal));
    add("button-over.png", rounded(24, 28, 5, buttonOver));
    add("button-pressed.png", rounded(24, 28, 5, buttonPressed));
    add("button-disabled.png", rounded(24, 28, 5, buttonDisabled));

    add("combo.png", combo(comboNormal));
    add("combo-over.png", combo(comboOver));
    add("combo-open.png", combo(comboOpen));
    add("combo-disabled.png", combo(comboDisabled));

    const Colour boxLine = Colour::rgb(0x6F9CC4), boxLineOver = Colour::rgb(0xBFE2FB);
    add("check-off.png", checkBox(boxLine, false, false));
    add("check-off-over.png", checkBox(boxLineOver, false, false));
    add("check-off-pressed.png", checkBox(boxLineOver, false, true));
    add("check-on.png", checkBox(boxLine, true, false));
    add("check-on-over.png", checkBox(boxLineOver, true, false));
    add("check-on-pressed.png", checkBox(boxLineOver, true, true));
    add("check-disabled.png", checkBox(Colour::rgb(0x56616C), false, false));

    // Progress bars: a dark groove and an amber fill.
    {
        Picture p(20, 20);
        p.roundRect(0, 0, 20, 20, 4, Colour::rgb(0x060D15), Colour::rgb(0x0C1826), Colour::rgb(0x3A6285), 1);
        add("bar-groove.png", std::move(p));
    }
    {
        Picture p(16, 16);
        p.roundRect(0, 0, 16, 16, 3, gold, Colour::rgb(0xE08A1E), Colour::rgb(0xFFE7A8, 0.9f), 1);
        add("bar-fill.png", std::move(p));
    }

    // Scroll bars: arrows, the marker and its track.
    const char* names[] = {"up", "down", "left", "right"};
    for (int d = Up; d <= Right; ++d) {
        std::string base = std::string("arrow-") + names[d];
        add(base + ".png", arrow(Direction(d), buttonNormal));
        add(base + "-over.png", arrow(Direction(d), buttonOver));
        add(base + "-pressed.png", arrow(Direction(d), buttonPressed));
    }
    add("knob.png", rounded(16, 16, 5, {gold, Colour::rgb(0xD98A22), Colour::rgb(0xFFE7A8), true}));
    add("knob-over.png", rounded(16, 16, 5, {Colour::rgb(0xFFE49C), gold, white, true}));
    add("knob-pressed.png", rounded(16, 16, 5, {Colour::rgb(0xC97C1C), gold, Colour::rgb(0xFFE7A8), false}));
    {
        Picture p(16, 16);
        p.roundRect(0, 0, 16, 16, 4, Colour::rgb(0x060D15), Colour::rgb(0x0C1826), Colour::rgb(0x2E4D6A), 1);
        add("track.png", std::move(p));
    }

    add("close.png", closeButton(buttonNormal));
    add("close-over.png",
        closeButton({Colour::rgb(0xC8503C), Colour::rgb(0x8E2E22), Colour::rgb(0xF3A596), true}));
    add("close-pressed.png", closeButton(buttonPressed));

    for (const Named& look : looks)
        if (!look.picture.savePng(folder + "/" + look.file))
            return false;
    return true;
}

} // namespace art
