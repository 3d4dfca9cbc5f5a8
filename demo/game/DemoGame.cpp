// The demo game ("Game.dll"): the launcher loads it after its own window is
// gone and calls "Launch". The game reads what it was started with from
// "Launch.txt" in its directory (the current one), notes it in "game.log",
// and shows it for a few seconds in a window of its own, or prints it when
// there is no display. MORAVO_DEMO_GAME_SECONDS sets how long the window
// stays (default 6; a key press or closing the window ends it sooner).
// The same source is the Windows "Game.dll", with its exports marked.
#include "demo/game/Exports.h"
#include "platform/ComApartment.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>


namespace {

// What "Launch.txt" says, by dotted key ("Render.Display" holds "1024 768 60").
using Entries = std::map<std::string, std::string>;

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A small reader for the game's settings format: ".Key value", ".Key { v v }"
// and ".Key { .Child ... }" blocks, "//" comments, double-quoted values.
class Reader {
public:
    explicit Reader(std::string text) : text_(std::move(text)) {}

    void read(const std::string& prefix, Entries& out) {
        std::string key;
        for (;;) {
            Token t = next();
            if (t.kind == End || t.kind == Close)
                return;
            if (t.kind == Key) {
                key = t.text;
            } else if (t.kind == Value) {
                out[prefix + lower(key)] = t.text;
            } else { // a block: a section when it starts with a key, else a list of values
                size_t mark = at_;
                Token first = next();
                at_ = mark;
                if (first.kind == Key) {
                    read(prefix + lower(key) + ".", out);
                } else {
                    std::string list;
                    for (Token v = next(); v.kind == Value; v = next())
                        list += (list.empty() ? "" : " ") + v.text;
                    out[prefix + lower(key)] = list;
                }
            }
        }
    }

private:
    enum Kind { End, Key, Value, Open, Close };
    struct Token {
        Kind kind;
        std::string text;
    };

    static bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    Token next() {
        for (;;) {
            while (at_ < text_.size() && blank(text_[at_]))
                ++at_;
            if (at_ + 1 < text_.size() && text_[at_] == '/' && text_[at_ + 1] == '/') {
                while (at_ < text_.size() && text_[at_] != '\n')
                    ++at_;
                continue;
            }
            break;
        }
        if (at_ >= text_.size())
            return {End, ""};
        char c = text_[at_++];
        if (c == '{')
            return {Open, ""};
        if (c == '}')
            return {Close, ""};
        std::string word;
        if (c == '"') {
            while (at_ < text_.size() && text_[at_] != '"')
                word += text_[at_++];
            ++at_;
            return {Value, word};
        }
        bool key = c == '.';
        if (!key)
            word += c;
        while (at_ < text_.size() && !blank(text_[at_]) && text_[at_] != '{' && text_[at_] != '}')
            word += text_[at_++];
        return {key ? Key : Value, word};
    }

    std::string text_;
    size_t at_ = 0;
};

std::string value(const Entries& e, const std::string& key, const std::string& fallback = "?") {
    auto it = e.find(lower(key));
    return it != e.end() && !it->second.empty() ? it->second : fallback;
}

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The game's interface object: it learns the other modules and the plug-in
// directory from the launcher.
class DemoGame : public GameModule {
public:
    void release() override { released = true; }
    void attach(const char* identifier, void*) override {
        modules.push_back(identifier != nullptr && *identifier != '\0' ? identifier : "Game");
    }
    void setOption(uint32_t code, const char* text) override {
        if (code == kPluginDirectoryOption && text != nullptr)
            plugins = text;
    }

    std::vector<std::string> modules;
    std::string plugins;
    bool released = false;
};

DemoGame game;

// On Windows, whether the launcher runs the game with COM set up on its
// thread, as a Windows game's libraries expect of their host.
std::string comNote() {
    platform::ComApartment probe;
    if (!probe.usable())
        return "";
    return probe.hadThem() ? " com=ready" : " com=none";
}

std::vector<std::string> describe(const Entries& launch) {
    std::string display = value(launch, "Render.Display", "0 0 0");
    int w = 0, h = 0, refresh = 0;
    std::istringstream(display) >> w >> h >> refresh;
    std::string screen = value(launch, "Render.Screen", "Window");
    std::string modules;
    for (const std::string& m : game.modules)
        modules += (modules.empty() ? "" : ", ") + m;
    return {
        "Preset: " + value(launch, "Render.Name") + " (" + value(launch, "Render.ID") + ")",
        "Modo: " + std::to_string(w) + " x " + std::to_string(h) + " a " + std::to_string(refresh) + " Hz, " +
            (screen == "Full" ? "pantalla completa" : "ventana"),
        "Aspecto: " + value(launch, "Render.Aspect"),
        "Antialiasing " + value(launch, "Render.Antialiasing", "0") + ", sombras " +
            value(launch, "Render.ShadowSize", "0") + ", HDR " +
            (value(launch, "Render.PostProcess", "0") != "0" ? "s\xC3\xAD" : "no") + ", detalle " +
            std::to_string(std::atoi(value(launch, "Render.LODDis", "10").c_str())),
        "Versi\xC3\xB3n del juego: " + firstLine("version.txt"),
        "M\xC3\xB3"
        "dulos: " +
            modules,
    };
}

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

// Shows the lines in a window until the time is up, a key is pressed or the
// window is closed. False when there is no display to show them on.
bool showWindow(const std::vector<std::string>& lines, int seconds) {
    if (!kHasDesktop && std::getenv("DISPLAY") == nullptr)
        return false;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    if (!TTF_WasInit() && TTF_Init() != 0) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    TTF_Font* title = TTF_OpenFont("data/DejaVuSans-Bold.ttf", 22);
    TTF_Font* text = TTF_OpenFont("data/DejaVuSans.ttf", 15);
    SDL_putenv(const_cast<char*>("SDL_VIDEO_CENTERED=1"));
    SDL_WM_SetCaption("Moravo Town: el juego", nullptr);
    SDL_Surface* screen = SDL_SetVideoMode(720, 360, 32, SDL_SWSURFACE);
    bool shown = screen != nullptr && title != nullptr && text != nullptr;
    if (shown) {
        Uint32 top = SDL_MapRGB(screen->format, 0x12, 0x23, 0x3A);
        SDL_FillRect(screen, nullptr, top);
        SDL_Rect band{0, 0, 720, 56};
        SDL_FillRect(screen, &band, SDL_MapRGB(screen->format, 0x1E, 0x3A, 0x5C));
        SDL_Rect rule{0, 56, 720, 2};
        SDL_FillRect(screen, &rule, SDL_MapRGB(screen->format, 0xF2, 0xA9, 0x3B));
        auto put = [screen](TTF_Font* font, const std::string& line, int x, int y, SDL_Color colour) {
            std::unique_ptr<SDL_Surface, SurfaceFree> s(TTF_RenderUTF8_Blended(font, line.c_str(), colour));
            if (!s)
                return;
            SDL_Rect at{static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
            SDL_BlitSurface(s.get(), nullptr, screen, &at);
        };
        put(title, "Moravo Town", 24, 14, SDL_Color{0xFF, 0xD3, 0x6E, 0});
        int y = 80;
        for (const std::string& line : lines) {
            put(text, line, 28, y, SDL_Color{0xFF, 0xFF, 0xFF, 0});
            y += 30;
        }
        put(text,
            "La partida empezar\xC3\xAD"
            "a aqu\xC3\xAD. Pulsa una tecla para salir.",
            28, 320, SDL_Color{0x9C, 0xC8, 0xEC, 0});
        SDL_Flip(screen);
        const Uint32 end = SDL_GetTicks() + Uint32(seconds) * 1000;
        bool done = false;
        while (!done && SDL_GetTicks() < end) {
            SDL_Event event;
            while (SDL_PollEvent(&event))
                if (event.type == SDL_QUIT || event.type == SDL_KEYDOWN)
                    done = true;
            SDL_Delay(50);
        }
    }
    if (title != nullptr)
        TTF_CloseFont(title);
    if (text != nullptr)
        TTF_CloseFont(text);
    TTF_Quit();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return shown;
}

} // namespace

MODULE_EXPORT int QueryInterfaceID(int) {
    return 1;
}

MODULE_EXPORT GameModule* QueryInterface(int) {
    return &game;
}

MODULE_EXPORT void Launch() {
    Entries launch;
    std::ifstream in("Launch.txt", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    Reader(text.str()).read("", launch);
    std::vector<std::string> lines = describe(launch);

    // The note the game keeps of every start, for whoever checks the run.
    if (std::ofstream log{"game.log", std::ios::app}) {
        log << "Launch";
        for (const char* key : {"Render.ID", "Render.Screen", "Render.Display", "Render.Aspect"})
            log << " " << key + 7 << "=" << value(launch, key);
        log << " modules=" << game.modules.size() << " plugins=" << game.plugins << comNote() << "\n";
    }

    const char* wanted = std::getenv("MORAVO_DEMO_GAME_SECONDS");
    int seconds = wanted != nullptr ? std::atoi(wanted) : 6;
    if (!showWindow(lines, seconds < 1 ? 1 : seconds)) {
        std::printf("Moravo Town (juego de demostraci\xC3\xB3n)\n");
        for (const std::string& line : lines)
            std::printf("  %s\n", line.c_str());
        std::fflush(stdout);
    }
}
