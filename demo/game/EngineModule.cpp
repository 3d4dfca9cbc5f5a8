// A stand-in for one of the game's engine modules: it records every call
// the launcher makes on it, with its loading and unloading, as one line
// "NAME what arguments" in "calls.log" of the directory it was loaded from
// (the plug-in directory).
#include "demo/game/Exports.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Kept as a path, never as narrow text: the plug-in directory may lie under
// a folder such as "Juegos de Peña", whose narrow spelling differs between
// the C run-time and the file-system library on Windows.
std::filesystem::path logPath() {
    std::error_code ec;
    std::filesystem::path here = std::filesystem::current_path(ec);
    return (ec ? std::filesystem::path(".") : here) / "calls.log";
}

// Fixed when the module is loaded, while the plug-in directory is current.
const std::filesystem::path calls = logPath();

void record(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // The same lines on every platform: binary, "\n" ends each.
    std::ofstream(calls, std::ios::binary | std::ios::app) << MODULE_NAME << ' ' << line << '\n';
}

class Engine : public GameModule {
public:
    void release() override { record("release"); }
    void attach(const char* identifier, void*) override {
        record("attach %s", *identifier ? identifier : "Game");
    }
    void setOption(uint32_t code, const char* text) override { record("setOption %08x %s", code, text); }
};

Engine engine;

struct Lifetime {
    Lifetime() { record("load"); }
    ~Lifetime() { record("unload"); }
} lifetime;

} // namespace

MODULE_EXPORT int QueryInterfaceID(int code) {
    record("QueryInterfaceID %d", code);
    return 1;
}

MODULE_EXPORT GameModule* QueryInterface(int code) {
    record("QueryInterface %d", code);
    return &engine;
}
