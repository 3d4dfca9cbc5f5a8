#pragma once
#include "app/HardwareInfo.h"

#include <string>
#include <vector>

namespace app {

/// The screen modes the launcher offers and how they map to the quality
/// presets. Rows are indices into `resolutions`.
struct VideoModes {
    std::vector<Resolution> resolutions;
    /// "800x600" for each resolution.
    std::vector<std::string> names;
    /// The mode of the custom preset.
    int customMode = 0;
    /// Row 0 is the custom mode; then one row per target size found.
    std::vector<int> modeRows;
    /// The default row of each of the six presets.
    int presetModes[6] = {0, 0, 0, 0, 0, 0};

    /// Builds everything from the resolutions and the custom preset's size.
    void build(const std::vector<Resolution>& modes, uint32_t customWidth, uint32_t customHeight);
    /// 1 when the main list hides row 0 (more than 5 rows), else 0.
    int rowOffset() const { return modeRows.size() > 5 ? 1 : 0; }
    /// The rows the main panel's list shows, in order: those from the row
    /// offset on, less a row whose mode an earlier shown row already has
    /// (the custom mode is often also a target's mode).
    std::vector<int> shownRows() const;
    /// The entry of the main list that shows the mode of row `row`; -1 when
    /// none does.
    int entryOfRow(int row) const;
    /// The row behind entry `entry` of the main list; -1 when there is none.
    int rowOfEntry(int entry) const;
    /// The entry of the main list whose mode is nearest to `width` x
    /// `height` (the smallest sum of the differences; the first of equals);
    /// -1 when the list is empty.
    int nearestEntry(uint32_t width, uint32_t height) const;
    /// The mode whose area is exactly `area`, else the largest below it; -1
    /// when every mode is larger.
    int modeForArea(uint64_t area) const;
    bool empty() const { return resolutions.empty(); }
};

} // namespace app
