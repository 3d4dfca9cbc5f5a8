// Ranges read ahead on a helper thread: handed over in order, never more
// than the limit waiting, and an early stop or a failed read end it cleanly.
#include "delta/ReadAhead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

// Answers each range with its name repeated `length` times; fails at the
// range named `failAt`.
class NamedReader : public ChunkStoreReader {
public:
    int32_t read(const std::string& relative, int64_t, int64_t length, std::string& out) override {
        if (relative == failAt)
            return 224;
        ++reads;
        out.clear();
        for (int64_t i = 0; i < length; ++i)
            out += relative;
        return 0;
    }
    std::string failAt;
    std::atomic<int> reads{0};
};

std::vector<StoreRange> ranges(int count) {
    std::vector<StoreRange> out;
    for (int i = 0; i < count; ++i)
        out.push_back(StoreRange{"r" + std::to_string(i), 0, i % 7 + 1});
    return out;
}

} // namespace

TEST(ReadAhead, RangesArriveInOrderAndAStopOrAFailureEndsTheReading) {
    const std::vector<StoreRange> wanted = ranges(200);
    for (size_t limit : {size_t(1), size_t(64), readAheadLimit}) {
        NamedReader reader;
        std::vector<std::string> got;
        ASSERT_EQ(readAhead(
                      reader, wanted,
                      [&](size_t i, std::string& bytes) {
                          EXPECT_EQ(i, got.size());
                          got.push_back(bytes);
                          return true;
                      },
                      limit),
                  0);
        ASSERT_EQ(got.size(), wanted.size()) << "limit " << limit;
        for (size_t i = 0; i < got.size(); ++i) {
            std::string expected;
            for (int64_t k = 0; k < wanted[i].length; ++k)
                expected += wanted[i].relative;
            EXPECT_EQ(got[i], expected);
        }
    }

    // The taker stops at the tenth: the reading ends, within the limit.
    NamedReader stopped;
    size_t taken = 0;
    EXPECT_EQ(readAhead(
                  stopped, wanted, [&](size_t, std::string&) { return ++taken < 10; }, 16),
              0);
    EXPECT_EQ(taken, 10u);
    EXPECT_LT(stopped.reads.load(), 40);

    // A read fails: every range before it was taken, then its error.
    NamedReader failing;
    failing.failAt = "r50";
    taken = 0;
    EXPECT_EQ(readAhead(failing, wanted, [&](size_t, std::string&) { return ++taken, true; }), 224);
    EXPECT_EQ(taken, 50u);
}
