#pragma once
#include "update/Publisher.h"

#include <cstdint>
#include <functional>
#include <string>

class Ed25519PrivateKey;

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
    std::string error; // why it failed; empty on success
};

/// Signs the manifest that `outDir` serves (its live version's) as it
/// stands: writes checklist.txt.sig beside it (replaced in one step) with a serial one above
/// the one of the signature file already there, or `now` when that is
/// larger (or there is none), and, when `expiresDays` > 0, an expiry that
/// many days after `now`. A signature file already there whose serial
/// cannot be read stops it: the serials must never go backwards.
bool signPublication(const std::string& outDir, const Ed25519PrivateKey& key, int64_t now,
                     int32_t expiresDays, SignatureReport& report);

/// `publishRelease` (with `onFile` and `options`), the new version signed
/// with the key in `keyFile` before it goes live, its serial above the live
/// version's.
/// The key is read first, and a key file inside the release or the output
/// folder (where it would be published) is refused, before anything in
/// `outDir` changes. The failure, if any, is in `report.error`.
bool publishSignedRelease(const std::string& sourceDir, const std::string& outDir, const std::string& keyFile,
                          int32_t expiresDays, int64_t now, PublishReport& report, SignatureReport& signature,
                          const std::function<void(const char* action, const std::string& path)>& onFile = {},
                          const PublishOptions& options = {});
