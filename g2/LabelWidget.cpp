// Labels, pictures and animations.
#include "g2/LabelWidget.h"

#include "g2/Game.h"
#include "g2/Messages.h"
#include "props/Properties.h"
#include "props/RCache.h"
#include "support/Utf.h"
#include "tkal/Canvas.h"
#include "tkal/Font.h"
#include "tkal/Image.h"

#include <cmath>

namespace G2 {

G2_DEFINE_CLASS_INFO(LabelWidget, Widget, "LabelWidget")
G2_DEFINE_CLASS_INFO(PictWidget, Widget, "PictWidget")
G2_DEFINE_CLASS_INFO(AnimWidget, PictWidget, "AnimWidget")

namespace {
const char* const justifyNames[] = {"start", "end", "center", nullptr};
} // namespace

// Labels -----------------------------------------------------------------

LabelWidget::LabelWidget() : font(toolkit().defaultFont) {}

LabelWidget::LabelWidget(const char* text) : LabelWidget() {
    setText(text);
}

LabelWidget::~LabelWidget() = default;

void LabelWidget::setText(const char* text) {
    shown_ = text != nullptr ? text : "";
    state |= NeedsRedraw;
}

void LabelWidget::setTextW(const uint16_t* text) {
    shown_.clear();
    support::utf16ToUtf8(text, shown_);
    state |= NeedsRedraw;
}

std::string LabelWidget::text() const {
    return shown_;
}

void LabelWidget::load(RCache* cache, const Property* props) {
    Widget::load(cache, props);
    if (props == nullptr)
        return;
    std::string text = props->getString("text", "");
    setText(text.c_str());
    std::string fontName = props->getString("font", "");
    if (!fontName.empty() && cache != nullptr) {
        auto* loaded = static_cast<TKAL::Font*>(cache->getOfKind("Font", fontName.c_str(), nullptr));
        if (loaded != nullptr)
            font = loaded;
    }
    if (props->find("color") != nullptr) {
        int rgb[3] = {0, 0, 0};
        props->getInts("color", rgb, 3);
        colour = static_cast<uint32_t>(rgb[0] * 65536 + rgb[1] * 256 + rgb[2]);
    }
    int words[2] = {hJustify, vJustify};
    int n = props->find("justify") != nullptr ? props->getEnums("justify", words, 2, justifyNames) : 0;
    if (n >= 1) {
        hJustify = static_cast<uint8_t>(words[0]);
        vJustify = n >= 2 ? static_cast<uint8_t>(words[1]) : static_cast<uint8_t>(Start);
    }
    if (props->find("margin") != nullptr)
        margin = props->getInt("margin", margin);
}

int LabelWidget::textX(int contentWidth, int textWidth) const {
    switch (hJustify) {
    case Start:
        return margin;
    case End:
        return contentWidth - margin - textWidth;
    default:
        return (contentWidth - textWidth) / 2;
    }
}

int LabelWidget::textY(int contentHeight, int fontHeight) const {
    switch (vJustify) {
    case Start:
        return 0;
    case End:
        return contentHeight - fontHeight;
    default:
        return (contentHeight - fontHeight) / 2;
    }
}

void LabelWidget::draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) {
    if (font == nullptr)
        return;
    Widget::draw(canvas, dx, dy, drawParam);
}

void LabelWidget::drawContent(TKAL::Canvas* canvas, uint32_t) {
    TKAL::Rect content = contentRect();
    int tx = textX(content.w, font->textWidth(shown_.c_str(), 0));
    int ty = textY(content.h, font->height());
    font->drawText(tx, ty, canvas, shown_.c_str(), colour, 0);
}

// Pictures ---------------------------------------------------------------

PictWidget::PictWidget() {
    state |= PictCentred;
}

PictWidget::~PictWidget() = default;

void PictWidget::setImage(TKAL::Image* image) {
    image_ = image;
    state |= NeedsRedraw;
}

void PictWidget::setCentred(bool on) {
    if (on)
        state |= PictCentred;
    else
        state &= ~PictCentred;
}

void PictWidget::load(RCache* cache, const Property* props) {
    Widget::load(cache, props);
    if (props == nullptr)
        return;
    std::string name = props->getString("image", "");
    if (!name.empty() && cache != nullptr) {
        auto* loaded = static_cast<TKAL::Image*>(cache->get("Image", name.c_str(), nullptr));
        if (loaded != nullptr)
            image_ = loaded;
    }
    if (props->find("image_pos") != nullptr) {
        int pos[2] = {static_cast<int>(imageX), static_cast<int>(imageY)};
        props->getInts("image_pos", pos, 2);
        imageX = pos[0];
        imageY = pos[1];
        setCentred(false);
    }
    if (props->getInt("adjust_size", 0) != 0 && image_ != nullptr) {
        TKAL::Rect r;
        image_->placeRect(0, 0, r);
        setSize(r.w + 2 * border, r.h + 2 * border);
        markLayoutAround();
    }
}

void PictWidget::drawContent(TKAL::Canvas* canvas, uint32_t) {
    if (image_ == nullptr)
        return;
    if (centred()) {
        TKAL::Rect content = contentRect();
        TKAL::Rect r;
        image_->placeRect(0, 0, r);
        canvas->drawImage(r.x + (content.w - r.w) / 2, r.y + (content.h - r.h) / 2, 0, image_);
    } else {
        canvas->drawImage(static_cast<int>(imageX), static_cast<int>(imageY), 0, image_);
    }
}

// Animations -------------------------------------------------------------

AnimWidget::AnimWidget() {
    setFrame(0);
    toolkit().emitter.connect(this, Msg::Tick);
}

AnimWidget::~AnimWidget() {
    toolkit().emitter.disconnect(this, Msg::Tick);
}

void AnimWidget::setImages(TKAL::ImageList* images) {
    images_ = images;
    // Start over so that the first image is shown even when the position
    // was already 0.
    position_ = -1;
    setFrame(0);
}

void AnimWidget::setFrame(double f) {
    unsigned count = images_ != nullptr ? images_->count() : 0;
    double previous = position_;
    position_ = count > 0 ? std::fmod(f, static_cast<double>(count)) : f;
    if (images_ == nullptr) {
        image_ = nullptr;
        return;
    }
    if (std::trunc(previous) == std::trunc(position_))
        return;
    image_ = images_->get(static_cast<unsigned>(std::trunc(position_)));
    state |= NeedsRedraw;
    if (position_ == 0.0)
        emitter().emit(Msg::FirstFrame, 0);
    if (count > 0 && position_ == static_cast<double>(count - 1))
        emitter().emit(Msg::LastFrame, 0);
}

void AnimWidget::load(RCache* cache, const Property* props) {
    PictWidget::load(cache, props);
    if (props == nullptr)
        return;
    std::string name = props->getString("images", "");
    if (!name.empty() && cache != nullptr) {
        auto* loaded = static_cast<TKAL::ImageList*>(cache->get("ImageList", name.c_str(), nullptr));
        if (loaded != nullptr)
            setImages(loaded);
    }
    if (props->find("frame") != nullptr)
        setFrame(props->getDouble("frame", 0));
    frameRate = props->getDouble("frame_rate", 0);
}

void AnimWidget::tick() {
    unsigned count = images_ != nullptr ? images_->count() : 0;
    if ((motion & Loop) || position_ < static_cast<double>(count) - 1)
        setFrame(position_ + frameRate);

    if (!(motion & (MoveHorizontal | MoveVertical)) || image_ == nullptr)
        return;
    TKAL::Rect r;
    image_->placeRect(static_cast<int>(imageX), static_cast<int>(imageY), r);
    int limitW = w - 2 * border;
    int limitH = h - 2 * border;
    if (motion & MoveHorizontal) {
        imageX += hVelocity;
        if ((hVelocity < 0 && imageX + r.w < limitW) || (hVelocity > 0 && imageX > 0)) {
            imageX = hVelocity < 0 ? limitW - r.w : 0;
            motion &= ~uint32_t(MoveHorizontal);
            emitter().emit(Msg::HorizontalMotionEnded, 0);
        }
    }
    if (motion & MoveVertical) {
        imageY += vVelocity;
        if ((vVelocity < 0 && imageY + r.h < limitH) || (vVelocity > 0 && imageY > 0)) {
            imageY = vVelocity < 0 ? limitH - r.h : 0;
            motion &= ~uint32_t(MoveVertical);
            emitter().emit(Msg::VerticalMotionEnded, 0);
        }
    }
    setCentred(false);
    state |= NeedsRedraw;
}

int AnimWidget::onEvent(uint32_t code, void* sender, intptr_t data) {
    if (code == Msg::Tick && sender == nullptr) {
        tick();
        return 0;
    }
    return PictWidget::onEvent(code, sender, data);
}

} // namespace G2
