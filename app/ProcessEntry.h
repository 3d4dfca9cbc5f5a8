#pragma once
#include "tkal/App.h"

#include <cstdint>
#include <string>
#include <vector>

namespace app {

/// Full path of the running launcher, as the process entry found it.
const std::string& programPath();
/// `programPath` cut before its last separator, whatever its length ("" when
/// there is no separator).
const std::string& programDir();

/// Sets `programPath` and `programDir` (the process entry does; tests may).
void setProgramPath(const std::string& path);

/// The directory part of a program path by the rule of `programDir`.
std::string programDirOf(const std::string& path);

/// What the process entry needs from outside; tests replace the pieces.
struct EntryServices {
    int (*sdlInit)(uint32_t flags) = nullptr;
    void (*sdlQuit)() = nullptr;
    /// Why `sdlInit` failed (null: not known).
    const char* (*sdlError)() = nullptr;
    void (*enableUnicode)() = nullptr;
    /// Makes the windows about to be made scaled by the system (null: left
    /// as they are); called before SDL starts, since SDL makes its window
    /// then.
    void (*scaleWindows)() = nullptr;
    std::string (*programPath)() = nullptr;
    TKAL::LoopClock* clock = nullptr;
};

/// The services of a real run: SDL, the platform clock and the launcher's
/// window scaled by the system.
EntryServices defaultEntryServices();

/// Starts SDL's video on its dummy driver, for laying windows out with
/// nothing shown; false with SDL's reason in `error` when it cannot.
bool startOffScreen(std::string& error);
/// Ends what `startOffScreen` started when no launcher's exit did.
void stopOffScreen();

/// Starts SDL (without its audio when only the full start fails; 33 when it
/// cannot start, with SDL's reason on stderr; a text-mode video driver only
/// when SDL_VIDEODRIVER asks for one), fills the program
/// path, hands the command-line words (at most 9 after the program path) to
/// `app.init`, runs the fixed-period loop and answers the application's
/// exit code.
int processEntry(TKAL::App& app, const std::vector<std::string>& words, const EntryServices& services);

} // namespace app
