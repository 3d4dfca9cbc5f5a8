#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class Ed25519PrivateKey;
class Ed25519PublicKey;

/// The signature file of a published manifest lies beside it, under its name
/// followed by this suffix ("checklist.txt.sig").
constexpr const char* signatureSuffix = ".sig";

/// Longest signature file read; a real one is about 130 bytes.
constexpr size_t signatureFileLimit = 1024;

/// A signature file: a line "serial N", an optional line "expires T"
/// (seconds since 1970) and a line "signature B", B being the base64 of the
/// Ed25519 signature of the exact bytes of the serial and expires lines,
/// line ends included, followed by the exact bytes of the manifest.
struct ManifestSignature {
    int64_t serial = 0;
    bool hasExpiry = false;
    int64_t expires = 0;
    /// The 64 signature bytes.
    std::string signature;
    /// The serial and expires lines exactly as they stand in the file.
    std::string signedHead;
};

/// Why a signed manifest was refused.
enum class SignatureProblem {
    none,
    missing,       // no signature file is published
    malformedKey,  // the configured public key cannot be read
    malformedFile, // the signature file is not in its format
    badSignature,  // not signed by the key, or the manifest was changed
    olderSerial,   // a serial below the one accepted last (a replay)
    expired,       // the expiry time has come
    // The key rotation record (see KeyRotation.h):
    malformedRotation, // the record is not in its format
    badRotation,       // an entry the launcher follows is not signed by the key before it
    rotationRollback,  // the record lacks the key and rotation the launcher accepted last
};

/// A few words for the problem ("bad signature", "older serial (replay)").
const char* signatureProblemText(SignatureProblem problem);

/// Reads a signature file. The lines end in a line feed, optionally after a
/// carriage return (the last line may lack both); the words and the single
/// blank after them are exact; N and T are decimal digits (at most the
/// largest signed 64-bit value); B is canonical base64 of 64 bytes. Nothing
/// else may stand in the file. False (and `out` reset) otherwise.
bool readManifestSignature(const std::string& text, ManifestSignature& out);

/// The bytes a signature covers.
std::string signedMessage(const std::string& signedHead, const std::string& manifest);

/// The text of the signature file of `manifest` (its exact bytes) with
/// `serial` and, when `expires` is not null, the expiry; lines end in a line
/// feed. False when the key cannot sign.
bool makeManifestSignature(const Ed25519PrivateKey& key, int64_t serial, const int64_t* expires,
                           const std::string& manifest, std::string& text);

/// Checks a signature file against the manifest bytes it came with: the
/// key must be valid, the file well formed, the signature good, the serial
/// not below `lastSerial` and, when an expiry is given, `now` before it (a
/// signature expires at the second it names). `reason`, when given, gets a
/// sentence for the operator; `parsed` the file's values.
SignatureProblem checkManifestSignature(const std::string& text, const std::string& manifest,
                                        const Ed25519PublicKey& key, int64_t lastSerial, int64_t now,
                                        ManifestSignature* parsed = nullptr, std::string* reason = nullptr);

/// What `readAcceptedSerial` found.
enum class SerialState { missing, unreadable, read };

/// Reads the serial file (one line: the serial in decimal).
SerialState readAcceptedSerial(const std::string& path, int64_t& serial);
/// Writes the serial file, replacing the old one in one step once the new
/// bytes are on the disk.
bool writeAcceptedSerial(const std::string& path, int64_t serial);
