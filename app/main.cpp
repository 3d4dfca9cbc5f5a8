// MoravoTown: the launcher's process entry.
#include "app/GLauncher.h"
#include "app/ProcessEntry.h"

#include <string>
#include <vector>

namespace {
app::GLauncher theLauncher;
} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    return app::processEntry(theLauncher, words, app::defaultEntryServices());
}
