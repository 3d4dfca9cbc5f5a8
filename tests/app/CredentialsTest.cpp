#include "app/Credentials.h"

#include <gtest/gtest.h>

TEST(Credentials, EachPositionIsShiftedByItsPlaceModuloTen) {
    std::string stored = app::encodeCredentials("aaaaaaaaa", "aa"); // 9 + ':' + 2
    ASSERT_EQ(stored.size(), 12u);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(stored[size_t(i)], char('a' + i + 1)) << i;
    EXPECT_EQ(stored[9], ':'); // the tenth is stored unchanged
    EXPECT_EQ(stored[10], char('a' + 1));
    EXPECT_EQ(stored[11], char('a' + 2));

    std::string wrap = app::shiftText(std::string(1, char(255)), +1);
    EXPECT_EQ(static_cast<unsigned char>(wrap[0]), 0u); // modulo 256
}

TEST(Credentials, DecodingSplitsAtTheFirstColon) {
    std::string user, pass;
    app::decodeCredentials(app::encodeCredentials("600123456", "p:ss:wd"), user, pass);
    EXPECT_EQ(user, "600123456");
    EXPECT_EQ(pass, "p:ss:wd");
    app::decodeCredentials(app::shiftText("nocolon", +1), user, pass);
    EXPECT_EQ(user, "");
    EXPECT_EQ(pass, "");
    std::string bytes = "\xF1\xE9";
    app::decodeCredentials(app::encodeCredentials(bytes, bytes), user, pass);
    EXPECT_EQ(pass, bytes);
}
