#include "tkal/Types.h"

#include <algorithm>

namespace TKAL {

Rect intersect(const Rect& a, const Rect& b) {
    int x = std::max<int>(a.x, b.x);
    int y = std::max<int>(a.y, b.y);
    int right = std::min<int>(a.x + a.w, b.x + b.w);
    int bottom = std::min<int>(a.y + a.h, b.y + b.h);
    Rect r;
    r.x = static_cast<int16_t>(x);
    r.y = static_cast<int16_t>(y);
    r.w = static_cast<uint16_t>(right > x ? right - x : 0);
    r.h = static_cast<uint16_t>(bottom > y ? bottom - y : 0);
    return r;
}

} // namespace TKAL
