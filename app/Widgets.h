#pragma once
// Small builders for the launcher's windows: every control is made with the
// metrics of the launcher configuration and appended to a parent.
#include <cstdint>
#include <string>

namespace TKAL {
class Font;
class Frame;
} // namespace TKAL

namespace G2 {
class EditWidget;
class LabelButtonWidget;
class LabelPushButtonWidget;
class LabelWidget;
class ProgressFrameWidget;
class PushButtonWidget;
class Widget;
struct ProgressFrameStyle;
struct PushButtonStyle;
} // namespace G2

namespace app {

/// A box laid out along `flow`, with an optional frame.
G2::Widget* addBox(G2::Widget* parent, uint8_t flow, int spacing = 0, int border = 0,
                   TKAL::Frame* frame = nullptr);
/// Sizes a widget to what its children need (at least its current size).
void fitToContent(G2::Widget* widget);
/// A line of text `height` high, justified at the start unless said.
G2::LabelWidget* addLabel(G2::Widget* parent, const std::string& text, int height, TKAL::Font* font = nullptr,
                          uint8_t justify = 0);
/// A push button of size `w` x `h` with a centred caption.
G2::LabelButtonWidget* addButton(G2::Widget* parent, const std::string& text, int id, int w, int h);
/// A check box: a toggle button with the given look.
G2::PushButtonWidget* addCheckBox(G2::Widget* parent, int id, int w, int h, G2::PushButtonStyle* look);
/// A text field `w` x `h` with a red caret 2 pixels wide.
G2::EditWidget* addEdit(G2::Widget* parent, int w, int h, TKAL::Frame* frame);
/// A progress bar `height` high that fills the width.
G2::ProgressFrameWidget* addBar(G2::Widget* parent, int height, G2::ProgressFrameStyle* style);

} // namespace app
