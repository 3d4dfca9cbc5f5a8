#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Splits a copy of `text` and answers the words stored and the count.
std::vector<std::string> split(const std::string& text, int max, int* count = nullptr) {
    std::vector<char> line(text.begin(), text.end());
    line.push_back('\0');
    std::vector<char*> words(static_cast<size_t>(max) + 1, reinterpret_cast<char*>(1));
    int n = app::splitCommandLine(line.data(), words.data(), max);
    if (count)
        *count = n;
    std::vector<std::string> out;
    for (int i = 0; i < n && i < max; ++i)
        out.emplace_back(words[static_cast<size_t>(i)]);
    if (n < max) {
        EXPECT_EQ(words[static_cast<size_t>(n)], nullptr);
    }
    return out;
}

} // namespace

TEST(SplitCommandLine, BlanksSeparateWordsAndQuotesGroupThem) {
    EXPECT_EQ(split("  a\tbb\r\nccc  ", 9), (std::vector<std::string>{"a", "bb", "ccc"}));
    EXPECT_EQ(split("\"-n\" \"C:\\Program Files\\x.exe\"", 9),
              (std::vector<std::string>{"-n", "C:\\Program Files\\x.exe"}));
    EXPECT_EQ(split("a \"\" b", 9), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(split("\"a\\\"b\" c", 9), (std::vector<std::string>{"a\\\"b", "c"}));
    EXPECT_EQ(split("\"open to the end", 9), (std::vector<std::string>{"open to the end"}));
    EXPECT_EQ(split("x \"", 9), (std::vector<std::string>{"x"})); // a lone quote at the end is no word
}

TEST(SplitCommandLine, EmptyLineStoresANullAndAnswersZero) {
    int count = -1;
    EXPECT_TRUE(split("", 9, &count).empty());
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(split("   ", 9, &count).empty());
    EXPECT_EQ(count, 0);
}

TEST(SplitCommandLine, TheLastStoredWordRunsToTheEndOfTheLine) {
    int count = 0;
    auto words = split("1 2 3 4 5 6 7 8 9 10  11", 9, &count);
    EXPECT_EQ(count, 11);
    ASSERT_EQ(words.size(), 9u);
    EXPECT_EQ(words[7], "8");
    EXPECT_EQ(words[8], "9 10  11");
}

TEST(LimitWords, MoreThanNineWordsJoinTheRestIntoTheNinth) {
    std::vector<std::string> words{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"};
    auto kept = app::limitWords(words, 9);
    ASSERT_EQ(kept.size(), 9u);
    EXPECT_EQ(kept[8], "9 10 11");
    EXPECT_EQ(app::limitWords({"-n"}, 9), std::vector<std::string>{"-n"});
    EXPECT_TRUE(app::limitWords({}, 9).empty());
}
