// Updater: the local manifest while files change. It is never absent: before
// the first change it is replaced by a record that vouches only for the files
// the run leaves as they are and names the folders the installation owns,
// so that a run killed at any moment leaves the next one a true record to
// go on from, obsolete files included, without a scan.
#include "install/InstallScanner.h"
#include "install/ManifestRules.h"
#include "platform/FileSystem.h"
#include "update/Leftovers.h"
#include "update/UpdateLog.h"
#include "update/Updater.h"

Manifest Updater::knownManifest(const std::set<std::string>& done) const {
    // A file is replaced only once it is verified, so a file not put in
    // place (never reached, failed, cancelled) still has the bytes that the
    // old local manifest describes.
    Manifest known;
    for (const auto& [path, entry] : published_) {
        if (done.count(path) != 0) {
            known[path] = entry;
            continue;
        }
        auto local = local_.find(path);
        if (local != local_.end())
            known[path] = local->second;
    }
    // The obsolete files are still there: their folders stay the game's.
    addOwnedFolders(known);
    return known;
}

Manifest Updater::interimRecord() const {
    Manifest record;
    for (const auto& [path, entry] : local_) {
        auto published = published_.find(path);
        if (!isFolderRecord(path) && published != published_.end() && published->second.hash == entry.hash &&
            published->second.size == entry.size)
            record[path] = entry;
    }
    addOwnedFolders(record);
    return record;
}

void Updater::addOwnedFolders(Manifest& record) const {
    std::set<std::string> folders;
    for (const auto& [path, entry] : published_)
        folders.insert(folderOf(path));
    // Only a record that was read knows the game's folders: a scan lists the
    // player's files too.
    if (localFromFile_) {
        for (const auto& [path, entry] : local_)
            folders.insert(folderOf(path));
    }
    for (const auto& [path, entry] : record)
        folders.erase(folderOf(path));
    for (const std::string& folder : folders)
        record[folderRecordPath(folder)] = ManifestEntry{folderRecordDigest, 0, 0};
}

bool Updater::writeInterimRecord() {
    // Its entries were on the disk before the old record named them, so
    // nothing needs flushing first.
    const Manifest record = interimRecord();
    // An installation that is up to date keeps its record as it is.
    if ((localFromFile_ && record == local_) || writeManifest(localManifestPath_, record))
        return true;
    // Without a record the next run scans the installation: slower, but
    // nothing it trusts is false.
    updateLog("update: cannot write %s; it is removed", localManifestPath_.c_str());
    if (platform::removeFile(localManifestPath_) ||
        platform::fileKind(localManifestPath_) == platform::FileKind::missing)
        return true;
    error_ = writeError;
    failureCauses_ = {"cannot write " + localManifestPath_};
    return false;
}

void Updater::recoverUnvouched() {
    // A scan hashed every file already.
    if (!localFromFile_)
        return;
    int recovered = 0;
    for (const auto& [path, entry] : published_) {
        if (local_.count(path) != 0)
            continue;
        // A run stopped after it put the file in place (or staged it for
        // hoplin) but before the record named it, or while it changed it.
        std::vector<std::string> places{path};
        const std::string staged = downloadDestination(path, stagingDir_, selfFiles_);
        if (staged != path)
            places.push_back(staged);
        for (const std::string& where : places) {
            const std::string full = installDir_ + "/" + where;
            std::string digest;
            int64_t size = 0;
            if (platform::fileKind(full) != platform::FileKind::file || hashFile(full, digest, size) != 0)
                continue;
            const bool whole = digest == entry.hash && size == entry.size;
            // Another installed copy is still what a delta starts from; a
            // staged one is worth only what it was staged for.
            if (!whole && where != path)
                continue;
            local_[path] = whole ? entry : ManifestEntry{digest, size, 0};
            // Its bytes reach the disk before a record vouches for them.
            unsynced_.push_back(full);
            recovered += whole ? 1 : 0;
            if (whole)
                break;
        }
    }
    if (recovered > 0)
        updateLog("update: %d files put in place by an earlier run were found whole", recovered);
}
