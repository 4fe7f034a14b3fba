// server.cpp — accept loop and per-connection handling.
#include "tools/scoreserver/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <ctime>
#include <system_error>
#include <thread>

namespace scoreserver {

namespace {

using SteadyClock = std::chrono::steady_clock;

int MsLeft(SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Bytes still unread after the reply (the game ends its request with a CR LF
// after the blank line) are read and dropped for at most this long, so the
// close does not reset the connection before the client has the reply.
constexpr int DrainMs = 500;
constexpr size_t DrainBytes = 65536;

void SendAll(int fd, const std::string& data, SteadyClock::time_point deadline) {
    size_t sent = 0;
    while (sent < data.size()) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0) return;
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

void CloseGently(int fd) {
    ::shutdown(fd, SHUT_WR);
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(DrainMs);
    char buffer[4096];
    size_t drained = 0;
    while (drained < DrainBytes) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, MsLeft(deadline)) <= 0) break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) break;
        drained += static_cast<size_t>(n);
    }
    ::close(fd);
}

std::string UtcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

}  // namespace

Server::Server(ScoreService& service, ServerConfig config, std::ostream& log)
    : service_(service), config_(std::move(config)), log_(log) {
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) stopPipe_[0] = stopPipe_[1] = -1;
}

Server::~Server() {
    if (listenFd_ >= 0) ::close(listenFd_);
    for (int fd : stopPipe_)
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
    if (stopPipe_[0] < 0) {
        error = "cannot make the stop pipe";
        return false;
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 128) != 0) {
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
    if (stopPipe_[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t ignored = ::write(stopPipe_[1], &c, 1);
    }
}

void Server::Log(const std::string& text) {
    std::lock_guard<std::mutex> lock(logMutex_);
    log_ << UtcNow() << " " << text << std::endl;
}

void Server::Run() {
    while (true) {
        pollfd p[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (p[1].revents) break;
        if (!(p[0].revents & POLLIN)) continue;

        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
        if (fd < 0) continue;  // the peer gave up, or out of descriptors for now
        char ip[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
        const std::string who = std::string(ip) + ":" + std::to_string(ntohs(peer.sin_port));

        bool started = false;
        {
            std::lock_guard<std::mutex> lock(activeMutex_);
            if (active_ < config_.maxConnections) {
                try {
                    std::thread([this, fd, who] { Serve(fd, who); }).detach();
                    ++active_;
                    started = true;
                } catch (const std::system_error&) {
                }
            }
        }
        if (!started) {
            // Answered without reading: the reply fits any socket buffer.
            const std::string reply = Reply(503, "Busy\n");
            [[maybe_unused]] ssize_t ignored =
                ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(fd);
            Log(who + " - 503 busy");
        }
    }
    ::close(listenFd_);
    listenFd_ = -1;
    std::unique_lock<std::mutex> lock(activeMutex_);
    activeDone_.wait(lock, [this] { return active_ == 0; });
}

void Server::Serve(int fd, const std::string& peer) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(config_.timeoutMs);
    std::string data;
    size_t headLength = 0;
    int status = 0;
    std::string reply, path = "-", result;
    char buffer[4096];
    while (true) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, MsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            status = 408;
            result = "timed out";
            break;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            result = "closed before a whole request";
            break;
        }
        data.append(buffer, static_cast<size_t>(n));
        headLength = HeadLength(data);
        if (headLength > MaxRequestBytes || (headLength == 0 && data.size() > MaxRequestBytes)) {
            status = 431;
            result = "request too large";
            headLength = 0;
            break;
        }
        if (headLength > 0) break;
    }

    if (headLength > 0) {
        const Request request = ParseRequest(data.substr(0, headLength));
        if (!request.path.empty()) path = LogSafe(request.path);
        const Answer answer = service_.Handle(request);
        status = answer.status;
        result = answer.result;
        reply = Reply(answer.status, answer.body, answer.type);
    } else if (status != 0) {
        reply = Reply(status, result + "\n");
    }
    if (!reply.empty()) {
        SendAll(fd, reply, SteadyClock::now() + std::chrono::milliseconds(config_.timeoutMs));
    }
    // Logged before the close, so a client that waits for the end of one
    // reply before its next request finds the lines in its own order.
    Log(peer + " " + path + " " + (status ? std::to_string(status) : "-") + " " + result);
    CloseGently(fd);

    std::lock_guard<std::mutex> lock(activeMutex_);
    if (--active_ == 0) activeDone_.notify_all();
}

}  // namespace scoreserver
