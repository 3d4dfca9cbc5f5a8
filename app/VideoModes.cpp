#include "app/VideoModes.h"

#include <algorithm>
#include <cstdlib>

namespace app {

namespace {

uint64_t areaOf(const Resolution& r) {
    return uint64_t(r.first) * r.second;
}

} // namespace

int VideoModes::modeForArea(uint64_t area) const {
    int best = -1;
    for (size_t i = 0; i < resolutions.size(); ++i) {
        uint64_t a = areaOf(resolutions[i]);
        if (a == area)
            return static_cast<int>(i);
        if (a < area && (best < 0 || a > areaOf(resolutions[size_t(best)])))
            best = static_cast<int>(i);
    }
    return best;
}

void VideoModes::build(const std::vector<Resolution>& modes, uint32_t customWidth, uint32_t customHeight) {
    resolutions = modes;
    names.clear();
    for (const Resolution& r : resolutions)
        names.push_back(std::to_string(r.first) + "x" + std::to_string(r.second));
    customMode = std::max(0, modeForArea(uint64_t(customWidth) * customHeight));

    modeRows.assign(1, customMode);
    const uint64_t targets[] = {480000, 786432, 921600, 2073600, 2304000};
    int rowFor[5] = {-1, -1, -1, -1, -1}; // the row appended for each target
    int previousMode = -1;
    for (int t = 0; t < 5; ++t) {
        int mode = modeForArea(targets[t]);
        bool add = t == 0 ? mode >= 0 : mode >= 0 && mode > previousMode;
        previousMode = mode;
        if (add) {
            rowFor[t] = static_cast<int>(modeRows.size());
            modeRows.push_back(mode);
        }
    }
    // A target without a row of its own takes the last row appended before it.
    int last = 0;
    int resolved[3];
    for (int t = 0; t < 3; ++t) {
        if (rowFor[t] >= 0)
            last = rowFor[t];
        resolved[t] = last;
    }
    const int r800 = resolved[0], r1024 = resolved[1], r1280 = resolved[2];
    // [row 0, R800, R800, R800, R1024, R1280] reversed.
    const int list[6] = {0, r800, r800, r800, r1024, r1280};
    for (int p = 0; p < 6; ++p)
        presetModes[p] = list[5 - p];
}

std::vector<int> VideoModes::shownRows() const {
    std::vector<int> shown;
    for (size_t row = size_t(rowOffset()); row < modeRows.size(); ++row) {
        const int mode = modeRows[row];
        bool repeated = std::any_of(shown.begin(), shown.end(),
                                    [&](int earlier) { return modeRows[size_t(earlier)] == mode; });
        if (!repeated)
            shown.push_back(static_cast<int>(row));
    }
    return shown;
}

int VideoModes::entryOfRow(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= modeRows.size())
        return -1;
    const std::vector<int> shown = shownRows();
    for (size_t entry = 0; entry < shown.size(); ++entry)
        if (modeRows[size_t(shown[entry])] == modeRows[size_t(row)])
            return static_cast<int>(entry);
    return -1;
}

int VideoModes::rowOfEntry(int entry) const {
    const std::vector<int> shown = shownRows();
    return entry >= 0 && static_cast<size_t>(entry) < shown.size() ? shown[size_t(entry)] : -1;
}

int VideoModes::nearestEntry(uint32_t width, uint32_t height) const {
    const std::vector<int> shown = shownRows();
    int best = -1;
    int64_t bestDistance = 0;
    for (size_t entry = 0; entry < shown.size(); ++entry) {
        const int mode = modeRows[size_t(shown[entry])];
        if (mode < 0 || static_cast<size_t>(mode) >= resolutions.size())
            continue;
        const Resolution& r = resolutions[size_t(mode)];
        int64_t distance = std::llabs(int64_t(r.first) - width) + std::llabs(int64_t(r.second) - height);
        if (best < 0 || distance < bestDistance) {
            best = static_cast<int>(entry);
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace app
