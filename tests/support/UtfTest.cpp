#include "support/Utf.h"

#include <gtest/gtest.h>

#include <vector>

using support::utf16ToUtf8;
using support::utf8ToUtf16;

TEST(Utf, OneTwoAndThreeByteSequencesDecode) {
    uint16_t out[8] = {};
    int n = utf8ToUtf16("a\xC3\xB1\xE2\x82\xAC", out, 8); // a, ñ, €
    ASSERT_EQ(n, 3);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[1], 0xF1);
    EXPECT_EQ(out[2], 0x20AC);
}

TEST(Utf, DecodingStopsAtBadBytesAndAtTheLimit) {
    uint16_t out[8] = {};
    EXPECT_EQ(utf8ToUtf16("ab\x80z", out, 8), 2);            // stray continuation byte
    EXPECT_EQ(utf8ToUtf16("a\xF0\x9F\x98\x80z", out, 8), 1); // four-byte lead
    EXPECT_EQ(utf8ToUtf16("a\xC3", out, 8), 1);              // sequence cut by the end
    EXPECT_EQ(utf8ToUtf16("a\xE2\x82", out, 8), 1);
    EXPECT_EQ(utf8ToUtf16("abcdef", out, 3), 3);
    EXPECT_EQ(utf8ToUtf16(nullptr, out, 3), 0);
}

TEST(Utf, EncodingUsesOneTwoOrThreeBytesAndRoundTrips) {
    const uint16_t text[] = {'A', 0xF1, 0x20AC, 0xD83D, 0};
    std::string out = "x";
    utf16ToUtf8(text, out);
    EXPECT_EQ(out, "xA\xC3\xB1\xE2\x82\xAC\xED\xA0\xBD"); // the lone surrogate is encoded as is
    utf16ToUtf8(nullptr, out);
    EXPECT_EQ(out.size(), 10u);

    std::string back;
    uint16_t units[4] = {};
    int n = utf8ToUtf16("\xC3\xA1rbol", units, 3);
    std::vector<uint16_t> terminated(units, units + n);
    terminated.push_back(0);
    utf16ToUtf8(terminated.data(), back);
    EXPECT_EQ(back, "\xC3\xA1rb");
}
