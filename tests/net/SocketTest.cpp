#include "net/Socket.h"
#include "net/InetAddress.h"

#include "tests/common/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

// The address records' fields, which the socket classes read.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

using nettest::ClosedPort;
using nettest::LoopbackServer;
using nettest::ServerConnection;

namespace {

std::string dotted(const InetAddress& address) {
    const uint32_t ip = address.ip();
    const auto* bytes = reinterpret_cast<const unsigned char*>(&ip); // network order
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[3]);
}

} // namespace

TEST(InetAddressTest, HostForms) {
    EXPECT_EQ(dotted(InetAddress("", 80)), "127.0.0.1"); // empty means localhost
    EXPECT_EQ(dotted(InetAddress("localhost", 80)), "127.0.0.1");
    EXPECT_EQ(dotted(InetAddress("10.1.2.3", 8080)), "10.1.2.3");
    EXPECT_EQ(InetAddress("10.1.2.3", 8080).port(), 8080);
    EXPECT_EQ(InetAddress("10.1.2.3", 8080).address().sin_port, htons(8080));
    EXPECT_EQ(InetAddress("999.1.2.3", 80).ip(), 0u); // rejected dotted form
    EXPECT_EQ(InetAddress(nullptr, 80).ip(), 0u);
    EXPECT_EQ(InetAddress("localhost", 80).address().sin_family, AF_INET);

    in_addr found{};
    EXPECT_TRUE(resolveHost("", found));
    EXPECT_EQ(found.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_FALSE(resolveHost("255.255.255.255", found));
}

TEST(SocketTest, ConnectsReadsAndWritesOverLoopback) {
    LoopbackServer server([](ServerConnection& connection) {
        std::string head, body;
        if (connection.readRequest(head, body))
            connection.send("pong");
    });
    INet::TCP::Socket socket(InetAddress("127.0.0.1", server.port()), true);
    ASSERT_TRUE(socket.connected);
    const std::string request = "X / HTTP/1.1\r\n\r\n";
    EXPECT_EQ(socket.write(request.data(), static_cast<int32_t>(request.size())),
              static_cast<int32_t>(request.size()));
    char reply[16] = {};
    int32_t total = 0;
    while (total < 4) {
        int32_t got = socket.read(reply + total, sizeof reply - total);
        ASSERT_GT(got, 0);
        total += got;
    }
    EXPECT_EQ(std::string(reply, 4), "pong");
    EXPECT_EQ(socket.read(reply, sizeof reply), 0); // server closed
    // Writing to a closed peer fails instead of killing the process (once the
    // peer's refusal has come back).
    int32_t result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i) {
        result = socket.write(request.data(), static_cast<int32_t>(request.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(result, -1);
}

TEST(SocketTest, RefusedOrUnresolvedAddressesAreNotConnected) {
    ClosedPort closed;
    INet::TCP::Socket refused(InetAddress("127.0.0.1", closed.port()), true);
    EXPECT_FALSE(refused.connected);
    char byte;
    EXPECT_EQ(refused.read(&byte, 1), -1);

    // 0.0.0.0 would reach this machine; a failed lookup must not.
    INet::TCP::Socket any(InetAddress(nullptr, closed.port()), true);
    EXPECT_FALSE(any.connected);
}

TEST(SocketTest, ReceiveTimeOutAnswersWouldBlock) {
    LoopbackServer server([](ServerConnection& connection) { connection.waitForClose(); });
    INet::TCP::Socket socket(InetAddress("127.0.0.1", server.port()), true, 50);
    ASSERT_TRUE(socket.connected);
    char byte;
    EXPECT_EQ(socket.read(&byte, 1), -2);
}

TEST(SocketTest, AbortFromAnotherThreadEndsABlockedRead) {
    LoopbackServer server([](ServerConnection& connection) {
        std::string head, body;
        connection.readRequest(head, body);
        connection.waitForClose();
    });
    INet::TCP::Socket socket(InetAddress("127.0.0.1", server.port()), true);
    ASSERT_TRUE(socket.connected);
    const std::string request = "X / HTTP/1.1\r\n\r\n";
    socket.write(request.data(), static_cast<int32_t>(request.size()));
    server.waitForRequests(1);
    std::thread stopper([&] { socket.abort(); });
    char byte;
    EXPECT_LE(socket.read(&byte, 1), 0);
    stopper.join();
}
