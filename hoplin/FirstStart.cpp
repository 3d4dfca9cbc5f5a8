// The first start of a launcher whose own files hoplin replaced: watched
// until it confirms, and the job undone when it does not start.
#include "hoplin/Completer.h"

#include "install/Manifest.h"
#include "install/SelfUpdateJob.h"
#include "platform/ChildProcess.h"
#include "platform/Clock.h"
#include "platform/FileSync.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace hoplin {

namespace {

// How often the confirmation is looked for.
constexpr uint32_t kConfirmationPollMs = 100;

enum class Watch { confirmed, ended, timedOut };

// Waits for the launcher's confirmation, its end, or the time-out (then it
// is ended). `status` gets its exit status once it has ended.
Watch watchChild(platform::ChildProcess& child, const std::string& token, int& status) {
    const uint32_t begin = platform::milliseconds();
    for (;;) {
        status = child.wait(kConfirmationPollMs);
        // A launcher may confirm and end at once: the confirmation counts.
        if (startConfirmed(".", token))
            return Watch::confirmed;
        if (status != platform::ChildProcess::kStillRunning)
            return Watch::ended;
        if (platform::milliseconds() - begin >= kConfirmationTimeoutMs) {
            child.kill();
            status = child.wait(platform::ChildProcess::kForever);
            return Watch::timedOut;
        }
    }
}

std::string endText(int status) {
    return status == platform::kRunAbnormalEnd ? std::string("fallo") : "codigo " + std::to_string(status);
}

// One start of the new launcher; true once it confirmed, and `exitCode`
// is then hoplin's.
bool tryStart(const Settings& settings, const SelfUpdateJob& job, int& exitCode) {
    const std::string quoted = "\"" + settings.program + "\"";
    const std::string attempt = " Intento - " + std::to_string(job.starts) + "\n";
    appendToLog("Iniciando " + quoted + attempt);
    platform::ChildProcess child;
    platform::ChildOptions options;
    options.localOnly = true;
    options.environment = {std::string(startTokenVariable) + "=" + job.token};
    if (!child.start(settings.program, {"-n"}, options)) {
        appendToLog("#--Error Iniciando " + quoted + " " + std::to_string(child.startError()) + attempt);
        return false;
    }
    int status = 0;
    switch (watchChild(child, job.token, status)) {
    case Watch::confirmed:
        appendToLog("Confirmado " + quoted + "\n");
        dropSelfUpdateJob(".");
        if (platform::replacementKeepsProcess()) {
            // Whoever waits for hoplin waits for the launcher, as after an
            // exec.
            status = child.wait(platform::ChildProcess::kForever);
            exitCode = status < 0 ? 1 : status;
        } else {
            child.release();
            exitCode = 0;
        }
        return true;
    case Watch::ended:
        appendToLog("#--Terminado sin confirmar " + quoted + " " + endText(status) + attempt);
        return false;
    case Watch::timedOut:
        appendToLog("#--Sin confirmar en " + std::to_string(kConfirmationTimeoutMs / 1000) + " s " + quoted +
                    attempt);
        return false;
    }
    return false;
}

// Puts one file back as it was before the job, five attempts a second
// apart (a launcher that just ended may still hold it); true once it is.
bool putBack(const JobFile& file, const Pause& pause) {
    const std::string copy = previousCopyPath(".", file.path);
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (file.hadPrevious) {
            // A copy that is gone was put back by an earlier run.
            if (platform::fileKind(copy) != platform::FileKind::file)
                return true;
            const int error = platform::replaceFile(copy, file.path);
            if (error == 0) {
                appendToLog("Restaurado " + file.path + "\n");
                return true;
            }
            appendToLog("#--Error Restaurando " + file.path + " " + std::to_string(error) + " Reintento - " +
                        std::to_string(attempt) + "\n");
        } else {
            if (platform::fileKind(file.path) == platform::FileKind::missing)
                return true;
            if (platform::removeFile(file.path)) {
                appendToLog("Quitado " + file.path + "\n");
                return true;
            }
            appendToLog("#--Error Quitando " + file.path + " Reintento - " + std::to_string(attempt) + "\n");
        }
        if (attempt < 4)
            pause(1000);
    }
    return false;
}

// Undoes the job. A file that cannot be put back leaves the job to be
// undone by the next run.
void revert(SelfUpdateJob& job, const Pause& pause) {
    job.stage = JobStage::reverting;
    writeSelfUpdateJob(".", job);
    appendToLog("Deshaciendo la actualizacion: el lanzador nuevo no se inicio\n");
    std::unique_ptr<platform::FileLock> lock;
    if (!lockForMoves(appendToLog, pause, lock))
        return;
    bool complete = true;
    std::vector<std::string> paths;
    for (const JobFile& file : job.files) {
        complete = putBack(file, pause) && complete;
        paths.push_back(file.path);
    }
    // The local manifest vouches for the new files no longer: the next
    // update fetches them again.
    forgetEntries(paths);
    platform::syncFiles(".", {}, paths);
    if (!complete)
        return;
    job.stage = JobStage::reverted;
    job.files.clear();
    job.token.clear();
    writeSelfUpdateJob(".", job);
    removePreviousCopies(".");
    platform::removeFile(startedFileName);
}

// True when `program` is not there to start and is none of the job's files:
// hoplin was told to start something else than the launcher the job
// replaced (a script, "true" on a server), whose start tells nothing of the
// new files. A launcher of the job that is gone (an antivirus took it) is
// the job's failure.
bool startsNothingOfTheJob(const std::string& program, const SelfUpdateJob& job) {
    if (!platform::localProgram(program).empty())
        return false;
    const std::string name = program.substr(program.find_last_of("/\\") + 1);
    return job.find(name) == nullptr;
}

} // namespace

int watchFirstStart(const Settings& settings, const Pause& pause) {
    SelfUpdateJob job;
    if (!readSelfUpdateJob(".", job) || job.stage == JobStage::reverted)
        return kNotWatched;
    if (job.stage != JobStage::reverting && startsNothingOfTheJob(settings.program, job)) {
        dropSelfUpdateJob(".");
        return kNotWatched;
    }
    if (job.stage != JobStage::reverting) {
        job.stage = JobStage::starting;
        while (job.starts < kStartAttempts) {
            // Counted before the start: a start that kills this process too
            // counts.
            ++job.starts;
            job.token = std::to_string(platform::processId()) + "-" +
                        std::to_string(platform::milliseconds()) + "-" + std::to_string(job.starts);
            writeSelfUpdateJob(".", job);
            int exitCode = 0;
            if (tryStart(settings, job, exitCode))
                return exitCode;
        }
    }
    revert(job, pause);
    appendToLog("lanzando \"" + settings.program + "\" anterior\n");
    return kNotWatched;
}

} // namespace hoplin
