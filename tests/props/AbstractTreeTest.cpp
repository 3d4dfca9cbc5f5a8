#include "props/AbstractTree.h"
#include "platform/Process.h"

#include "tests/common/Wine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// One item of a given type and value; everything else is the default.
class OneItem : public AbstractTree {
public:
    OneItem(int type, ItemValue value) : type_(type), value_(value) {}
    unsigned count() const override { return 1; }
    int itemType(int) const override { return type_; }
    ItemValue itemValue(int) const override { return value_; }

private:
    int type_;
    ItemValue value_;
};

std::string textOf(int type, ItemValue value) {
    return OneItem(type, value).itemText(0);
}

class ZoneSetting {
public:
    explicit ZoneSetting(const char* zone) {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        platform::setEnvironment("TZ", zone);
        tzset();
    }
    ~ZoneSetting() {
        platform::setEnvironment("TZ", had_ ? old_.c_str() : nullptr);
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

} // namespace

TEST(AbstractTree, DefaultItemTextPrintsTheValueByItsType) {
    ItemValue v{};
    v.integer = -12;
    EXPECT_EQ(textOf(AbstractTree::typeInt, v), "-12");
    v = ItemValue{};
    v.single = 1.5f;
    EXPECT_EQ(textOf(AbstractTree::typeFloat, v), "1.500000");
    v.real = 0.25;
    EXPECT_EQ(textOf(AbstractTree::typeDouble, v), "0.25");
    v.real = 1e300;
    EXPECT_EQ(textOf(AbstractTree::typeDouble, v), "1e+300");

    const char* words = "tres palabras";
    v.text = words;
    OneItem text(AbstractTree::typeText, v);
    EXPECT_EQ(text.itemText(0), words); // the item's own pointer, not a copy
    v.text = nullptr;
    EXPECT_STREQ(OneItem(AbstractTree::typeText, v).itemText(0), "");

    v.integer = 7; // sub-trees, nodes and unknown types have no text
    EXPECT_EQ(textOf(AbstractTree::typeTree, v), "");
    EXPECT_EQ(textOf(AbstractTree::typeProperty, v), "");
    EXPECT_EQ(textOf(4, v), "");
}

TEST(AbstractTree, TimeItemsPrintInLocalTime) {
    ItemValue v{};
    v.time = 0;
    {
        ZoneSetting utc("UTC0");
        EXPECT_EQ(textOf(AbstractTree::typeTime, v), "1970-01-01 00:00:00");
    }
    {
        ZoneSetting newYork("EST5");
        EXPECT_EQ(textOf(AbstractTree::typeTime, v), "1969-12-31 19:00:00");
        v.time = 1700000000u; // 2023-11-14 22:13:20 UTC
        EXPECT_EQ(textOf(AbstractTree::typeTime, v), "2023-11-14 17:13:20");
    }
    {
        ZoneSetting utc("UTC0");
        v.time = 0xFFFFFFFFu; // the last second a 32-bit stamp holds
        // A 32-bit program under Wine gets its local time from Wine's 32-bit
        // half, whose host clock ends in 2038; Windows' own run-time goes on
        // to the year 3000.
        if (!(testkit::underWine() && sizeof(void*) == 4)) {
            EXPECT_EQ(textOf(AbstractTree::typeTime, v), "2106-02-07 06:28:15");
        }
    }
}

TEST(AbstractTree, KindTestIsEqualityUnlessTheRegistryListsMoreBases) {
    EXPECT_TRUE(AbstractTree::isKindOf(32, 32));
    EXPECT_FALSE(AbstractTree::isKindOf(800, 32));
    EXPECT_FALSE(AbstractTree::isKindOf(901, 32));

    static const int bases[] = {32, 16, 0};
    AbstractTree::registerKind(901, bases);
    EXPECT_TRUE(AbstractTree::isKindOf(901, 32));
    EXPECT_TRUE(AbstractTree::isKindOf(901, 16));
    EXPECT_FALSE(AbstractTree::isKindOf(901, 3));
    EXPECT_FALSE(AbstractTree::isKindOf(32, 901)); // bases are not symmetric
    AbstractTree::registerKind(901, nullptr);
    EXPECT_FALSE(AbstractTree::isKindOf(901, 32));
}
