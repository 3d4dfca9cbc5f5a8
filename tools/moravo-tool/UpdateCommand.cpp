// moravo-tool update DIR LOCATION [--repair] [--retries N] [--key KEY]: runs
// the launcher's updater in DIR, configured as the launcher's main window
// configures it (the key of DIR/ZEP_client.xml, unless --key names one),
// and shows its progress on the console. Ctrl-C cancels the run as the
// window's "Cancelar" does.
#include "app/ConnectionFile.h"
#include "app/UpdaterSetup.h"
#include "install/InstallationLock.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/Directory.h"
#include "platform/FileSystem.h"
#include "tools/moravo-tool/Command.h"
#include "tools/moravo-tool/ConsoleListener.h"
#include "tools/moravo-tool/InstallationCommon.h"
#include "update/UpdateTexts.h"
#include "update/Updater.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace tool {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

bool stagingHoldsFiles() {
    std::vector<std::string> staged;
    // Asked of the platform: a junction is a link there, and a name past
    // MAX_PATH in a deep installation is still found.
    return platform::fileKind("tmp") == platform::FileKind::directory &&
           InstallScanner("tmp/").list(staged) > 0;
}

// The installation's lock, held for the run: a launcher or another update
// working in the installation would have its files changed under it. Null,
// after saying why, when the run must not start.
std::unique_ptr<platform::FileLock> lockForUpdate(const std::string& dir) {
    platform::FileLock::Status status = platform::FileLock::Status::unavailable;
    std::unique_ptr<platform::FileLock> lock = lockInstallation(".", status);
    if (status == platform::FileLock::Status::busy)
        std::fprintf(stderr, "moravo-tool update: %s\n", installationInUseText);
    else if (!lock)
        std::fprintf(stderr, "moravo-tool update: cannot lock %s/%s\n", dir.c_str(), lockFileName);
    return lock;
}

struct UpdateArguments {
    bool repair = false;
    int32_t retries = 0;
    std::optional<std::string> key;
    std::vector<std::string> positional;
};

// Reads the command's words; false, after saying why, when they are wrong.
bool readArguments(int argc, char** argv, UpdateArguments& arguments) {
    std::vector<std::string> words(argv, argv + argc);
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--repair") {
            arguments.repair = true;
        } else if (words[i] == "--retries" && i + 1 < words.size()) {
            char* end = nullptr;
            long value = std::strtol(words[++i].c_str(), &end, 10);
            if (end == nullptr || *end != '\0' || value < 0 || value > 1000) {
                std::fprintf(stderr, "moravo-tool update: --retries takes a count from 0 to 1000\n");
                return false;
            }
            arguments.retries = static_cast<int32_t>(value);
        } else if (words[i] == "--key" && i + 1 < words.size()) {
            arguments.key = words[++i];
        } else {
            arguments.positional.push_back(words[i]);
        }
    }
    if (arguments.positional.size() != 2) {
        std::fprintf(stderr, "usage: moravo-tool update DIR LOCATION [--repair] [--retries N] [--key KEY]\n");
        return false;
    }
    return true;
}

// The launcher's own connection file decides, as it does for the launcher;
// one that exists but cannot be read might hide a key. False, after saying
// so, when it cannot be read and no key was given.
bool readConnection(const std::string& dir, std::optional<std::string>& key,
                    std::optional<app::ConnectionConfig>& connection) {
    if (platform::fileKind("ZEP_client.xml") == platform::FileKind::missing)
        return true;
    connection.emplace();
    if (!connection->read("ZEP_client.xml")) {
        if (!key) {
            std::fprintf(stderr, "moravo-tool update: %s/ZEP_client.xml cannot be read\n", dir.c_str());
            return false;
        }
        connection.reset();
    } else if (!key) {
        key = connection->updateKey;
    }
    return true;
}

// Runs the update to its end; Ctrl-C asks it to stop. False, after saying
// so, when its thread cannot be started.
bool runToTheEnd(Updater& updater, ConsoleListener& listener, int32_t retries) {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    if (!updater.startUpdate(&listener, 0, retries)) {
        std::fprintf(stderr, "moravo-tool update: cannot start the updater's thread\n");
        return false;
    }
    bool stopAsked = false;
    while (updater.running()) {
        if (interrupted && !stopAsked) {
            updater.requestStop();
            stopAsked = true;
        }
        platform::sleepMilliseconds(20);
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    return true;
}

// The exit status of a run that ended, after saying what its deltas did and
// why it failed.
int runStatus(const Updater& updater, const ConsoleListener& listener) {
    const Updater::DeltaReport delta = updater.deltaReport();
    if (delta.files > 0)
        std::printf("%d files put together from chunks: %lld bytes fetched, %lld bytes reused from the "
                    "installed copies%s\n",
                    delta.files, static_cast<long long>(delta.fetched), static_cast<long long>(delta.reused),
                    delta.knownCopies > 0 ? (" (" + std::to_string(delta.knownCopies) +
                                             " known from the last update, not read again)")
                                                .c_str()
                                          : "");
    if (listener.finished())
        return listener.stagedCount() != 0 || stagingHoldsFiles() ? 3 : 0;
    const int32_t code = updater.error() != 0 ? updater.error() : int32_t(Updater::cancelled);
    if (updater.signatureProblem() != SignatureProblem::none)
        std::fprintf(stderr, "moravo-tool update: the published manifest is refused: %s\n",
                     updater.signatureRefusal().c_str());
    printError(code, listener.fileText());
    // The player's text says little; the operator gets the cause, a line each.
    for (const std::string& cause : updater.failureCauses())
        std::fprintf(stderr, "moravo-tool update: %s\n", cause.c_str());
    return 1;
}

} // namespace

int runUpdate(int argc, char** argv) {
    UpdateArguments arguments;
    if (!readArguments(argc, argv, arguments))
        return 2;
    const std::string& dir = arguments.positional[0];
    if (!platform::changeDirectory(dir)) {
        std::fprintf(stderr, "moravo-tool update: cannot enter %s\n", dir.c_str());
        return 2;
    }
    std::unique_ptr<platform::FileLock> lock = lockForUpdate(dir);
    if (!lock)
        return 1;
    std::optional<std::string>& key = arguments.key;
    std::optional<app::ConnectionConfig> connection;
    if (!readConnection(dir, key, connection))
        return 2;
    // The same configuration as the launcher's main window.
    Updater updater(arguments.positional[1]);
    app::configureUpdater(updater, connection ? &*connection : nullptr);
    updater.ignoreLocalManifest = arguments.repair;
    if (key)
        updater.requireSignature(*key);
    else
        std::fprintf(stderr,
                     "moravo-tool update: updates are unsigned (no key in ZEP_client.xml, no --key)\n");
    ConsoleListener listener(stdout, platform::isTerminal(stdout));
    if (!runToTheEnd(updater, listener, arguments.retries))
        return 1;
    return runStatus(updater, listener);
}

} // namespace tool
