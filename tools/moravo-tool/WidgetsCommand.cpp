// moravo-tool widgets: builds the launcher's windows from an installation,
// off-screen, and prints where every visible widget lands, one line each
// (app/WidgetMap.cpp describes the lines).
#include "app/WidgetMap.h"
#include "platform/Directory.h"
#include "tools/moravo-tool/Command.h"

#include <cstdio>
#include <string>

namespace tool {

int runWidgets(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: moravo-tool widgets [INSTALLATION]\n");
        return 2;
    }
    // The installation becomes the current directory, and its full path is
    // read back from there (UTF-8 on every system).
    std::string dir = argc == 1 ? argv[0] : ".";
    if (!platform::changeDirectory(dir) || (dir = platform::currentDirectory()).empty()) {
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
