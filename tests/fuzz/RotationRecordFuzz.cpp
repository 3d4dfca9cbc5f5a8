// Feeds arbitrary bytes to the key rotation record's reader and checks what
// it accepts: entries numbered from 1 in order, each one's signed bytes its
// own rotation and key lines, taken from the input as they stand; and that
// a walk over what was read trusts only a key an entry names.

#include "signing/KeyRotation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<RotationEntry> entries;
    std::string error;
    if (!readRotationRecord(bytes, entries, error)) {
        check(entries.empty() && !error.empty());
        return 0;
    }
    check(!entries.empty() && bytes.size() <= rotationRecordLimit);
    for (size_t i = 0; i < entries.size(); ++i) {
        const RotationEntry& entry = entries[i];
        check(entry.number == static_cast<int64_t>(i) + 1 && entry.key.valid());
        check(entry.signature.size() == Ed25519PublicKey::signatureSize);
        check(entry.signedBytes.compare(0, 9, "rotation ") == 0 && entry.signedBytes.back() == '\n');
        check(bytes.find(entry.signedBytes) != std::string::npos);
    }
    // Configured with the first entry's key, the walk starts at that entry
    // and, when it succeeds, trusts the key of the entry it ended at.
    TrustedKey trusted;
    const SignatureProblem problem = followRotations(entries[0].key, nullptr, &entries, trusted);
    check(problem == SignatureProblem::none || problem == SignatureProblem::badRotation);
    if (problem == SignatureProblem::none)
        check(trusted.rotation >= 1 && trusted.key.raw() == entries[trusted.rotation - 1].key.raw());
    return 0;
}
