#include "tests/fuzz/ScratchInstallation.h"

#include "install/Manifest.h"
#include "net/Md5.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace hostile {

namespace {

constexpr char sentinelName[] = "centinela.txt";
constexpr char outsideFolder[] = "afuera";
constexpr char outsideFile[] = "afuera/guardado.txt";
constexpr char sentinelBytes[] = "no tocar\n";
constexpr char outsideBytes[] = "tampoco\n";
constexpr char playerFile[] = "partidas/jugador.sav";
constexpr char playerBytes[] = "nivel 7, 1250 monedas\n";
constexpr int64_t bigFileSize = int64_t(4) << 20;
constexpr char bigFileName[] = "big/world.pak";

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "==updater_hostile== %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        fault("cannot write " + path);
}

// Bytes from a small alphabet in a fixed pseudo-random order: compressible,
// yet varied enough for content-defined cuts.
std::string pattern(size_t size, uint32_t seed, const char* alphabet, uint32_t letters) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = alphabet[(state >> 16) % letters];
    }
    return bytes;
}

// What identifies a file's contents and its last change.
std::string fingerprint(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return "";
    std::ostringstream text;
    text << info.st_ino << ' ' << info.st_mode << ' ' << info.st_nlink << ' ' << info.st_size << ' '
         << info.st_mtim.tv_sec << '.' << info.st_mtim.tv_nsec << ' ' << info.st_ctim.tv_sec << '.'
         << info.st_ctim.tv_nsec << ' ' << readAll(path);
    return text.str();
}

std::set<std::string> entries(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.insert(entry.path().filename().string());
    return names;
}

std::map<std::string, std::string> fingerprints;

} // namespace

ScratchInstallation::ScratchInstallation() {
    root_ = (fs::temp_directory_path() / ("moravo-hostile-" + std::to_string(::getpid()))).string();
    install_ = root_ + "/install";
    std::error_code error;
    fs::remove_all(root_, error);
    fs::create_directories(install_);
    fs::create_directories(root_ + "/" + outsideFolder);
    writeAll(root_ + "/" + sentinelName, sentinelBytes);
    writeAll(root_ + "/" + outsideFile, outsideBytes);
    for (const char* name : {sentinelName, outsideFile})
        fingerprints[name] = fingerprint(root_ + "/" + name);
}

ScratchInstallation::~ScratchInstallation() {
    std::error_code error;
    fs::remove_all(root_, error);
}

const std::map<std::string, std::string>& ScratchInstallation::gameFiles() {
    static const std::map<std::string, std::string> files = {
        {"launcher_v.txt", "1.2.0.12555\n"},
        {"leeme.txt", "Bienvenido a Moravo.\n"},
        {"data/config.txt", "calidad=alta\nventana=1\n"},
        {"data/mapa.bin", pattern(3000, 1, "abcdefgh  \n\x01\xff", 13)},
        {"data/sub/tex.dat", pattern(1500, 2, "abcdefgh  \n\x01\xff", 13)},
        {bigFileName, pattern(static_cast<size_t>(bigFileSize), 3, "wxyz", 4)},
    };
    return files;
}

const char* ScratchInstallation::playerFolder() {
    return "partidas";
}

void ScratchInstallation::reset(const Layout& layout) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(install_)) {
        fs::remove_all(entry.path(), error);
        if (error)
            fault("cannot empty the installation: " + entry.path().string() + ": " + error.message());
    }
    // The manifests with and without the 4 MiB file, made once.
    static std::string manifests[2];
    std::string& manifest = manifests[layout.bigFile ? 1 : 0];
    const bool listed = !manifest.empty();
    for (const auto& [path, bytes] : gameFiles()) {
        if (!layout.bigFile && path == bigFileName)
            continue;
        fs::create_directories(fs::path(install_ + "/" + path).parent_path());
        writeAll(install_ + "/" + path, bytes);
        if (!listed)
            manifest += Md5::hex(bytes) + " " + std::to_string(bytes.size()) + " 0 " + path + "\n";
    }
    if (layout.localManifest)
        writeAll(install_ + "/checklist.txt", manifest);
    fs::create_directories(install_ + "/" + playerFolder());
    writeAll(install_ + "/" + playerFile, playerBytes);
    fs::create_symlink("../" + std::string(sentinelName), install_ + "/enlace.txt");
    fs::create_directory_symlink("../" + std::string(outsideFolder), install_ + "/fuera");
    for (const auto& [path, bytes] : layout.leftovers) {
        if (!leftoverPathAllowed(path))
            continue;
        fs::create_directories(fs::path(install_ + "/" + path).parent_path(), error);
        if (!error && fs::symlink_status(install_ + "/" + path, error).type() == fs::file_type::not_found)
            writeAll(install_ + "/" + path, bytes);
    }
}

void ScratchInstallation::checkOutside() const {
    if (entries(root_) != std::set<std::string>{"install", sentinelName, outsideFolder})
        fault("a file appeared or went beside the installation");
    if (entries(root_ + "/" + outsideFolder) != std::set<std::string>{"guardado.txt"})
        fault("a file appeared or went in the folder a link of the installation leads to");
    for (const auto& [name, print] : fingerprints)
        if (fingerprint(root_ + "/" + name) != print)
            fault("a file outside the installation changed: " + name);
}

void ScratchInstallation::checkPlayer() const {
    const std::string path = install_ + "/" + playerFile;
    if (fs::symlink_status(path).type() != fs::file_type::regular || readAll(path) != playerBytes)
        fault("the player's file was lost or changed");
}

void ScratchInstallation::checkRecord(bool staged) const {
    const std::string path = install_ + "/checklist.txt";
    if (fs::symlink_status(path).type() == fs::file_type::not_found)
        return;
    std::ifstream in(path, std::ios::binary);
    Manifest manifest;
    if (!readManifest(in, manifest))
        fault("the installation's checklist.txt cannot be read back");
    for (const auto& listed : manifest) {
        const std::string& name = listed.first;
        const ManifestEntry& entry = listed.second;
        // A folder the installation owns: no file to check.
        if (isFolderRecord(name))
            continue;
        const std::string file = install_ + "/" + name;
        std::error_code error;
        if (fs::symlink_status(file, error).type() == fs::file_type::not_found)
            continue;
        const auto matches = [&](const std::string& candidate) {
            if (!fs::is_regular_file(candidate, error))
                return false;
            const std::string bytes = readAll(candidate);
            return static_cast<int64_t>(bytes.size()) == entry.size && Md5::hex(bytes) == entry.hash;
        };
        if (!matches(file) && !(staged && matches(install_ + "/tmp/" + name)))
            fault("checklist.txt says " + name + " is " + entry.hash + " " + std::to_string(entry.size) +
                  ", and the file is not");
    }
}

bool leftoverPathAllowed(const std::string& path) {
    static const std::vector<std::string> workingNames = {".moravo-part", ".moravo-resume", ".moravo-delta"};
    bool working = false;
    for (const std::string& suffix : workingNames)
        working = working || (path.size() > suffix.size() &&
                              path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0);
    if (!working || path.empty() || path[0] == '/')
        return false;
    std::istringstream parts(path);
    std::string part;
    bool first = true;
    while (std::getline(parts, part, '/')) {
        if (part.empty() || part == "." || part == ".." || part.find('\\') != std::string::npos)
            return false;
        for (unsigned char c : part)
            if (c < 32)
                return false;
        if (first && (part == ScratchInstallation::playerFolder() || part == "enlace.txt" || part == "fuera"))
            return false;
        first = false;
    }
    return path.back() != '/';
}

} // namespace hostile
