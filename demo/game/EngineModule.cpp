// A stand-in for one of the game's engine modules: it records every call
// the launcher makes on it, with its loading and unloading, as one line
// "NAME what arguments" in "calls.log" of the directory it was loaded from
// (the plug-in directory).
#include "app/GameModule.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::string logPath() {
    char here[4096];
    return std::string(getcwd(here, sizeof here) != nullptr ? here : ".") + "/calls.log";
}

// Fixed when the module is loaded, while the plug-in directory is current.
const std::string calls = logPath();

void record(const char* format, ...) {
    FILE* log = std::fopen(calls.c_str(), "a");
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

extern "C" int QueryInterfaceID(int code) {
    record("QueryInterfaceID %d", code);
    return 1;
}

extern "C" GameModule* QueryInterface(int code) {
    record("QueryInterface %d", code);
    return &engine;
}
