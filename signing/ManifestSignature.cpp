#include "signing/ManifestSignature.h"

#include "install/PendingFile.h"
#include "net/Base64.h"
#include "net/Ed25519.h"
#include "platform/FileSystem.h"
#include "signing/SignedText.h"

#include <filesystem>
#include <fstream>

using signedtext::nextLine;
using signedtext::parseDecimal;
using signedtext::valueAfter;

const char* signatureProblemText(SignatureProblem problem) {
    switch (problem) {
    case SignatureProblem::none:
        return "signature good";
    case SignatureProblem::missing:
        return "signature missing";
    case SignatureProblem::malformedKey:
        return "malformed key";
    case SignatureProblem::malformedFile:
        return "malformed signature file";
    case SignatureProblem::badSignature:
        return "bad signature";
    case SignatureProblem::olderSerial:
        return "older serial (replay)";
    case SignatureProblem::expired:
        return "expired";
    case SignatureProblem::malformedRotation:
        return "malformed key rotation record";
    case SignatureProblem::badRotation:
        return "bad key rotation";
    case SignatureProblem::rotationRollback:
        return "key rotation rollback";
    }
    return "unknown";
}

bool readManifestSignature(const std::string& text, ManifestSignature& out) {
    out = ManifestSignature();
    if (text.size() > signatureFileLimit)
        return false;
    ManifestSignature result;
    size_t pos = 0;
    std::string line, value;
    bool ended = false;
    if (!nextLine(text, pos, line, ended) || !ended || !valueAfter(line, "serial", value) ||
        !parseDecimal(value, result.serial))
        return false;
    size_t headEnd = pos;
    if (!nextLine(text, pos, line, ended))
        return false;
    if (valueAfter(line, "expires", value)) {
        if (!ended || !parseDecimal(value, result.expires))
            return false;
        result.hasExpiry = true;
        headEnd = pos;
        if (!nextLine(text, pos, line, ended))
            return false;
    }
    if (!valueAfter(line, "signature", value) || !base64Decode(value, result.signature) ||
        result.signature.size() != Ed25519PublicKey::signatureSize)
        return false;
    // The signature line is the last one.
    if (pos != text.size())
        return false;
    result.signedHead = text.substr(0, headEnd);
    out = std::move(result);
    return true;
}

std::string signedMessage(const std::string& signedHead, const std::string& manifest) {
    std::string message;
    message.reserve(signedHead.size() + manifest.size());
    message += signedHead;
    message += manifest;
    return message;
}

bool makeManifestSignature(const Ed25519PrivateKey& key, int64_t serial, const int64_t* expires,
                           const std::string& manifest, std::string& text) {
    text.clear();
    std::string head = "serial " + std::to_string(serial) + "\n";
    if (expires != nullptr)
        head += "expires " + std::to_string(*expires) + "\n";
    if (serial < 0 || (expires != nullptr && *expires < 0))
        return false;
    const std::string message = signedMessage(head, manifest);
    std::string signature;
    if (!key.sign(message.data(), message.size(), signature))
        return false;
    text = head + "signature " + base64Encode(signature) + "\n";
    return true;
}

SignatureProblem checkManifestSignature(const std::string& text, const std::string& manifest,
                                        const Ed25519PublicKey& key, int64_t lastSerial, int64_t now,
                                        ManifestSignature* parsed, std::string* reason) {
    auto refuse = [&](SignatureProblem problem, const std::string& why) {
        if (reason != nullptr)
            *reason = std::string(signatureProblemText(problem)) + ": " + why;
        return problem;
    };
    ManifestSignature signature;
    if (parsed != nullptr)
        *parsed = signature;
    if (!key.valid())
        return refuse(SignatureProblem::malformedKey, "the public key is not the base64 of 32 bytes");
    if (!readManifestSignature(text, signature))
        return refuse(SignatureProblem::malformedFile, "the signature file is not in its format");
    if (parsed != nullptr)
        *parsed = signature;
    const std::string message = signedMessage(signature.signedHead, manifest);
    if (!key.verify(message.data(), message.size(), signature.signature))
        return refuse(SignatureProblem::badSignature,
                      "the manifest and its serial are not signed by the trusted key");
    if (signature.serial < lastSerial)
        return refuse(SignatureProblem::olderSerial, "serial " + std::to_string(signature.serial) +
                                                         " is below " + std::to_string(lastSerial) +
                                                         ", the serial accepted last");
    if (signature.hasExpiry && now >= signature.expires)
        return refuse(SignatureProblem::expired, "the signature expired at " +
                                                     std::to_string(signature.expires) + " (now " +
                                                     std::to_string(now) + ")");
    if (reason != nullptr)
        reason->clear();
    return SignatureProblem::none;
}

SerialState readAcceptedSerial(const std::string& path, int64_t& serial) {
    std::ifstream in(platform::filePath(path), std::ios::binary);
    if (!in)
        return platform::fileKind(path) == platform::FileKind::missing ? SerialState::missing
                                                                       : SerialState::unreadable;
    char bytes[64];
    in.read(bytes, sizeof bytes);
    std::string text(bytes, static_cast<size_t>(in.gcount()));
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    int64_t value = 0;
    if (!parseDecimal(text, value))
        return SerialState::unreadable;
    serial = value;
    return SerialState::read;
}

bool writeAcceptedSerial(const std::string& path, int64_t serial) {
    PendingFile file;
    const std::string line = std::to_string(serial) + "\n";
    return serial >= 0 && file.open(path) && file.write(line.data(), line.size()) && file.commit(true);
}
