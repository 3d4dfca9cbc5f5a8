// What the flushes of platform/FileSync.h share on every system.
#include "platform/FileSync.h"

#include <algorithm>
#include <atomic>
#include <set>

namespace platform {

namespace {

std::atomic<int (*)(const std::string&)> newFileHook{nullptr};
std::atomic<FileChangeObserver> fileChangeObserver{nullptr};
std::atomic<bool> flushesModelled{false};

} // namespace

void setNewFileHook(int (*refuse)(const std::string& path)) {
    newFileHook.store(refuse);
}

int newFileRefusal(const std::string& path) {
    auto refuse = newFileHook.load();
    return refuse == nullptr ? 0 : refuse(path);
}

void setFileChangeObserver(FileChangeObserver observer) {
    fileChangeObserver.store(observer);
}

void setDiskFlushesModelled(bool modelled) {
    flushesModelled.store(modelled);
}

bool diskFlushesModelled() {
    return flushesModelled.load();
}

void noteFileChange(FileChange change, const std::string& path, const std::string& other) {
    if (FileChangeObserver observer = fileChangeObserver.load())
        observer(change, path, other);
}

std::vector<std::string> changedFolders(const std::vector<std::string>& written,
                                        const std::vector<std::string>& moved) {
    std::set<std::string> folders;
    for (const std::vector<std::string>* paths : {&written, &moved}) {
        for (const std::string& path : *paths) {
            // "./a" and "a" are one folder's names.
            size_t start = 0;
            while (path.compare(start, 2, "./") == 0 || path.compare(start, 2, ".\\") == 0)
                start += 2;
            const size_t separator = path.find_last_of("/\\");
            folders.insert(separator == std::string::npos || separator < start ? std::string(".")
                           : separator == 0                                    ? path.substr(0, 1)
                                            : path.substr(start, separator - start));
        }
    }
    std::vector<std::string> deeperFirst(folders.begin(), folders.end());
    // A folder's own entries reach the disk before its parent's entry for it.
    std::stable_sort(deeperFirst.begin(), deeperFirst.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return deeperFirst;
}

} // namespace platform
