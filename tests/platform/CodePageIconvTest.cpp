// The code page against the C library's own converter of POSIX systems.
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <iconv.h>

TEST(CodePage, EveryAssignedByteAgreesWithTheSystemConverter) {
    iconv_t converter = iconv_open("UTF-8", "CP1252");
    if (converter == reinterpret_cast<iconv_t>(-1))
        GTEST_SKIP() << "the C library has no CP1252 converter";
    for (int b = 1; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            continue; // unassigned; the system converter refuses them
        char in[1] = {static_cast<char>(b)};
        char out[8] = {};
        char* inAt = in;
        char* outAt = out;
        size_t inLeft = 1;
        size_t outLeft = sizeof out;
        ASSERT_NE(iconv(converter, &inAt, &inLeft, &outAt, &outLeft), static_cast<size_t>(-1)) << b;
        EXPECT_EQ(platform::windows1252ToUtf8(std::string(1, static_cast<char>(b))),
                  std::string(out, sizeof out - outLeft))
            << "byte " << b;
    }
    iconv_close(converter);
}
