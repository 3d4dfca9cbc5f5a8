#include "publish/PublicationSigning.h"

#include "delta/ChunkFormats.h"
#include "install/PendingFile.h"
#include "net/Ed25519.h"
#include "platform/FileSystem.h"
#include "platform/PrivateFile.h"
#include "publish/PublicationVersions.h"
#include "signing/KeyRotation.h"
#include "signing/ManifestSignature.h"

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

std::string recordPathIn(const std::string& dir) {
    return dir + "/" + rotationRecordName;
}

bool sameKey(const Ed25519PublicKey& a, const Ed25519PublicKey& b) {
    return a.raw() == b.raw();
}

// The key rotation record of `dir` (`entries` empty when there is none);
// false when one is there that cannot be read or whose chain is broken
// (past its first entry, whose signer only launchers know).
bool previousRecord(const std::string& dir, std::string& text, std::vector<RotationEntry>& entries,
                    std::string& error) {
    const std::string path = recordPathIn(dir);
    text.clear();
    entries.clear();
    if (platform::fileKind(path) == platform::FileKind::missing)
        return true;
    std::string why = "over " + std::to_string(rotationRecordLimit) + " bytes, or unreadable";
    if (!readSmallFile(path, rotationRecordLimit, text) || !readRotationRecord(text, entries, why)) {
        error =
            "cannot read the key rotation record " + path + " (" + why + "); launchers could not follow it";
        return false;
    }
    for (size_t i = 1; i < entries.size(); ++i) {
        const RotationEntry& entry = entries[i];
        if (!entries[i - 1].key.verify(entry.signedBytes.data(), entry.signedBytes.size(), entry.signature)) {
            error = "the key rotation record " + path + " is broken: rotation " +
                    std::to_string(entry.number) + " is not signed by the key of rotation " +
                    std::to_string(entries[i - 1].number);
            return false;
        }
    }
    return true;
}

// True when `key` signed the publication in `dir` as it stands.
bool signsPublication(const std::string& dir, const Ed25519PublicKey& key) {
    std::string manifest, text;
    ManifestSignature signature;
    if (!readWholeFile(dir + "/checklist.txt", manifest) ||
        !readSmallFile(signaturePathIn(dir), signatureFileLimit, text) ||
        !readManifestSignature(text, signature))
        return false;
    const std::string message = signedMessage(signature.signedHead, manifest);
    return key.verify(message.data(), message.size(), signature.signature);
}

// Why `rotateFrom` may not hand over to `signingKey` after the record
// `entries` of `previousDir`; empty when it may.
std::string rotationProblem(const std::string& previousDir, const std::vector<RotationEntry>& entries,
                            const Ed25519PublicKey& from, const Ed25519PublicKey& signingKey) {
    if (!entries.empty() && !sameKey(entries.back().key, from))
        return "the key to rotate from is not " + entries.back().key.base64() + ", the key of rotation " +
               std::to_string(entries.back().number) + " with which " + recordPathIn(previousDir) + " ends";
    if (entries.empty() && !signsPublication(previousDir, from))
        return "the key to rotate from did not sign " + signaturePathIn(previousDir) +
               " (the publication there must be signed by it, as launchers have it)";
    // The first key of the chain is the one that signed its first entry.
    bool known = sameKey(from, signingKey) ||
                 (!entries.empty() && signingKey.verify(entries[0].signedBytes.data(),
                                                        entries[0].signedBytes.size(), entries[0].signature));
    for (const RotationEntry& entry : entries)
        known = known || sameKey(entry.key, signingKey);
    if (known)
        return "the signing key " + signingKey.base64() +
               " has signed this publication before; rotate to a new key";
    return std::string();
}

// Signs the manifest of `outDir` with a serial above the one of the
// publication in `previousDir` (see `signPublication`).
bool signManifest(const std::string& outDir, const std::string& previousDir, const Ed25519PrivateKey& key,
                  int64_t now, int32_t expiresDays, SignatureReport& report) {
    const std::string manifestPath = outDir + "/checklist.txt";
    const std::string signaturePath = signaturePathIn(previousDir);
    std::string manifest;
    if (!readWholeFile(manifestPath, manifest)) {
        report.error = "cannot read " + manifestPath;
        return false;
    }
    int64_t previous = -1;
    if (!previousSerial(signaturePath, previous, report.error))
        return false;
    report.serial = std::max(now, previous + 1);
    if (expiresDays > 0) {
        report.hasExpiry = true;
        report.expires = now + int64_t(expiresDays) * 86400;
    }
    // The chunk list is signed first, with the manifest's serial: a launcher
    // takes a list only with the serial of the manifest it accepted.
    return signWithSerial(outDir + "/" + chunkListName, true, key, report) &&
           signWithSerial(manifestPath, false, key, report);
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

bool prepareRotationRecord(const std::string& previousDir, const Ed25519PublicKey& signingKey,
                           const Ed25519PrivateKey* rotateFrom, std::string& record,
                           SignatureReport& report) {
    std::vector<RotationEntry> entries;
    report.rotation = 0;
    if (!previousRecord(previousDir, record, entries, report.error))
        return false;
    if (rotateFrom == nullptr) {
        if (entries.empty() || sameKey(entries.back().key, signingKey))
            return true;
        report.error = recordPathIn(previousDir) + " ends with the key " + entries.back().key.base64() +
                       " (rotation " + std::to_string(entries.back().number) +
                       "), which launchers follow: sign with it, or rotate from it to this key";
        return false;
    }
    report.error = rotationProblem(previousDir, entries, rotateFrom->publicKey(), signingKey);
    if (!report.error.empty())
        return false;
    const int64_t number = static_cast<int64_t>(entries.size()) + 1;
    std::string entry;
    if (!makeRotationEntry(*rotateFrom, number, signingKey, entry)) {
        report.error = "cannot sign the key rotation";
        return false;
    }
    // A record whose last line lacks its line feed (edited by hand) gets
    // one, so that the new entry starts on a line of its own.
    if (!record.empty() && record.back() != '\n')
        record += '\n';
    record += entry;
    if (record.size() > rotationRecordLimit) {
        report.error =
            "the key rotation record would be over " + std::to_string(rotationRecordLimit) + " bytes";
        return false;
    }
    report.rotation = number;
    return true;
}

bool writeRotationRecord(const std::string& publicationDir, const std::string& record, std::string& error) {
    const std::string path = recordPathIn(publicationDir);
    if (record.empty()) {
        if (platform::fileKind(path) != platform::FileKind::missing && !platform::removeFile(path)) {
            error = "cannot remove " + path;
            return false;
        }
        return true;
    }
    std::string current;
    if (readSmallFile(path, rotationRecordLimit, current) && current == record)
        return true;
    PendingFile file;
    if (!file.open(path) || !file.write(record.data(), record.size()) || !file.commit(true)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool signPublication(const std::string& outDir, const Ed25519PrivateKey& key, int64_t now,
                     int32_t expiresDays, SignatureReport& report, const SigningChain& chain) {
    report = SignatureReport();
    const std::string folder = livePublicationFolder(outDir);
    const std::string& previousDir = chain.previousDir.empty() ? folder : chain.previousDir;
    // The serial is read before the record changes, so that a signature
    // file that stops the signing leaves the record as it was.
    int64_t previous = -1;
    std::string record;
    return previousSerial(signaturePathIn(previousDir), previous, report.error) &&
           prepareRotationRecord(previousDir, key.publicKey(), chain.rotateFrom, record, report) &&
           writeRotationRecord(folder, record, report.error) &&
           signManifest(folder, previousDir, key, now, expiresDays, report);
}

bool publishSignedRelease(const std::string& sourceDir, const std::string& outDir, const std::string& keyFile,
                          int32_t expiresDays, int64_t now, PublishReport& report, SignatureReport& signature,
                          const std::function<void(const char* action, const std::string& path)>& onFile,
                          const PublishOptions& options, const std::string& rotateFromFile) {
    report = PublishReport();
    signature = SignatureReport();
    for (const std::string& file : {keyFile, rotateFromFile}) {
        if (!file.empty() && (isWithin(file, sourceDir) || isWithin(file, outDir))) {
            report.error = "the key file " + file +
                           " lies in the release or the output folder, where it would "
                           "be published; keep it elsewhere";
            return false;
        }
    }
    Ed25519PrivateKey key, from;
    if (!loadSigningKey(keyFile, key, report.error) ||
        (!rotateFromFile.empty() && !loadSigningKey(rotateFromFile, from, report.error)))
        return false;
    // A signature file that cannot be continued, or a key that would break
    // the chain of keys launchers follow, stops the run before the release
    // changes anything; a rotation is checked against the live version,
    // which its old key signed.
    const std::string live = livePublicationFolder(outDir);
    int64_t previous = -1;
    std::string record;
    if (!previousSerial(signaturePathIn(live), previous, report.error))
        return false;
    if (!prepareRotationRecord(live, key.publicKey(), rotateFromFile.empty() ? nullptr : &from, record,
                               signature)) {
        report.error = signature.error;
        return false;
    }
    // The new version is signed before it goes live, its serial above the
    // live one's.
    PublishOptions signing = options;
    signing.beforeSwitch = [&](const std::string& versionDir, const std::string& liveDir) {
        const std::string& previousDir = liveDir.empty() ? versionDir : liveDir;
        if (!writeRotationRecord(versionDir, record, signature.error) ||
            !signManifest(versionDir, previousDir, key, now, expiresDays, signature))
            return signature.error;
        return options.beforeSwitch ? options.beforeSwitch(versionDir, liveDir) : std::string();
    };
    return publishRelease(sourceDir, outDir, report, onFile, signing);
}
