#include "platform/MessageBox.h"

#include "platform/CodePage.h"

#include <atomic>

namespace platform {

namespace {

// "Sí" in UTF-8 and in Latin-1: the launcher speaks Spanish, whatever the
// desktop's language.
const char* const yesUtf8 = "S\xC3\xAD";
const char* const yesLatin1 = "S\xED";

enum class Icon { None, Error, Question, Warning, Information };

Icon iconOf(unsigned style) {
    switch (style & 0xF0u) {
    case kIconError:
        return Icon::Error;
    case kIconQuestion:
        return Icon::Question;
    case kIconWarning:
        return Icon::Warning;
    case kIconInformation:
        return Icon::Information;
    default:
        return Icon::None;
    }
}

// The texts are C strings to the desktop call; a NUL ends them there too.
std::string cString(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

std::vector<std::string> zenityWords(const std::string& program, const std::string& caption,
                                     const std::string& text, bool question, Icon icon) {
    std::vector<std::string> words{program};
    if (question) {
        words.push_back("--question");
        words.push_back(std::string("--ok-label=") + yesUtf8);
        words.push_back("--cancel-label=No");
        if (icon == Icon::Error)
            words.push_back("--icon-name=dialog-error");
        else if (icon == Icon::Warning)
            words.push_back("--icon-name=dialog-warning");
    } else if (icon == Icon::Error) {
        words.push_back("--error");
    } else if (icon == Icon::Warning) {
        words.push_back("--warning");
    } else {
        words.push_back("--info");
    }
    words.push_back("--title=" + caption);
    // The texts are plain; without this "<" and "&" would be taken as markup.
    words.push_back("--no-markup");
    words.push_back("--text=" + text);
    return words;
}

std::vector<std::string> kdialogWords(const std::string& program, const std::string& caption,
                                      const std::string& text, bool question, Icon icon) {
    std::vector<std::string> words{program, "--title", caption};
    if (question) {
        words.push_back(icon == Icon::Warning || icon == Icon::Error ? "--warningyesno" : "--yesno");
        words.push_back(text);
        words.push_back("--yes-label");
        words.push_back(yesUtf8);
        words.push_back("--no-label");
        words.push_back("No");
    } else {
        words.push_back(icon == Icon::Error ? "--error" : icon == Icon::Warning ? "--sorry" : "--msgbox");
        words.push_back(text);
    }
    return words;
}

// xmessage draws Latin-1 only, and takes a first word starting with "-" for
// an option.
std::string latin1Of(const std::string& utf8) {
    return windows1252ToLatin1(utf8ToWindows1252(utf8));
}

std::vector<std::string> xmessageWords(const std::string& program, const std::string& caption,
                                       const std::string& shown, bool question) {
    std::string text = latin1Of(shown);
    if (!text.empty() && text[0] == '-')
        text.insert(0, " ");
    std::vector<std::string> words{program, "-center", "-title", latin1Of(caption)};
    words.push_back("-buttons");
    if (question) {
        words.push_back(std::string(yesLatin1) + ":6,No:7");
        words.push_back("-default");
        words.push_back(yesLatin1);
    } else {
        words.push_back("OK:1");
        words.push_back("-default");
        words.push_back("OK");
    }
    words.push_back(text);
    return words;
}

std::atomic<DialogHost*> installedHost{nullptr};

} // namespace

DialogHost* setDialogHost(DialogHost* host) {
    DialogHost* before = installedHost.exchange(host);
    return before != nullptr ? before : &systemDialogHost();
}

int messageBox(const std::string& caption, const std::string& text, unsigned style) {
    DialogHost* host = installedHost.load();
    return host != nullptr ? messageBox(caption, text, style, *host) : systemMessageBox(caption, text, style);
}

int messageBox(const std::string& shownCaption, const std::string& shownText, unsigned style,
               DialogHost& host) {
    const std::string caption = cString(shownCaption);
    const std::string text = cString(shownText);
    bool question = (style & 0x0Fu) == kBoxYesNo;
    Icon icon = iconOf(style);

    host.writeDiagnostic(caption + ": " + text + "\n");
    int fallback = question ? kAnswerNo : kAnswerOk;

    bool x11 = false;
    bool wayland = false;
    host.displays(x11, wayland);
    if (!x11 && !wayland)
        return fallback;

    // Each dialog program in order of preference; one that is there but
    // cannot be run gives way to the next.
    for (int choice = 0; choice < 3; ++choice) {
        static const char* const names[3] = {"zenity", "kdialog", "xmessage"};
        if (choice == 2 && !x11)
            break; // xmessage needs an X display
        std::string program = host.findProgram(names[choice]);
        if (program.empty())
            continue;
        std::vector<std::string> words;
        int yesStatus = 0;
        if (choice == 0) {
            words = zenityWords(program, caption, text, question, icon);
        } else if (choice == 1) {
            words = kdialogWords(program, caption, text, question, icon);
        } else {
            words = xmessageWords(program, caption, text, question);
            yesStatus = kAnswerYes;
        }
        int status = host.run(words);
        if (status < 0)
            continue;
        if (!question)
            return kAnswerOk;
        return status == yesStatus ? kAnswerYes : kAnswerNo;
    }
    return fallback;
}

} // namespace platform
