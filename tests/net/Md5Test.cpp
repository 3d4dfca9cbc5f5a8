#include "net/Md5.h"
#include "net/UrlEscape.h"
#include "tests/common/ReferenceMd5.h"

#include <gtest/gtest.h>

#include <random>

TEST(Md5Test, Rfc1321Suite) {
    const std::pair<const char*, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : suite) {
        SCOPED_TRACE(text);
        Md5 whole(text);
        EXPECT_STREQ(whole.hexDigest(), digest);
        EXPECT_STREQ(whole.hexDigest(), digest); // later calls answer the same
        Md5 pieces;
        for (const char* p = text; *p != '\0'; ++p)
            pieces.update(p, 1);
        EXPECT_STREQ(pieces.hexDigest(), digest);
    }
}

TEST(Md5Test, LengthRulesAndFinalisation) {
    Md5 none(nullptr);
    EXPECT_STREQ(none.hexDigest(), "d41d8cd98f00b204e9800998ecf8427e");

    // Binary data with zero bytes inside; a zero length adds nothing.
    const char binary[] = {'a', '\0', 'b'};
    Md5 withZero(binary, sizeof binary);
    withZero.update(binary, 0);
    Md5 reference;
    reference.update(std::string(binary, sizeof binary));
    EXPECT_STREQ(withZero.hexDigest(), reference.hexDigest());
    EXPECT_STRNE(withZero.hexDigest(), Md5("a").hexDigest());

    Md5 done("abc");
    done.hexDigest();
    done.update("more");
    EXPECT_STREQ(done.hexDigest(), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(done.digest()[0], 0x90);
    EXPECT_EQ(Md5::hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5Test, MatchesAnIndependentMd5OnRandomDataFedInOddPieces) {
    std::mt19937 random(1321);
    std::string data(3 * 1000 * 1000 + 17, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    const std::string expected = nettest::referenceMd5(data);
    ASSERT_EQ(expected.size(), 32u);

    const size_t sizes[] = {1, 3, 63, 64, 65, 127, 4096, 7, 100000, 55, 56, 57};
    Md5 md5;
    size_t offset = 0;
    for (size_t i = 0; offset < data.size(); ++i) {
        size_t take = std::min(sizes[i % (sizeof sizes / sizeof sizes[0])], data.size() - offset);
        md5.update(data.data() + offset, take);
        offset += take;
    }
    EXPECT_EQ(md5.hexDigest(), expected);
    EXPECT_EQ(Md5(data.data(), data.size()).hexDigest(), expected);
}

TEST(UrlEscapeTest, EscapesWhatARequestLineCannotCarry) {
    EXPECT_EQ(urlEscape("a b&c?d\"e"), "a%20b%26c%3Fd%22e");
    EXPECT_EQ(urlEscape("caf\xE9"), "caf%E9");
    EXPECT_EQ(urlEscape(std::string("\x00\x1F\x7F\x80\xFF", 5)), "%00%1F%7F%80%FF");
    EXPECT_EQ(urlEscape("/updates/v1/Data/file.pak.zz"), "/updates/v1/Data/file.pak.zz");
    EXPECT_EQ(urlEscape("/a%2F#x+y~!"), "/a%2F#x+y~!");
    EXPECT_EQ(urlEscape(""), "");
}
