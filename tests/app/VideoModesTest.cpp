#include "app/VideoModes.h"
#include "app/ListData.h"

#include <gtest/gtest.h>

using app::VideoModes;

TEST(VideoModes, RowsForEachTargetSizeAndPresetDefaults) {
    VideoModes m;
    m.build({{800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}, {1920, 1200}}, 1280, 1024);
    EXPECT_EQ(m.names[1], "1024x768");
    EXPECT_EQ(m.customMode, 3);
    EXPECT_EQ(m.modeRows, (std::vector<int>{3, 0, 1, 2, 4, 5}));
    EXPECT_EQ(m.rowOffset(), 1); // six rows: row 0 is not shown
    EXPECT_EQ(std::vector<int>(m.presetModes, m.presetModes + 6), (std::vector<int>{3, 2, 1, 1, 1, 0}));
}

TEST(VideoModes, NoTargetFoundLeavesOnlyTheCustomRow) {
    VideoModes m;
    m.build({{1920, 1440}}, 0, 0);
    EXPECT_EQ(m.customMode, 0);
    EXPECT_EQ(m.modeRows, std::vector<int>{0});
    EXPECT_EQ(m.rowOffset(), 0);
    for (int p : m.presetModes)
        EXPECT_EQ(p, 0);
}

TEST(VideoModes, ATargetResolvingToThePreviousModeAddsNoRow) {
    VideoModes m;
    m.build({{800, 600}, {1024, 768}}, 1024, 768); // 1280 x 720 resolves to 1024 x 768 again
    EXPECT_EQ(m.modeRows, (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(m.presetModes[0], 2); // presets 0 and 1 share the 1024 x 768 row
    EXPECT_EQ(m.presetModes[1], 2);
    EXPECT_EQ(m.presetModes[2], 1);
    EXPECT_EQ(m.presetModes[5], 0);
}

TEST(VideoModes, TheMainListShowsEachModeOnceAndFindsTheNearest) {
    VideoModes m;
    m.build({{800, 600}, {1024, 768}}, 1024, 768); // rows 1, 0, 1
    app::MenuVideoList list(&m);
    ASSERT_EQ(list.count(), 2u);
    EXPECT_STREQ(list.itemText(0), "1024x768");
    EXPECT_STREQ(list.itemText(1), "800x600");
    EXPECT_EQ(m.entryOfRow(2), 0); // the preset's row shows as the custom mode's entry
    EXPECT_EQ(m.rowOfEntry(1), 1);
    EXPECT_EQ(m.nearestEntry(640, 480), 1);

    VideoModes one; // one size, as under Xvfb: the custom row and the 1920 x 1080 target's
    one.build({{1280, 1024}}, 1280, 720);
    EXPECT_EQ(app::MenuVideoList(&one).count(), 1u);
}

TEST(VideoModes, FiveRowsAreShownUnshifted) {
    VideoModes m;
    m.build({{800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}}, 1280, 1024);
    EXPECT_EQ(m.modeRows, (std::vector<int>{3, 0, 1, 2, 4}));
    EXPECT_EQ(m.rowOffset(), 0);
    app::MenuVideoList list(&m);
    EXPECT_EQ(list.count(), 5u);
    EXPECT_STREQ(list.itemText(0), "1280x1024");
}

TEST(VideoModes, CustomModeIsTheLargestAreaNotAboveTheCustomSize) {
    VideoModes m;
    m.build({{800, 600}, {1024, 768}, {1280, 1024}}, 1100, 800);
    EXPECT_EQ(m.customMode, 1);
    EXPECT_EQ(m.modeForArea(100), -1);
}

TEST(ListData, ListsHideFirstPresetsAndAnswerNothingOutOfRange) {
    std::vector<std::string> entries{"p0", "p1", "p2", "p3", "p4", "6. Personal"};
    int machineClass = 3;
    app::MenuList menu(&entries, &machineClass);
    EXPECT_EQ(menu.count(), 3u);
    EXPECT_STREQ(menu.itemText(0), "p3");
    EXPECT_STREQ(menu.itemText(2), "6. Personal");
    EXPECT_EQ(menu.itemText(3), nullptr);
    EXPECT_EQ(menu.itemText(-1), nullptr);
    EXPECT_EQ(menu.itemFlags(3), 0u);
    EXPECT_EQ(menu.itemValue(7).text, nullptr);
    EXPECT_NE(menu.itemFlags(0), 0u);

    VideoModes none;
    none.build({}, 0, 0);
    app::MenuVideoList videos(&none);
    EXPECT_EQ(videos.count(), 0u); // no resolution: nothing to choose
    app::ListaVideoMode all(&none);
    EXPECT_EQ(all.count(), 0u);
    app::NullListData nothing;
    EXPECT_EQ(nothing.count(), 0u);
    EXPECT_EQ(nothing.itemText(0), nullptr);
}
