#include "delta/KnownChunks.h"

#include "install/PendingFile.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* head = "moravo-known-chunks 1";
// An index lists a chunk in about 40 bytes: this is a file of tens of
// gigabytes, and bounds what a damaged record can make us allocate.
constexpr int64_t indexLimit = int64_t(64) << 20;

// The size and modification time of a regular file.
bool lookAt(const std::string& path, int64_t& size, int64_t& modified) {
    if (platform::fileKind(path) != platform::FileKind::file)
        return false;
    std::error_code ec;
    const std::filesystem::path native = platform::filePath(path);
    const auto bytes = std::filesystem::file_size(native, ec);
    if (ec)
        return false;
    const auto time = std::filesystem::last_write_time(native, ec);
    if (ec)
        return false;
    size = static_cast<int64_t>(bytes);
    modified = static_cast<int64_t>(time.time_since_epoch().count());
    return true;
}

// One record's line: "<md5> <size> <modified> <index length> <path>".
bool readLine(const std::string& line, KnownChunks::Record& record, int64_t& length, std::string& path) {
    std::istringstream fields(line);
    fields >> record.hash >> record.size >> record.modified >> length;
    if (!fields || fields.get() != ' ' || !isManifestDigest(record.hash) || record.size < 0 || length < 0 ||
        length > indexLimit)
        return false;
    std::getline(fields, path);
    return !path.empty();
}

} // namespace

bool KnownChunks::load(const std::string& file) {
    records_.clear();
    std::ifstream in(platform::filePath(file), std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != head)
        return false;
    std::map<std::string, Record> read;
    while (std::getline(in, line)) {
        Record record;
        int64_t length = 0;
        std::string path;
        if (!readLine(line, record, length, path))
            return false;
        record.index.resize(static_cast<size_t>(length));
        if (!in.read(&record.index[0], static_cast<std::streamsize>(length)))
            return false;
        read[path] = std::move(record);
    }
    records_ = std::move(read);
    return true;
}

bool KnownChunks::save(const std::string& file) const {
    std::string text = std::string(head) + "\n";
    for (const auto& [path, record] : records_)
        text += record.hash + " " + std::to_string(record.size) + " " + std::to_string(record.modified) +
                " " + std::to_string(record.index.size()) + " " + path + "\n" + record.index;
    // Put in place whole: a run cut short leaves the old record, or none.
    PendingFile out;
    return out.open(file) && out.write(text.data(), text.size()) && out.commit();
}

bool KnownChunks::indexOf(const std::string& installDir, const std::string& path, const std::string& hash,
                          ChunkIndex& index) const {
    auto found = records_.find(path);
    int64_t size = 0, modified = 0;
    return found != records_.end() && found->second.hash == hash &&
           lookAt(installDir + "/" + path, size, modified) && size == found->second.size &&
           modified == found->second.modified && decodeChunkIndex(found->second.index, index) &&
           index.fileSize == size;
}

bool KnownChunks::record(const std::string& installDir, const std::string& path, const std::string& hash,
                         const ChunkIndex& index) {
    Record record;
    record.hash = hash;
    if (!lookAt(installDir + "/" + path, record.size, record.modified) || record.size != index.fileSize) {
        records_.erase(path);
        return false;
    }
    record.index = encodeChunkIndex(index);
    records_[path] = std::move(record);
    return true;
}

void KnownChunks::keepOnly(const Manifest& installed) {
    for (auto it = records_.begin(); it != records_.end();) {
        auto entry = installed.find(it->first);
        if (entry == installed.end() || entry->second.hash != it->second.hash)
            it = records_.erase(it);
        else
            ++it;
    }
}
