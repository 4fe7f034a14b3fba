// bench_scoreserver_load — what the score server sustains on this machine:
// requests per second for table fetches and for score submissions with 1, 16
// and 64 concurrent loopback clients, and the size of the database after
// 100,000 submitted scores. Every request is a connection of its own with the
// bytes the game sends. The server is the built program on a free port of
// 127.0.0.1, with a fresh SQLite database in a temporary folder or the
// (fresh, empty) database --db names; with --servers 2, two programs share
// it and the clients take turns between them.
//
//   bench_scoreserver_load [SERVER] [--scores N] [--db postgresql://...] [--servers N]
//
// SERVER defaults to the scoreserver beside the bench folder. The per-address
// limits are lifted (every client here is 127.0.0.1) and an account keeps 30
// entries a table. The machine is shared: each figure is printed with the
// load average beside it.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "scores/scores.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Accounts the clients share; each costs one slow password hash to register.
constexpr int Accounts = 16;
// No phase runs longer than this, whatever its request count.
constexpr double PhaseLimitSeconds = 120;

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

double SecondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

std::string AccountName(int i) { return "Bench" + std::to_string(100 + i); }
const std::string Password = "bench-password";

std::string Credentials(const std::string& name) {
    return Scramble(name + "|" + Password, AccountKey);
}

std::string LoginRequest(int account) {
    const std::string name = AccountName(account);
    return "GET //enscore/login.php?week=283&input=" +
           Scramble(name + "|" + Credentials(name), DefaultKey) +
           " HTTP/1.0\nHost: 127.0.0.1\nUser-Agent: PalisadeThttp/1.0\n\n\r\n";
}

// Submission number n: a game of its own (unique stamp) in one of 12 tables.
std::string ScoreRequest(int64_t n) {
    Scores r;
    r.Score = (n * 7919) % 1000003;
    r.Timestamp = 20270101000000 + n;
    r.Name = "Player " + std::to_string(n % 97);
    r.Badges = static_cast<int>(n % 64);
    r.GameMode = static_cast<int>(n % 3);
    r.Level = static_cast<int>((n / 3) % 4);
    for (int b = 1; b <= 30; ++b) r.Best[b] = static_cast<int>((n + b) % 50);
    std::string line = RecordText(r);
    line.replace(line.find(RecordSeparator), RecordSeparator.size(), "|" + RecordSeparator + "|");
    const std::string name = AccountName(static_cast<int>(n % Accounts));
    return "GET //enscore/scores.php?Week=283&Input=" +
           Scramble(name + "|" + Credentials(name) + "|" + line, DefaultKey) +
           " HTTP/1.0\nHost: 127.0.0.1\nUser-Agent: PalisadeThttp/1.0\n\n\r\n";
}

std::string TableRequest(int64_t n) {
    const int64_t id = n % 3 + 100 * ((n / 3) % 4);
    return "GET //enscore/tables/283/" + std::to_string(id) +
           ".txt HTTP/1.0\nHost: 127.0.0.1\nUser-Agent: PalisadeThttp/1.0\n\n\r\n";
}

// One request on a connection of its own; the status code, 0 on failure.
int Exchange(int port, const std::string& request) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int fd = -1;
    // Connections come and go fast; a moment's wait frees a local port.
    for (int attempt = 0; attempt < 50; ++attempt) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) break;
        ::close(fd);
        fd = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (fd < 0) return 0;
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[8192];
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0) break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return reply.size() > 12 ? std::atoi(reply.c_str() + 9) : 0;
}

struct PhaseResult {
    int64_t done = 0, failed = 0;
    double seconds = 0;
    int lastFailure = -1;  // status of the last failed request (0: no reply)
};

// `total` requests from `clients` threads; request i is made by make(first + i).
// The servers' ports; request i goes to port i mod their count.
std::vector<int> Ports;

template <typename Make>
PhaseResult RunPhase(int, int clients, int64_t first, int64_t total, Make make,
                     int okStatus1, int okStatus2) {
    // Built before the clock starts, so the figure is the server's work.
    std::vector<std::string> requests;
    requests.reserve(static_cast<size_t>(total));
    for (int64_t i = 0; i < total; ++i) requests.push_back(make(first + i));
    std::atomic<int64_t> next{0}, done{0}, failed{0};
    std::atomic<int> lastFailure{-1};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            int64_t i;
            while ((i = next.fetch_add(1)) < total && SecondsSince(start) < PhaseLimitSeconds) {
                const int status = Exchange(Ports[static_cast<size_t>(i) % Ports.size()],
                                            requests[static_cast<size_t>(i)]);
                if (status == okStatus1 || status == okStatus2) {
                    ++done;
                } else {
                    ++failed;
                    lastFailure = status;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    return {done.load(), failed.load(), SecondsSince(start), lastFailure.load()};
}

void Print(const char* what, int clients, const PhaseResult& r) {
    std::printf("%-22s %3d clients: %7.0f requests/s  (%lld in %.2f s, %lld failed",
                what, clients, r.done / r.seconds, static_cast<long long>(r.done), r.seconds,
                static_cast<long long>(r.failed));
    if (r.failed) std::printf(", last with status %d", r.lastFailure);
    std::printf(")  load %s\n", LoadAverage().c_str());
    std::fflush(stdout);
}

struct Running {
    pid_t pid = -1;
    int port = 0;
    std::thread drain;
};

// Starts one server; false when it did not come up.
bool StartServer(const std::string& server, const std::string& db, Running& r) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    r.pid = ::fork();
    if (r.pid == 0) {
        ::dup2(out[1], 1);
        ::execl(server.c_str(), server.c_str(), "--bind", "127.0.0.1", "--port", "0", "--db",
                db.c_str(), "--max-connections", "256", "--per-address-connections", "256",
                "--rate-per-address", "0", "--registrations-per-hour", "0", "--quota", "30",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    // The log names the port after the database line; the rest (one line
    // per request) is read and dropped so the server never waits on a full pipe.
    std::string first;
    char c;
    while (first.find("listening on") == std::string::npos) {
        first.clear();
        while (::read(out[0], &c, 1) == 1 && c != '\n') first += c;
        if (first.empty()) break;
        std::printf("server: %s\n", first.c_str());
    }
    const size_t colon = first.rfind("127.0.0.1:");
    if (colon == std::string::npos) {
        std::fprintf(stderr, "bench: %s did not start\n", server.c_str());
        return false;
    }
    r.port = std::atoi(first.c_str() + colon + 10);
    r.drain = std::thread([fd = out[0]] {
        char buffer[65536];
        while (::read(fd, buffer, sizeof buffer) > 0) {
        }
        ::close(fd);
    });
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string server = (fs::path(argv[0]).parent_path() / ".." / "scoreserver").string();
    int64_t totalScores = 100000;
    std::string db;
    int servers = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--scores" && i + 1 < argc) totalScores = std::atoll(argv[++i]);
        else if (arg == "--db" && i + 1 < argc) db = argv[++i];
        else if (arg == "--servers" && i + 1 < argc) servers = std::max(1, std::atoi(argv[++i]));
        else server = arg;
    }

    std::string pattern = (fs::temp_directory_path() / "flingo-serverbench-XXXXXX").string();
    const fs::path dir = mkdtemp(pattern.data());
    const bool sqlite = db.empty();
    if (sqlite) db = (dir / "scores.sqlite").string();

    std::vector<Running> running(static_cast<size_t>(servers));
    for (auto& r : running) {
        if (!StartServer(server, db, r)) return 1;
        Ports.push_back(r.port);
    }
    const int port = Ports.front();

    InitGlobals();
    BuildDefaultKey();
    std::printf("score server load, %d accounts, %d server(s) %s, database %s\n", Accounts,
                servers, server.c_str(), sqlite ? "SQLite (fresh file)" : "as given");

    // Registration pays the slow password hash once per account.
    auto t = Clock::now();
    int registered = 0;
    for (int i = 0; i < Accounts; ++i) registered += Exchange(port, LoginRequest(i)) == 200;
    const double registerSeconds = SecondsSince(t);
    std::printf("%-22s %3d client:  %7.1f requests/s  (%d in %.2f s)  load %s\n", "register (slow hash)",
                1, registered / registerSeconds, registered, registerSeconds,
                LoadAverage().c_str());

    int64_t submitted = 0;
    for (int clients : {1, 16, 64}) {
        const int64_t n = 5000;
        const auto r = RunPhase(port, clients, submitted, n, ScoreRequest, 200, 200);
        submitted += n;
        Print("score submissions", clients, r);
    }
    for (int clients : {1, 16, 64}) {
        const int64_t n = 10000;
        const auto r = RunPhase(port, clients, 0, n, TableRequest, 200, 404);
        Print("table fetches", clients, r);
    }

    // Fill up to the total in slices, so the request texts never all sit in memory.
    t = Clock::now();
    int64_t fillFailed = 0;
    while (submitted < totalScores && SecondsSince(t) < 10 * PhaseLimitSeconds) {
        const int64_t n = std::min<int64_t>(10000, totalScores - submitted);
        fillFailed += RunPhase(port, 16, submitted, n, ScoreRequest, 200, 200).failed;
        submitted += n;
    }
    std::printf("filled to %lld submissions in %.1f s (%lld failed)  load %s\n",
                static_cast<long long>(submitted), SecondsSince(t),
                static_cast<long long>(fillFailed), LoadAverage().c_str());

    int failedExits = 0;
    for (auto& r : running) {
        ::kill(r.pid, SIGTERM);
        int status = 0;
        ::waitpid(r.pid, &status, 0);
        r.drain.join();
        failedExits += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    uintmax_t bytes = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code ec;
        const auto size = fs::file_size(db + suffix, ec);
        if (!ec) bytes += size;
    }
    if (sqlite)
        std::printf("database after %lld submitted scores: %.1f MiB (%.0f bytes a score)\n",
                static_cast<long long>(submitted), bytes / 1048576.0,
                submitted ? double(bytes) / double(submitted) : 0.0);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return failedExits == 0 ? 0 : 1;
}
