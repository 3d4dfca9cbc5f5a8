#pragma once
#include "g2/Widget.h"

#include <string>

namespace TKAL {
class Font;
class Image;
class ImageList;
} // namespace TKAL

namespace G2 {

/// A line of text in a font (borrowed from the cache), justified in the
/// content area. A label without a font draws nothing at all.
class LabelWidget : public Widget {
    G2_CLASS_INFO()
public:
    enum Justify : uint8_t { Start = 0, End = 1, Center = 2 };

    LabelWidget();
    explicit LabelWidget(const char* text);
    ~LabelWidget() override;

    void draw(TKAL::Canvas* canvas, int dx, int dy, uint32_t drawParam) override;
    /// Reads "text" (always: a missing key empties it), "font", "color",
    /// "justify" and "margin".
    void load(RCache* cache, const Property* props) override;

    /// UTF-8 text; null means empty.
    virtual void setText(const char* text);
    /// UCS-2 text, stored as UTF-8.
    virtual void setTextW(const uint16_t* text);
    virtual std::string text() const;

    /// Where a text of `textWidth` pixels starts in the content area.
    int textX(int contentWidth, int textWidth) const;
    int textY(int contentHeight, int fontHeight) const;

    TKAL::Font* font = nullptr;
    uint32_t colour = 0xFFFFFF;
    int32_t margin = 0;
    uint8_t hJustify = Center;
    uint8_t vJustify = Center;

protected:
    void drawContent(TKAL::Canvas* canvas, uint32_t drawParam) override;
    /// The displayed text (what is drawn).
    std::string shown_;
};

/// A picture, centred in the content area or at a position of its own.
class PictWidget : public Widget {
    G2_CLASS_INFO()
public:
    PictWidget();
    ~PictWidget() override;

    /// Reads "image", "image_pos" (drops the centring) and "adjust_size".
    void load(RCache* cache, const Property* props) override;
    void setImage(TKAL::Image* image);
    TKAL::Image* image() const { return image_; }
    bool centred() const { return (state & PictCentred) != 0; }
    void setCentred(bool on);

    double imageX = 0;
    double imageY = 0;

protected:
    void drawContent(TKAL::Canvas* canvas, uint32_t drawParam) override;
    TKAL::Image* image_ = nullptr;
};

/// A picture that steps through the images of a list on every frame tick,
/// and can slide a picture larger than its area until an edge meets.
class AnimWidget : public PictWidget {
    G2_CLASS_INFO()
public:
    enum Motion : uint32_t { MoveHorizontal = 1, MoveVertical = 0x10, Loop = 0x100 };

    AnimWidget();
    ~AnimWidget() override;

    /// Reads "images", "frame" and "frame_rate" (always).
    void load(RCache* cache, const Property* props) override;
    int onEvent(uint32_t code, void* sender, intptr_t data) override;

    void setImages(TKAL::ImageList* images);
    TKAL::ImageList* images() const { return images_; }
    /// Moves to frame `f` modulo the number of images.
    void setFrame(double f);
    double framePosition() const { return position_; }
    /// One frame tick: advance the frames and the motion.
    void tick();

    double frameRate = 0;
    double hVelocity = 0;
    double vVelocity = 0;
    uint32_t motion = 0;

private:
    TKAL::ImageList* images_ = nullptr;
    double position_ = -1;
};

} // namespace G2
