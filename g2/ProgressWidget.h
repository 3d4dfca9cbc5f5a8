#pragma once
#include "g2/Widget.h"

namespace G2 {

struct ProgressFrameStyle;

/// A value between 0 and a positive maximum.
class ProgressWidget : public Widget {
    G2_CLASS_INFO()
public:
    ProgressWidget();
    ~ProgressWidget() override;

    void setValue(int32_t value);
    void setMaximum(int32_t maximum);
    int32_t value() const { return value_; }
    int32_t maximum() const { return maximum_; }

protected:
    int32_t value_ = 0;
    int32_t maximum_ = 100;
};

/// A progress bar drawn with the frames of a progress style: the filled
/// part grows from the left (or, for a "vert" style, from the top).
class ProgressFrameWidget : public ProgressWidget {
    G2_CLASS_INFO()
public:
    ProgressFrameWidget();
    ~ProgressFrameWidget() override;

    /// Reads "pfstyle".
    void load(RCache* cache, const Property* props) override;
    /// A null style keeps the current one.
    void setProgressStyle(ProgressFrameStyle* style);
    ProgressFrameStyle* progressStyle() const { return style_; }

protected:
    void drawContent(TKAL::Canvas* canvas, uint32_t drawParam) override;
    bool drawsChildren() const override { return false; }

private:
    ProgressFrameStyle* style_;
};

} // namespace G2
