#include "hoplin/Completer.h"

#include "platform/Clock.h"
#include "platform/Process.h"
#include "update/InstallScanner.h"
#include "update/Manifest.h"
#include "update/SafePaths.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace hoplin {

namespace {

std::string unquoted(const std::string& word) {
    if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
        return word.substr(1, word.size() - 2);
    return word;
}

// The log; every line is flushed at once so that it survives a crash.
class Log {
public:
    Log() : file_(std::fopen("hoplin.log", "w")) {}
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    ~Log() {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    void write(const std::string& text) {
        if (file_ == nullptr)
            return;
        std::fputs(text.c_str(), file_);
        std::fflush(file_);
    }

private:
    std::FILE* file_;
};

// Deletes a file (never through a link: the link itself goes); answers 0 or
// the system's error number.
int deleteFile(const std::string& path) {
    errno = 0;
    return std::remove(path.c_str()) == 0 ? 0 : (errno != 0 ? errno : EIO);
}

// Renames without ever replacing what is at the destination.
int moveFile(const std::string& source, const std::string& destination) {
    std::error_code ec;
    if (fs::symlink_status(destination, ec).type() != fs::file_type::not_found)
        return EEXIST;
    errno = 0;
    return std::rename(source.c_str(), destination.c_str()) == 0 ? 0 : (errno != 0 ? errno : EIO);
}

// True when the staged file is the one the updater wrote: its digest and
// size are those of its entry in the local manifest.
bool matchesEntry(const std::string& source, const std::string& path, const Manifest& expected) {
    auto entry = expected.find(path);
    if (entry == expected.end())
        return false;
    std::string digest;
    int64_t size = 0;
    return hashFile(source, digest, size) == 0 && digest == entry->second.hash && size == entry->second.size;
}

// A staged file left behind is not in place, whatever the local manifest
// says: its entry goes, so that the next update fetches it again instead of
// trusting the copy installed before.
void forgetUnmoved(const std::vector<std::string>& unmoved) {
    Manifest local;
    {
        std::ifstream in("checklist.txt", std::ios::binary);
        if (!in || !readManifest(in, local))
            return;
    }
    size_t forgotten = 0;
    for (const std::string& path : unmoved)
        forgotten += local.erase(path);
    if (forgotten > 0)
        writeManifest("checklist.txt", local);
}

} // namespace

Settings readSettings(int argc, const char* const* argv) {
    Settings settings;
    if (argc > 1 && argv[1] != nullptr)
        settings.program = unquoted(argv[1]);
    if (argc > 2 && argv[2] != nullptr)
        settings.staging = unquoted(argv[2]);
    return settings;
}

int completeUpdate(const Settings& settings, std::FILE* console, const Pause& pause) {
    std::vector<std::string> files;
    std::error_code ec;
    // A staging directory that is a link could hand over files from
    // anywhere: it is taken as empty.
    if (fs::symlink_status(settings.staging, ec).type() != fs::file_type::symlink)
        InstallScanner(settings.staging + "/").list(files);

    Log log;
    if (console != nullptr) {
        std::fputs("Completando la Actualizacion\n", console);
        std::fflush(console);
    }
    log.write("Iniciando HOPLINDATE\n");
    log.write(std::to_string(files.size()) + " Arcvhivos en " + settings.staging + "\n");

    // An installation that takes signed updates (the updater keeps the
    // accepted serial beside the manifest) moves only what the updater
    // verified and listed: a staged file changed since then stays staged.
    const bool verify = fs::symlink_status(serialFileName, ec).type() != fs::file_type::not_found;
    Manifest expected;
    if (verify) {
        std::ifstream in("checklist.txt", std::ios::binary);
        if (in)
            readManifest(in, expected);
    }

    int moved = 0;
    std::vector<std::string> unmoved;
    for (const std::string& path : files) {
        const std::string source = settings.staging + "/" + path;
        if (verify && !matchesEntry(source, path, expected)) {
            log.write("#--Error Verificando " + path + "\n");
            unmoved.push_back(path);
            continue;
        }
        if (!makeParentDirectories(".", path)) {
            log.write("#--Destino rechazado " + path + "\n");
            unmoved.push_back(path);
            continue;
        }
        bool done = false;
        for (int attempt = 0; attempt < 5; ++attempt) {
            const int deleteError = deleteFile(path);
            const int moveError = moveFile(source, path);
            const std::string retry = " Reintento - " + std::to_string(attempt) + "\n";
            if (deleteError == 0)
                log.write("Borrado " + path + "\n");
            else
                log.write("#--Error Borrando " + path + " " + std::to_string(deleteError) + retry);
            if (moveError == 0) {
                log.write("Moviendo " + source + " a " + path + "\n");
                ++moved;
                done = true;
                break;
            }
            log.write("#--Error Moviendo " + source + " a " + path + " " + std::to_string(moveError) + retry);
            if (attempt < 4)
                pause(1000);
        }
        if (!done)
            unmoved.push_back(path);
    }
    if (!unmoved.empty())
        forgetUnmoved(unmoved);
    log.write("lanzando \"" + settings.program + "\"\nFinalizado HOPLINDATE\n");
    return moved;
}

void launch(const Settings& settings) {
    // The words go to the program as they are: quotes would only survive
    // into its argument zero on this system.
    platform::replaceProcess(settings.program, {"-n"});
}

int runCompleter(int argc, const char* const* argv) {
    const Settings settings = readSettings(argc, argv);
    completeUpdate(settings, stdout, [](uint32_t ms) { platform::sleepMilliseconds(ms); });
    launch(settings);
    return 0;
}

} // namespace hoplin
