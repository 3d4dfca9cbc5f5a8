#pragma once
#include <string>
#include <vector>

/// A self-update of the launcher's own files, from the moment hoplin starts
/// putting them in place until the new launcher has shown that it starts
/// (or the update was undone). hoplin keeps a copy of every file it replaces
/// in the folder `previousFilesFolderName` and records the job in
/// `selfUpdateJobFileName`, both in the installation beside the local
/// manifest; a launcher that hoplin watches confirms its start in
/// `startedFileName` with the token hoplin gave it. Each file is written in
/// one step (a temporary file renamed over it), so that a run killed at any
/// moment leaves the record and the copies whole, and a later run of hoplin
/// finishes or undoes the job.

/// The environment variable through which hoplin hands the launcher it
/// watches the token to confirm its start with.
constexpr const char* startTokenVariable = "MORAVO_START_TOKEN";

/// Where a job stands.
enum class JobStage {
    /// hoplin is putting the staged files in place.
    moving,
    /// The files are in place; the new launcher is being started.
    starting,
    /// The new launcher did not start: the previous files are being put back.
    reverting,
    /// They are back; the launcher tells the player, then forgets the job.
    reverted,
};

/// One file the job put in place, and whether an installed copy was there
/// before (kept in the previous files' folder) or the file is new.
struct JobFile {
    std::string path;
    bool hadPrevious = false;
};

struct SelfUpdateJob {
    JobStage stage = JobStage::moving;
    /// The token of the launcher start watched last.
    std::string token;
    /// The starts of the new launcher tried so far.
    int starts = 0;
    std::vector<JobFile> files;

    /// The entry of `path`, or null.
    const JobFile* find(const std::string& path) const;
};

/// Reads the job of the installation `dir`; false when there is none (or
/// its record cannot be read).
bool readSelfUpdateJob(const std::string& dir, SelfUpdateJob& job);

/// Records the job, replacing the record in one step once its bytes are on
/// the disk. False when it could not be written.
bool writeSelfUpdateJob(const std::string& dir, const SelfUpdateJob& job);

/// Forgets the job: its record, the previous files' copies and the
/// confirmation.
void dropSelfUpdateJob(const std::string& dir);

/// Where the copy of the installed file `path` is kept.
std::string previousCopyPath(const std::string& dir, const std::string& path);

/// Keeps a copy of the installed file `path` (with its permissions) in the
/// previous files' folder, its bytes on the disk; false when it could not.
bool keepPreviousCopy(const std::string& dir, const std::string& path);

/// Removes the previous files' folder and everything in it (never through
/// a link).
void removePreviousCopies(const std::string& dir);

/// Records that the launcher started with `token` (its first frame drawn).
bool confirmStart(const std::string& dir, const std::string& token);

/// True when a launcher confirmed its start with `token` (not empty).
bool startConfirmed(const std::string& dir, const std::string& token);
