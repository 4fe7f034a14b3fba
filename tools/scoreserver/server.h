// server.h — the score server's sockets: one listening TCP socket, one
// request per connection.
//
// One thread accepts connections and reads their request heads, all at once
// through poll; a fixed set of workers answers the complete ones (the
// answers may wait on the database or a slow password hash); one more thread
// holds answered connections until the client has closed its side. A slow or
// silent client therefore costs a descriptor, never a thread.
//
// Every connection is bounded: its request head must arrive whole within the
// time-out and within MaxRequestBytes, or it gets a short error reply and is
// closed. Connections beyond the cap, or beyond one address's share of it,
// get "503" at once; requests beyond an address's rate get "429" at once.
// Answers that need a slow password hash go to a few hashing threads of their
// own through a bounded queue ("503" when it is full), so the workers that
// serve fetches never wait on one. One log line per request goes to the log
// stream: time, peer, path (never the payload), status and result; refusals
// of one kind from one address are logged once a minute, with a count of
// the ones left out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/scoreserver/service.h"

namespace scoreserver {

struct ServerConfig {
    std::string bind = "0.0.0.0";  // IPv4 address to listen on
    int port = 8080;               // 0: any free port (see Port())
    int timeoutMs = 5000;          // for a whole request head, and for sending the reply
    int maxConnections = 128;      // connections open at once (reading, waiting or answered)
    int workers = 8;               // requests answered at once
    int perAddress = 0;            // connections open at once from one address; 0: cap / 16, at least 2
    double ratePerAddress = 10;    // requests a second from one address, on average; 0: any
    int burstPerAddress = 30;      // ... and at once
    int hashThreads = 2;           // slow password hashes at once (64 MiB each)
    int hashQueue = 16;            // answers waiting for a hash; beyond this "503"
};

class Server {
public:
    Server(ScoreService& service, ServerConfig config, std::ostream& log);
    ~Server();

    // Binds and listens. False with `error` set when that fails.
    bool Listen(std::string& error);
    int Port() const { return port_; }

    // Serves until Stop(); then stops accepting, answers the requests already
    // read, drops the ones still arriving, and returns.
    void Run();
    // Safe from a signal handler and from any thread.
    void Stop();

    // A log line stamped with the current UTC time.
    void Log(const std::string& text);

private:
    using Time = std::chrono::steady_clock::time_point;
    struct Connection {
        int fd = -1;
        std::string ip;    // the peer's address, as the limits count it
        std::string peer;  // address and port, for the log
        std::string data;  // bytes read so far
        Time deadline;     // the whole request head must be in by then
    };

    // Reading side (accept thread only).
    void Accept();
    // False when the connection is done with (answered, refused or gone).
    bool ReadMore(Connection& c);
    // A reply without the service (errors of the connection itself).
    void Refuse(Connection& c, int status, const std::string& result);

    // False when the address is over its rate (accept thread only).
    bool TakeToken(const std::string& ip, Time now);

    void RunWorker();
    void Respond(Connection& c);
    void RunHasher();
    void Send(Connection& c, const Request& request, const Answer& answer);
    // Logs a refusal unless one of its kind from its address was logged in
    // the last minute.
    void LogRefusal(const std::string& ip, const std::string& kind, const std::string& line);

    // Half-closes a connection whose reply is sent and hands it to the
    // closer thread (RunLinger), which closes it once the client has.
    void Linger(int fd);
    void RunLinger();
    void Finished(const std::string& ip);  // one connection fewer open

    ScoreService& service_;
    ServerConfig config_;
    std::ostream& log_;
    std::mutex logMutex_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;

    std::vector<Connection> reading_;

    std::mutex openMutex_;
    std::condition_variable openDone_;
    int open_ = 0;
    std::unordered_map<std::string, int> openByIp_;

    struct Bucket {
        double tokens;
        Time last;
    };
    std::unordered_map<std::string, Bucket> buckets_;  // accept thread only

    struct Refusals {
        Time logged;
        int64_t left = 0;  // refusals not logged since
    };
    std::unordered_map<std::string, Refusals> refusals_;  // under logMutex_

    std::mutex queueMutex_;
    std::condition_variable queueReady_;
    std::deque<Connection> queue_;
    bool queueStop_ = false;

    struct HashJob {
        Connection c;
        Request request;
        std::function<Answer()> slow;
    };
    std::mutex hashMutex_;
    std::condition_variable hashReady_;
    std::deque<HashJob> hashJobs_;
    bool hashStop_ = false;

    struct Lingering {
        int fd;
        Time deadline;
        size_t drained;
    };
    std::mutex lingerMutex_;
    std::vector<Lingering> lingering_;
    bool lingerStop_ = false;
    int lingerWake_[2] = {-1, -1};
};

}  // namespace scoreserver
