#pragma once
#include "publish/Publisher.h"

#include <cstdint>
#include <functional>
#include <string>

class Ed25519PrivateKey;
class Ed25519PublicKey;

/// Makes a new Ed25519 signing key and writes it to `path` as PEM, readable
/// by its owner only. An existing file is replaced only with `replace`.
/// `publicKey` gets the base64 of the public key's 32 bytes, the text that
/// launchers are configured with.
bool createSigningKey(const std::string& path, bool replace, std::string& publicKey, std::string& error);

/// Reads a private key written by `createSigningKey`.
bool loadSigningKey(const std::string& path, Ed25519PrivateKey& key, std::string& error);

/// What `signPublication` wrote.
struct SignatureReport {
    int64_t serial = 0;
    bool hasExpiry = false;
    int64_t expires = 0;
    /// The rotation this publication appended to the key rotation record
    /// (0: none).
    int64_t rotation = 0;
    std::string error; // why it failed; empty on success
};

/// Where a publication's signing key stands in the key rotation record
/// (KeyRotation.h) that it carries on.
struct SigningChain {
    /// The folder of the previous publication, whose record is carried on;
    /// empty: the publication's own folder (written in place).
    std::string previousDir;
    /// Not owned; when set, the signing key takes over from this one in
    /// this publication: an entry naming the signing key, signed by this
    /// key, is appended to the record.
    const Ed25519PrivateKey* rotateFrom = nullptr;
};

/// The key rotation record a publication carries: the one of the previous
/// publication in `previousDir`, with, when `rotateFrom` is given, an entry
/// naming `signingKey` signed by it. Checked before anything is written, so
/// that the chain launchers follow cannot be broken: a record there that
/// cannot be read stops it; without a rotation, a record must end with
/// `signingKey`; with one, `rotateFrom` must be the key the record ends
/// with (or, with no record, the key that signed `previousDir`'s
/// checklist.txt.sig over its checklist.txt, which must therefore still be
/// the signed one) and `signingKey` a key the chain has not had. `record`
/// gets the text to publish (empty: none), `report.rotation` the entry
/// appended; false with `report.error`.
bool prepareRotationRecord(const std::string& previousDir, const Ed25519PublicKey& signingKey,
                           const Ed25519PrivateKey* rotateFrom, std::string& record, SignatureReport& report);

/// Writes `record` as the key rotation record of the publication in
/// `publicationDir` (replaced in one step); an empty one removes the record
/// there.
bool writeRotationRecord(const std::string& publicationDir, const std::string& record, std::string& error);

/// Signs the manifest that `outDir` serves (its live version's) as it
/// stands: writes checklist.txt.sig beside it (replaced in one step) with a serial one above
/// the one of the signature file already there, or `now` when that is
/// larger (or there is none), and, when `expiresDays` > 0, an expiry that
/// many days after `now`. A signature file already there whose serial
/// cannot be read stops it: the serials must never go backwards. The
/// previous serial is that of `chain.previousDir` (when given), and before
/// the manifest is signed, the key rotation record of `chain` is prepared
/// and written into `outDir` (see `prepareRotationRecord`).
bool signPublication(const std::string& outDir, const Ed25519PrivateKey& key, int64_t now,
                     int32_t expiresDays, SignatureReport& report, const SigningChain& chain = {});

/// `publishRelease` (with `onFile` and `options`), the new version signed
/// with the key in `keyFile` before it goes live (its serial above the live
/// version's, the live record carried on), rotated from the key in
/// `rotateFromFile` when that is not empty.
/// The keys are read and the key rotation record prepared first, and a key
/// file inside the release or the output folder (where it would be
/// published) is refused, before anything in `outDir` changes. The failure,
/// if any, is in `report.error`.
bool publishSignedRelease(const std::string& sourceDir, const std::string& outDir, const std::string& keyFile,
                          int32_t expiresDays, int64_t now, PublishReport& report, SignatureReport& signature,
                          const std::function<void(const char* action, const std::string& path)>& onFile = {},
                          const PublishOptions& options = {}, const std::string& rotateFromFile = {});
