// Runs the real launcher program in a private X server, as a player would:
// the window appears centred, and closing it ends the program with code 0.
#include "tests/common/X11Client.h"
#include "tests/common/Xvfb.h"

#include <gtest/gtest.h>

TEST(MoravoTownWindow, OpensCentredAndEndsWithZeroWhenClosed) {
    testkit::Xvfb server;
    if (!server.start(1024, 768, 24))
        GTEST_SKIP() << server.error();
    testkit::X11Client x;
    ASSERT_TRUE(x.connect(server.display()));

    testkit::Child launcher;
    ASSERT_TRUE(launcher.start(MORAVO_BINARY_DIR "/app/MoravoTown", {},
                               {"DISPLAY=" + server.display(), "SDL_VIDEODRIVER=x11"}));
    unsigned long window = x.waitForWindow("Moravo", 10000);
    ASSERT_NE(window, 0u) << "no window titled Moravo appeared";

    int wx = 0, wy = 0, ww = 0, wh = 0;
    ASSERT_TRUE(x.geometry(window, wx, wy, ww, wh));
    EXPECT_EQ(ww, 640);
    EXPECT_EQ(wh, 480);
    EXPECT_EQ(wx, (1024 - 640) / 2);
    EXPECT_EQ(wy, (768 - 480) / 2);

    // The loop keeps running until the window is closed.
    EXPECT_EQ(launcher.wait(300), -1000);
    ASSERT_TRUE(x.requestClose(window));
    EXPECT_EQ(launcher.wait(10000), 0);
}
