// loopback_server.h — small servers on 127.0.0.1 (an ephemeral port, never
// port 80) that the HTTP client and the online service talk to in tests: a
// general one that hands each request to a handler, and a score server
// stand-in that answers the login, score and table paths.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scores/scores.h"

namespace gametest {

// A table file as the score server keeps it: n entries of one difficulty
// with scores top, top − step, ..., two lines each (fields, then bests).
inline std::string TableFile(int n, int mode, int64_t top, int64_t step = 10) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        Scores r;
        r.Score = top - step * i;
        r.Name = "Net" + std::to_string(i);
        r.GameMode = mode;
        const std::string record = RecordText(r, "\n");
        text += record + "\n";
    }
    return text;
}

// Accepts connections one after the other on its own thread. Each request is
// read up to its closing CR LF (at most 64 KiB, at most 2 s) and handed to
// the handler with the connection, which is closed when the handler returns.
// Handlers that stall watch `stopping` (set by the destructor).
class LoopbackServer {
public:
    using Handler = std::function<void(int fd, const std::string& request,
                                       const std::atomic<bool>& stopping)>;
    explicit LoopbackServer(Handler handler, bool readRequest = true)
        : handler_(std::move(handler)), readRequest_(readRequest) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 8);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        thread_.join();
        ::close(fd_);
    }
    int Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

    static void SendAll(int fd, const std::string& bytes) {
        size_t at = 0;
        while (at < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0) return;
            at += size_t(n);
        }
    }

private:
    void Serve() {
        while (!stopping_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            const std::string request = readRequest_ ? ReadRequest(c) : std::string();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request);
            }
            handler_(c, request, stopping_);
            ::close(c);
        }
    }
    static std::string ReadRequest(int c) {
        std::string got;
        char buf[4096];
        for (int tries = 0; tries < 100 && got.size() < 65536; ++tries) {
            if (got.find("\r\n") != std::string::npos) break;
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = ::recv(c, buf, sizeof buf, 0);
            if (n <= 0) break;
            got.append(buf, size_t(n));
        }
        return got;
    }

    Handler handler_;
    bool readRequest_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// Answers like the score server: the login with `loginBody`, a score with
// "OK", a table with its text from `tables` (by table id) or, when there is
// none, with the HTML page a web server sends for a missing file.
class FakeScoreServer {
public:
    FakeScoreServer()
        : server_([this](int fd, const std::string& request, const std::atomic<bool>&) {
              LoopbackServer::SendAll(fd, Answer(request));
          }) {}
    std::string Address() const { return server_.Address(); }
    void SetLogin(const std::string& body) {
        std::lock_guard<std::mutex> lock(mutex_);
        loginBody_ = body;
    }
    void SetTable(const std::string& id, const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        tables_[id] = text;
    }
    std::vector<std::string> Requests() { return server_.Requests(); }
    // Requests whose request line holds `part`.
    int Count(const std::string& part) {
        int n = 0;
        for (const auto& r : Requests())
            if (r.substr(0, r.find('\n')).find(part) != std::string::npos) ++n;
        return n;
    }

private:
    std::string Answer(const std::string& request) {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string line = request.substr(0, request.find('\n'));
        const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
        if (line.find("/enscore/login.php?") != std::string::npos) return ok + loginBody_;
        if (line.find("/enscore/scores.php?") != std::string::npos) return ok + "OK";
        const std::string tables = "/enscore/tables/";
        const size_t at = line.find(tables);
        if (at != std::string::npos) {
            std::string rest = line.substr(at + tables.size());  // week/id.txt HTTP/1.0
            rest = rest.substr(rest.find('/') + 1);
            const std::string id = rest.substr(0, rest.find(".txt"));
            auto it = tables_.find(id);
            if (it != tables_.end()) return ok + it->second;
        }
        return "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n"
               "<html><head><title>404 Not Found</title></head><body>Not Found</body></html>";
    }

    std::mutex mutex_;
    std::string loginBody_ = "Wrong user name or password";
    std::map<std::string, std::string> tables_;
    LoopbackServer server_;  // last: it stops before the rest goes
};

}  // namespace gametest
