#include "install/Manifest.h"

#include "install/PendingFile.h"
#include "install/ResumeFile.h"
#include "platform/FileSystem.h"
#include "platform/ProgramPath.h"
#include "support/Text.h"

#include <algorithm>
#include <limits>

using support::endsWith;

namespace {

bool isTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits at the first blank; both parts trimmed. False when there is none.
bool splitAtBlank(const std::string& text, std::string& first, std::string& rest) {
    size_t blank = text.find(' ');
    if (blank == std::string::npos)
        return false;
    first = trimmed(text.substr(0, blank));
    rest = trimmed(text.substr(blank + 1));
    return true;
}

// Decimal digits up to the first other character; none give 0. Values beyond
// the 64-bit range stop at its largest value.
int64_t leadingNumber(const std::string& text) {
    constexpr int64_t largest = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        const int digit = c - '0';
        if (value > (largest - digit) / 10)
            return largest;
        value = value * 10 + digit;
    }
    return value;
}

enum class LineResult { line, end, tooLong };

// One line of at most `limit` characters without its line feed; a carriage
// return before the line feed does not count. A last line without a line
// feed counts as a line.
LineResult readLine(std::streambuf& source, std::string& line, size_t limit) {
    line.clear();
    for (;;) {
        int c = source.sbumpc();
        if (c == std::char_traits<char>::eof())
            return line.empty() ? LineResult::end : LineResult::line;
        if (c == '\n')
            return LineResult::line;
        if (line.size() >= limit && !(c == '\r' && line.size() == limit))
            return LineResult::tooLong;
        line.push_back(static_cast<char>(c));
    }
}

constexpr char byteOrderMark[] = "\xEF\xBB\xBF";

void toLowerCase(std::string& text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
}

} // namespace

std::string trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isTrimmed(text[begin]))
        ++begin;
    while (end > begin && isTrimmed(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool readManifest(std::istream& in, Manifest& manifest, ManifestEnd* end, const ManifestLimits& limits) {
    ManifestEnd ignored;
    ManifestEnd& ending = end != nullptr ? *end : ignored;
    ending = ManifestEnd::complete;
    std::streambuf* source = in.rdbuf();
    if (source == nullptr)
        return true;
    const size_t markLength = sizeof byteOrderMark - 1;
    std::string line, hash, afterHash, size, afterSize, packed, path;
    uint64_t bytes = 0;
    for (size_t lines = 0;; ++lines) {
        // The mark an editor may put before the first line does not count
        // against that line's length.
        const size_t limit = lines == 0 ? manifestLineLimit + markLength : manifestLineLimit;
        LineResult got = readLine(*source, line, limit);
        if (lines == 0 && line.compare(0, markLength, byteOrderMark) == 0)
            line.erase(0, markLength);
        else if (lines == 0 && got == LineResult::line && line.size() > manifestLineLimit)
            got = LineResult::tooLong;
        if (got == LineResult::end)
            return true;
        if (got == LineResult::tooLong) {
            ending = ManifestEnd::cutLine;
            return true;
        }
        bytes += line.size() + 1;
        if (lines >= limits.entries || bytes > limits.bytes) {
            ending = ManifestEnd::tooLarge;
            return false;
        }
        if (!splitAtBlank(line, hash, afterHash) || !splitAtBlank(afterHash, size, afterSize) ||
            !splitAtBlank(afterSize, packed, path))
            return false;
        toLowerCase(hash);
        // No file has any other digest, and a line written back from such an
        // entry would not read the same (a byte-order mark before a later
        // line's digest is skipped when that line comes first).
        if (!isManifestDigest(hash))
            return false;
        manifest[path] = ManifestEntry{hash, leadingNumber(size), leadingNumber(packed)};
    }
}

bool writeManifest(const std::string& path, const Manifest& manifest) {
    PendingFile file;
    if (!file.open(path))
        return false;
    std::string line;
    for (const auto& [name, entry] : manifest) {
        line = entry.hash + " " + std::to_string(entry.size) + " " + std::to_string(entry.packedSize) + " " +
               name + "\n";
        if (!file.write(line.data(), line.size()))
            return false;
    }
    return file.commit(true);
}

namespace {

// The names of the files the updater writes beside the installation's own:
// a published file of such a name would be taken for one of them (and
// deleted with it), in any letter case where Windows installs it.
bool isWorkingName(const std::string& component, bool atRoot) {
    static const std::string part = platform::foldCase(PendingFile::suffix);
    static const std::string resume = platform::foldCase(ResumeFile::suffix);
    static const std::string delta = platform::foldCase(deltaFileSuffix);
    static const std::string serial = platform::foldCase(serialFileName);
    static const std::string handOff = platform::foldCase(handOffFileName);
    static const std::string trust = platform::foldCase(trustedKeyFileName);
    static const std::string job = platform::foldCase(selfUpdateJobFileName);
    static const std::string previous = platform::foldCase(previousFilesFolderName);
    static const std::string started = platform::foldCase(startedFileName);
    const std::string name = platform::foldCase(component);
    return endsWith(name, part) || endsWith(name, resume) || endsWith(name, delta) ||
           (atRoot && (name == serial || name == handOff || name == trust || name == job ||
                       name == previous || name == started));
}

// True when a component, read as Windows reads it (a backslash separates
// folders there), steps out of its folder: a part that is "." or "..", or a
// backslash at its start (the root of the drive).
bool stepsOut(const std::string& component) {
    if (component.front() == '\\')
        return true;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(component.find('\\', start), component.size());
        const std::string part = component.substr(start, end - start);
        if (part == "." || part == "..")
            return true;
        if (end == component.size())
            return false;
        start = end + 1;
    }
}

} // namespace

const char* manifestPathProblem(const std::string& path, PathProblemKind* kind) {
    static const char* const leaves = "a path that leaves the installation";
    PathProblemKind ignored = PathProblemKind::none;
    PathProblemKind& found = kind != nullptr ? *kind : ignored;
    found = PathProblemKind::leavesInstallation;
    if (path.empty() || path.front() == '/')
        return leaves;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string component = path.substr(start, end - start);
        if (component.empty() || component == "." || component == ".." || stepsOut(component))
            return leaves;
        // A drive letter ("c:x") is a colon, which no name Windows holds has.
        found = PathProblemKind::windowsName;
        if (const char* problem = platform::windowsNameProblem(component))
            return problem;
        found = PathProblemKind::workingName;
        if (isWorkingName(component, start == 0))
            return "a name the updater keeps for its own files";
        found = PathProblemKind::none;
        if (end == path.size())
            return nullptr;
        start = end + 1;
    }
}

bool isSafeManifestPath(const std::string& path) {
    return manifestPathProblem(path) == nullptr;
}

const std::vector<std::string>& builtInExcludes() {
    // After the first seven: files the launcher, hoplin and the updater
    // write themselves (the player's custom preset, hoplin's log, the
    // accepted serial, the updaters' lock, the known chunk indexes, the
    // failed hand-off, the trusted key, the self-update's job, the files it
    // replaced and the new launcher's confirmation), and the connection file
    // the launcher cannot start without: an installation's own data is never
    // deleted as obsolete.
    static const std::vector<std::string> patterns = {
        "LauncherDev.exe",
        "ZAzizozaz.exe",
        "*Launch.txt",
        "*login.txt",
        "*.svn",
        "*.ilk",
        "*.pdb",
        "*UserSet.txt",
        "*hoplin.log",
        serialFileName,
        clientConfigName,
        lockFileName,
        knownChunksFileName,
        handOffFileName,
        trustedKeyFileName,
        selfUpdateJobFileName,
        previousFilesFolderName,
        startedFileName,
    };
    return patterns;
}

const std::vector<std::string>& selfFiles() {
    // The Windows build's files. Where programs carry no suffix, the two
    // programs' own names are added: a running hoplin.exe could not be
    // replaced on Windows, so it is updated like any other file there.
    static const std::vector<std::string> files = [] {
        std::vector<std::string> names = {
            "launcher_v.txt", "launcher.exe",    "launcher_d.exe", "MoravoTown.exe", "MoravoTown_d.exe",
            "jpeg.dll",       "libpng12.dll",    "SDL.dll",        "SDL_image.dll",  "SDL_ttf.dll",
            "zlib1.dll",      "res/arialbd.ttf", "libexpat.dll",   "ssleay32.dll",   "libeay32.dll",
        };
        if (*platform::executableSuffix() == '\0') {
            names.push_back("MoravoTown");
            names.push_back("hoplin");
        }
        return names;
    }();
    return files;
}

bool isLauncherProgram(const std::string& path) {
    static const char* const programs[] = {"launcher.exe",     "launcher_d.exe", "MoravoTown.exe",
                                           "MoravoTown_d.exe", "MoravoTown",     "hoplin"};
    for (const char* program : programs) {
        if (path == program)
            return true;
    }
    return false;
}

std::vector<std::string> readExcludeLines(std::istream& in) {
    std::vector<std::string> patterns;
    std::streambuf* source = in.rdbuf();
    if (source == nullptr)
        return patterns;
    std::string line;
    for (;;) {
        LineResult got = readLine(*source, line, 255);
        if (got == LineResult::end)
            break;
        // A line beyond the limit is cut there, as the fixed line buffer of
        // the file's original reader did; the rest of it is skipped.
        if (got == LineResult::tooLong) {
            int c;
            while ((c = source->sbumpc()) != std::char_traits<char>::eof() && c != '\n') {
            }
        }
        std::string pattern = trimmed(line);
        if (!pattern.empty())
            patterns.push_back(pattern);
    }
    return patterns;
}

bool isManifestDigest(const std::string& text) {
    if (text.size() != 32)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}
