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
// Refusals of one kind from one address are logged at most this often.
constexpr auto RefusalLogEvery = std::chrono::seconds(60);
// Addresses whose rate and refusals are remembered; beyond this, the ones
// with nothing to remember (a full bucket, nothing left unlogged) are dropped.
constexpr size_t RememberedAddresses = 65536;

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
    std::vector<std::thread> workers, hashers;
    for (int i = 0; i < std::max(1, config_.workers); ++i) {
        try {
            workers.emplace_back([this] { RunWorker(); });
        } catch (const std::system_error&) {
            break;  // serve with the workers there are
        }
    }
    for (int i = 0; i < std::max(1, config_.hashThreads); ++i) {
        try {
            hashers.emplace_back([this] { RunHasher(); });
        } catch (const std::system_error&) {
            break;
        }
    }
    if (hashers.empty()) workers.clear();  // nothing could run; leave at once

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
        Finished(c.ip);
    }
    reading_.clear();
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queueStop_ = true;
    }
    queueReady_.notify_all();
    for (auto& w : workers) w.join();
    {
        std::lock_guard<std::mutex> lock(hashMutex_);
        hashStop_ = true;
    }
    hashReady_.notify_all();
    for (auto& h : hashers) h.join();
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
        c.ip = ip;
        c.peer = c.ip + ":" + std::to_string(ntohs(peer.sin_port));
        const auto now = SteadyClock::now();
        c.deadline = now + std::chrono::milliseconds(config_.timeoutMs);
        const int share = config_.perAddress > 0 ? config_.perAddress
                                                 : std::max(2, config_.maxConnections / 16);
        bool room, mine;
        {
            std::lock_guard<std::mutex> lock(openMutex_);
            room = open_ < config_.maxConnections;
            int& fromIp = openByIp_[c.ip];
            mine = fromIp < share;
            ++open_;
            ++fromIp;
        }
        if (!room) {
            Refuse(c, 503, "busy");
        } else if (!mine) {
            Refuse(c, 503, "too many connections from this address");
        } else if (!TakeToken(c.ip, now)) {
            Refuse(c, 429, "too many requests from this address");
        } else {
            reading_.push_back(std::move(c));
        }
    }
}

bool Server::TakeToken(const std::string& ip, Time now) {
    if (config_.ratePerAddress <= 0) return true;
    const double burst = std::max(1, config_.burstPerAddress);
    auto refill = [&](Bucket& b) {
        b.tokens = std::min(burst, b.tokens + config_.ratePerAddress *
                                                  std::chrono::duration<double>(now - b.last).count());
        b.last = now;
    };
    if (buckets_.size() >= RememberedAddresses && !buckets_.count(ip)) {
        for (auto it = buckets_.begin(); it != buckets_.end();) {
            refill(it->second);
            it = it->second.tokens >= burst ? buckets_.erase(it) : std::next(it);
        }
    }
    auto [it, fresh] = buckets_.try_emplace(ip, Bucket{burst, now});
    if (!fresh) refill(it->second);
    if (it->second.tokens < 1) return false;
    it->second.tokens -= 1;
    return true;
}

bool Server::ReadMore(Connection& c) {
    char buffer[4096];
    while (true) {
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;  // more later
        if (n <= 0) {
            LogRefusal(c.ip, "closed", c.peer + " - - closed before a whole request");
            ::close(c.fd);
            Finished(c.ip);
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
    LogRefusal(c.ip, result, c.peer + " - " + std::to_string(status) + " " + result);
    Linger(c.fd);
    Finished(c.ip);
}

void Server::Finished(const std::string& ip) {
    std::lock_guard<std::mutex> lock(openMutex_);
    auto it = openByIp_.find(ip);
    if (it != openByIp_.end() && --it->second <= 0) openByIp_.erase(it);
    if (--open_ == 0) openDone_.notify_all();
}

void Server::LogRefusal(const std::string& ip, const std::string& kind, const std::string& line) {
    const auto now = SteadyClock::now();
    std::lock_guard<std::mutex> lock(logMutex_);
    if (refusals_.size() >= RememberedAddresses) {
        std::erase_if(refusals_, [&](const auto& e) {
            return e.second.left == 0 || now - e.second.logged >= RefusalLogEvery;
        });
        if (refusals_.size() >= RememberedAddresses) refusals_.clear();
    }
    const std::string key = ip + " " + kind;
    auto it = refusals_.find(key);
    if (it != refusals_.end() && now - it->second.logged < RefusalLogEvery) {
        ++it->second.left;
        return;
    }
    std::string text = line;
    if (it != refusals_.end() && it->second.left > 0)
        text += " (and " + std::to_string(it->second.left) + " more like it since the last line)";
    refusals_[key] = Refusals{now, 0};
    log_ << UtcNow() << " " << text << std::endl;
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
    Request request = ParseRequest(c.data);
    Answer answer = service_.Handle(request, c.ip);
    if (answer.slow) {
        {
            std::lock_guard<std::mutex> lock(hashMutex_);
            if (static_cast<int>(hashJobs_.size()) < std::max(1, config_.hashQueue)) {
                hashJobs_.push_back({std::move(c), std::move(request), std::move(answer.slow)});
                hashReady_.notify_one();
                return;
            }
        }
        answer = Answer{503, "BUSY", "busy hashing passwords"};
    }
    Send(c, request, answer);
}

void Server::RunHasher() {
    while (true) {
        HashJob job;
        {
            std::unique_lock<std::mutex> lock(hashMutex_);
            hashReady_.wait(lock, [this] { return hashStop_ || !hashJobs_.empty(); });
            if (hashJobs_.empty()) return;
            job = std::move(hashJobs_.front());
            hashJobs_.pop_front();
        }
        Send(job.c, job.request, job.slow());
    }
}

void Server::Send(Connection& c, const Request& request, const Answer& answer) {
    SendAll(c.fd, Reply(answer.status, answer.body, answer.type),
            SteadyClock::now() + std::chrono::milliseconds(config_.timeoutMs));
    // Logged before the close, so a client that waits for the end of one
    // reply before its next request finds the lines in its own order.
    const std::string line = c.peer + " " + (request.path.empty() ? "-" : LogSafe(request.path)) +
                             " " + std::to_string(answer.status) + " " + answer.result;
    if (answer.status == 200 || answer.result == "no table") {
        Log(line);
    } else {
        LogRefusal(c.ip, answer.result, line);
    }
    Linger(c.fd);
    Finished(c.ip);
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
