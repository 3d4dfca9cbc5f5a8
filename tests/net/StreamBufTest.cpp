#include "net/StreamBuf.h"

#include "tests/net/FakeSocket.h"

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
