#pragma once
#include "net/Ed25519.h"
#include "signing/ManifestSignature.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// The key rotation record of a publication lies beside its manifest under
/// this name: the chain of keys, each vouched for by the one before, from
/// the key launchers were configured with to the key that signs now.
constexpr const char* rotationRecordName = "checklist.keys";

/// Longest record read (about a hundred entries; one is about 170 bytes).
constexpr size_t rotationRecordLimit = 16 * 1024;

/// One entry of a rotation record: from rotation `number` on, `key` signs.
struct RotationEntry {
    int64_t number = 0;
    Ed25519PublicKey key;
    /// The 64 bytes of the signature by the key before this one.
    std::string signature;
    /// The rotation and key lines exactly as they stand in the record: the
    /// bytes the signature covers.
    std::string signedBytes;
    /// The line of the record where the entry starts (from 1).
    int line = 0;
};

/// Reads a rotation record: one or more entries of three lines,
///
///     rotation N
///     key K
///     signature S
///
/// N counting 1, 2, 3, ... in order; K the base64 of the new public key's
/// 32 bytes; S the base64 of the Ed25519 signature, by the key before
/// (for entry 1 the key launchers were configured with), of the exact bytes
/// of the entry's rotation and key lines, line ends included. Lines end in
/// a line feed, optionally after a carriage return (the last may lack
/// both); words and the single blank after them are exact; nothing else may
/// stand in the record, and it is at most `rotationRecordLimit` bytes.
/// False otherwise, with `error` saying where (and `entries` emptied).
bool readRotationRecord(const std::string& text, std::vector<RotationEntry>& entries, std::string& error);

/// The text of entry `number` naming `next`, signed by `previous`; lines end
/// in a line feed. False when the key cannot sign or the number is below 1.
bool makeRotationEntry(const Ed25519PrivateKey& previous, int64_t number, const Ed25519PublicKey& next,
                       std::string& text);

/// A key a launcher trusts and the rotation that brought it (0: the
/// configured key, before any entry).
struct TrustedKey {
    Ed25519PublicKey key;
    int64_t rotation = 0;
};

/// What an installation keeps of the rotations it followed: the trusted
/// key, and the configured key the walk started from, so that a key
/// configured anew (a new connection file, on purpose) starts over from
/// itself.
struct KeptTrust {
    Ed25519PublicKey configured;
    TrustedKey trusted;
};

/// The key a launcher configured with `configured` trusts for a
/// publication whose record is `record` (null: none is published), having
/// kept `kept` (null: nothing, or kept for another configured key).
///
/// It starts from the kept key and rotation when they grew from
/// `configured`; the record must then hold that key at that rotation (else
/// `rotationRollback`: an older record, or none, would let an earlier key
/// sign again). Otherwise it starts from `configured`, at the last entry
/// naming it, if one does, or before the first. From there it takes every
/// entry above the rotation reached, in order, each of whose signatures
/// must be made by the key trusted just before it (else `badRotation`);
/// entries at or below the start are not looked at. `trusted` gets the end
/// of the walk, `reason` a sentence for the operator on refusal.
SignatureProblem followRotations(const Ed25519PublicKey& configured, const KeptTrust* kept,
                                 const std::vector<RotationEntry>* record, TrustedKey& trusted,
                                 std::string* reason = nullptr);

/// What `readKeptTrust` found.
enum class KeptState { missing, unreadable, read };

/// Reads the installation's trusted key file: the lines "configured K",
/// "rotation N" and "key K", each ending in a line feed.
KeptState readKeptTrust(const std::string& path, KeptTrust& kept);
/// Writes the trusted key file, replacing the old one in one step once the
/// new bytes are on the disk.
bool writeKeptTrust(const std::string& path, const KeptTrust& kept);
