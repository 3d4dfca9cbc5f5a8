#pragma once
#include "g2/LabelWidget.h"

#include <vector>

namespace G2 {

/// A single-line text field over a UCS-2 buffer, with an optional password
/// character. It takes the keyboard focus; the caret is drawn only while it
/// holds it. Emits Msg::ReturnPressed and Msg::EscapePressed. Typing inserts
/// characters from U+0020 on, except U+007F.
class EditWidget : public LabelWidget {
    G2_CLASS_INFO()
public:
    EditWidget();
    ~EditWidget() override;

    bool acceptsFocus() const override { return true; }
    void draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) override;
    /// Reads the label's keys, then "max_chars" and "passw_char".
    void load(RCache* cache, const Property* props) override;
    int onEvent(uint32_t code, void* sender, intptr_t data) override;

    /// Decodes UTF-8 into the buffer (at most the maximum); the cursor goes
    /// to the end.
    void setText(const char* text) override;
    void setTextW(const uint16_t* text) override;
    /// The real text, also for a password field.
    std::string text() const override;

    /// Room for `n` characters, at most `kMaxCharsLimit`; length and cursor
    /// are cut to it.
    bool setMaxChars(int n);
    static constexpr int kMaxCharsLimit = 4096;
    int maxChars() const { return maxChars_; }
    int length() const { return length_; }
    int cursor() const { return cursor_; }
    const uint16_t* buffer() const { return buffer_.data(); }
    void setPasswordChar(char c) { passwordChar_ = c; }

    int32_t caretWidth = 2;
    uint32_t caretColour = 0xFFFFFF;

protected:
    void drawContent(TKAL::Canvas* canvas, uint32_t drawParam) override;
    bool drawsChildren() const override { return false; }

private:
    void changed();
    std::string utf8() const;

    std::vector<uint16_t> buffer_; // maxChars_ + 1 units, terminated
    int maxChars_ = 80;
    int length_ = 0;
    int cursor_ = 0;
    char passwordChar_ = 0;
};

} // namespace G2
