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

// The texts are Windows-1252; a system whose 8-bit code page differs gets
// them converted, so that accented letters show as written.
std::string toSystemCodePage(const std::string& text) {
    UINT system = GetACP();
    if (system == 1252 || text.empty())
        return text;
    int units = MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
    int bytes = WideCharToMultiByte(system, 0, wide.data(), units, nullptr, 0, "?", nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(system, 0, wide.data(), units, &out[0], bytes, "?", nullptr);
    return out;
}

} // namespace

DialogHost& systemDialogHost() {
    static SystemDialogHost host;
    return host;
}

int systemMessageBox(const std::string& caption, const std::string& text, unsigned style) {
    // The texts are C strings to the system; a NUL ends them there.
    std::string shownCaption = toSystemCodePage(caption.substr(0, caption.find('\0')));
    std::string shownText = toSystemCodePage(text.substr(0, text.find('\0')));
    int answer = MessageBoxA(nullptr, shownText.c_str(), shownCaption.c_str(), style);
    if ((style & 0x0Fu) == kBoxYesNo)
        return answer == IDYES ? kAnswerYes : kAnswerNo;
    return kAnswerOk;
}

} // namespace platform
