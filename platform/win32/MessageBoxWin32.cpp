#include "platform/MessageBox.h"

#include "platform/FileSync.h"
#include "platform/Process.h"

#include <windows.h>

#include <cstdio>

namespace platform {

namespace {

// Windows shows its own message boxes: no X or Wayland session is asked for.
class SystemDialogHost : public DialogHost {
public:
    void displays(bool& x11, bool& wayland) override { x11 = wayland = false; }
    std::string findProgram(const std::string& name) override { return findOnPath(name); }
    int run(const std::vector<std::string>& words) override {
        if (words.empty())
            return kRunNotStarted;
        return runAndWait(words[0], std::vector<std::string>(words.begin() + 1, words.end()));
    }
    void writeDiagnostic(const std::string& line) override {
        writeAll(_fileno(stderr), line.data(), line.size());
    }
};

// The texts are UTF-8; the dialog takes UTF-16, so a player's name or a
// folder in any script shows as written whatever the system's 8-bit code
// page is. A text is a C string to the system: a NUL ends it there.
std::wstring shownText(const std::string& text) {
    const std::string shown = text.substr(0, text.find('\0'));
    if (shown.empty())
        return std::wstring();
    const int units = MultiByteToWideChar(CP_UTF8, 0, shown.data(), static_cast<int>(shown.size()), nullptr, 0);
    if (units <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, shown.data(), static_cast<int>(shown.size()), &wide[0], units);
    return wide;
}

} // namespace

DialogHost& systemDialogHost() {
    static SystemDialogHost host;
    return host;
}

int systemMessageBox(const std::string& caption, const std::string& text, unsigned style) {
    const std::wstring wideCaption = shownText(caption);
    const std::wstring wideText = shownText(text);
    const int answer = MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), style);
    if ((style & 0x0Fu) == kBoxYesNo)
        return answer == IDYES ? kAnswerYes : kAnswerNo;
    return kAnswerOk;
}

} // namespace platform
