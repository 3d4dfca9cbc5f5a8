// moravo-tool widgets: builds the launcher's windows from an installation,
// off-screen, and prints where every visible widget lands, one line each
// (app/WidgetMap.cpp describes the lines).
#include "app/WidgetMap.h"
#include "platform/Directory.h"
#include "tools/moravo-tool/Command.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace tool {

int runWidgets(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: moravo-tool widgets [INSTALLATION]\n");
        return 2;
    }
    std::error_code ec;
    std::string dir = std::filesystem::absolute(argc == 1 ? argv[0] : ".", ec).lexically_normal().string();
    if (!dir.empty() && dir.back() == '/')
        dir.pop_back();
    if (ec || !platform::changeDirectory(dir)) {
        std::fprintf(stderr, "moravo-tool: no installation at %s\n", argc == 1 ? argv[0] : ".");
        return 2;
    }
    std::string error;
    int code = app::printWidgetMap(dir, error);
    if (!error.empty())
        std::fprintf(stderr, "moravo-tool: %s\n", error.c_str());
    return code;
}

} // namespace tool
