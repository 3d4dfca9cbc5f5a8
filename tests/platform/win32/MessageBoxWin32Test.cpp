// The system's message box shows the launcher's texts as written, letters
// of any script included, whatever the system's 8-bit code page.
#include "platform/MessageBox.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

BOOL CALLBACK collectText(HWND child, LPARAM texts) {
    wchar_t text[512] = {};
    GetWindowTextW(child, text, 512);
    reinterpret_cast<std::vector<std::wstring>*>(texts)->push_back(text);
    return TRUE;
}

} // namespace

TEST(WindowsMessageBox, TextsInAnyScriptReachTheDialogAsWritten) {
    // A Polish caption and a folder named in Cyrillic, Japanese and Spanish:
    // no 8-bit code page holds them all.
    const std::wstring caption = L"Aviso \u0141\u00f3d\u017a";
    const std::wstring text = L"Carpeta:\nC:\\\u0418\u0433\u0440\u044b \u30b2\u30fc\u30e0 Pe\u00f1a";
    std::vector<std::wstring> shown;
    bool found = false;
    // The dialog waits for the player: a second thread reads it and answers.
    std::thread player([&] {
        for (int attempt = 0; attempt < 400 && !found; ++attempt) {
            if (HWND box = FindWindowW(L"#32770", caption.c_str())) {
                EnumChildWindows(box, collectText, reinterpret_cast<LPARAM>(&shown));
                found = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                break;
            }
            Sleep(25);
        }
    });
    const int answer = platform::systemMessageBox("Aviso \xC5\x81\xC3\xB3" "d\xC5\xBA",
                                                  "Carpeta:\nC:\\\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B "
                                                  "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Pe\xC3\xB1" "a",
                                                  platform::kIconWarning);
    player.join();
    ASSERT_TRUE(found) << "no dialog with the caption as written";
    EXPECT_EQ(answer, platform::kAnswerOk);
    bool textShown = false;
    for (const std::wstring& line : shown)
        textShown = textShown || line == text;
    EXPECT_TRUE(textShown);
}
