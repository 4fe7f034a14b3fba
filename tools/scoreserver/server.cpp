// server.cpp — accepting and reading, answering, and closing connections.
#include "tools/scoreserver/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>
#include <thread>

namespace scoreserver {

namespace {

using SteadyClock = std::chrono::steady_clock;

// After its reply a connection is half-closed and kept for at most this
// long, its incoming bytes read and dropped, until the client closes its
// side: closing at once with bytes unread (the game ends its request with a
// CR LF after the blank line, maybe in a write of its own) would reset the
// connection and could cost the client the reply. At most LingerMax are kept;
// beyond that the oldest is closed at once.
constexpr int LingerMs = 500;
constexpr size_t LingerBytes = 65536;
constexpr size_t LingerMax = 1024;

int MsLeft(SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void SendAll(int fd, const std::string& data, SteadyClock::time_point deadline) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0) return;
    }
}

std::string UtcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

void Wake(int fd) {
    const char c = 1;
    [[maybe_unused]] ssize_t ignored = ::write(fd, &c, 1);
}

}  // namespace

Server::Server(ScoreService& service, ServerConfig config, std::ostream& log)
    : service_(service), config_(std::move(config)), log_(log) {
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) stopPipe_[0] = stopPipe_[1] = -1;
    if (::pipe2(lingerWake_, O_CLOEXEC | O_NONBLOCK) != 0) lingerWake_[0] = lingerWake_[1] = -1;
}

Server::~Server() {
    if (listenFd_ >= 0) ::close(listenFd_);
    for (int fd : {stopPipe_[0], stopPipe_[1], lingerWake_[0], lingerWake_[1]})
        if (fd >= 0) ::close(fd);
}

bool Server::Listen(std::string& error) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(config_.port));
    if (::inet_pton(AF_INET, config_.bind.c_str(), &a.sin_addr) != 1) {
        error = "not an IPv4 address: " + config_.bind;
        return false;
    }
    if (stopPipe_[0] < 0 || lingerWake_[0] < 0) {
        error = "cannot make a pipe";
        return false;
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 256) != 0) {
        error = std::string("cannot listen on ") + config_.bind + ":" +
                std::to_string(config_.port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof a;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    return true;
}

void Server::Stop() {
    if (stopPipe_[1] >= 0) Wake(stopPipe_[1]);
}

void Server::Log(const std::string& text) {
    std::lock_guard<std::mutex> lock(logMutex_);
    log_ << UtcNow() << " " << text << std::endl;
}

// ---------------------------------------------------------------------------
// Accepting and reading
// ---------------------------------------------------------------------------
void Server::Run() {
    std::thread closer([this] { RunLinger(); });
    std::vector<std::thread> workers;
    for (int i = 0; i < std::max(1, config_.workers); ++i) {
        try {
            workers.emplace_back([this] { RunWorker(); });
        } catch (const std::system_error&) {
            break;  // serve with the workers there are
        }
    }

    std::vector<pollfd> polls;
    while (!workers.empty()) {
        Time next = SteadyClock::now() + std::chrono::seconds(60);
        polls.clear();
        polls.push_back({stopPipe_[0], POLLIN, 0});
        polls.push_back({listenFd_, POLLIN, 0});
        for (const auto& c : reading_) {
            polls.push_back({c.fd, POLLIN, 0});
            next = std::min(next, c.deadline);
        }
        if (::poll(polls.data(), polls.size(), MsLeft(next)) < 0 && errno != EINTR) break;
        if (polls[0].revents) break;
        if (polls[1].revents & POLLIN) Accept();

        // reading_ may have grown by Accept; only the polled ones are looked at.
        const auto now = SteadyClock::now();
        size_t kept = 0;
        for (size_t i = 0; i < reading_.size(); ++i) {
            Connection& c = reading_[i];
            bool keep = true;
            if (i + 2 < polls.size() && (polls[i + 2].revents & (POLLIN | POLLHUP | POLLERR))) {
                keep = ReadMore(c);
            } else if (now >= c.deadline) {
                Refuse(c, 408, "timed out");
                keep = false;
            }
            if (keep) {
                if (kept != i) reading_[kept] = std::move(c);
                ++kept;
            }
        }
        reading_.resize(kept);
    }

    // Stopping: nothing new is taken; requests already read are answered.
    ::close(listenFd_);
    listenFd_ = -1;
    for (auto& c : reading_) {
        ::close(c.fd);
        Finished();
    }
    reading_.clear();
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queueStop_ = true;
    }
    queueReady_.notify_all();
    for (auto& w : workers) w.join();
    {
        std::unique_lock<std::mutex> lock(openMutex_);
        openDone_.wait(lock, [this] { return open_ == 0; });
    }
    {
        std::lock_guard<std::mutex> lock(lingerMutex_);
        lingerStop_ = true;
    }
    Wake(lingerWake_[1]);
    closer.join();
}

void Server::Accept() {
    // Everything waiting now, so a burst does not cost one poll round each.
    while (true) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len,
                                 SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            // Out of descriptors: the listening socket stays readable, so
            // wait a moment instead of spinning until some are closed.
            if (errno == EMFILE || errno == ENFILE)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return;  // none left, or out of descriptors for now
        }
        char ip[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
        Connection c;
        c.fd = fd;
        c.peer = std::string(ip) + ":" + std::to_string(ntohs(peer.sin_port));
        c.deadline = SteadyClock::now() + std::chrono::milliseconds(config_.timeoutMs);
        bool room;
        {
            std::lock_guard<std::mutex> lock(openMutex_);
            room = open_ < config_.maxConnections;
            ++open_;
        }
        if (room) {
            reading_.push_back(std::move(c));
        } else {
            Refuse(c, 503, "busy");
        }
    }
}

bool Server::ReadMore(Connection& c) {
    char buffer[4096];
    while (true) {
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;  // more later
        if (n <= 0) {
            Log(c.peer + " - - closed before a whole request");
            ::close(c.fd);
            Finished();
            return false;
        }
        c.data.append(buffer, static_cast<size_t>(n));
        const size_t head = HeadLength(c.data);
        if (head > MaxRequestBytes || (head == 0 && c.data.size() > MaxRequestBytes)) {
            Refuse(c, 431, "request too large");
            return false;
        }
        if (head > 0) {
            c.data.resize(head);
            {
                std::lock_guard<std::mutex> lock(queueMutex_);
                queue_.push_back(std::move(c));
            }
            queueReady_.notify_one();
            return false;
        }
    }
}

void Server::Refuse(Connection& c, int status, const std::string& result) {
    // The reply is a few dozen bytes: it fits any socket buffer at once.
    SendAll(c.fd, Reply(status, result + "\n"), SteadyClock::now());
    Log(c.peer + " - " + std::to_string(status) + " " + result);
    Linger(c.fd);
    Finished();
}

void Server::Finished() {
    std::lock_guard<std::mutex> lock(openMutex_);
    if (--open_ == 0) openDone_.notify_all();
}

// ---------------------------------------------------------------------------
// Answering
// ---------------------------------------------------------------------------
void Server::RunWorker() {
    while (true) {
        Connection c;
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            queueReady_.wait(lock, [this] { return queueStop_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping, and nothing left to answer
            c = std::move(queue_.front());
            queue_.pop_front();
        }
        Respond(c);
    }
}

void Server::Respond(Connection& c) {
    const Request request = ParseRequest(c.data);
    const Answer answer = service_.Handle(request);
    SendAll(c.fd, Reply(answer.status, answer.body, answer.type),
            SteadyClock::now() + std::chrono::milliseconds(config_.timeoutMs));
    // Logged before the close, so a client that waits for the end of one
    // reply before its next request finds the lines in its own order.
    Log(c.peer + " " + (request.path.empty() ? "-" : LogSafe(request.path)) + " " +
        std::to_string(answer.status) + " " + answer.result);
    Linger(c.fd);
    Finished();
}

// ---------------------------------------------------------------------------
// Closing
// ---------------------------------------------------------------------------
void Server::Linger(int fd) {
    ::shutdown(fd, SHUT_WR);
    {
        std::lock_guard<std::mutex> lock(lingerMutex_);
        if (lingering_.size() >= LingerMax) {
            ::close(lingering_.front().fd);
            lingering_.erase(lingering_.begin());
        }
        lingering_.push_back({fd, SteadyClock::now() + std::chrono::milliseconds(LingerMs), 0});
    }
    Wake(lingerWake_[1]);
}

void Server::RunLinger() {
    std::vector<pollfd> polls;
    char buffer[4096];
    while (true) {
        Time next = SteadyClock::now() + std::chrono::seconds(1);
        polls.assign(1, pollfd{lingerWake_[0], POLLIN, 0});
        {
            std::lock_guard<std::mutex> lock(lingerMutex_);
            if (lingering_.empty() && lingerStop_) return;
            for (const auto& l : lingering_) {
                polls.push_back(pollfd{l.fd, POLLIN, 0});
                next = std::min(next, l.deadline);
            }
        }
        ::poll(polls.data(), polls.size(), MsLeft(next));
        while (::read(lingerWake_[0], buffer, sizeof buffer) > 0) {
        }
        std::lock_guard<std::mutex> lock(lingerMutex_);
        const auto now = SteadyClock::now();
        std::erase_if(lingering_, [&](Lingering& l) {
            bool done = now >= l.deadline;
            while (!done) {
                const ssize_t n = ::recv(l.fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) break;
                if (n <= 0 || (l.drained += static_cast<size_t>(n)) > LingerBytes) done = true;
            }
            if (done) ::close(l.fd);
            return done;
        });
    }
}

}  // namespace scoreserver
