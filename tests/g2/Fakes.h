#pragma once
// Test doubles for the toolkit tests: a font with fixed metrics that
// records what it draws, a frame that records where it is drawn, a scene
// that counts its calls, and an event target that records messages.
#include "g2/Emitter.h"
#include "g2/Scene.h"
#include "tkal/Canvas.h"
#include "tkal/Font.h"
#include "tkal/Frame.h"

#include <cstring>
#include <string>
#include <vector>

namespace fakes {

/// Every character is `charW` pixels wide; the font is `fontH` high.
class Font : public TKAL::Font {
public:
    explicit Font(int charW = 1, int fontH = 10) : charW(charW), fontH(fontH) {}
    struct Draw {
        int x, y;
        std::string text;
        uint32_t rgb;
    };
    bool setUTF8(bool on) override {
        bool p = utf8;
        utf8 = on;
        return p;
    }
    int height() override { return fontH; }
    int charWidth(int) override { return charW; }
    int reserved1(int, int, int) override { return 0; }
    int textWidth(const char* text, int len) override {
        int n = static_cast<int>(std::strlen(text));
        return charW * (len < 1 ? n : std::min(n, len));
    }
    void drawText(int x, int y, TKAL::Canvas*, const char* text, uint32_t rgb, int len) override {
        draws.push_back({x, y, len < 1 ? std::string(text) : std::string(text, size_t(len)), rgb});
    }
    int reserved2(int, int, int) override { return 0; }
    int textWidthW(const uint16_t* text, int len) override {
        int n = 0;
        while (text[n] != 0 && (len < 1 || n < len))
            ++n;
        return charW * n;
    }
    void drawTextW(int x, int y, TKAL::Canvas*, const uint16_t*, uint32_t rgb, int) override {
        draws.push_back({x, y, "<wide>", rgb});
    }

    int charW, fontH;
    bool utf8 = true;
    std::vector<Draw> draws;
};

/// Records each rectangle it is asked to draw, in canvas coordinates
/// (the canvas origin added).
class Frame : public TKAL::Frame {
public:
    explicit Frame(const char* name = "") : name(name) {}
    void draw(TKAL::Canvas* canvas, const TKAL::Rect& rect) override {
        int ox = 0, oy = 0;
        if (canvas != nullptr)
            canvas->getOrigin(ox, oy);
        TKAL::Rect r = rect;
        r.x = static_cast<int16_t>(r.x + ox);
        r.y = static_cast<int16_t>(r.y + oy);
        rects.push_back(r);
    }
    std::string name;
    std::vector<TKAL::Rect> rects;
};

class Scene : public G2::Scene {
public:
    void enter() override { log.push_back("enter"); }
    void leave() override { log.push_back("leave"); }
    bool update() override {
        log.push_back("update");
        return updateAnswer;
    }
    void afterUpdate() override { log.push_back("after"); }
    bool updateAnswer = true;
    std::vector<std::string> log;
};

/// Records the messages it receives.
class Listener : public G2::EventTarget {
public:
    struct Message {
        uint32_t code;
        void* sender;
        intptr_t data;
    };
    int onEvent(uint32_t code, void* sender, intptr_t data) override {
        messages.push_back({code, sender, data});
        return answer;
    }
    std::vector<uint32_t> codes() const {
        std::vector<uint32_t> out;
        for (const Message& m : messages)
            out.push_back(m.code);
        return out;
    }
    int count(uint32_t code) const {
        int n = 0;
        for (const Message& m : messages)
            n += m.code == code;
        return n;
    }
    int answer = 0;
    std::vector<Message> messages;
};

} // namespace fakes
