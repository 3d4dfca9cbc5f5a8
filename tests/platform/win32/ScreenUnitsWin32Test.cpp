// A thread's screen units as Windows keeps them: the DPI awareness of the
// thread and of the windows it makes, read back through the system's own
// calls (looked up at run time, as Windows before 10 version 1607 lacks them).
#include "platform/Window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using Context = HANDLE;

template <typename Function> Function user32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

struct DpiCalls {
    Context(WINAPI* threadContext)() = user32<Context(WINAPI*)()>("GetThreadDpiAwarenessContext");
    Context(WINAPI* windowContext)(HWND) = user32<Context(WINAPI*)(HWND)>("GetWindowDpiAwarenessContext");
    int(WINAPI* awareness)(Context) = user32<int(WINAPI*)(Context)>("GetAwarenessFromDpiAwarenessContext");
    BOOL(WINAPI* setProcess)(Context) = user32<BOOL(WINAPI*)(Context)>("SetProcessDpiAwarenessContext");
    bool available() const { return threadContext && windowContext && awareness && setProcess; }
};

// DPI_AWARENESS values and predefined contexts of winuser.h.
constexpr int kUnaware = 0;
constexpr int kPerMonitor = 2;
const Context kPerMonitorV2 = reinterpret_cast<Context>(static_cast<intptr_t>(-4));
const Context kPerMonitorV1 = reinterpret_cast<Context>(static_cast<intptr_t>(-3));

// A plain top-level window of the system's own class, made on this thread.
HWND makeWindow() {
    return CreateWindowExW(0, L"STATIC", L"units", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

// The launcher's window is made in scaled units and keeps them; the survey
// asks in the screen's pixels inside; once both holders are gone the thread
// follows the process again, so an awareness the game declares for the
// process afterwards reaches the thread it runs on.
TEST(ScreenUnitsWin32, TheWindowKeepsItsScalingAndTheThreadFollowsTheProcessAfterwards) {
    DpiCalls dpi;
    if (!dpi.available())
        GTEST_SKIP() << "this Windows has no DPI awareness per thread";
    const int processAwareness = dpi.awareness(dpi.threadContext());
    HWND window = nullptr;
    {
        platform::ThreadScreenUnits scaled(platform::ScreenUnits::Scaled);
        EXPECT_TRUE(scaled.changed());
        window = makeWindow();
        ASSERT_NE(window, nullptr);
        {
            platform::ThreadScreenUnits pixels(platform::ScreenUnits::Pixels);
            EXPECT_EQ(dpi.awareness(dpi.threadContext()), kPerMonitor);
            EXPECT_EQ(dpi.awareness(dpi.windowContext(window)), kUnaware) << "a window keeps its units";
        }
        EXPECT_EQ(dpi.awareness(dpi.threadContext()), kUnaware) << "the outer units are back";
    }
    EXPECT_EQ(dpi.awareness(dpi.threadContext()), processAwareness);
    EXPECT_EQ(dpi.awareness(dpi.windowContext(window)), kUnaware);
    DestroyWindow(window);

    // As a game would, once the launcher's window is gone. Wine 8 makes
    // every process per-monitor aware at its start and refuses a later
    // setting; a real Windows leaves a program that declares nothing
    // unaware, and open to one setting.
    if (!dpi.setProcess(kPerMonitorV2) && !dpi.setProcess(kPerMonitorV1)) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        std::printf("the process's awareness was set before the test (%d)\n", processAwareness);
        return;
    }
    EXPECT_EQ(processAwareness, kUnaware);
    EXPECT_EQ(dpi.awareness(dpi.threadContext()), kPerMonitor) << "the thread follows the process again";
    HWND gameWindow = makeWindow();
    ASSERT_NE(gameWindow, nullptr);
    EXPECT_EQ(dpi.awareness(dpi.windowContext(gameWindow)), kPerMonitor);
    DestroyWindow(gameWindow);
}
