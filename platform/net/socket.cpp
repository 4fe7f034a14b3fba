// socket.cpp — the TCP socket service: connect by host name with a time-out,
// send, see what is ready, receive with a time-out, close.
//
// Every wait is bounded: name resolution runs on a helper thread the caller
// stops waiting for at the time-out, the connect is non-blocking and polled,
// and sends and receives poll before they touch the socket. Writing to a
// socket the peer has closed returns an error instead of raising SIGPIPE.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/platform.h"

struct SocketData {
    int fd = -1;
    int timeoutMs = 5000;    // for sends that have to wait for room
    bool peerClosed = false; // the peer shut its side and everything was read
    bool failed = false;     // a socket error; nothing more will work
    ~SocketData() {
        if (fd >= 0) ::close(fd);
    }
};

namespace {

using SteadyClock = std::chrono::steady_clock;

int MsLeft(SteadyClock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

// The resolver blocks for as long as the name servers take, so it runs on its
// own thread; the result is shared so a thread outliving the wait is harmless.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    in_addr address{};
};

bool Resolve(const std::string& host, int timeoutMs, in_addr& address) {
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) return true;
    if (host.empty()) return false;
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host] {
            addrinfo hints{};
            hints.ai_family = AF_INET;  // the first IPv4 address
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* list = nullptr;
            bool found = false;
            in_addr address{};
            if (getaddrinfo(host.c_str(), nullptr, &hints, &list) == 0 && list) {
                address = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
                found = true;
            }
            if (list) freeaddrinfo(list);
            std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->found = found;
            lookup->address = address;
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return false;  // no thread to be had
    }
    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return lookup->finished; }))
        return false;
    address = lookup->address;
    return lookup->found;
}

// Waits for the socket to be readable (POLLIN) or writable (POLLOUT). Returns
// the revents, 0 on time-out, −1 on a poll error.
int Wait(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    while (true) {
        int rc = ::poll(&p, 1, timeoutMs);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) return -1;
        return rc == 0 ? 0 : p.revents;
    }
}

bool Usable(const Socket& socket) { return socket && socket->fd >= 0 && !socket->failed; }

}  // namespace

namespace {
int ConnectCount = 0;
}  // namespace

int ConnectAttempts() { return ConnectCount; }

Socket ConnectSocket(const std::string& host, int port, int timeoutMs) {
    ++ConnectCount;
    if (port < 1 || port > 65535) return {};
    if (timeoutMs < 0) timeoutMs = 0;
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);

    in_addr address{};
    if (!Resolve(host, timeoutMs, address)) return {};

    auto socket = std::make_shared<SocketData>();
    socket->timeoutMs = timeoutMs;
    socket->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket->fd < 0) return {};
    int one = 1;
    ::setsockopt(socket->fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(port));
    to.sin_addr = address;
    if (::connect(socket->fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS) return {};
        int ready = Wait(socket->fd, POLLOUT, MsLeft(deadline));
        if (ready <= 0) return {};  // time-out or poll failure
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket->fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return {};
    }
    return socket;
}

int SocketSend(const Socket& socket, const std::string& bytes) {
    if (!Usable(socket)) return -1;
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(socket->timeoutMs);
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(socket->fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The send buffer is full: wait for room, but never past the time-out.
            int ready = Wait(socket->fd, POLLOUT, MsLeft(deadline));
            if (ready > 0 && !(ready & (POLLERR | POLLHUP))) continue;
            if (ready == 0) break;  // time-out: report what went out
        }
        socket->failed = true;
        return sent > 0 ? int(sent) : -1;
    }
    return int(sent);
}

int SocketReadAvail(const Socket& socket) {
    if (!Usable(socket)) return -1;
    int ready = 0;
    if (::ioctl(socket->fd, FIONREAD, &ready) != 0) {
        socket->failed = true;
        return -1;
    }
    if (ready > 0) return ready;
    if (socket->peerClosed) return -1;
    // Nothing buffered: readable now means the peer has closed (or an error).
    int events = Wait(socket->fd, POLLIN, 0);
    if (events < 0) return -1;
    if (events & (POLLIN | POLLHUP | POLLERR)) {
        char c;
        ssize_t n = ::recv(socket->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) return int(n);  // data arrived between the two looks
        if (n == 0) {
            socket->peerClosed = true;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            socket->failed = true;
        }
        return n == 0 || socket->failed ? -1 : 0;
    }
    return 0;
}

std::string SocketRecv(const Socket& socket, int maxBytes, int timeoutMs) {
    if (!Usable(socket) || socket->peerClosed || maxBytes <= 0) return {};
    int events = Wait(socket->fd, POLLIN, timeoutMs < 0 ? 0 : timeoutMs);
    if (events <= 0) return {};  // time-out
    std::string bytes(size_t(maxBytes), '\0');
    while (true) {
        ssize_t n = ::recv(socket->fd, bytes.data(), bytes.size(), MSG_DONTWAIT);
        if (n > 0) {
            bytes.resize(size_t(n));
            return bytes;
        }
        if (n == 0) {
            socket->peerClosed = true;
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            socket->failed = true;
        }
        return {};
    }
}

bool SocketConnected(const Socket& socket) {
    if (!Usable(socket) || socket->peerClosed) return false;
    // A peer that closed with nothing left unread counts as gone; unread data
    // still counts as connected so it can be collected.
    return SocketReadAvail(socket) >= 0;
}

void CloseSocket(const Socket& socket) {
    if (!socket || socket->fd < 0) return;
    ::close(socket->fd);
    socket->fd = -1;
}
