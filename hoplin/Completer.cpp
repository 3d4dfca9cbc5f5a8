#include "hoplin/Completer.h"

#include "install/InstallFile.h"
#include "install/InstallScanner.h"
#include "install/InstallationLock.h"
#include "install/Manifest.h"
#include "install/SafePaths.h"
#include "install/SelfUpdateJob.h"
#include "platform/Clock.h"
#include "platform/FileSync.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace hoplin {

namespace {

// The log of the moves, in the installation.
constexpr const char* logName = "hoplin.log";

std::string unquoted(const std::string& word) {
    if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
        return word.substr(1, word.size() - 2);
    return word;
}

// The log; every line is flushed at once so that it survives a crash.
class Log {
public:
    Log() { file_.create(logName); }
    void write(const std::string& text) {
        if (file_.write(text.data(), text.size()))
            file_.flush();
    }

private:
    InstallFile file_;
};

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

// The launcher that handed over held the installation's lock until its
// process ended, and another launcher or update may hold it now: it is
// waited for as a held file is, five attempts a second apart. False when it
// stays taken. A lock that cannot be had at all (a folder that cannot be
// written) stops nothing: the moves tell what they can do.

// Puts one staged file in place, five attempts a second apart; true once
// it is there.
bool moveIntoPlace(Log& log, const std::string& source, const std::string& path, const Pause& pause,
                   const std::function<void()>& afterChange) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        // The staged file takes the installed one's place in one step,
        // so that the installed file is there, old or new, at every
        // moment, even when this process is killed. The log still tells
        // the two parts: the old file gone, the new one in place.
        const bool installed = platform::fileKind(path) != platform::FileKind::missing;
        const int moveError = platform::replaceFile(source, path);
        if (moveError == 0 && afterChange)
            afterChange();
        const int deleteError = !installed ? ENOENT : moveError;
        const std::string retry = " Reintento - " + std::to_string(attempt) + "\n";
        if (deleteError == 0)
            log.write("Borrado " + path + "\n");
        else
            log.write("#--Error Borrando " + path + " " + std::to_string(deleteError) + retry);
        if (moveError == 0) {
            log.write("Moviendo " + source + " a " + path + "\n");
            return true;
        }
        log.write("#--Error Moviendo " + source + " a " + path + " " + std::to_string(moveError) + retry);
        if (attempt < 4)
            pause(1000);
    }
    return false;
}

// Moves the staged files in turn; answers how many are in place, and
// `unmoved` gets the others. `changed` gets the names that came and went
// (both ends of each move, the folders made).
int moveAll(Log& log, const Settings& settings, const std::vector<std::string>& files, const Pause& pause,
            const std::function<void()>& afterChange, std::vector<std::string>& unmoved,
            std::vector<std::string>& changed) {
    // An installation that takes signed updates (the updater keeps the
    // accepted serial beside the manifest) moves only what the updater
    // verified and listed: a staged file changed since then stays staged.
    const bool verify = platform::fileKind(serialFileName) != platform::FileKind::missing;
    Manifest expected;
    if (verify) {
        std::ifstream in(platform::filePath("checklist.txt"), std::ios::binary);
        if (in)
            readManifest(in, expected);
    }
    int moved = 0;
    for (const std::string& path : files) {
        const std::string source = settings.staging + "/" + path;
        if (verify && !matchesEntry(source, path, expected)) {
            log.write("#--Error Verificando " + path + "\n");
            unmoved.push_back(path);
            continue;
        }
        if (!makeParentDirectories(".", path, &changed)) {
            log.write("#--Destino rechazado " + path + "\n");
            unmoved.push_back(path);
            continue;
        }
        if (moveIntoPlace(log, source, path, pause, afterChange)) {
            ++moved;
            changed.push_back(source);
            changed.push_back(path);
        } else {
            unmoved.push_back(path);
        }
    }
    return moved;
}

// Records the job and keeps a copy of every installed file that a staged
// one is to replace, so that the job can be undone; answers the files that
// may move. A file whose copy cannot be kept stays staged (it could not be
// put back), and so does everything when the record cannot be written.
std::vector<std::string> keepPrevious(Log& log, const std::vector<std::string>& files, SelfUpdateJob& job,
                                      std::vector<std::string>& unmoved) {
    if (files.empty())
        return {};
    for (const std::string& path : files)
        if (job.find(path) == nullptr)
            job.files.push_back(JobFile{path, platform::fileKind(path) == platform::FileKind::file});
    // Files newly staged are another launcher: its starts are counted anew.
    job.stage = JobStage::moving;
    job.starts = 0;
    if (!writeSelfUpdateJob(".", job)) {
        log.write(std::string("#--Error Guardando ") + selfUpdateJobFileName + "\n");
        unmoved.insert(unmoved.end(), files.begin(), files.end());
        return {};
    }
    std::vector<std::string> movable;
    std::vector<std::string> copies{selfUpdateJobFileName, previousFilesFolderName};
    for (const std::string& path : files) {
        const std::string copy = previousCopyPath(".", path);
        // A copy of an earlier run of the job is the file before the job.
        const bool kept = !job.find(path)->hadPrevious ||
                          platform::fileKind(copy) == platform::FileKind::file || keepPreviousCopy(".", path);
        if (!kept) {
            log.write("#--Error Guardando " + path + "\n");
            unmoved.push_back(path);
            continue;
        }
        movable.push_back(path);
        for (std::string name = copy; name.size() > std::strlen(previousFilesFolderName) + 2;
             name.erase(name.rfind('/')))
            copies.push_back(name);
    }
    // The copies are on the disk before any file they stand for is replaced.
    platform::syncFiles(".", {}, copies);
    return movable;
}

// What the job holds once the moves are over: the files of an earlier run
// and those moved now. Without any, there is no job.
void recordMoved(SelfUpdateJob& job, const std::vector<std::string>& unmoved, bool earlier) {
    std::vector<JobFile> files;
    for (const JobFile& file : job.files) {
        const bool moved = std::find(unmoved.begin(), unmoved.end(), file.path) == unmoved.end();
        if (moved || earlier)
            files.push_back(file);
        else if (file.hadPrevious)
            platform::removeFile(previousCopyPath(".", file.path));
    }
    job.files = files;
    if (job.files.empty())
        dropSelfUpdateJob(".");
    else
        writeSelfUpdateJob(".", job);
}

} // namespace

bool lockForMoves(const std::function<void(const std::string&)>& write, const Pause& pause,
                  std::unique_ptr<platform::FileLock>& lock) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        platform::FileLock::Status status = platform::FileLock::Status::unavailable;
        lock = lockInstallation(".", status);
        if (status != platform::FileLock::Status::busy)
            return true;
        write(std::string("#--Error Bloqueando ") + lockFileName + " Reintento - " + std::to_string(attempt) +
              "\n");
        if (attempt < 4)
            pause(1000);
    }
    return false;
}

// A staged file left behind is not in place, whatever the local manifest
// says: its entry goes, so that the next update fetches it again instead of
// trusting the copy installed before.
void forgetEntries(const std::vector<std::string>& paths) {
    Manifest local;
    {
        std::ifstream in(platform::filePath("checklist.txt"), std::ios::binary);
        if (!in || !readManifest(in, local))
            return;
    }
    size_t forgotten = 0;
    for (const std::string& path : paths)
        forgotten += local.erase(path);
    if (forgotten > 0)
        writeManifest("checklist.txt", local);
}

void appendToLog(const std::string& text) {
    // Gone on with only when it is the log's own file; made anew otherwise.
    InstallFile log;
    if ((log.reopen(logName) && log.seek(-1)) || log.create(logName))
        log.write(text.data(), text.size());
}

Settings readSettings(const std::vector<std::string>& words) {
    Settings settings;
    if (words.size() > 1)
        settings.program = unquoted(words[1]);
    if (words.size() > 2)
        settings.staging = unquoted(words[2]);
    return settings;
}

int completeUpdate(const Settings& settings, std::FILE* console, const Pause& pause,
                   const std::function<void()>& afterChange) {
    std::vector<std::string> files;
    // A staging directory that is a link or junction could hand over files
    // from anywhere: it is taken as empty.
    if (platform::fileKind(settings.staging) == platform::FileKind::directory)
        InstallScanner(settings.staging + "/").list(files);

    Log log;
    if (console != nullptr) {
        std::fputs("Completando la Actualizacion\n", console);
        std::fflush(console);
    }
    log.write("Iniciando HOPLINDATE\n");
    log.write(std::to_string(files.size()) + " Arcvhivos en " + settings.staging + "\n");

    // Held until this returns, so that the launcher started next can take
    // it: another updater never sees the files half moved, and its files
    // are never moved while it writes them.
    std::unique_ptr<platform::FileLock> lock;
    SelfUpdateJob job;
    const bool earlier = readSelfUpdateJob(".", job) && job.stage != JobStage::reverted;
    // A job being undone is finished first (after the moves' log): the
    // staged files wait for the next update.
    if (!lockForMoves([&](const std::string& line) { log.write(line); }, pause, lock) ||
        (earlier && job.stage == JobStage::reverting)) {
        log.write("lanzando \"" + settings.program + "\"\nFinalizado HOPLINDATE\n");
        return 0;
    }
    if (!earlier)
        job = SelfUpdateJob();

    std::vector<std::string> unmoved;
    std::vector<std::string> changed;
    const std::vector<std::string> movable = keepPrevious(log, files, job, unmoved);
    const int moved = moveAll(log, settings, movable, pause, afterChange, unmoved, changed);
    // The staged files' contents reached the disk before the updater's
    // manifest listed them; their new names reach it before the launcher
    // runs on them. A flush that fails changes nothing the log could help.
    platform::syncFiles(".", {}, changed);
    if (!unmoved.empty())
        forgetEntries(unmoved);
    if (!files.empty())
        recordMoved(job, unmoved, earlier);
    log.write("lanzando \"" + settings.program + "\"\nFinalizado HOPLINDATE\n");
    return moved;
}

std::string launch(const Settings& settings) {
    // The words go to the program as they are: quotes would only survive
    // into its argument zero on this system.
    platform::StartFailure failure;
    platform::replaceProcess(settings.program, {"-n"}, &failure);
    return failure.text;
}

int runCompleter(const std::vector<std::string>& words) {
    const Settings settings = readSettings(words);
    const Pause sleep = [](uint32_t ms) { platform::sleepMilliseconds(ms); };
    completeUpdate(settings, stdout, sleep);
    // Files replaced: the new launcher is watched until it shows that it
    // starts, and the job undone when it does not.
    const int watched = watchFirstStart(settings, sleep);
    if (watched != kNotWatched)
        return watched;
    const std::string why = launch(settings);
    // Still here: the launcher could not be started, and the player would
    // otherwise be left without a window and without a word.
    const std::string line = "#--Error lanzando \"" + settings.program + "\": " + why + "\n";
    std::fputs(("hoplin: cannot start \"" + settings.program + "\": " + why + "\n").c_str(), stderr);
    appendToLog(line);
    return 1;
}

} // namespace hoplin
