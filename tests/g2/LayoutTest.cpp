#include "g2/Widget.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using G2::Widget;

namespace {

// A parent whose content is `cw` x `ch`, with `n` children of the given
// preferred sizes.
struct Box {
    Box(uint8_t flow, int cw, int ch, std::vector<std::pair<int, int>> sizes) {
        parent.flow = flow;
        parent.setSize(cw, ch);
        for (auto [w, h] : sizes) {
            auto c = std::make_unique<Widget>();
            c->setSize(w, h);
            children.push_back(parent.append(std::move(c)));
        }
    }
    void arrange() { parent.arrange(parent.contentRect()); }
    std::vector<int> ys() const {
        std::vector<int> out;
        for (Widget* c : children)
            out.push_back(c->y);
        return out;
    }
    Widget parent;
    std::vector<Widget*> children;
};

} // namespace

TEST(Layout, VerticalGravityPlacesChildrenAtStartEndOrCentre) {
    Box box(G2::FlowVertical, 50, 100, {{10, 20}, {10, 20}, {10, 20}});
    box.parent.spacing = 5;
    box.parent.gravity = G2::GravityStart;
    box.arrange();
    EXPECT_EQ(box.ys(), (std::vector<int>{0, 25, 50}));
    box.parent.gravity = G2::GravityEnd;
    box.arrange();
    EXPECT_EQ(box.ys(), (std::vector<int>{30, 55, 80}));
    box.parent.gravity = G2::GravityCenter; // spacing ignored: gaps of (100 - 60) / 4
    box.arrange();
    EXPECT_EQ(box.ys(), (std::vector<int>{10, 40, 70}));
    // The cross axis follows each child's align: centre by default.
    EXPECT_EQ(box.children[0]->x, 20);
    box.children[1]->align = G2::AlignEnd;
    box.children[2]->expand = G2::ExpandHorizontal;
    box.arrange();
    EXPECT_EQ(box.children[1]->x, 40);
    EXPECT_EQ(box.children[2]->x, 0);
    EXPECT_EQ(box.children[2]->w, 50);
}

TEST(Layout, ExpandersShareTheFreeSpaceAndInvisibleChildrenTakeNone) {
    Box box(G2::FlowVertical, 50, 100, {{10, 20}, {10, 20}, {10, 20}});
    box.parent.spacing = 5;
    box.children[1]->expand = G2::ExpandVertical;
    box.arrange();
    EXPECT_EQ(box.ys(), (std::vector<int>{0, 25, 80}));
    EXPECT_EQ(box.children[1]->h, 50);

    box.children[0]->setVisible(false);
    box.arrange(); // two visible: extra = 100 - 5 - 40 = 55
    EXPECT_EQ(box.children[1]->y, 0);
    EXPECT_EQ(box.children[1]->h, 75);
    EXPECT_EQ(box.children[2]->y, 80);
}

TEST(Layout, HorizontalExpandersKeepTheRemainderUnused) {
    Box box(G2::FlowHorizontal, 101, 30, {{10, 10}, {10, 10}});
    for (Widget* c : box.children)
        c->expand = G2::ExpandHorizontal;
    box.arrange();
    EXPECT_EQ(box.children[0]->x, 0);
    EXPECT_EQ(box.children[0]->w, 50);
    EXPECT_EQ(box.children[1]->x, 50);
    EXPECT_EQ(box.children[1]->w, 50);
}

TEST(Layout, NegativeSharesShrinkExpandersButNeverBelowZero) {
    Box box(G2::FlowHorizontal, 20, 30, {{15, 10}, {15, 10}});
    box.children[1]->expand = G2::ExpandHorizontal;
    box.arrange(); // extra = 20 - 30 = -10
    EXPECT_EQ(box.children[1]->w, 5);
    box.children[0]->expand = G2::ExpandHorizontal;
    box.parent.setSize(2, 30);
    box.arrange(); // extra = (2 - 30) / 2 = -14 each: 1 pixel left
    EXPECT_EQ(box.children[0]->w, 1);
    box.parent.setSize(0, 30);
    box.arrange();
    EXPECT_EQ(box.children[0]->w, 0);
}

TEST(Layout, MeasuringGrowsThePreferredSizeButNeverShrinksIt) {
    Box box(G2::FlowVertical, 10, 10, {{30, 10}, {50, 20}});
    box.parent.border = 4;
    box.parent.spacing = 2;
    box.parent.preferredW = box.parent.preferredH = 0;
    box.parent.measure();
    EXPECT_EQ(box.parent.preferredW, 58);
    EXPECT_EQ(box.parent.preferredH, 40);

    Box large(G2::FlowVertical, 200, 200, {{30, 10}});
    large.parent.measure();
    EXPECT_EQ(large.parent.preferredW, 200);
    EXPECT_EQ(large.parent.preferredH, 200);
}

TEST(Layout, StackPlacesEachChildAgainstTheWholeContent) {
    Box box(G2::FlowStack, 100, 60, {{20, 10}, {20, 10}, {20, 10}});
    box.children[0]->expand = G2::ExpandHorizontal;
    box.children[0]->align = G2::AlignEnd;
    box.children[1]->expand = G2::ExpandBoth;
    box.children[2]->x = 7;
    box.children[2]->align = G2::AlignStart; // left where it is
    box.arrange();
    EXPECT_EQ(box.children[0]->w, 100);
    EXPECT_EQ(box.children[0]->y, 50);
    EXPECT_EQ(box.children[1]->w, 100);
    EXPECT_EQ(box.children[1]->h, 60);
    EXPECT_EQ(box.children[2]->x, 7);
    box.children[2]->align = G2::AlignCenter;
    box.arrange();
    EXPECT_EQ(box.children[2]->x, 40);
    EXPECT_EQ(box.children[2]->y, 25);
}

TEST(Layout, ResizingAChildMarksItForItsOwnLayout) {
    Box box(G2::FlowVertical, 100, 100, {{10, 10}});
    box.children[0]->expand = G2::ExpandBoth;
    box.children[0]->needsLayout = 0;
    box.arrange();
    EXPECT_EQ(box.children[0]->h, 100);
    EXPECT_TRUE(box.children[0]->needsLayout);
    EXPECT_FALSE(box.parent.needsLayout);
}
