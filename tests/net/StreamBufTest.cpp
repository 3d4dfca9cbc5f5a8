#include "net/StreamBuf.h"

#include "tests/common/FakeSocket.h"

#include <gtest/gtest.h>

#include <istream>
#include <ostream>

using nettest::FakeSocket;

namespace {

std::string readAll(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(StreamBufTest, ReadLimitCountsBufferedBytesAndEndsTheStreamThere) {
    FakeSocket socket({"abcd", "efghijklmnop"});
    INet::StreamBuf buffer(&socket);
    std::istream in(&buffer);
    EXPECT_EQ(in.get(), 'a');    // buffers "abcd"
    buffer.setReadLimit(10 - 1); // "bcd" buffered, 6 more allowed
    EXPECT_EQ(readAll(in), "bcdefghij");
    ASSERT_EQ(socket.readLengths.size(), 2u);
    EXPECT_EQ(socket.readLengths[1], 6);
    EXPECT_FALSE(buffer.truncated());

    // With nothing left of the body the socket is not touched again.
    in.clear();
    EXPECT_EQ(in.get(), std::char_traits<char>::eof());
    EXPECT_EQ(socket.readLengths.size(), 2u);
}

TEST(StreamBufTest, BytesBeyondTheLimitAreDropped) {
    FakeSocket socket({"HEAD|bodyEXTRA"});
    INet::StreamBuf buffer(&socket);
    std::istream in(&buffer);
    std::string head;
    std::getline(in, head, '|');
    buffer.setReadLimit(4);
    EXPECT_TRUE(buffer.dropped());
    EXPECT_EQ(buffer.unreadBody(), 4);
    EXPECT_EQ(readAll(in), "body");
    EXPECT_EQ(socket.readLengths.size(), 1u);
}

TEST(StreamBufTest, PeerCloseEndsTheStreamAndMarksAShortBody) {
    FakeSocket socket({"12345"});
    INet::StreamBuf buffer(&socket);
    std::istream in(&buffer);
    buffer.setReadLimit(8);
    EXPECT_EQ(readAll(in), "12345");
    EXPECT_TRUE(buffer.truncated());

    // Unlimited reads end at the close without complaint; would-block and
    // errors end the stream alike.
    FakeSocket closing({"xy"});
    closing.endResult = -2;
    INet::StreamBuf unlimited(&closing);
    std::istream rest(&unlimited);
    EXPECT_EQ(readAll(rest), "xy");
    EXPECT_FALSE(unlimited.truncated());
}

TEST(StreamBufTest, LargeReadsGoStraightToTheCallerWithinTheLimit) {
    const std::string body(20000, 'b');
    FakeSocket socket({"HEAD|" + body.substr(0, 100), body.substr(100), "NEXT"});
    INet::StreamBuf buffer(&socket);
    std::istream in(&buffer);
    std::string head;
    std::getline(in, head, '|');
    buffer.setReadLimit(static_cast<int64_t>(body.size()));

    std::string got(16384, '\0');
    ASSERT_EQ(buffer.sgetn(&got[0], 16384), 16384);
    EXPECT_EQ(got, body.substr(0, 16384));
    ASSERT_EQ(socket.readLengths.size(), 2u);
    EXPECT_EQ(socket.readLengths[1], 16384 - 100) << "one read into the caller's buffer for the rest";
    EXPECT_EQ(buffer.unreadBody(), 20000 - 16384);

    // The rest is below an area: read through it, and no further than the
    // body, so the next response stays in the socket.
    ASSERT_EQ(buffer.sgetn(&got[0], 16384), 20000 - 16384);
    EXPECT_EQ(got.substr(0, 20000 - 16384), body.substr(16384));
    EXPECT_EQ(socket.readLengths.back(), 20000 - 16384);
    EXPECT_EQ(buffer.unreadBody(), 0);
    EXPECT_FALSE(buffer.truncated());
    EXPECT_EQ(socket.chunks.front(), "NEXT");
}

TEST(StreamBufTest, ALargeReadCutShortMarksTheBody) {
    FakeSocket socket({std::string(5000, 'x'), std::string(3000, 'y')});
    INet::StreamBuf buffer(&socket);
    buffer.setReadLimit(10000);
    std::string got(10000, '\0');
    EXPECT_EQ(buffer.sgetn(&got[0], 10000), 8000) << "every byte the peer sent, in two direct reads";
    EXPECT_EQ(got.substr(4990, 20), std::string(10, 'x') + std::string(10, 'y'));
    EXPECT_TRUE(buffer.truncated());

    FakeSocket unlimited({std::string(5000, 'z')});
    INet::StreamBuf open(&unlimited);
    EXPECT_EQ(open.sgetn(&got[0], 10000), 5000);
    EXPECT_FALSE(open.truncated());
}

TEST(StreamBufTest, PutAreaHolds4095BytesAndTheNextOneFlushes4096) {
    FakeSocket socket;
    INet::StreamBuf buffer(&socket);
    std::ostream out(&buffer);
    out << std::string(4095, 'a');
    EXPECT_TRUE(socket.writeLengths.empty());
    out.put('b');
    ASSERT_EQ(socket.writeLengths.size(), 1u);
    EXPECT_EQ(socket.writeLengths[0], 4096);
    EXPECT_EQ(socket.written, std::string(4095, 'a') + "b");

    out << "tail";
    out.flush();
    EXPECT_EQ(socket.writeLengths.back(), 4);
    EXPECT_TRUE(out.good());
}

TEST(StreamBufTest, PartialWritesAreCompletedAndFailuresMakeTheStreamBad) {
    FakeSocket socket;
    socket.maxWrite = 3;
    INet::StreamBuf buffer(&socket);
    std::ostream out(&buffer);
    out << "0123456789";
    out.flush();
    EXPECT_TRUE(out.good());
    EXPECT_EQ(socket.written, "0123456789");

    FakeSocket failing;
    failing.failWrites = true;
    INet::StreamBuf broken(&failing);
    std::ostream bad(&broken);
    bad << "x";
    bad.flush();
    EXPECT_TRUE(bad.bad());
}
