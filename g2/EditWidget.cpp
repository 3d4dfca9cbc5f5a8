#include "g2/EditWidget.h"

#include "g2/Game.h"
#include "g2/Messages.h"
#include "props/Properties.h"
#include "support/Utf.h"
#include "tkal/Canvas.h"
#include "tkal/Font.h"

#include <algorithm>
#include <new>

namespace G2 {

G2_DEFINE_CLASS_INFO(EditWidget, LabelWidget, "EditWidget")

EditWidget::EditWidget() : buffer_(81, 0) {
    state |= EditField;
}

EditWidget::~EditWidget() = default;

std::string EditWidget::utf8() const {
    std::string out;
    support::utf16ToUtf8(buffer_.data(), out);
    return out;
}

void EditWidget::changed() {
    buffer_[static_cast<size_t>(length_)] = 0;
    shown_ = utf8();
    state |= NeedsRedraw;
}

void EditWidget::setText(const char* text) {
    length_ = support::utf8ToUtf16(text != nullptr ? text : "", buffer_.data(), maxChars_);
    cursor_ = length_;
    changed();
}

void EditWidget::setTextW(const uint16_t* text) {
    int n = 0;
    if (text != nullptr)
        while (n < maxChars_ && text[n] != 0) {
            buffer_[static_cast<size_t>(n)] = text[n];
            ++n;
        }
    length_ = cursor_ = n;
    changed();
}

std::string EditWidget::text() const {
    return passwordChar_ == 0 ? shown_ : utf8();
}

bool EditWidget::setMaxChars(int n) {
    if (n < 0)
        return false;
    // A layout's "max_chars" is not a reason to commit the memory of a
    // hundred million characters: no field of a launcher needs more.
    n = std::min(n, kMaxCharsLimit);
    try {
        buffer_.resize(static_cast<size_t>(n) + 1, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    maxChars_ = n;
    length_ = std::min(length_, n);
    cursor_ = std::min(cursor_, n);
    changed();
    return true;
}

void EditWidget::load(RCache* cache, const Property* props) {
    LabelWidget::load(cache, props);
    if (props == nullptr)
        return;
    int max = props->getInt("max_chars", 0);
    if (max != 0)
        setMaxChars(max);
    std::string mask = props->getString("passw_char", "");
    if (!mask.empty())
        passwordChar_ = mask[0];
}

int EditWidget::onEvent(uint32_t code, void* sender, intptr_t data) {
    if (code != Msg::KeyEvent)
        return LabelWidget::onEvent(code, sender, data);
    if (isInert())
        return 1;
    const auto* key = reinterpret_cast<const TKAL::Event*>(data);
    if (key == nullptr || key->type != TKAL::Event::KeyDown)
        return 0;
    uint16_t* b = buffer_.data();
    switch (key->arg1) {
    case 8: // Backspace
        if (cursor_ >= 1) {
            --cursor_;
            std::copy(b + cursor_ + 1, b + length_, b + cursor_);
            --length_;
        }
        break;
    case 13:
        emitter().emit(Msg::ReturnPressed, 0);
        break;
    case 27:
        emitter().emit(Msg::EscapePressed, 0);
        break;
    case 127: // Delete
        if (cursor_ < length_) {
            std::copy(b + cursor_ + 1, b + length_, b + cursor_);
            --length_;
        }
        break;
    case 275: // Right
        cursor_ = std::min(cursor_ + 1, length_);
        break;
    case 276: // Left
        cursor_ = std::max(cursor_ - 1, 0);
        break;
    case 278: // Home
        cursor_ = 0;
        break;
    case 279: // End
        cursor_ = length_;
        break;
    case 277: // Insert
        break;
    default: {
        // Control characters (Ctrl+V gives 0x16) are keys, not text.
        auto ch = static_cast<uint16_t>(key->arg3);
        if (ch >= 0x20 && ch != 0x7F && length_ < maxChars_) {
            std::copy_backward(b + cursor_, b + length_, b + length_ + 1);
            b[cursor_] = ch;
            ++length_;
            ++cursor_;
        }
        break;
    }
    }
    changed();
    return 0;
}

void EditWidget::draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) {
    if (drawParam != 0 || font == nullptr)
        return;
    Widget::draw(canvas, dx, dy, drawParam);
}

void EditWidget::drawContent(TKAL::Canvas* canvas, uint32_t) {
    TKAL::Rect content = contentRect();
    std::string shown;
    int caretOffset = 0;
    if (passwordChar_ == 0) {
        shown = shown_;
        // The width of the first `cursor_` characters (none at the start:
        // a length of 0 would measure the whole text).
        if (cursor_ > 0)
            caretOffset = font->textWidthW(buffer_.data(), cursor_);
    } else {
        // A mask this long is not drawn at all.
        if (length_ >= 128)
            return;
        shown.assign(static_cast<size_t>(length_), passwordChar_);
        if (cursor_ > 0)
            caretOffset = font->textWidth(shown.c_str(), cursor_);
    }
    int tx = textX(content.w, font->textWidth(shown.c_str(), 0));
    int ty = textY(content.h, font->height());
    font->drawText(tx, ty, canvas, shown.c_str(), colour, 0);
    if (toolkit().focus == this)
        canvas->fillRect(tx + caretOffset, ty, caretWidth, font->height(), caretColour);
}

} // namespace G2
