// The TCP socket service against small servers on 127.0.0.1 run by the test.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/platform.h"

namespace {

// A listening socket on an ephemeral port of 127.0.0.1; `serve` runs on its
// own thread with each accepted connection (only the first is taken).
class Server {
public:
    explicit Server(std::function<void(int)> serve, bool accept = true) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 4);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        if (accept) {
            thread_ = std::thread([this, serve] {
                int c = ::accept(fd_, nullptr, nullptr);
                if (c >= 0) {
                    serve(c);
                    ::close(c);
                }
                done_ = true;
            });
        }
    }
    ~Server() {
        // Let the connection be served (the client may have finished long
        // before the thread got to accept it); only a server nobody reached
        // is cut short.
        for (int i = 0; i < 500 && thread_.joinable() && !done_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::shutdown(fd_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

std::string ReadAll(int fd, size_t want) {
    std::string got;
    char buf[65536];
    while (got.size() < want) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, size_t(n));
    }
    return got;
}

void SendAll(int fd, const std::string& s) {
    size_t at = 0;
    while (at < s.size()) {
        ssize_t n = ::send(fd, s.data() + at, s.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return;
        at += size_t(n);
    }
}

// Receives until the peer closes (or 5 s pass without data).
std::string RecvUntilClosed(const Socket& s) {
    std::string all;
    while (true) {
        std::string part = SocketRecv(s, 4096, 5000);
        if (part.empty()) break;
        all += part;
    }
    return all;
}

}  // namespace

TEST(Sockets, SendAndReceiveUntilThePeerCloses) {
    Server server([](int c) {
        std::string request = ReadAll(c, 5);
        SendAll(c, "echo:" + request);
    });
    Socket s = ConnectSocket("localhost", server.port(), 2000);
    ASSERT_TRUE(s);
    EXPECT_TRUE(SocketConnected(s));
    EXPECT_EQ(SocketSend(s, "hello"), 5);
    EXPECT_EQ(RecvUntilClosed(s), "echo:hello");
    EXPECT_EQ(SocketReadAvail(s), -1);
    EXPECT_FALSE(SocketConnected(s));
    EXPECT_EQ(SocketRecv(s, 100, 10), "");
    CloseSocket(s);
    EXPECT_EQ(SocketSend(s, "late"), -1);
}

TEST(Sockets, ReadAvailCountsWaitingBytesBeforeTheClose) {
    std::atomic<bool> sent{false};
    Server server([&](int c) {
        SendAll(c, "abcdef");
        sent = true;
    });
    Socket s = ConnectSocket("127.0.0.1", server.port(), 2000);
    ASSERT_TRUE(s);
    // Wait for the bytes (and the close behind them) to arrive.
    std::string first = SocketRecv(s, 2, 2000);
    EXPECT_EQ(first, "ab");
    while (!sent) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(SocketReadAvail(s), 4);
    EXPECT_TRUE(SocketConnected(s)) << "unread data keeps it readable";
    EXPECT_EQ(SocketRecv(s, 100, 1000), "cdef");
    EXPECT_EQ(SocketReadAvail(s), -1);
    EXPECT_FALSE(SocketConnected(s));
}

TEST(Sockets, LargeSendArrivesWhole) {
    std::string big(3 << 20, 'x');
    for (size_t i = 0; i < big.size(); i += 997) big[i] = char('a' + i % 26);
    std::string received;
    {
        Server server([&](int c) { received = ReadAll(c, big.size()); });
        Socket s = ConnectSocket("127.0.0.1", server.port(), 5000);
        ASSERT_TRUE(s);
        EXPECT_EQ(SocketSend(s, big), int(big.size()));
        CloseSocket(s);
    }
    EXPECT_EQ(received.size(), big.size());
    EXPECT_TRUE(received == big) << "the bytes arrive unchanged and in order";
}

TEST(Sockets, RefusedConnectionGivesNone) {
    int port;
    {
        Server closed([](int) {}, false);
        port = closed.port();
    }  // nobody listens there any more
    EXPECT_FALSE(ConnectSocket("127.0.0.1", port, 2000));
}

TEST(Sockets, UnknownHostAndBadPortGiveNone) {
    EXPECT_FALSE(ConnectSocket("no-such-host.invalid", 80, 2000));
    EXPECT_FALSE(ConnectSocket("", 80, 2000));
    EXPECT_FALSE(ConnectSocket("127.0.0.1", 0, 2000));
    EXPECT_FALSE(ConnectSocket("127.0.0.1", 70000, 2000));
}

TEST(Sockets, SilentServerEndsTheWaitAtTheTimeOut) {
    // The kernel completes the connection from the listen queue; nobody ever
    // reads or writes at the other end.
    Server silent([](int) {}, false);
    Socket s = ConnectSocket("127.0.0.1", silent.port(), 2000);
    ASSERT_TRUE(s);
    EXPECT_EQ(SocketRecv(s, 100, 200), "");
    EXPECT_TRUE(SocketConnected(s)) << "a time-out is not a close";
    EXPECT_EQ(SocketReadAvail(s), 0);
}

TEST(Sockets, WritingToAClosedPeerFailsWithoutASignal) {
    Server server([](int c) { ::shutdown(c, SHUT_RDWR); });
    Socket s = ConnectSocket("127.0.0.1", server.port(), 2000);
    ASSERT_TRUE(s);
    EXPECT_EQ(RecvUntilClosed(s), "");
    // The first write may still be taken by the kernel; a later one fails.
    // Without MSG_NOSIGNAL the process would die of SIGPIPE here.
    std::string chunk(65536, 'z');
    int last = 0;
    for (int i = 0; i < 50 && last >= 0; ++i) last = SocketSend(s, chunk);
    EXPECT_EQ(last, -1);
}

TEST(Sockets, NoneDoesNothing) {
    Socket none;
    EXPECT_EQ(SocketSend(none, "x"), -1);
    EXPECT_EQ(SocketReadAvail(none), -1);
    EXPECT_EQ(SocketRecv(none, 10, 10), "");
    EXPECT_FALSE(SocketConnected(none));
    CloseSocket(none);
}
