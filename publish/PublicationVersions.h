#pragma once
// The versions of an output folder. Each publication is built in a folder
// of its own, "versions/N", beside the one players are reading; then the
// first line of "current.txt" is replaced, in one step, by "./versions/N",
// which launchers follow to that folder. A version stays served for a
// while after the next one goes live, so that a player who started on it
// can finish. A folder published before versions existed (its manifest at
// the top) counts as version 0.
#include <cstdint>
#include <string>
#include <vector>

/// The folder of an output folder that holds the versions.
constexpr const char* versionsFolderName = "versions";
/// The file whose first line names the version that is live.
constexpr const char* currentFileName = "current.txt";
/// Versions served by default: the live one and the one before it.
constexpr int32_t defaultKeptVersions = 2;
/// The most versions `--keep` may ask for.
constexpr int32_t maximumKeptVersions = 100;

/// A version of an output folder.
struct PublishedVersion {
    /// -1: nothing is published; 0: the manifest lies at the top of the
    /// output folder; N: "versions/N".
    int64_t number = -1;
    /// The folder that holds its "checklist.txt"; empty when there is none.
    std::string folder;
};

/// The folder of version `number` (above 0) of `outDir`.
std::string versionFolder(const std::string& outDir, int64_t number);
/// The first line of "current.txt" that makes version `number` live.
std::string versionLine(int64_t number);

/// The version `outDir` serves. False, with `error`, when "current.txt"
/// names something that is no version of this folder (an operator's line
/// that sends launchers elsewhere, which publishing would silently undo),
/// or a version folder that is missing.
bool findLiveVersion(const std::string& outDir, PublishedVersion& live, std::string& error);

/// The folder whose "checklist.txt" `outDir` serves: the live version's, or
/// `outDir` itself when it names none.
std::string livePublicationFolder(const std::string& outDir);

/// The numbers of the version folders of `outDir`, ascending.
std::vector<int64_t> listVersions(const std::string& outDir);

/// Removes the version folders above `live` (left by a publish that failed
/// or was killed before they went live); answers how many.
int32_t removeUnfinishedVersions(const std::string& outDir, int64_t live);

/// Makes version `number` live: "current.txt" replaced in one step once its
/// bytes are on the disk. False, with `error`, when it cannot be written.
bool switchLiveVersion(const std::string& outDir, int64_t number, std::string& error);

/// Removes the versions older than the `keep` newest (the live one among
/// them), version 0 included; answers how many were removed.
int32_t retireVersions(const std::string& outDir, int64_t live, int32_t keep);

/// Removes a version's folder, or version 0's files from the top of
/// `outDir`; false when something stayed.
bool removeVersion(const std::string& outDir, int64_t number);

/// Gives the file `existing` the name `added` as well, or copies it there
/// when the file system cannot (on another volume, FAT, some shares). The
/// bytes are never written through: both names stay one unchanging file.
bool shareFile(const std::string& existing, const std::string& added, std::string& error);
