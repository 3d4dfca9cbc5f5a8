#include "platform/MessageBox.h"

#include "platform/FileSync.h"
#include "platform/Process.h"

#include <cstdlib>
#include <unistd.h>

namespace platform {

namespace {

class SystemDialogHost : public DialogHost {
public:
    void displays(bool& x11, bool& wayland) override {
        x11 = isSet("DISPLAY");
        wayland = isSet("WAYLAND_DISPLAY");
    }
    std::string findProgram(const std::string& name) override { return findOnPath(name); }
    int run(const std::vector<std::string>& words) override {
        if (words.empty())
            return kRunNotStarted;
        std::vector<std::string> rest(words.begin() + 1, words.end());
        return runAndWait(words[0], rest);
    }
    void writeDiagnostic(const std::string& line) override {
        writeAll(STDERR_FILENO, line.data(), line.size());
    }

private:
    static bool isSet(const char* name) {
        const char* value = getenv(name);
        return value != nullptr && value[0] != '\0';
    }
};

} // namespace

DialogHost& systemDialogHost() {
    static SystemDialogHost host;
    return host;
}

int systemMessageBox(const std::string& caption, const std::string& text, unsigned style) {
    return messageBox(caption, text, style, systemDialogHost());
}

} // namespace platform
