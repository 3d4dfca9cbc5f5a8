// The key rotation record: reading and making entries, the launcher's walk
// along it, and the installation's trusted key file.
#include "signing/KeyRotation.h"

#include "install/PendingFile.h"
#include "net/Base64.h"
#include "platform/FileSystem.h"
#include "signing/SignedText.h"

#include <fstream>

using signedtext::nextLine;
using signedtext::parseDecimal;
using signedtext::valueAfter;

namespace {

// Reads the line at `pos` as "word VALUE"; `ended` demands a line feed
// after it. `line` counts the lines read. False, with `error`, otherwise.
bool readWordLine(const std::string& text, size_t& pos, int& line, const char* word, bool ended,
                  std::string& value, std::string& error) {
    std::string content;
    bool closed = false;
    if (!nextLine(text, pos, content, closed) || !valueAfter(content, word, value) || (ended && !closed)) {
        error = "line " + std::to_string(line + 1) + ": \"" + word + " ...\" expected";
        return false;
    }
    ++line;
    return true;
}

// Reads the entry at `pos`, which must be number `expected`.
bool readEntry(const std::string& text, size_t& pos, int& line, int64_t expected, RotationEntry& entry,
               std::string& error) {
    entry.line = line + 1;
    const size_t start = pos;
    std::string value;
    if (!readWordLine(text, pos, line, "rotation", true, value, error))
        return false;
    if (!parseDecimal(value, entry.number) || entry.number != expected) {
        error = "line " + std::to_string(line) + ": rotation " + std::to_string(expected) + " expected";
        return false;
    }
    if (!readWordLine(text, pos, line, "key", true, value, error))
        return false;
    if (!entry.key.fromBase64(value)) {
        error = "line " + std::to_string(line) + ": the key is not the base64 of 32 bytes";
        return false;
    }
    entry.signedBytes = text.substr(start, pos - start);
    if (!readWordLine(text, pos, line, "signature", false, value, error))
        return false;
    if (!base64Decode(value, entry.signature) || entry.signature.size() != Ed25519PublicKey::signatureSize) {
        error = "line " + std::to_string(line) + ": the signature is not the base64 of 64 bytes";
        return false;
    }
    return true;
}

bool sameKey(const Ed25519PublicKey& a, const Ed25519PublicKey& b) {
    return a.valid() && b.valid() && a.raw() == b.raw();
}

const RotationEntry* entryNumbered(const std::vector<RotationEntry>* record, int64_t number) {
    if (record == nullptr)
        return nullptr;
    for (const RotationEntry& entry : *record)
        if (entry.number == number)
            return &entry;
    return nullptr;
}

// Where the walk starts; false (with `reason`) when the record has gone
// back behind what the installation accepted.
bool startingPoint(const Ed25519PublicKey& configured, const KeptTrust* kept,
                   const std::vector<RotationEntry>* record, TrustedKey& start, std::string& reason) {
    if (kept != nullptr && sameKey(kept->configured, configured) && kept->trusted.key.valid()) {
        start = kept->trusted;
        if (start.rotation == 0)
            return true;
        const RotationEntry* held = entryNumbered(record, start.rotation);
        if (held != nullptr && sameKey(held->key, start.key))
            return true;
        const std::string rotation = "rotation " + std::to_string(start.rotation);
        reason = record == nullptr ? std::string("no ") + rotationRecordName +
                                         " is published, but this installation follows " + rotation
                                   : std::string(rotationRecordName) + " does not hold the key of " +
                                         rotation + " that this installation accepted";
        return false;
    }
    // A configured key that the record names already stands where the
    // walk would have brought it: a new installation can ship the newest key.
    start = TrustedKey{configured, 0};
    if (record != nullptr)
        for (const RotationEntry& entry : *record)
            if (sameKey(entry.key, configured))
                start.rotation = entry.number;
    return true;
}

// The value of "word VALUE\n" at `pos`.
bool keptLine(const std::string& text, size_t& pos, const char* word, std::string& value) {
    std::string content;
    bool ended = false;
    return nextLine(text, pos, content, ended) && ended && valueAfter(content, word, value);
}

} // namespace

bool readRotationRecord(const std::string& text, std::vector<RotationEntry>& entries, std::string& error) {
    entries.clear();
    if (text.size() > rotationRecordLimit) {
        error = "over " + std::to_string(rotationRecordLimit) + " bytes";
        return false;
    }
    if (text.empty()) {
        error = "no entry";
        return false;
    }
    std::vector<RotationEntry> read;
    size_t pos = 0;
    int line = 0;
    while (pos < text.size()) {
        RotationEntry entry;
        if (!readEntry(text, pos, line, static_cast<int64_t>(read.size()) + 1, entry, error))
            return false;
        read.push_back(std::move(entry));
    }
    entries = std::move(read);
    return true;
}

bool makeRotationEntry(const Ed25519PrivateKey& previous, int64_t number, const Ed25519PublicKey& next,
                       std::string& text) {
    text.clear();
    if (number < 1 || !next.valid())
        return false;
    const std::string head = "rotation " + std::to_string(number) + "\nkey " + next.base64() + "\n";
    std::string signature;
    if (!previous.sign(head.data(), head.size(), signature))
        return false;
    text = head + "signature " + base64Encode(signature) + "\n";
    return true;
}

SignatureProblem followRotations(const Ed25519PublicKey& configured, const KeptTrust* kept,
                                 const std::vector<RotationEntry>* record, TrustedKey& trusted,
                                 std::string* reason) {
    auto refuse = [&](SignatureProblem problem, const std::string& why) {
        if (reason != nullptr)
            *reason = std::string(signatureProblemText(problem)) + ": " + why;
        return problem;
    };
    TrustedKey at;
    std::string why;
    if (!startingPoint(configured, kept, record, at, why))
        return refuse(SignatureProblem::rotationRollback, why);
    if (record != nullptr) {
        for (const RotationEntry& entry : *record) {
            if (entry.number <= at.rotation)
                continue;
            if (!at.key.verify(entry.signedBytes.data(), entry.signedBytes.size(), entry.signature))
                return refuse(SignatureProblem::badRotation,
                              "rotation " + std::to_string(entry.number) + " of " + rotationRecordName +
                                  " (line " + std::to_string(entry.line) +
                                  ") is not signed by the key of rotation " + std::to_string(at.rotation));
            at.key = entry.key;
            at.rotation = entry.number;
        }
    }
    trusted = at;
    if (reason != nullptr)
        reason->clear();
    return SignatureProblem::none;
}

KeptState readKeptTrust(const std::string& path, KeptTrust& kept) {
    std::ifstream in(platform::filePath(path), std::ios::binary);
    if (!in)
        return platform::fileKind(path) == platform::FileKind::missing ? KeptState::missing
                                                                       : KeptState::unreadable;
    char bytes[512];
    in.read(bytes, sizeof bytes);
    const std::string text(bytes, static_cast<size_t>(in.gcount()));
    size_t pos = 0;
    std::string configured, rotation, key;
    KeptTrust read;
    if (!keptLine(text, pos, "configured", configured) || !keptLine(text, pos, "rotation", rotation) ||
        !keptLine(text, pos, "key", key) || pos != text.size() || !read.configured.fromBase64(configured) ||
        !parseDecimal(rotation, read.trusted.rotation) || !read.trusted.key.fromBase64(key))
        return KeptState::unreadable;
    kept = read;
    return KeptState::read;
}

bool writeKeptTrust(const std::string& path, const KeptTrust& kept) {
    if (!kept.configured.valid() || !kept.trusted.key.valid() || kept.trusted.rotation < 0)
        return false;
    const std::string text = "configured " + kept.configured.base64() + "\nrotation " +
                             std::to_string(kept.trusted.rotation) + "\nkey " + kept.trusted.key.base64() +
                             "\n";
    PendingFile file;
    return file.open(path) && file.write(text.data(), text.size()) && file.commit(true);
}
