#pragma once
// One run of the demo installation as a player has it: a fresh copy of it
// in a scratch folder, the launcher started in it on a private X server,
// and the player's hands and eyes: clicks on the widgets where the layout
// puts them, typing, and checks of the texts the window shows.
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

namespace e2e {

class PlayerRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Points the installation at a web service on loopback `port`, whose
    /// published folder is under "/updates".
    void useServer(int port);
    /// Starts the launcher and waits for its window; false when none came.
    bool startLauncher();
    /// Waits for a window titled `title` other than `previous`; sets the
    /// window origin from it. Answers its id, 0 when none came.
    unsigned long waitForWindow(const std::string& title, unsigned long previous, int timeoutMs);

    /// A click in the middle of a widget of the window.
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

    std::string file(const std::string& relative) const { return install + "/" + relative; }
    /// Whether the installation and its server were made by tools/demo.
    static bool prepared();
    static std::string shotFolder();

    testkit::Xvfb xvfb;
    testkit::X11Client x;
    testkit::TempDir scratch;
    std::string install;
    std::string home;
    Widgets widgets;
    testkit::Child launcher;
    unsigned long window = 0;
    int originX = 0, originY = 0;

private:
    std::unique_ptr<TextProbe> text_;
    std::unique_ptr<TextProbe> titleText_;
    int shots_ = 0;
    std::error_code ec_;
};

/// The demo's account, as tools/demo prints it.
extern const char* const demoPhone;
extern const char* const demoPassword;

} // namespace e2e
