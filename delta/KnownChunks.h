#pragma once
// The chunk indexes of an installation's large files as the updater put
// them in place, kept beside the local manifest: a delta update of such a
// file knows where each chunk of the installed copy lies without cutting
// and hashing the whole copy again.
//
// The file ("checklist.chunks") is the updater's own and only a shortcut:
// when it is missing, unreadable or out of step with a file, that file's
// installed copy is cut again. It reads
//   "moravo-known-chunks 1\n"
// then per file a line "<md5> <size> <modified> <index length> <path>\n"
// followed by that many bytes of the file's chunk index (as the chunk store
// spells it): the file's MD5 as the local manifest lists it, its size and
// its modification time (in the file system's ticks) when it was recorded.
#include "delta/ChunkFormats.h"
#include "install/Manifest.h"

#include <cstdint>
#include <map>
#include <string>

class KnownChunks {
public:
    struct Record {
        std::string hash; // the file's MD5, as the manifest lists it
        int64_t size = 0;
        int64_t modified = 0;
        std::string index; // its chunk index, encoded
    };

    /// Reads `file`; false (and nothing known) when it is missing or is not
    /// such a file.
    bool load(const std::string& file);
    /// Writes `file` through a temporary file renamed over it.
    bool save(const std::string& file) const;

    /// The index of the installed file `path` (relative to `installDir`)
    /// when the record still describes it: the same MD5 as `hash` (what the
    /// local manifest says the file is), and the size and modification time
    /// the file has now.
    bool indexOf(const std::string& installDir, const std::string& path, const std::string& hash,
                 ChunkIndex& index) const;
    /// Records `index` for the file `path` just put in place, whose MD5 is
    /// `hash`; false when the file cannot be looked at.
    bool record(const std::string& installDir, const std::string& path, const std::string& hash,
                const ChunkIndex& index);
    /// Forgets every file whose MD5 `installed` does not list.
    void keepOnly(const Manifest& installed);
    size_t size() const { return records_.size(); }

private:
    std::map<std::string, Record> records_;
};
