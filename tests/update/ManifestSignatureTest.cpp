// The signature file of a published manifest: its exact format, what a
// check refuses and why, the accepted serial's file, key files, and the
// signing of a publication with serials that only grow.
#include "signing/ManifestSignature.h"
#include "net/Base64.h"
#include "net/Ed25519.h"
#include "platform/PrivateFile.h"
#include "publish/PublicationSigning.h"
#include "publish/PublicationVersions.h"
#include "tests/common/FileServer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using updatetest::readFile;
using updatetest::TempDir;

namespace {

const std::string manifest = "0123456789abcdef0123456789abcdef 5 9 a.txt\n"
                             "fedcba9876543210fedcba9876543210 3 7 res/b c.png\n";

Ed25519PrivateKey newKey() {
    Ed25519PrivateKey key;
    EXPECT_TRUE(key.generate());
    return key;
}

std::string signedText(const Ed25519PrivateKey& key, int64_t serial, const int64_t* expires = nullptr,
                       const std::string& bytes = manifest) {
    std::string text;
    EXPECT_TRUE(makeManifestSignature(key, serial, expires, bytes, text));
    return text;
}

// The signature line of a file signed with `key` over the head and bytes.
std::string signatureLine(const Ed25519PrivateKey& key, const std::string& head, const std::string& bytes) {
    const std::string message = head + bytes;
    std::string signature;
    EXPECT_TRUE(key.sign(message.data(), message.size(), signature));
    return "signature " + base64Encode(signature);
}

} // namespace

TEST(ManifestSignature, TheFileIsSerialExpiresSignatureOverTheExactBytes) {
    const Ed25519PrivateKey key = newKey();
    const int64_t expires = 1900000000;
    const std::string text = signedText(key, 1700000000, &expires);
    ASSERT_EQ(text.rfind("serial 1700000000\nexpires 1900000000\nsignature ", 0), 0u) << text;
    EXPECT_EQ(text.back(), '\n');
    ManifestSignature read;
    ASSERT_TRUE(readManifestSignature(text, read));
    EXPECT_EQ(read.serial, 1700000000);
    EXPECT_TRUE(read.hasExpiry);
    EXPECT_EQ(read.expires, 1900000000);
    EXPECT_EQ(read.signedHead, "serial 1700000000\nexpires 1900000000\n");
    // An independent check of what was signed: the head lines, then the
    // manifest's bytes.
    EXPECT_TRUE(key.publicKey().verify((read.signedHead + manifest).data(),
                                       read.signedHead.size() + manifest.size(), read.signature));

    ASSERT_TRUE(readManifestSignature(signedText(key, 0), read));
    EXPECT_FALSE(read.hasExpiry);
    EXPECT_EQ(read.signedHead, "serial 0\n");

    // Carriage returns before the line feeds are read; the head keeps them,
    // since they are part of what was signed.
    const std::string crlfHead = "serial 12\r\nexpires 99\r\n";
    const std::string crlf = crlfHead + signatureLine(key, crlfHead, manifest) + "\r\n";
    ASSERT_TRUE(readManifestSignature(crlf, read));
    EXPECT_EQ(read.serial, 12);
    EXPECT_EQ(read.signedHead, crlfHead);
    EXPECT_EQ(checkManifestSignature(crlf, manifest, key.publicKey(), 0, 50), SignatureProblem::none);
    // The last line may lack its line feed.
    const std::string bare = "serial 3\n" + signatureLine(key, "serial 3\n", manifest);
    EXPECT_EQ(checkManifestSignature(bare, manifest, key.publicKey(), 0, 50), SignatureProblem::none);
}

TEST(ManifestSignature, AnythingOutsideTheFormatIsMalformed) {
    const Ed25519PrivateKey key = newKey();
    const std::string sig = signatureLine(key, "serial 5\n", manifest);
    const std::string good = "serial 5\n" + sig + "\n";
    ManifestSignature read;
    ASSERT_TRUE(readManifestSignature(good, read));
    const std::string longSerial = "serial " + std::string(19, '9') + "\n" + sig + "\n";
    for (const std::string& bad : std::vector<std::string>{
             std::string(),
             sig + "\n",                                          // no serial
             "serial 5\n",                                        // no signature
             "serial 5" + sig,                                    // the serial line never ends
             "Serial 5\n" + sig + "\n",                           // the words are exact
             "serial  5\n" + sig + "\n",                          // one blank
             "serial 5 \n" + sig + "\n",                          // nothing after the number
             "serial -5\n" + sig + "\n",                          // no sign
             "serial +5\n" + sig + "\n",                          //
             "serial 0x5\n" + sig + "\n",                         //
             "serial \n" + sig + "\n",                            // no digits
             longSerial,                                          // beyond 64 bits
             "serial 5\nexpires\n" + sig + "\n",                  //
             "serial 5\nexpires 7" + sig + "\n",                  //
             "serial 5\n" + sig + "\nexpires 7\n",                // order is fixed
             "serial 5\nexpires 7\nexpires 8\n" + sig,            // once
             "serial 5\nnote hello\n" + sig + "\n",               // no other lines
             "serial 5\n" + sig + "\n\n",                         // nothing after the signature
             "serial 5\n" + sig + "\nserial 6\n",                 //
             "serial 5\n" + sig.substr(0, sig.size() - 4) + "\n", // 64 bytes exactly
             "serial 5\nsignature " + base64Encode(std::string(65, 'x')) + "\n",
             "serial 5\n" + sig + " \n",             // not canonical base64
             "serial 5\r" + sig + "\n",              // a lone carriage return
             "serial 5\n" + std::string(2000, '\n'), // too long
         }) {
        EXPECT_FALSE(readManifestSignature(bad, read)) << bad;
        EXPECT_EQ(read.serial, 0) << bad;
        EXPECT_TRUE(read.signature.empty()) << bad;
        EXPECT_EQ(checkManifestSignature(bad, manifest, key.publicKey(), 0, 0),
                  SignatureProblem::malformedFile);
    }
    EXPECT_TRUE(readManifestSignature("serial " + std::to_string(INT64_MAX) + "\n" + sig, read));
    EXPECT_EQ(read.serial, INT64_MAX);
}

TEST(ManifestSignature, TheCheckRefusesEachForgeryWithItsReason) {
    const Ed25519PrivateKey key = newKey();
    const Ed25519PublicKey publicKey = key.publicKey();
    const int64_t expires = 1000;
    const std::string text = signedText(key, 20, &expires);
    std::string reason = "stale";
    ManifestSignature parsed;
    EXPECT_EQ(checkManifestSignature(text, manifest, publicKey, 20, 999, &parsed, &reason),
              SignatureProblem::none);
    EXPECT_EQ(parsed.serial, 20);
    EXPECT_TRUE(reason.empty());

    // One byte of the manifest changed, anywhere.
    for (size_t at : {size_t(0), manifest.size() / 2, manifest.size() - 1}) {
        std::string changed = manifest;
        changed[at] ^= 0x20;
        EXPECT_EQ(checkManifestSignature(text, changed, publicKey, 0, 0, nullptr, &reason),
                  SignatureProblem::badSignature)
            << at;
        EXPECT_EQ(reason.rfind("bad signature: ", 0), 0u) << reason;
    }
    EXPECT_EQ(checkManifestSignature(text, manifest + "\n", publicKey, 0, 0), SignatureProblem::badSignature);
    // The serial and expiry are signed too: raising the one or dropping the
    // other breaks the signature.
    std::string raised = text;
    raised.replace(raised.find("serial 20"), 9, "serial 99");
    EXPECT_EQ(checkManifestSignature(raised, manifest, publicKey, 0, 0), SignatureProblem::badSignature);
    std::string noExpiry = text;
    noExpiry.erase(noExpiry.find("expires"), std::string("expires 1000\n").size());
    EXPECT_EQ(checkManifestSignature(noExpiry, manifest, publicKey, 0, 0), SignatureProblem::badSignature);
    // Another key.
    EXPECT_EQ(checkManifestSignature(signedText(newKey(), 20, &expires), manifest, publicKey, 0, 0),
              SignatureProblem::badSignature);

    // Serials: the same one again is fine, a lower one is a replay.
    EXPECT_EQ(checkManifestSignature(text, manifest, publicKey, 21, 0, nullptr, &reason),
              SignatureProblem::olderSerial);
    EXPECT_EQ(reason, "older serial (replay): serial 20 is below 21, the serial accepted last");
    // Expiry: at the second it names, and after.
    EXPECT_EQ(checkManifestSignature(text, manifest, publicKey, 0, 1000, nullptr, &reason),
              SignatureProblem::expired);
    EXPECT_EQ(reason, "expired: the signature expired at 1000 (now 1000)");
    EXPECT_EQ(checkManifestSignature(text, manifest, publicKey, 0, 5000), SignatureProblem::expired);
    EXPECT_EQ(checkManifestSignature(signedText(key, 20), manifest, publicKey, 0, INT64_MAX),
              SignatureProblem::none); // no expiry given: never expires

    Ed25519PublicKey empty;
    EXPECT_EQ(checkManifestSignature(text, manifest, empty, 0, 0, nullptr, &reason),
              SignatureProblem::malformedKey);
    EXPECT_EQ(reason.rfind("malformed key: ", 0), 0u);
    EXPECT_STREQ(signatureProblemText(SignatureProblem::missing), "signature missing");
}

TEST(ManifestSignature, TheAcceptedSerialFile) {
    TempDir dir;
    const std::string path = dir.path() + "/checklist.serial";
    int64_t serial = 77;
    EXPECT_EQ(readAcceptedSerial(path, serial), SerialState::missing);
    EXPECT_EQ(serial, 77);
    ASSERT_TRUE(writeAcceptedSerial(path, 1700000123));
    EXPECT_EQ(readFile(path), "1700000123\n");
    EXPECT_EQ(readAcceptedSerial(path, serial), SerialState::read);
    EXPECT_EQ(serial, 1700000123);
    ASSERT_TRUE(writeAcceptedSerial(path, 5));
    EXPECT_EQ(readAcceptedSerial(path, serial), SerialState::read);
    EXPECT_EQ(serial, 5);
    EXPECT_FALSE(fs::exists(path + ".moravo-part"));

    for (const char* damaged : {"", "abc\n", "12 3\n", "-4\n", "99999999999999999999\n"}) {
        dir.write("checklist.serial", damaged);
        serial = 1;
        EXPECT_EQ(readAcceptedSerial(path, serial), SerialState::unreadable) << damaged;
        EXPECT_EQ(serial, 1);
    }
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_EQ(readAcceptedSerial(path, serial), SerialState::unreadable);
    EXPECT_FALSE(writeAcceptedSerial(path, 9));
}

TEST(PublicationSigning, KeyFilesAreOwnerOnlyAndNeverOverwrittenUnlessAsked) {
    TempDir dir;
    const std::string path = dir.path() + "/signing.pem";
    std::string publicKey, error;
    ASSERT_TRUE(createSigningKey(path, false, publicKey, error)) << error;
    EXPECT_TRUE(platform::isPrivateFile(path));
    Ed25519PrivateKey key;
    ASSERT_TRUE(loadSigningKey(path, key, error)) << error;
    EXPECT_EQ(key.publicKey().base64(), publicKey);
    Ed25519PublicKey parsed;
    EXPECT_TRUE(parsed.fromBase64(publicKey));

    const std::string before = readFile(path);
    std::string second;
    EXPECT_FALSE(createSigningKey(path, false, second, error));
    EXPECT_NE(error.find("exists"), std::string::npos) << error;
    EXPECT_TRUE(second.empty());
    EXPECT_EQ(readFile(path), before);
    ASSERT_TRUE(createSigningKey(path, true, second, error)) << error;
    EXPECT_NE(second, publicKey);
    EXPECT_NE(readFile(path), before);
    EXPECT_TRUE(platform::isPrivateFile(path));
    EXPECT_FALSE(fs::exists(path + ".moravo-part"));

    EXPECT_FALSE(loadSigningKey(dir.path() + "/none.pem", key, error));
    EXPECT_FALSE(loadSigningKey(dir.write("public.txt", publicKey + "\n"), key, error));
    EXPECT_NE(error.find("no Ed25519 private key"), std::string::npos) << error;
    EXPECT_FALSE(createSigningKey(dir.path() + "/no/such/dir/key.pem", false, second, error));
}

TEST(PublicationSigning, SerialsOnlyGrowAndTheExpiryIsDaysAhead) {
    TempDir out;
    const Ed25519PrivateKey key = newKey();
    out.write("checklist.txt", manifest);
    SignatureReport report;
    ASSERT_TRUE(signPublication(out.path(), key, 5000, 0, report)) << report.error;
    EXPECT_EQ(report.serial, 5000); // the first: the time
    EXPECT_FALSE(report.hasExpiry);
    const std::string sigPath = out.path() + "/checklist.txt.sig";
    EXPECT_EQ(checkManifestSignature(readFile(sigPath), manifest, key.publicKey(), 5000, 0),
              SignatureProblem::none);

    // Twice in the same second, or with the clock set back: one more.
    ASSERT_TRUE(signPublication(out.path(), key, 5000, 0, report));
    EXPECT_EQ(report.serial, 5001);
    ASSERT_TRUE(signPublication(out.path(), key, 100, 3, report));
    EXPECT_EQ(report.serial, 5002);
    EXPECT_TRUE(report.hasExpiry);
    EXPECT_EQ(report.expires, 100 + 3 * 86400);
    ManifestSignature read;
    ASSERT_TRUE(readManifestSignature(readFile(sigPath), read));
    EXPECT_EQ(read.serial, 5002);
    EXPECT_EQ(read.expires, 100 + 3 * 86400);
    // Later: the time again.
    ASSERT_TRUE(signPublication(out.path(), key, 9000, 0, report));
    EXPECT_EQ(report.serial, 9000);

    // A signature file whose serial cannot be read stops it untouched.
    out.write("checklist.txt.sig", "serial twelve\n");
    EXPECT_FALSE(signPublication(out.path(), key, 9999, 0, report));
    EXPECT_NE(report.error.find("start the serials anew"), std::string::npos) << report.error;
    EXPECT_EQ(readFile(sigPath), "serial twelve\n");
    fs::remove(out.path() + "/checklist.txt");
    fs::remove(sigPath);
    EXPECT_FALSE(signPublication(out.path(), key, 1, 0, report));
    EXPECT_FALSE(fs::exists(sigPath));
}

TEST(PublicationSigning, APublishedKeyOrABadOneStopsThePublicationBeforeItStarts) {
    TempDir source, out, keys;
    source.write("a.txt", "alpha");
    std::string publicKey, error;
    const std::string keyFile = keys.path() + "/key.pem";
    ASSERT_TRUE(createSigningKey(keyFile, false, publicKey, error));
    PublishReport report;
    SignatureReport signature;
    ASSERT_TRUE(publishSignedRelease(source.path(), out.path(), keyFile, 0, 4242, report, signature))
        << report.error;
    EXPECT_EQ(report.files, 1);
    EXPECT_EQ(signature.serial, 4242);
    Ed25519PublicKey verifier;
    ASSERT_TRUE(verifier.fromBase64(publicKey));
    const std::string live = livePublicationFolder(out.path());
    EXPECT_EQ(checkManifestSignature(readFile(live + "/checklist.txt.sig"), readFile(live + "/checklist.txt"),
                                     verifier, 4242, 0),
              SignatureProblem::none);

    // A key kept in the release would be published with it; one in the
    // output folder would be served.
    source.write("b.txt", "beta");
    const std::string before = readFile(live + "/checklist.txt");
    for (const std::string& inside : {source.path() + "/key.pem", out.path() + "/key.pem"}) {
        fs::copy_file(keyFile, inside);
        EXPECT_FALSE(publishSignedRelease(source.path(), out.path(), inside, 0, 5000, report, signature));
        EXPECT_NE(report.error.find("would be published"), std::string::npos) << report.error;
        fs::remove(inside);
    }
    // A missing key, or a damaged signature file in the output folder.
    EXPECT_FALSE(publishSignedRelease(source.path(), out.path(), keys.path() + "/none.pem", 0, 5000, report,
                                      signature));
    testkit::writeFile(live + "/checklist.txt.sig", "damaged");
    EXPECT_FALSE(publishSignedRelease(source.path(), out.path(), keyFile, 0, 5000, report, signature));
    EXPECT_EQ(livePublicationFolder(out.path()), live);
    EXPECT_EQ(readFile(live + "/checklist.txt"), before);
    EXPECT_EQ(listVersions(out.path()).size(), 1u);
}
