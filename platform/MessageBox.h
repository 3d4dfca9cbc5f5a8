#pragma once
#include <string>
#include <vector>

namespace platform {

/// Style flags of `messageBox`, combined with "|"; the values are those of
/// the desktop call the launcher was written against.
enum MessageBoxStyle : unsigned {
    kBoxOk = 0x00,           ///< one "OK" button
    kBoxYesNo = 0x04,        ///< a question answered Yes or No
    kIconError = 0x10,       ///< error sign
    kIconQuestion = 0x20,    ///< question mark
    kIconWarning = 0x30,     ///< warning sign
    kIconInformation = 0x40, ///< information sign
};

/// Answers of `messageBox`.
enum MessageBoxAnswer : int {
    kAnswerOk = 1,
    kAnswerYes = 6,
    kAnswerNo = 7,
};

/// What a message box needs from the desktop. The system's host looks at
/// the environment, PATH and standard error; tests give their own to see the
/// exact dialog command line and to choose its answer.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    /// Tells which desktop sessions can show windows: `x11` when there is an
    /// X display (DISPLAY set), `wayland` when WAYLAND_DISPLAY is set.
    virtual void displays(bool& x11, bool& wayland) = 0;
    /// Full path of the program `name` on PATH, empty when there is none.
    virtual std::string findProgram(const std::string& name) = 0;
    /// Runs `words` (the program's path first) and waits for it; answers its
    /// exit status, or a negative value when it could not run.
    virtual int run(const std::vector<std::string>& words) = 0;
    /// Writes `line` (UTF-8, ending in a line feed) to standard error.
    virtual void writeDiagnostic(const std::string& line) = 0;
};

/// The host that talks to this desktop (on Windows it reports no X or
/// Wayland session: there the system's own message box is used instead).
DialogHost& systemDialogHost();

/// Makes `host` the one the three-argument `messageBox` uses, process-wide;
/// null brings back the system's host. Answers the host used before. The
/// host is borrowed and must outlive its installation.
DialogHost* setDialogHost(DialogHost* host);

/// Shows a message with `caption` and `text` (both UTF-8, as every text
/// drawn by the launcher) and waits for the user: through the host installed with
/// `setDialogHost` when there is one, else as `systemMessageBox` does.
/// Answers `kAnswerYes` or `kAnswerNo` for `kBoxYesNo` (No when no dialog
/// could be shown or it was closed), otherwise `kAnswerOk`.
int messageBox(const std::string& caption, const std::string& text, unsigned style);

/// `messageBox` through the given host: the caption and text always go to
/// the host's diagnostics; a dialog is shown as well
/// when there is a display and one of zenity, kdialog or xmessage (in that
/// order of preference; xmessage only on an X display) is on PATH and runs.
/// The buttons of a question read "Sí" and "No".
int messageBox(const std::string& caption, const std::string& text, unsigned style, DialogHost& host);

/// The system's own message box: on Windows the desktop's dialog, given the
/// texts in UTF-16 (so that a name in any script shows as written, whatever
/// the system's 8-bit code page), elsewhere `messageBox` through
/// `systemDialogHost()`.
int systemMessageBox(const std::string& caption, const std::string& text, unsigned style);

} // namespace platform
