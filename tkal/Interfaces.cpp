// Out-of-line destructors and defaults of the display interfaces, so that
// each interface's type information lives in one place.
#include "tkal/Canvas.h"
#include "tkal/Display.h"
#include "tkal/Font.h"
#include "tkal/Frame.h"
#include "tkal/Image.h"
#include "tkal/Input.h"

namespace TKAL {

Display::~Display() = default;
Input::~Input() = default;
Canvas::~Canvas() = default;
Image::~Image() = default;
ImageList::~ImageList() = default;
ImageBand::~ImageBand() = default;
Font::~Font() = default;
Frame::~Frame() = default;

bool Input::isKeyEvent(const Event& event) const {
    return event.type == Event::KeyDown || event.type == Event::KeyUp;
}

} // namespace TKAL
