#include "update/PublicationSigning.h"

#include "net/Ed25519.h"
#include "platform/FileSystem.h"
#include "platform/PrivateFile.h"
#include "update/ChunkFormats.h"
#include "update/ManifestSignature.h"
#include "update/PendingFile.h"
#include "update/PublicationVersions.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Reads at most `limit` bytes; false when the file cannot be read or is
// longer.
bool readSmallFile(const std::string& path, size_t limit, std::string& bytes) {
    std::ifstream in(platform::filePath(path), std::ios::binary);
    if (!in)
        return false;
    bytes.assign(limit + 1, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(limit + 1));
    if (in.bad())
        return false;
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes.size() <= limit;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(platform::filePath(path), std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    bytes = text.str();
    return !in.bad();
}

bool isWithin(const std::string& inner, const std::string& outer) {
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(platform::filePath(inner), ec);
    if (ec)
        return false;
    const fs::path b = fs::weakly_canonical(platform::filePath(outer), ec);
    if (ec)
        return false;
    auto i = a.begin();
    for (auto o = b.begin(); o != b.end(); ++o, ++i) {
        if (o->empty())
            continue;
        if (i == a.end() || *i != *o)
            return false;
    }
    return true;
}

// The serial of the signature file at the path, or -1 when there
// is none; false when one is there and cannot be read.
bool previousSerial(const std::string& signaturePath, int64_t& serial, std::string& error) {
    serial = -1;
    if (platform::fileKind(signaturePath) == platform::FileKind::missing)
        return true;
    std::string text;
    ManifestSignature previous;
    if (!readSmallFile(signaturePath, signatureFileLimit, text) || !readManifestSignature(text, previous)) {
        error = "cannot read the serial of " + signaturePath +
                "; move it away to start the serials anew (launchers refuse serials below the last one they "
                "accepted)";
        return false;
    }
    if (previous.serial == std::numeric_limits<int64_t>::max()) {
        error = "the serial of " + signaturePath + " cannot grow any more";
        return false;
    }
    serial = previous.serial;
    return true;
}

// Writes the signature file of `path` with the report's serial and expiry.
// A file that `optional` allows to be missing has no signature file then
// (an old one is removed).
bool signWithSerial(const std::string& path, bool optional, const Ed25519PrivateKey& key,
                    SignatureReport& report) {
    const std::string signaturePath = path + signatureSuffix;
    std::string bytes, text;
    if (optional && platform::fileKind(path) == platform::FileKind::missing) {
        if (platform::fileKind(signaturePath) != platform::FileKind::missing &&
            !platform::removeFile(signaturePath)) {
            report.error = "cannot remove " + signaturePath;
            return false;
        }
        return true;
    }
    if (!readWholeFile(path, bytes)) {
        report.error = "cannot read " + path;
        return false;
    }
    if (!makeManifestSignature(key, report.serial, report.hasExpiry ? &report.expires : nullptr, bytes,
                               text)) {
        report.error = "cannot sign " + path;
        return false;
    }
    PendingFile file;
    if (!file.open(signaturePath) || !file.write(text.data(), text.size()) || !file.commit(true)) {
        report.error = "cannot write " + signaturePath;
        return false;
    }
    return true;
}

std::string signaturePathIn(const std::string& outDir) {
    return outDir + "/checklist.txt" + signatureSuffix;
}

} // namespace

bool createSigningKey(const std::string& path, bool replace, std::string& publicKey, std::string& error) {
    publicKey.clear();
    Ed25519PrivateKey key;
    if (!key.generate()) {
        error = "cannot make a key (no random source?)";
        return false;
    }
    std::string pem = key.pem();
    std::string why;
    const bool written = !pem.empty() && platform::writePrivateFile(path, pem, replace, why);
    eraseSecret(pem);
    if (!written) {
        error = "cannot write " + path + (why.empty() ? "" : ": " + why);
        return false;
    }
    publicKey = key.publicKey().base64();
    return true;
}

bool loadSigningKey(const std::string& path, Ed25519PrivateKey& key, std::string& error) {
    std::string pem;
    if (!readSmallFile(path, 64 * 1024, pem)) {
        error = "cannot read the key file " + path;
        return false;
    }
    const bool read = key.fromPem(pem);
    eraseSecret(pem);
    if (!read) {
        error = path + " holds no Ed25519 private key";
        return false;
    }
    return true;
}

namespace {

// Signs the manifest in `folder` with a serial above the one of the
// signature in `previousFolder` (empty: none).
bool signVersion(const std::string& folder, const std::string& previousFolder, const Ed25519PrivateKey& key,
                 int64_t now, int32_t expiresDays, SignatureReport& report) {
    report = SignatureReport();
    const std::string manifestPath = folder + "/checklist.txt";
    std::string manifest;
    if (!readWholeFile(manifestPath, manifest)) {
        report.error = "cannot read " + manifestPath;
        return false;
    }
    int64_t previous = -1;
    if (!previousFolder.empty() && !previousSerial(signaturePathIn(previousFolder), previous, report.error))
        return false;
    report.serial = std::max(now, previous + 1);
    if (expiresDays > 0) {
        report.hasExpiry = true;
        report.expires = now + int64_t(expiresDays) * 86400;
    }
    // The chunk list is signed first, with the manifest's serial: a launcher
    // takes a list only with the serial of the manifest it accepted.
    return signWithSerial(folder + "/" + chunkListName, true, key, report) &&
           signWithSerial(manifestPath, false, key, report);
}

} // namespace

bool signPublication(const std::string& outDir, const Ed25519PrivateKey& key, int64_t now,
                     int32_t expiresDays, SignatureReport& report) {
    const std::string folder = livePublicationFolder(outDir);
    return signVersion(folder, folder, key, now, expiresDays, report);
}

bool publishSignedRelease(const std::string& sourceDir, const std::string& outDir, const std::string& keyFile,
                          int32_t expiresDays, int64_t now, PublishReport& report, SignatureReport& signature,
                          const std::function<void(const char* action, const std::string& path)>& onFile,
                          const PublishOptions& options) {
    report = PublishReport();
    signature = SignatureReport();
    if (isWithin(keyFile, sourceDir) || isWithin(keyFile, outDir)) {
        report.error = "the key file " + keyFile +
                       " lies in the release or the output folder, where it would "
                       "be published; keep it elsewhere";
        return false;
    }
    Ed25519PrivateKey key;
    if (!loadSigningKey(keyFile, key, report.error))
        return false;
    // A signature file that cannot be continued stops the run before the
    // release changes anything.
    int64_t previous = -1;
    if (!previousSerial(signaturePathIn(livePublicationFolder(outDir)), previous, report.error))
        return false;
    PublishOptions signing = options;
    signing.beforeSwitch = [&](const std::string& versionDir, const std::string& liveDir) {
        if (!signVersion(versionDir, liveDir, key, now, expiresDays, signature))
            return signature.error;
        return options.beforeSwitch ? options.beforeSwitch(versionDir, liveDir) : std::string();
    };
    return publishRelease(sourceDir, outDir, report, onFile, signing);
}
