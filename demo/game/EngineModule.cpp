// A stand-in for one of the game's engine modules: it records every call
// the launcher makes on it, with its loading and unloading, as one line
// "NAME what arguments" in "calls.log" of the directory it was loaded from
// (the plug-in directory).
#include "demo/game/Exports.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

std::string logPath() {
    std::error_code ec;
    std::filesystem::path here = std::filesystem::current_path(ec);
    return (ec ? std::filesystem::path(".") : here).append("calls.log").string();
}

// Fixed when the module is loaded, while the plug-in directory is current.
const std::string calls = logPath();

void record(const char* format, ...) {
    FILE* log = std::fopen(calls.c_str(), "ab"); // the same lines on every platform
    if (log == nullptr)
        return;
    std::fprintf(log, "%s ", MODULE_NAME);
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fputc('\n', log);
    std::fclose(log);
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
