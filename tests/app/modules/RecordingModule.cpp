// A stand-in for one of the game's modules: every call it receives, and its
// loading and unloading, become one line "NAME what arguments" appended to
// the file named by MORAVO_MODULE_LOG. Built once per module name; without
// MODULE_EXPORTS it lacks the interface exports, without MODULE_LAUNCH it
// lacks "Launch".
#include "app/GameModule.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void record(const char* format, ...) {
    const char* path = std::getenv("MORAVO_MODULE_LOG");
    if (path == nullptr)
        return;
    FILE* log = std::fopen(path, "a");
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

const char* here() {
    static std::string directory;
    std::error_code ec;
    directory = std::filesystem::current_path(ec).generic_string();
    return ec ? "?" : directory.c_str();
}

class Recorder : public GameModule {
public:
    void release() override { record("release"); }
    void attach(const char* identifier, void* module) override {
        record("attach '%s' %p", identifier, module);
    }
    void setOption(uint32_t code, const char* text) override { record("setOption %08x %s", code, text); }
};

Recorder recorder;

struct Lifetime {
    Lifetime() { record("load %s", here()); }
    ~Lifetime() { record("unload"); }
} lifetime;

} // namespace

#ifdef MODULE_EXPORTS
extern "C" int QueryInterfaceID(int code) {
    record("QueryInterfaceID %d", code);
    return 0x5EED;
}

extern "C" GameModule* QueryInterface(int code) {
    record("QueryInterface %d %p", code, static_cast<void*>(&recorder));
    return &recorder;
}
#endif

#ifdef MODULE_LAUNCH
extern "C" void Launch() {
    record("Launch %s", here());
}
#endif
