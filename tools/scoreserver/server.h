// server.h — the score server's sockets: one listening TCP socket, one
// thread per connection up to a cap, one request per connection.
//
// Every connection is bounded: its request head must arrive whole within the
// time-out and within MaxRequestBytes, or it gets a short error reply and is
// closed. Connections beyond the cap get "503" at once. One log line per
// request goes to the log stream: time, peer, path (never the payload),
// status and result.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>

#include "tools/scoreserver/service.h"

namespace scoreserver {

struct ServerConfig {
    std::string bind = "0.0.0.0";  // IPv4 address to listen on
    int port = 8080;               // 0: any free port (see Port())
    int timeoutMs = 5000;          // for a whole request head, and for sending the reply
    int maxConnections = 128;      // connections served at once
};

class Server {
public:
    Server(ScoreService& service, ServerConfig config, std::ostream& log);
    ~Server();

    // Binds and listens. False with `error` set when that fails.
    bool Listen(std::string& error);
    int Port() const { return port_; }

    // Serves until Stop(); then stops accepting and waits for the
    // connections in flight (each ends within its time-out).
    void Run();
    // Safe from a signal handler and from any thread.
    void Stop();

    // A log line stamped with the current UTC time.
    void Log(const std::string& text);

private:
    void Serve(int fd, const std::string& peer);

    ScoreService& service_;
    ServerConfig config_;
    std::ostream& log_;
    std::mutex logMutex_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;

    std::mutex activeMutex_;
    std::condition_variable activeDone_;
    int active_ = 0;
};

}  // namespace scoreserver
