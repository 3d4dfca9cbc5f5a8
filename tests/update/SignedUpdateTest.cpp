// The update engine with a public key: a signed publication goes in, and
// every forgery, replay and expired signature ends the run with 240 leaving
// the installation exactly as it was. The files are compressed by zlib and
// signed here over the bytes served, as a publisher would.
#include "install/Manifest.h"
#include "net/Base64.h"
#include "net/Ed25519.h"
#include "signing/ManifestSignature.h"
#include "tests/common/FileServer.h"
#include "update/Updater.h"
#include "update/UpdaterListener.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>

namespace fs = std::filesystem;
using updatetest::CurrentDir;
using updatetest::FileServer;
using updatetest::md5Of;
using updatetest::readFile;
using updatetest::TempDir;

namespace {

// The calls that tell how a run ended.
class Outcome : public UpdaterListener {
public:
    void onStage(UpdateStage) override {}
    void onScanBegin(int32_t) override {}
    void onScanStep(const std::string&) override {}
    void onDownloadBegin(int32_t, int32_t, int32_t, int32_t) override { add("downloadBegin"); }
    void onFinished(int32_t staged) override { add("finished " + std::to_string(staged)); }
    void onFileBegin(const std::string& path, int32_t) override { add("fileBegin " + path); }
    void onDeleting(const std::string& path) override { add("deleting " + path); }
    void onProgress(int32_t, int32_t) override {}
    void onFileProgress(int32_t) override {}
    void onError(int32_t code) override { add("error " + std::to_string(code)); }

    std::vector<std::string> events() {
        std::lock_guard<std::mutex> guard(mutex_);
        return events_;
    }

private:
    void add(const std::string& event) {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.push_back(event);
    }
    std::mutex mutex_;
    std::vector<std::string> events_;
};

// Every file below the current directory with its bytes.
std::map<std::string, std::string> snapshot() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator("."))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(".").generic_string()] = readFile(entry.path().string());
    return files;
}

class SignedUpdateTest : public ::testing::Test {
protected:
    SignedUpdateTest() : inInstall(install.path()) {
        EXPECT_TRUE(key.generate());
        publicKey = key.publicKey().base64();
    }

    std::string location() const { return "127.0.0.1:" + std::to_string(server.port()) + "/rel"; }

    void publish(const std::string& path, const std::string& bytes) {
        release[path] = bytes;
        server.put("/rel/" + path + ".zz", updatetest::deflated(bytes));
    }
    std::string manifestText() const {
        std::ostringstream text;
        for (const auto& [path, bytes] : release)
            text << md5Of(bytes) << " " << bytes.size() << " 0 " << path << "\n";
        return text.str();
    }
    // The signature file of `manifest`, signed with `by`.
    static std::string signatureFile(const Ed25519PrivateKey& by, int64_t serial, const std::string& manifest,
                                     int64_t expires = -1) {
        std::string head = "serial " + std::to_string(serial) + "\n";
        if (expires >= 0)
            head += "expires " + std::to_string(expires) + "\n";
        const std::string message = head + manifest;
        std::string signature;
        EXPECT_TRUE(by.sign(message.data(), message.size(), signature));
        return head + "signature " + base64Encode(signature) + "\n";
    }
    // Serves the release's manifest with a signature of `serial`.
    void serve(int64_t serial, int64_t expires = -1) {
        served = manifestText();
        server.put("/rel/checklist.txt", served);
        server.put("/rel/checklist.txt.sig", signatureFile(key, serial, served, expires));
    }

    void run(Updater& updater, Outcome& outcome) {
        updater.setPause([](uint32_t) {});
        updater.setWallClock([this] { return now; });
        updater.prepareUpdate(&outcome, 0, 0);
        updater.run();
    }
    Updater* configured(std::unique_ptr<Updater>& holder, const std::string& withKey) {
        holder = std::make_unique<Updater>(location());
        holder->requireSignature(withKey);
        holder->enableSelfFiles();
        holder->removeObsolete = true;
        return holder.get();
    }
    // A first signed update, so that the installation has a local manifest
    // and an accepted serial.
    void updateOnce(int64_t serial) {
        serve(serial);
        std::unique_ptr<Updater> holder;
        Outcome outcome;
        run(*configured(holder, publicKey), outcome);
        ASSERT_EQ(outcome.events().back().rfind("finished", 0), 0u) << outcome.events().back();
    }

    TempDir install;
    CurrentDir inInstall;
    FileServer server;
    Ed25519PrivateKey key;
    std::string publicKey;
    std::map<std::string, std::string> release;
    std::string served;
    int64_t now = 1700000000;
};

} // namespace

TEST_F(SignedUpdateTest, ASignedPublicationUpdatesAndItsSerialIsKept) {
    publish("data/a.txt", "version 2 of a");
    publish("b.bin", std::string(50000, 'b'));
    publish(updatetest::launcherProgram(), "new launcher");
    install.write("data/a.txt", "version 1 of a");
    install.write("obsolete.txt", "x");
    serve(1700000500, now + 10);
    std::unique_ptr<Updater> holder;
    Updater& updater =
        *configured(holder, "  " + publicKey + "\n"); // blanks around the key are no part of it
    Outcome outcome;
    run(updater, outcome);
    EXPECT_EQ(outcome.events(),
              (std::vector<std::string>{"downloadBegin", "fileBegin " + updatetest::launcherProgram(),
                                        "fileBegin b.bin", "fileBegin data/a.txt", "deleting obsolete.txt",
                                        "finished 1"}));
    EXPECT_EQ(updater.signatureProblem(), SignatureProblem::none);
    EXPECT_EQ(readFile("data/a.txt"), "version 2 of a");
    EXPECT_EQ(readFile("tmp/" + updatetest::launcherProgram()), "new launcher");
    EXPECT_EQ(readFile("checklist.txt"), served);
    EXPECT_EQ(readFile("checklist.serial"), "1700000500\n");
    // The signature is asked for right after the manifest, before any file.
    const std::vector<std::string> requested = server.requested();
    ASSERT_GE(requested.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(requested.begin(), requested.begin() + 3),
              (std::vector<std::string>{"/rel/current.txt", "/rel/checklist.txt", "/rel/checklist.txt.sig"}));
    // The run's connection goes on in the first lane; the second has its own.
    EXPECT_EQ(server.connections(), Updater::defaultLanes);

    // The serial file is neither hashed nor deleted: a scan of the
    // installation and the deletion pass leave it alone.
    fs::remove("checklist.txt");
    Outcome second;
    std::unique_ptr<Updater> again;
    run(*configured(again, publicKey), second);
    EXPECT_EQ(second.events().back(), "finished 1");
    EXPECT_EQ(readFile("checklist.serial"), "1700000500\n");
}

TEST_F(SignedUpdateTest, EveryRefusedManifestEndsWith240AndChangesNoByte) {
    publish("a.txt", "alpha 1");
    publish(updatetest::launcherProgram(), "launcher 1");
    updateOnce(now - 100);
    // Version 2 is what the refused runs would have brought.
    publish("a.txt", "alpha 2");
    publish("new.txt", "new");
    install.write("tmp/leftover", "staged earlier");
    install.write("unpublished.txt", "would be deleted");
    const std::map<std::string, std::string> before = snapshot();
    const std::string good = manifestText();
    const size_t requestsBefore = server.requested().size();

    Ed25519PrivateKey stranger;
    ASSERT_TRUE(stranger.generate());
    std::string changed = good;
    changed[changed.size() / 2] ^= 0x01;
    struct Case {
        const char* name;
        std::string manifest;
        std::string signature; // empty: none published
        std::string key;
        SignatureProblem problem;
    };
    const std::vector<Case> cases = {
        {"a changed byte in the manifest", changed, signatureFile(key, now, good), publicKey,
         SignatureProblem::badSignature},
        {"signed by another key", good, signatureFile(stranger, now, good), publicKey,
         SignatureProblem::badSignature},
        {"no signature file", good, "", publicKey, SignatureProblem::missing},
        {"an older serial", good, signatureFile(key, now - 101, good), publicKey,
         SignatureProblem::olderSerial},
        {"expired", good, signatureFile(key, now, good, now), publicKey, SignatureProblem::expired},
        {"a malformed signature file", good, "serial 1\nsignature AAAA\n", publicKey,
         SignatureProblem::malformedFile},
        {"a malformed key", good, signatureFile(key, now, good), "not a key", SignatureProblem::malformedKey},
        {"an empty key", good, signatureFile(key, now, good), "", SignatureProblem::malformedKey},
        {"a key one byte short", good, signatureFile(key, now, good),
         base64Encode(key.publicKey().raw().substr(0, 31)), SignatureProblem::malformedKey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.put("/rel/checklist.txt", c.manifest);
        if (c.signature.empty())
            server.remove("/rel/checklist.txt.sig");
        else
            server.put("/rel/checklist.txt.sig", c.signature);
        std::unique_ptr<Updater> holder;
        Outcome outcome;
        Updater& updater = *configured(holder, c.key);
        run(updater, outcome);
        EXPECT_EQ(outcome.events(), (std::vector<std::string>{"error 240"}));
        EXPECT_EQ(updater.error(), 240);
        EXPECT_EQ(updater.signatureProblem(), c.problem);
        EXPECT_EQ(updater.signatureRefusal().rfind(signatureProblemText(c.problem), 0), 0u)
            << updater.signatureRefusal() << " | " << c.name;
        EXPECT_EQ(snapshot(), before);
    }
    const std::vector<std::string> requested = server.requested();
    for (size_t i = requestsBefore; i < requested.size(); ++i)
        EXPECT_EQ(requested[i].find(".zz"), std::string::npos) << requested[i];
    // A malformed key refuses before asking for anything published.
    EXPECT_EQ(server.gets("/rel/checklist.txt"), 1 + static_cast<int>(cases.size()) - 3);

    // The same publication, signed anew with the serial accepted last, goes in.
    server.put("/rel/checklist.txt", good);
    server.put("/rel/checklist.txt.sig", signatureFile(key, now - 100, good));
    std::unique_ptr<Updater> holder;
    Outcome outcome;
    run(*configured(holder, publicKey), outcome);
    EXPECT_EQ(outcome.events().back(), "finished 0");
    EXPECT_EQ(readFile("a.txt"), "alpha 2");
}

TEST_F(SignedUpdateTest, TheSerialSurvivesARestartAndAReplayOfAnOlderPublicationIsRefused) {
    publish("a.txt", "one");
    serve(1000);
    const std::string oldManifest = served;
    const std::string oldSignature = signatureFile(key, 1000, served);
    updateOnce(1000);
    publish("a.txt", "two");
    updateOnce(2000);
    EXPECT_EQ(readFile("checklist.serial"), "2000\n");
    EXPECT_EQ(readFile("a.txt"), "two");

    // A new updater (the launcher started again) reads the serial: the older
    // publication, well signed, is a replay that would take the file back.
    server.put("/rel/checklist.txt", oldManifest);
    server.put("/rel/checklist.txt.sig", oldSignature);
    std::unique_ptr<Updater> holder;
    Outcome outcome;
    Updater& updater = *configured(holder, publicKey);
    run(updater, outcome);
    EXPECT_EQ(updater.signatureProblem(), SignatureProblem::olderSerial);
    EXPECT_EQ(updater.signatureRefusal(),
              "older serial (replay): serial 1000 is below 2000, the serial accepted last");
    EXPECT_EQ(readFile("a.txt"), "two");
    EXPECT_EQ(readFile("checklist.serial"), "2000\n");

    // A serial file damaged from outside is no reason to refuse every update
    // for ever: no serial is known, and the next accepted one is kept.
    fs::remove("checklist.serial");
    fs::create_directory("checklist.serial");
    publish("a.txt", "one"); // the replay's own file, as its server would offer it
    Outcome unreadable;
    std::unique_ptr<Updater> third;
    run(*configured(third, publicKey), unreadable);
    EXPECT_EQ(unreadable.events().back(), "finished 0");
    EXPECT_EQ(readFile("a.txt"), "one");
    fs::remove("checklist.serial");
    install.write("checklist.serial", "garbage");
    updateOnce(3000);
    EXPECT_EQ(readFile("checklist.serial"), "3000\n");
}

TEST_F(SignedUpdateTest, ASignatureCutShortIsAFailedConnectionAndAHugeOneIsMalformed) {
    publish("a.txt", "alpha");
    serve(5);
    const std::string sig = signatureFile(key, 5, served);
    server.setFault("/rel/checklist.txt.sig", FileServer::Fault::cut, sig.size() / 2, 1);
    const std::map<std::string, std::string> before = snapshot();
    std::unique_ptr<Updater> holder;
    Outcome outcome;
    run(*configured(holder, publicKey), outcome);
    EXPECT_EQ(outcome.events(), (std::vector<std::string>{"error 4096"}));
    EXPECT_EQ(snapshot(), before);

    server.put("/rel/checklist.txt.sig", sig + std::string(2000, '\n'));
    Outcome huge;
    std::unique_ptr<Updater> second;
    run(*configured(second, publicKey), huge);
    EXPECT_EQ(huge.events(), (std::vector<std::string>{"error 240"}));
    EXPECT_EQ(second->signatureProblem(), SignatureProblem::malformedFile);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(SignedUpdateTest, WithoutAKeyTheSignatureIsNeverAskedForNorASerialWritten) {
    publish("a.txt", "alpha");
    server.put("/rel/checklist.txt", manifestText());
    Updater updater(location());
    EXPECT_FALSE(updater.signatureRequired());
    Outcome outcome;
    run(updater, outcome);
    EXPECT_EQ(outcome.events().back(), "finished 0");
    EXPECT_EQ(server.gets("/rel/checklist.txt.sig"), 0);
    EXPECT_FALSE(fs::exists("checklist.serial"));
    EXPECT_EQ(readFile("a.txt"), "alpha");
}

TEST_F(SignedUpdateTest, AManifestThatCannotBeWrittenFailsTheRunWith48AndKeepsNoSerial) {
    publish("a.txt", "alpha");
    serve(5000);
    // A folder in the manifest's place stands for a full disk or a file that
    // cannot be replaced.
    install.write("checklist.txt/in-the-way", "x");
    std::unique_ptr<Updater> holder;
    Outcome outcome;
    run(*configured(holder, publicKey), outcome);
    // Nothing changes where no record of the changes can be kept.
    EXPECT_EQ(outcome.events(), (std::vector<std::string>{"error 48"}));
    EXPECT_FALSE(fs::exists("a.txt"));
    EXPECT_FALSE(fs::exists("checklist.serial")) << "the serial goes only with a manifest written";

    fs::remove_all("checklist.txt");
    Outcome again;
    std::unique_ptr<Updater> second;
    run(*configured(second, publicKey), again);
    EXPECT_EQ(again.events().back(), "finished 0");
    EXPECT_EQ(readFile("checklist.txt"), served);
    EXPECT_EQ(readFile("checklist.serial"), "5000\n");
}
