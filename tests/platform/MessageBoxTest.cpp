#include "platform/MessageBox.h"

#include "tests/common/Files.h"
#include "tests/common/TempDir.h"
#include "tests/platform/Scoped.h"

#include <gtest/gtest.h>

#include <map>

using namespace platform;

namespace {

// A desktop made up by the test: which displays exist, which dialog programs
// are on PATH, and what each dialog answers.
class FakeHost : public DialogHost {
public:
    bool x11 = true;
    bool wayland = false;
    std::map<std::string, std::string> programs;
    int status = 0;
    std::map<std::string, int> statusOf; // overrides `status` per program path
    std::vector<std::vector<std::string>> runs;
    std::string diagnostics;

    void displays(bool& x, bool& w) override {
        x = x11;
        w = wayland;
    }
    std::string findProgram(const std::string& name) override {
        auto it = programs.find(name);
        return it == programs.end() ? std::string() : it->second;
    }
    int run(const std::vector<std::string>& words) override {
        runs.push_back(words);
        auto it = statusOf.find(words.at(0));
        return it == statusOf.end() ? status : it->second;
    }
    void writeDiagnostic(const std::string& line) override { diagnostics += line; }
};

using Words = std::vector<std::string>;

} // namespace

TEST(MessageBox, ErrorBoxThroughZenityWithTheTextsAsGiven) {
    FakeHost host;
    host.programs = {{"zenity", "/usr/bin/zenity"}, {"kdialog", "/usr/bin/kdialog"}};
    int answer =
        messageBox("Config Error", "Error iniciando\nNo se encuentra <ZEP> & \"m\xC3\xA1s\"", kIconError, host);
    EXPECT_EQ(answer, kAnswerOk);
    ASSERT_EQ(host.runs.size(), 1u);
    EXPECT_EQ(host.runs[0], (Words{"/usr/bin/zenity", "--error", "--title=Config Error", "--no-markup",
                                   "--text=Error iniciando\nNo se encuentra <ZEP> & \"m\xC3\xA1s\""}));
    EXPECT_EQ(host.diagnostics, "Config Error: Error iniciando\nNo se encuentra <ZEP> & \"m\xC3\xA1s\"\n");
}

TEST(MessageBox, YesNoQuestionThroughZenity) {
    FakeHost host;
    host.programs = {{"zenity", "/z/zenity"}};
    host.status = 0;
    EXPECT_EQ(messageBox("ERROR VERSION DIRECTX", "Desea instalar", kBoxYesNo | kIconWarning, host),
              kAnswerYes);
    EXPECT_EQ(host.runs[0], (Words{"/z/zenity", "--question", "--ok-label=S\xC3\xAD", "--cancel-label=No",
                                   "--icon-name=dialog-warning", "--title=ERROR VERSION DIRECTX",
                                   "--no-markup", "--text=Desea instalar"}));
    host.status = 1; // "No" or the window closed
    EXPECT_EQ(messageBox("c", "t", kBoxYesNo | kIconWarning, host), kAnswerNo);
    host.status = 5;
    EXPECT_EQ(messageBox("c", "t", kBoxYesNo, host), kAnswerNo);

    FakeHost plain;
    plain.programs = {{"zenity", "/z/zenity"}};
    messageBox("Maquina Insuficiente", "No tienes", kIconWarning, plain);
    EXPECT_EQ(plain.runs[0][1], "--warning");
}

TEST(MessageBox, KdialogWhenZenityIsMissingOrCannotRun) {
    FakeHost host;
    host.programs = {{"kdialog", "/k/kdialog"}};
    EXPECT_EQ(messageBox("RunApp", "No launch Function..\n", kIconError, host), kAnswerOk);
    EXPECT_EQ(host.runs[0], (Words{"/k/kdialog", "--title", "RunApp", "--error", "No launch Function..\n"}));

    host.programs["zenity"] = "/z/zenity";
    host.statusOf["/z/zenity"] = -1; // on PATH but it would not start
    host.runs.clear();
    EXPECT_EQ(messageBox("Q", "\xC2\xBFSeguro?", kBoxYesNo | kIconWarning, host), kAnswerYes);
    ASSERT_EQ(host.runs.size(), 2u);
    EXPECT_EQ(host.runs[1], (Words{"/k/kdialog", "--title", "Q", "--warningyesno", "\xC2\xBFSeguro?",
                                   "--yes-label", "S\xC3\xAD", "--no-label", "No"}));
}

TEST(MessageBox, XmessageGetsLatin1AndItsOwnAnswerValues) {
    FakeHost host;
    host.programs = {{"xmessage", "/x/xmessage"}};
    host.status = 6;
    // "Versión", "-n €" and a Polish letter Latin-1 lacks.
    EXPECT_EQ(messageBox("Versi\xC3\xB3n", "-n \xE2\x82\xAC \xC5\x81", kBoxYesNo | kIconWarning, host),
              kAnswerYes);
    EXPECT_EQ(host.runs[0], (Words{"/x/xmessage", "-center", "-title", "Versi\xF3n", "-buttons",
                                   "S\xED:6,No:7", "-default", "S\xED", " -n EUR ?"}));
    host.status = 7;
    EXPECT_EQ(messageBox("c", "t", kBoxYesNo, host), kAnswerNo);
    host.status = 0; // closed by the window manager
    EXPECT_EQ(messageBox("c", "t", kBoxYesNo, host), kAnswerNo);

    // xmessage is an X program: a Wayland-only session cannot show it.
    host.x11 = false;
    host.wayland = true;
    host.runs.clear();
    EXPECT_EQ(messageBox("c", "t", kBoxYesNo, host), kAnswerNo);
    EXPECT_TRUE(host.runs.empty());
}

TEST(MessageBox, WithoutADisplayOnlyStandardErrorAndTheQuestionAnswersNo) {
    FakeHost host;
    host.x11 = false;
    host.programs = {{"zenity", "/z/zenity"}};
    EXPECT_EQ(messageBox("ERROR VERSION DIRECTX", "Desea instalar", kBoxYesNo | kIconWarning, host),
              kAnswerNo);
    EXPECT_EQ(messageBox("Error", "No se ha podido abrir", kIconError, host), kAnswerOk);
    EXPECT_TRUE(host.runs.empty());
    EXPECT_EQ(host.diagnostics, "ERROR VERSION DIRECTX: Desea instalar\nError: No se ha podido abrir\n");

    FakeHost noProgram;
    EXPECT_EQ(messageBox("c", "t", kBoxYesNo, noProgram), kAnswerNo);
    EXPECT_TRUE(noProgram.runs.empty());
}

TEST(MessageBox, SystemHostWritesStandardErrorAndRunsTheDialogFoundOnPath) {
    testkit::TempDir temp;
    // A stand-in zenity that records its words, one a line, and says Yes.
    testkit::writeFile(temp / "bin/zenity",
                       "#!/bin/sh\nfor w in \"$@\"; do printf '%s\\n' \"$w\"; done > \"$0.words\"\nexit 0\n",
                       0755);
    testkit::ScopedEnv path("PATH", (temp / "bin").c_str());
    testkit::ScopedEnv display("DISPLAY", ":97");
    testkit::ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);

    testing::internal::CaptureStderr();
    int answer = messageBox("Pregunta", "\xC2\xBFInstalar?", kBoxYesNo, systemDialogHost());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Pregunta: \xC2\xBFInstalar?\n");
    EXPECT_EQ(answer, kAnswerYes);
    EXPECT_EQ(testkit::readFile(temp / "bin/zenity.words"),
              "--question\n--ok-label=S\xC3\xAD\n--cancel-label=No\n--title=Pregunta\n--no-markup\n"
              "--text=\xC2\xBFInstalar?\n");

    testkit::ScopedEnv noDisplay("DISPLAY", nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(messageBox("Pregunta", "otra", kBoxYesNo, systemDialogHost()), kAnswerNo);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Pregunta: otra\n");
}

TEST(MessageBox, AnInstalledHostServesTheProcessWideCall) {
    FakeHost host;
    host.programs = {{"zenity", "/z/zenity"}};
    DialogHost* before = setDialogHost(&host);
    EXPECT_EQ(before, &systemDialogHost());
    EXPECT_EQ(messageBox("Login Error", "Error iniciando el sistema de Login", kIconError), kAnswerOk);
    EXPECT_EQ(setDialogHost(nullptr), &host);
    ASSERT_EQ(host.runs.size(), 1u);
    EXPECT_EQ(host.diagnostics, "Login Error: Error iniciando el sistema de Login\n");
}
