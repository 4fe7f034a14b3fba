// The HTTP client on the wire: the exact request bytes, the reply as it comes
// back, form encoding, and servers that stall, flood, never end their header
// or close at once — each request ends within its bound with an empty or
// size-capped reply and one log line.
#include <gtest/gtest.h>

#include "framework/setup.h"
#include "scores/http.h"
#include "tests/scores/loopback_server.h"
#include "tests/scores/support.h"

using namespace gametest;

namespace {

const std::string Agent = "User-Agent: PalisadeThttp/1.0\n";

// Serves `reply` to every request and keeps what was asked.
LoopbackServer::Handler Reply(const std::string& reply) {
    return [reply](int fd, const std::string&, const std::atomic<bool>&) {
        LoopbackServer::SendAll(fd, reply);
    };
}

class Http : public ::testing::Test {
protected:
    void SetUp() override { StartClean(tree_); }
    void TearDown() override { CloseLog(); }
    std::vector<std::string> Failures() {
        std::vector<std::string> lines;
        for (const auto& l : ReadLines(tree_.Files() / "Debug.txt"))
            if (l.rfind("\tOnline request failed: ", 0) == 0) lines.push_back(l);
        return lines;
    }
    Scratch tree_;
};

}  // namespace

TEST_F(Http, GetSendsTheRequestLinesWithLfAndEndsWithCrLf) {
    const struct {
        std::string url, line;
    } cases[] = {
        {"x", "GET /x HTTP/1.0\n"},
        // Score paths bring their own slash: the request line has two.
        {"/enscore/tables/283/1.txt", "GET //enscore/tables/283/1.txt HTTP/1.0\n"},
    };
    for (const auto& c : cases) {
        LoopbackServer server(Reply("HTTP/1.0 200 OK\r\n\r\nhi"));
        Thttp http;
        ASSERT_EQ(http.Open(server.Address(), 0), 1);
        EXPECT_EQ(http.host, server.Address()) << "a port other than 80 goes into Host";
        EXPECT_EQ(http.Get(c.url), "HTTP/1.0 200 OK\n\nhi");
        http.Close();
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], c.line + "Host: " + server.Address() + "\n" + Agent + "\n\r\n");
    }
    EXPECT_TRUE(Failures().empty());
}

TEST_F(Http, PostSendsAnEncodedFormBodyWithItsLength) {
    const struct {
        std::vector<std::string> names, values;
        std::string body;
    } cases[] = {
        {{"a", "b"}, {"1", "2"}, "a=1&b=2"},
        {{}, {}, ""},
        {{"a b"}, {"x/y", "unused"}, "a%20b=x%2Fy"},
    };
    for (const auto& c : cases) {
        LoopbackServer server(Reply("HTTP/1.0 200 OK\r\n\r\n"));
        Thttp http;
        ASSERT_EQ(http.Open(server.Address(), 1), 1);
        http.Post("form", c.names, c.values);
        EXPECT_FALSE(http.sock) << "autoClose 1 closes after the reply";
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], "POST /form HTTP/1.0\nHost: " + server.Address() + "\n" + Agent +
                                   "Content-Length: " + std::to_string(c.body.size()) +
                                   "\nContent-Type: application/x-www-form-urlencoded\n\n" +
                                   c.body + "\r\n");
    }
}

TEST_F(Http, TheReplyComesBackWithoutCrAndWithoutItsFinalLf) {
    const struct {
        std::string bytes, text;
    } cases[] = {
        {"A\r\nB", "A\nB"},        // last line without LF: whole
        {"A\r\nB\n", "A\nB"},      // ending in LF: only that LF goes
        {"A\n\n", "A\n"},
        {std::string("X\0Y", 3), "X\nY"},  // a zero byte ends a line
        {"\n", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(HttpReplyText(c.bytes), c.text) << c.bytes;
    // The same over the wire, with and without a final LF.
    for (const std::string tail : {"", "\n"}) {
        LoopbackServer server(Reply("HTTP/1.0 200 OK\r\n\r\nline 1\r\nline 2" + tail));
        Thttp http;
        ASSERT_EQ(http.Open(server.Address(), 0), 1);
        EXPECT_EQ(http.Get("t"), "HTTP/1.0 200 OK\n\nline 1\nline 2");
        http.Close();
    }
}

TEST_F(Http, UrlEncodeAndDecode) {
    EXPECT_EQ(Thttp::UrlEncode("a b+c/\xE9"), "a%20b+c%2F%E9");
    EXPECT_EQ(Thttp::UrlEncode("AZaz09-._~\n"), "AZaz09-._%7E%0A");
    const struct {
        std::string in, out;
    } decodes[] = {
        {"%41%42", "AB"},
        {"%4a", "?"},    // a lower-case digit is not found: 16 × 4 − 1
        {"a+b", "a+b"},  // "+" stays
        {"%E9", "\xE9"},
        {"%", "%"},      // fewer than two characters after "%": kept
        {"x%4", "x%4"},
        {"%%41", "\xF4" "1"},  // "%" is no digit: 0 × 16 + 5 − 17 = −12, low 8 bits
    };
    for (const auto& d : decodes) EXPECT_EQ(Thttp::UrlDecode(d.in), d.out) << d.in;
    for (int c = 0; c < 256; ++c) {
        const std::string one(1, static_cast<char>(c));
        EXPECT_EQ(Thttp::UrlDecode(Thttp::UrlEncode(one)), one) << c;
    }
}

TEST_F(Http, AServerThatCannotBeReachedGivesNoConnection) {
    int closedPort = 0;
    { LoopbackServer gone(Reply("")); closedPort = gone.Port(); }
    const std::vector<std::string> hosts = {"127.0.0.1:" + std::to_string(closedPort), "127.0.0.1:0",
                                            "127.0.0.1:99999", "127.0.0.1:http", ""};
    for (const std::string& host : hosts) {
        Thttp http;
        EXPECT_EQ(http.Open(host, 1), 0) << host;
        EXPECT_EQ(http.host, "");
        EXPECT_EQ(http.autoClose, 0);
        EXPECT_EQ(http.Get("x"), "");
        http.Close();  // safe without a connection
    }
    EXPECT_EQ(Failures().size(), 5u);
    EXPECT_EQ(Failures()[1], "\tOnline request failed: could not connect to 127.0.0.1:0");
}

TEST_F(Http, HostileServersCostOneBoundedRequestAndOneLogLine) {
    const std::string header = "HTTP/1.0 200 OK\r\n\r\n";
    const struct {
        const char* what;
        LoopbackServer::Handler handler;
        bool readRequest;
        size_t minSize;  // of the reply; 0: empty
        std::string logged;
    } cases[] = {
        {"never answers",
         [](int, const std::string&, const std::atomic<bool>& stopping) {
             while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(10));
         },
         true, 0, "no complete reply"},
        {"answers forever",
         [header](int fd, const std::string&, const std::atomic<bool>& stopping) {
             LoopbackServer::SendAll(fd, header);
             const std::string block(65536, 'x');
             for (int i = 0; i < 4096 && !stopping; ++i) {  // 256 MiB at most
                 if (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) <= 0) break;
             }
         },
         true, HttpMaxReply - 100, "larger than 1048576 bytes"},
        {"huge header with no blank line",
         [](int fd, const std::string&, const std::atomic<bool>&) {
             LoopbackServer::SendAll(fd, "HTTP/1.0 200 OK\r\nX-Junk: ");
             LoopbackServer::SendAll(fd, std::string(3 << 20, 'j'));
         },
         true, HttpMaxReply - 100, "larger than 1048576 bytes"},
        {"closes at once", [](int, const std::string&, const std::atomic<bool>&) {}, false, 0,
         "closed the connection without a reply"},
    };
    size_t failures = 0;
    for (const auto& c : cases) {
        LoopbackServer server(c.handler, c.readRequest);
        Thttp http;
        http.replyMs = 400;
        ASSERT_EQ(http.Open(server.Address(), 0), 1) << c.what;
        const std::string reply = http.Get("x");
        http.Close();
        EXPECT_LE(reply.size(), HttpMaxReply) << c.what;
        if (c.minSize == 0) {
            EXPECT_EQ(reply, "") << c.what;
        } else {
            EXPECT_GE(reply.size(), c.minSize) << c.what;
        }
        const auto logged = Failures();
        ASSERT_EQ(logged.size(), ++failures) << c.what << ": one line per failed request";
        EXPECT_NE(logged.back().find(c.logged), std::string::npos) << logged.back();
    }
    // A well-behaved server afterwards is served as usual.
    LoopbackServer server(Reply(header + "fine"));
    Thttp http;
    ASSERT_EQ(http.Open(server.Address(), 1), 1);
    EXPECT_EQ(http.Get("x"), "HTTP/1.0 200 OK\n\nfine");
}
