#pragma once
// One run of the demo installation as a player has it: a fresh copy of it
// in a scratch folder, the launcher started in it on a private X server,
// and the player's hands and eyes: clicks on the widgets where the layout
// puts them, typing, and checks of the texts the window shows. The steps of
// the player's road that every platform shares are here too.
//
// tools/demo plays its own run with it when there is no display: then
// MORAVO_E2E_INSTALL names an installation already pointed at a running
// server, whose log MORAVO_E2E_SERVER_LOG names, and MORAVO_E2E_SHOTS the
// folder for the screenshots (<build>/e2e-screenshots otherwise).
#include "tests/common/Child.h"
#include "tests/common/TempDir.h"
#include "tests/common/X11Client.h"
#include "tests/common/Xvfb.h"
#include "tests/e2e/ScreenText.h"
#include "tests/e2e/Widgets.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace e2e {

class DevServer;

class PlayerRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Puts the installation to play in place and sets `install`: by
    /// default a copy of the Linux build's demo installation.
    virtual void placeInstallation();
    /// Starts the launcher of `install` with `args` into `child`.
    virtual bool launch(testkit::Child& child, const std::vector<std::string>& args);
    /// Publishes version 2 of the demo into `www` as its operator does: by
    /// default the Linux build's release with its moravo-tool.
    virtual void publish(const std::string& www);
    /// The release `publish` publishes; a test may set another first.
    virtual std::string releaseFolder() const;
    /// The suffix of the launcher's system's programs (".exe" on Windows).
    virtual std::string programSuffix() const { return ""; }
    /// The launcher's stored value `name` (the per-user key that stands in
    /// for the registry), `missing` when there is none.
    virtual std::string storedValue(const std::string& name, const std::string& missing);
    /// Starts the Linux build's launcher in `directory` into `child`, with
    /// the run's display and a private per-user folder.
    bool launchNative(testkit::Child& child, const std::string& directory,
                      const std::vector<std::string>& args);

    /// Points the installation at a web service on loopback `port`, whose
    /// published folder is under "/updates".
    void useServer(int port);
    /// Starts the launcher (with `args`) and waits for its window; false
    /// when none came.
    bool startLauncher(const std::vector<std::string>& args = {});
    /// Waits for a window titled `title` other than `previous`, raises it
    /// and sets the window origin from it. Answers its id, 0 when none came.
    unsigned long waitForWindow(const std::string& title, unsigned long previous, int timeoutMs);

    /// A click in the middle of a widget of the window, raised first, with
    /// the pointer brought over it first, as a hand does.
    void click(const Rect& widget);
    /// What the window shows in `widget`'s rectangle.
    testkit::Capture grab(const Rect& widget);
    /// Waits until `widget` shows `text` in the main font (`title`: in the
    /// title font); light text on a darker ground unless `dark`.
    ::testing::AssertionResult waitForText(const Rect& widget, const std::string& text, int timeoutMs = 10000,
                                           bool dark = false, bool title = false);
    /// Whether `widget` shows `text` (light, in the main font) right now.
    bool showsNow(const Rect& widget, const std::string& text);
    /// The filled share of a progress bar, 0 to 1.
    double filled(const Rect& bar);
    /// Saves the screen as the next screenshot of this test.
    void shot(const std::string& name);

    // Steps of the player's road.
    /// Unless tools/demo prepared the run: publishes version 2 and serves it
    /// with `server` (slowly enough to see the bars move, and with a pause
    /// before the login's answer), the installation pointed at it.
    void serveVersion2(DevServer& server);
    /// Types the demo account, with `password`, into the login panel.
    void typeAccount(const std::string& password);
    /// Logs in with the demo account and sees the wait for the answer.
    void logIn();
    /// Watches both bars of the update until the launcher hands over to
    /// hoplin, whose log appears; checks that they moved.
    void watchUpdate();
    /// Rolls the credits, picks a standard preset and then the custom one,
    /// edits it in the settings window and asks for full screen.
    void chooseSettings();
    /// Presses "Jugar" and sees the game's window.
    void play();
    /// Checks what the game was started with ("Launch.txt", "UserSet.txt",
    /// the game's note) and that every engine module was wired.
    void checkGameStart();
    /// Checks that the installation is version 2 of `release`.
    void checkVersion2(const std::string& release);
    /// Checks that the game was handed the credentials typed at the login,
    /// carried over the hand-off, and that none were left behind or kept.
    void checkCredentialsHandedOver();
    /// Checks that the server accepted the login and served `fetched`
    /// ("/updates/<path>.zz").
    void checkServed(const DevServer& server, const std::string& fetched);
    /// A wrong password: the service's refusal is shown, nothing is
    /// fetched, and Cancelar ends the launcher with 0.
    void refusedLogin();
    /// A server that is not there: "El Servidor no responde.", and the
    /// window's close ends the launcher with 0.
    void unansweredLogin();
    /// hoplin gone (as when an antivirus takes it) when the update replaces
    /// the launcher: a message names it and the launcher ends with 77, its
    /// new files staged; the next start does not hand over again, and
    /// "Jugar" starts the game.
    void completerThatCannotStart();

    std::string file(const std::string& relative) const { return install + "/" + relative; }
    /// Whether the installation and its server were made by tools/demo.
    static bool prepared();
    /// Where the screenshots go: MORAVO_E2E_SHOTS, else this build's
    /// "e2e-screenshots".
    std::string shotFolder() const;
    /// The build whose installation this run plays.
    virtual std::string buildFolder() const;
    /// The separator of the launcher's system, in the paths it hands the
    /// game.
    virtual char separator() const { return '/'; }

    testkit::Xvfb xvfb;
    testkit::X11Client x;
    testkit::TempDir scratch;
    std::string install;
    std::string home;
    /// When set, the release `publish` publishes instead of the build's.
    std::string releaseOverride;
    Widgets widgets;
    testkit::Child launcher;
    unsigned long window = 0;
    int originX = 0, originY = 0;

private:
    // The row of an open selector's list: rows of `itemHeight` inside the
    // list's border, right above the selector.
    Rect menuRow(int menuId, int row);
    void choose(int menuId, int row);

    std::unique_ptr<TextProbe> text_;
    std::unique_ptr<TextProbe> titleText_;
    int shots_ = 0;
    std::error_code ec_;
};

/// The demo's account, as tools/demo prints it.
extern const char* const demoPhone;
extern const char* const demoPassword;

} // namespace e2e
