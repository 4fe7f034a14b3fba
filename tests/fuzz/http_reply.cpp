// The HTTP reply reader and what the online service makes of a reply: any
// bytes a score server sends, as the answer to a login and as a score table,
// are read within their bounds, and every entry filed is an online entry.
#include <sys/socket.h>

#include <mutex>
#include <string>

#include "app/app.h"
#include "framework/setup.h"
#include "platform/headless/headless.h"
#include "scores/http.h"
#include "scores/online.h"
#include "scores/scores.h"
#include "tests/fuzz/fuzz.h"
#include "tests/scores/loopback_server.h"

namespace {

std::mutex replyLock;
std::string reply;  // what the server sends next

// Reads the request head (it ends with a blank line), then sends the reply
// and closes, as an HTTP/1.0 server does.
void Answer(int fd, const std::string&, const std::atomic<bool>&) {
    std::string got;
    char buf[4096];
    for (int tries = 0; tries < 50 && got.find("\n\n") == std::string::npos; ++tries) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, size_t(n));
    }
    std::lock_guard<std::mutex> lock(replyLock);
    gametest::LoopbackServer::SendAll(fd, reply);
    ::shutdown(fd, SHUT_WR);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    fuzz::WriteSeedsIfAsked(
        {{"login", ok + "Password Correct|Hello there\nSecond line\n|"},
         {"table", ok + "900|Net0|3|63900000000|0|1|0|0\n1|2|3\n800|Net1|0|1|0|1|0|0\n4\n"},
         {"missing", "HTTP/1.0 404 Not Found\n\n<HTML><HEAD></HEAD></HTML>\n"}});
    UseHeadlessPlatform();
    InitGlobals();
    BuildDefaultKey();
    static gametest::LoopbackServer server(Answer, false);
    ScoreServer = server.Address();
    HttpReplyMs = 1000;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::lock_guard<std::mutex> lock(replyLock);
        reply = bytes;
    }
    const std::string text = HttpReplyText(bytes);
    FUZZ_CHECK(text.size() <= bytes.size() && text.find('\r') == std::string::npos);
    FUZZ_CHECK(ResponseBody(text).size() <= text.size());

    LoginName = "fuzzer";
    LoginPassword = "secret";
    LoggedIn = 0;
    TryLogin();
    FUZZ_CHECK(MotdCount >= 0 && MotdCount < 20);
    OnlineList.clear();
    SubmittedThisRefresh = 0;
    FetchTableOnShow();
    FUZZ_CHECK(OnlineList.size() <= 30);
    for (const auto& entry : OnlineList) FUZZ_CHECK(entry->GameMode < 0);
    return 0;
}
