// moravo-tool: the operator's and developer's command-line tool. Each
// subcommand is a thin front on the launcher's own libraries.
#include "platform/ProgramPath.h"
#include "tools/moravo-tool/Command.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tool {

const Command commands[] = {
    {"props", "FILE", "reads a layout file and its includes; prints the tree or the first error", runProps},
    {"survey", "", "prints what the launcher sees of this machine", runSurvey},
    {"login", "[--config FILE] PHONE PASSWORD", "sends the launcher's login and prints the answer code",
     runLogin},
    {"keygen", "PRIVATE_FILE [--force]", "makes a signing key; prints the public key for ZEP_client.xml",
     runKeygen},
    {"publish",
     "SRC_DIR OUT_DIR [--jobs N] [--no-chunks] [--keep N] [--allow-removals] [--with-client-config]\n"
     "      [--sign PRIVATE_FILE [--rotate-from OLD_PRIVATE_FILE] [--expires DAYS] | --unsigned]",
     "builds a release's new version in OUT_DIR/versions/ (checklist.txt, <path>.zz), then makes it live "
     "in one step (current.txt); only what changed is compressed",
     runPublish},
    {"scan", "DIR", "prints the manifest of an installation as the updater's scanner makes it", runScan},
    {"verify", "DIR",
     "compares an installation with its checklist.txt; exit 1 when files are missing or differ, 3 when "
     "files wait staged for hoplin",
     runVerify},
    {"update", "DIR LOCATION [--repair] [--retries N] [--key KEY]",
     "updates DIR from host[:port][/path]; exit 0 done, 3 files staged for hoplin, 1 failed", runUpdate},
    {"widgets", "[INSTALLATION]",
     "lays out the launcher's windows off-screen and prints every widget's rectangle", runWidgets},
    {nullptr, nullptr, nullptr, nullptr},
};

} // namespace tool

namespace {

void printHelp(FILE* out) {
    std::fprintf(out, "usage: moravo-tool COMMAND [ARGUMENTS]\n       moravo-tool --version\n\n"
                      "commands (each also takes --help or -h):\n");
    for (const tool::Command* c = tool::commands; c->name != nullptr; ++c)
        std::fprintf(out, "  %s %s\n      %s\n", c->name, c->usage, c->summary);
    std::fprintf(out, "\nThe operator's guide (docs/operator.md) explains each command and its flags.\n");
}

bool isHelp(const char* word) {
    return std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
}

// "--help" or "-h" among a command's words asks for its usage, whatever
// else they say.
bool asksForHelp(int argc, char** argv) {
    for (int i = 2; i < argc; ++i)
        if (isHelp(argv[i]))
            return true;
    return false;
}

} // namespace

int main(int rawCount, char** rawWords) {
    // The words in UTF-8, as every path inside the programs is: on Windows
    // the run-time's argv holds only what the 8-bit code page can.
    std::vector<std::string> words = platform::programArguments(rawCount, rawWords);
    std::vector<char*> pointers;
    for (std::string& word : words)
        pointers.push_back(&word[0]);
    pointers.push_back(nullptr);
    const int argc = static_cast<int>(words.size());
    char** argv = pointers.data();
    if (argc < 2 || std::strcmp(argv[1], "help") == 0 || isHelp(argv[1])) {
        printHelp(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("moravo-tool %s\n", MORAVO_VERSION);
        return 0;
    }
    for (const tool::Command* c = tool::commands; c->name != nullptr; ++c) {
        if (std::strcmp(argv[1], c->name) != 0)
            continue;
        if (asksForHelp(argc, argv)) {
            std::printf("usage: moravo-tool %s %s\n  %s\n", c->name, c->usage, c->summary);
            return 0;
        }
        return c->run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "moravo-tool: unknown command '%s'\n\n", argv[1]);
    printHelp(stderr);
    return 2;
}
