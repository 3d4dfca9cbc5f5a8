// Updater: the signature of the published manifest, checked with the key
// the installation trusts after following the publication's key rotations,
// and the serial and key kept once a manifest is accepted.
//   [1] small published files
//   [2] the key rotations and the signature
//   [3] what the installation keeps
#include "update/Updater.h"

#include "net/HttpConnection.h"
#include "net/UrlEscape.h"
#include "platform/Clock.h"
#include "signing/KeyRotation.h"
#include "update/UpdateLog.h"

#include <istream>

namespace {

bool sameKey(const Ed25519PublicKey& a, const Ed25519PublicKey& b) {
    return a.raw() == b.raw();
}

} // namespace

// [1] small published files ------------------------------------------------------

bool Updater::readBody(std::istream& in, size_t limit, std::string& bytes) {
    bytes.clear();
    std::streambuf* body = in.rdbuf();
    if (body == nullptr)
        return true;
    char block[16 * 1024];
    for (;;) {
        const std::streamsize got = body->sgetn(block, sizeof block);
        if (got <= 0)
            return true;
        if (bytes.size() + static_cast<size_t>(got) > limit)
            return false;
        bytes.append(block, static_cast<size_t>(got));
    }
}

Updater::Fetch Updater::fetchSmall(const std::string& request, size_t limit, std::string& text, int& status) {
    text.clear();
    status = 0;
    if (!link_.get(request)) {
        // An answer other than 200 means there is no such file, and leaves
        // a kept-alive connection usable; no answer at all is a failed
        // connection.
        HttpConnection* failed = link_.connection();
        status = failed != nullptr ? failed->status : 0;
        if (status == 0 || !failed->connected() || !failed->keepAlive)
            link_.drop();
        return status == 0 ? Fetch::failed : Fetch::absent;
    }
    HttpConnection* connection = link_.connection();
    const bool fits = readBody(connection->input(), limit, text);
    if (connection->streamBuf().truncated()) {
        updateLog("update: %s was cut short", request.c_str());
        link_.drop();
        return Fetch::failed;
    }
    if (!fits || connection->streamBuf().unreadBody() != 0 || !connection->keepAlive)
        link_.drop();
    return fits ? Fetch::read : Fetch::tooLarge;
}

bool Updater::refuseSignature(SignatureProblem problem, const std::string& reason) {
    signatureProblem_ = problem;
    signatureRefusal_ = reason;
    updateLog("update: the published manifest is refused: %s", reason.c_str());
    error_ = manifestError;
    return false;
}

// [2] the key rotations and the signature ----------------------------------------

bool Updater::followKeyRotations() {
    const std::string request = urlEscape(location_.basePath + "/" + rotationRecordName);
    const std::string malformed = signatureProblemText(SignatureProblem::malformedRotation);
    std::string text;
    int status = 0;
    const Fetch fetched = fetchSmall(request, rotationRecordLimit, text, status);
    if (fetched == Fetch::failed) {
        error_ = connectionError;
        return false;
    }
    if (fetched == Fetch::tooLarge)
        return refuseSignature(SignatureProblem::malformedRotation,
                               malformed + ": over " + std::to_string(rotationRecordLimit) + " bytes");
    if (fetched == Fetch::absent && status != 404)
        updateLog("update: the server answered %d for %s: no key rotation is published", status,
                  request.c_str());
    std::vector<RotationEntry> record;
    std::string why;
    if (fetched == Fetch::read && !readRotationRecord(text, record, why))
        return refuseSignature(SignatureProblem::malformedRotation,
                               malformed + ": " + rotationRecordName + ", " + why);
    keptState_ = readKeptTrust(trustPath(), kept_);
    if (keptState_ == KeptState::unreadable)
        // The file is only ever replaced whole, so this is damage from
        // outside, as for the serial: the walk starts over from the
        // configured key rather than strand the player.
        updateLog("update: %s cannot be read; the walk starts from the configured key", trustPath().c_str());
    const SignatureProblem problem =
        followRotations(configuredKey_, keptState_ == KeptState::read ? &kept_ : nullptr,
                        fetched == Fetch::read ? &record : nullptr, trustedKey_, &why);
    if (problem != SignatureProblem::none)
        return refuseSignature(problem, why);
    if (trustedKey_.rotation > 0)
        updateLog("update: the key of rotation %lld of %s signs (%s)",
                  static_cast<long long>(trustedKey_.rotation), rotationRecordName,
                  trustedKey_.key.base64().c_str());
    return true;
}

bool Updater::checkSignature(const std::string& manifestRequest, const std::string& bytes) {
    const std::string request = manifestRequest + signatureSuffix;
    std::string text;
    int status = 0;
    const Fetch fetched = fetchSmall(request, signatureFileLimit, text, status);
    if (fetched == Fetch::failed) {
        error_ = connectionError;
        return false;
    }
    if (fetched == Fetch::absent)
        return refuseSignature(SignatureProblem::missing,
                               std::string(signatureProblemText(SignatureProblem::missing)) +
                                   ": the server answered " + std::to_string(status) + " for " + request);
    if (fetched == Fetch::tooLarge)
        return refuseSignature(SignatureProblem::malformedFile,
                               std::string(signatureProblemText(SignatureProblem::malformedFile)) +
                                   ": over " + std::to_string(signatureFileLimit) + " bytes");
    if (!followKeyRotations())
        return false;

    int64_t lastSerial = 0;
    storedSerialState_ = readAcceptedSerial(serialPath(), storedSerial_);
    if (storedSerialState_ == SerialState::read)
        lastSerial = storedSerial_;
    else if (storedSerialState_ == SerialState::unreadable)
        // The file is only ever replaced whole, so this is damage from
        // outside; refusing every update for it would strand the player.
        updateLog("update: %s cannot be read; no serial is known", serialPath().c_str());
    const int64_t now = wallClock_ ? wallClock_() : platform::secondsSince1970();
    ManifestSignature signature;
    std::string reason;
    const SignatureProblem problem =
        checkManifestSignature(text, bytes, trustedKey_.key, lastSerial, now, &signature, &reason);
    if (problem != SignatureProblem::none)
        return refuseSignature(problem, reason);
    acceptedSerial_ = signature.serial;
    return true;
}

// [3] what the installation keeps --------------------------------------------------

void Updater::recordAccepted() {
    if (!signatureRequired_ || acceptedSerial_ < 0)
        return;
    if (storedSerialState_ != SerialState::read || storedSerial_ != acceptedSerial_) {
        if (writeAcceptedSerial(serialPath(), acceptedSerial_)) {
            storedSerialState_ = SerialState::read;
            storedSerial_ = acceptedSerial_;
        } else {
            updateLog("update: cannot write %s", serialPath().c_str());
        }
    }
    const KeptTrust accepted{configuredKey_, trustedKey_};
    const bool unchanged = keptState_ == KeptState::read && sameKey(kept_.configured, configuredKey_) &&
                           kept_.trusted.rotation == trustedKey_.rotation &&
                           sameKey(kept_.trusted.key, trustedKey_.key);
    // An installation that never followed a rotation keeps no file.
    if (unchanged || (keptState_ == KeptState::missing && trustedKey_.rotation == 0))
        return;
    if (!writeKeptTrust(trustPath(), accepted)) {
        updateLog("update: cannot write %s", trustPath().c_str());
        return;
    }
    keptState_ = KeptState::read;
    kept_ = accepted;
}
