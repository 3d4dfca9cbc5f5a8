// MoravoTown on Windows: the GUI entry point. The words come from the
// process's own command line, split by the launcher's splitter.
#include "app/CommandLine.h"
#include "app/GLauncher.h"
#include "app/ProcessEntry.h"
#include "platform/ProgramPath.h"

#include <windows.h>

namespace {
app::GLauncher theLauncher;
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // SDL finds the program's instance handle itself (it is the module
    // handle of the executable), so nothing else keeps it. The command line
    // is read wide and split in UTF-8, as every path is inside the
    // programs: the 8-bit one that WinMain is handed cannot hold a folder
    // outside the system's code page.
    std::vector<std::string> words = app::commandLineWords(platform::commandLine(), 9);
    return app::processEntry(theLauncher, words, app::defaultEntryServices());
}
