#include "support/XLog2.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct Line {
    std::string sink;
    std::string text;
    uint32_t flags;
};

std::vector<Line> lines;

void sinkA(const char* text, uint32_t flags, int64_t) {
    lines.push_back({"A", text, flags});
}
void sinkB(const char* text, uint32_t flags, int64_t) {
    lines.push_back({"B", text, flags});
}
void sinkC(const char* text, uint32_t flags, int64_t) {
    lines.push_back({"C", text, flags});
}

class XLog2Test : public ::testing::Test {
protected:
    void SetUp() override { lines.clear(); }
    XLog2_Impl log;
};

} // namespace

TEST_F(XLog2Test, NamesItselfAndStartsWithoutSinks) {
    EXPECT_STREQ(log.interfaceName(), "com.tarvelle.XLog2");
    log.write(1, "dropped");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(log.removeSink(1), 0u);
    EXPECT_EQ(log.setSinkMask(1, 5), 0u);
}

TEST_F(XLog2Test, OneLineMessagesCarryBothPositionBitsAndTheMaskedCategory) {
    log.addSink(sinkA, 0xFFFFFFFF);
    log.setMask(0x2100);
    log.write(0x2001, "POST /xcmd");
    log.format(0x100, "TTF_Init %s %d", "ERROR", 7);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "POST /xcmd");
    EXPECT_EQ(lines[0].flags, 0x30002000u);
    EXPECT_EQ(lines[1].text, "TTF_Init ERROR 7");
    EXPECT_EQ(lines[1].flags, 0x30000100u);
}

TEST_F(XLog2Test, MaskZeroSilencesAndAnswersThePreviousMask) {
    log.addSink(sinkA, 0xFFFFFFFF);
    EXPECT_EQ(log.setMask(0), 0xFFFFFFFFu);
    log.write(0xFFFFFFFF, "x");
    log.format(0xFFFFFFFF, "%s", "y");
    unsigned char byte = 1;
    log.dump(0xFFFFFFFF, &byte, 1);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(log.setMask(7), 0u);
}

TEST_F(XLog2Test, SinkMasksFilterAndPositionBitsReachPositionSinks) {
    log.addSink(sinkA, 0x4);
    uint32_t b = log.addSink(sinkB, 0x10000000); // every first line
    log.write(0x8, "only B");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].sink, "B");
    EXPECT_EQ(log.setSinkMask(b, 0x8), 0x10000000u);
    EXPECT_EQ(log.setSinkMask(99, 1), 0u);
}

TEST_F(XLog2Test, AtMostFourSinksAndRemovalKeepsOrder) {
    uint32_t a = log.addSink(sinkA, ~0u);
    uint32_t b = log.addSink(sinkB, ~0u);
    uint32_t c = log.addSink(sinkC, ~0u);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 2u);
    EXPECT_EQ(c, 3u);
    EXPECT_EQ(log.addSink(sinkA, ~0u), 4u);
    EXPECT_EQ(log.addSink(sinkA, ~0u), 0u); // a fifth is refused
    EXPECT_EQ(log.removeSink(4), 4u);
    EXPECT_EQ(log.removeSink(b), b);
    EXPECT_EQ(log.removeSink(b), 0u);
    log.write(1, "m");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].sink, "A");
    EXPECT_EQ(lines[1].sink, "C");
    EXPECT_EQ(log.addSink(sinkB, ~0u), 5u); // ids are never reused
}

TEST_F(XLog2Test, HexDumpLinesAreExact) {
    log.addSink(sinkA, ~0u);
    const unsigned char three[] = {0x41, 0x00, 0xFF};
    log.dump(0x40, three, 3);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].flags, 0x30000040u);
    EXPECT_EQ(lines[0].text, "     0:  41  0 FF                                          A..              ");
    EXPECT_EQ(lines[0].text.size(), 76u);

    lines.clear();
    unsigned char bytes[17];
    for (int i = 0; i < 17; ++i)
        bytes[i] = static_cast<unsigned char>('a' + i);
    log.dump(1, bytes, 16);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].flags, 0x30000001u);
    EXPECT_EQ(lines[0].text, "     0:  61 62 63 64 65 66 67 68  69 6A 6B 6C 6D 6E 6F 70  abcdefgh ijklmnop");

    lines.clear();
    log.dump(1, bytes, 17);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].flags, 0x10000001u);
    EXPECT_EQ(lines[1].flags, 0x20000001u);
    EXPECT_EQ(lines[1].text, "    10:  71                                                q                ");

    lines.clear();
    log.dump(1, bytes, 0);
    EXPECT_TRUE(lines.empty());
}

TEST_F(XLog2Test, LongFormattedMessagesAreCutToTheBuffer) {
    log.addSink(sinkA, ~0u);
    std::string big(5000, 'x');
    log.format(1, "%s", big.c_str());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.size(), 4095u);
}

namespace {
std::atomic<int> delivered{0};
void countingSink(const char*, uint32_t, int64_t) {
    ++delivered;
}
} // namespace

TEST(XLog2, ManyThreadsLogThroughOneInstance) {
    XLog2* log = xlog();
    EXPECT_EQ(log, xlog());
    uint32_t id = log->addSink(countingSink, ~0u);
    ASSERT_NE(id, 0u);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([log] {
            for (int i = 0; i < 500; ++i)
                log->format(1, "line %d", i);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(delivered, 2000);
    EXPECT_EQ(log->removeSink(id), id);
}
