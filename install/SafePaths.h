#pragma once
#include <string>
#include <vector>

/// Creates the missing directories above `relativePath` inside `root` (the
/// root itself is trusted and must exist), one component at a time. A
/// component that exists must be a real directory: a symbolic link or a
/// junction, even one to a directory, or any other kind of file makes the
/// call fail, so that
/// nothing placed at the path can ever land outside `root`. `created`, when
/// given, gets the directories the call made, outermost first.
bool makeParentDirectories(const std::string& root, const std::string& relativePath,
                           std::vector<std::string>* created = nullptr);

/// Removes the directories of `created` (as `makeParentDirectories` lists
/// them) that are empty, innermost first: a file that was never put in
/// place leaves no folder behind.
void removeCreatedDirectories(const std::vector<std::string>& created);

/// True when every directory above `relativePath` inside `root` exists and is
/// a real directory (no link or junction among them).
bool parentDirectoriesInside(const std::string& root, const std::string& relativePath);
