// support.h — fixtures of the score server tests: payloads built the way the
// game builds them, requests sent byte for byte as the game sends them to a
// loopback port, and the real server program run on a fresh database.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "draw/strings.h"
#include "scores/scores.h"
#include "tests/framework/support.h"
#include "tools/scoreserver/store.h"

#ifdef FLINGO_HAVE_LIBPQ
#include <libpq-fe.h>
#endif

namespace servertest {

namespace fs = std::filesystem;
using testing_support::ScratchTree;

// The game's key for its own week, built the way the game builds it.
inline const std::string& GameKey() {
    static const std::string key = [] {
        InitGlobals();
        BuildDefaultKey();
        return DefaultKey;
    }();
    return key;
}

inline std::string Credentials(const std::string& name, const std::string& password) {
    return Scramble(name + "|" + password, AccountKey);
}
inline std::string LoginPayload(const std::string& name, const std::string& password) {
    return Scramble(name + "|" + Credentials(name, password), GameKey());
}
// The record line with the separator framed by bars, as the game sends it.
inline std::string SentLine(const Scores& r) {
    std::string line = RecordText(r);
    line.replace(line.find(RecordSeparator), RecordSeparator.size(), "|" + RecordSeparator + "|");
    return line;
}
inline std::string ScorePayloadOf(const std::string& name, const std::string& password,
                                  const std::string& line) {
    return Scramble(name + "|" + Credentials(name, password) + "|" + line, GameKey());
}
inline std::string ScorePayload(const std::string& name, const std::string& password,
                                const Scores& r) {
    return ScorePayloadOf(name, password, SentLine(r));
}

inline Scores Game(int64_t score, int64_t stamp, const std::string& name = "Ann", int mode = 1,
                   int level = 0, int flags = 0) {
    Scores r;
    r.Score = score;
    r.Timestamp = stamp;
    r.Name = name;
    r.Badges = 5;
    r.GameMode = mode;
    r.Level = level;
    r.GameFlags = flags;
    for (int i = 1; i <= 30; ++i) r.Best[i] = i * 3;
    return r;
}

// The paths the game asks for.
inline std::string LoginPath(const std::string& payload) {
    return "/enscore/login.php?week=283&input=" + payload;
}
inline std::string ScorePath(const std::string& payload) {
    return "/enscore/scores.php?Week=283&Input=" + payload;
}
inline std::string TablePath(int64_t id) {
    return "/enscore/tables/283/" + std::to_string(id) + ".txt";
}

// Connects to 127.0.0.1:port from `from` (another loopback address stands
// for another client); -1 when refused.
inline int Connect(int port, const char* from = nullptr) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (from) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline bool SendText(int fd, const std::string& text) {
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// Everything the server sends until it closes, waiting at most `limitMs`.
inline std::string ReadToClose(int fd, int limitMs = 10000) {
    std::string reply;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, static_cast<size_t>(n));
    }
    return reply;
}

// One request as the game writes it: a slash of its own before the path, LF
// line ends, and the CR LF its line writer adds after the blank line.
inline std::string GameRequest(const std::string& path) {
    return "GET /" + path + " HTTP/1.0\nHost: 127.0.0.1\nUser-Agent: PalisadeThttp/1.0\n\n\r\n";
}

// Sends raw bytes, returns the whole reply ("" when nobody listens).
inline std::string Exchange(int port, const std::string& bytes, const char* from = nullptr) {
    const int fd = Connect(port, from);
    if (fd < 0) return "";
    SendText(fd, bytes);
    std::string reply = ReadToClose(fd);
    ::close(fd);
    return reply;
}

inline std::string Body(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? "" : reply.substr(end + 4);
}
inline int Status(const std::string& reply) {
    return reply.rfind("HTTP/1.0 ", 0) == 0 ? std::stoi(reply.substr(9, 3)) : 0;
}

// The real server program on a loopback port chosen by the system, with its
// log lines collected.
class ServerProcess {
public:
    ServerProcess(const fs::path& db, std::vector<std::string> extra = {}) { Start(db, extra); }
    ~ServerProcess() { Stop(SIGKILL); }

    void Start(const fs::path& db, const std::vector<std::string>& extra = {}) {
        int out[2];
        ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
        std::vector<std::string> args = {FLINGO_BUILD_DIR "/scoreserver", "--bind", "127.0.0.1",
                                         "--port", "0", "--db", db.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
        // The database line first, then the one that names the port.
        std::string first;
        start_.clear();
        for (int i = 0; i < 4 && first.find("listening on") == std::string::npos; ++i)
            start_.push_back(first = NextLine(10000));
        const size_t colon = first.rfind("127.0.0.1:");
        ASSERT_NE(colon, std::string::npos) << "server said: " << first;
        port_ = std::stoi(first.substr(colon + 10));
        reader_ = std::thread([this] {
            std::string line;
            while (!(line = NextLine(-1)).empty()) {
                std::lock_guard<std::mutex> lock(mutex_);
                lines_.push_back(line);
            }
        });
    }

    // Sends `signal` and waits (at most 10 s) for the exit; the exit status,
    // or -1 when it had to be killed.
    int Stop(int signal = SIGTERM) {
        if (pid_ <= 0) return -1;
        ::kill(pid_, signal);
        int status = 0, result = -1;
        for (int i = 0; i < 1000; ++i) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (i == 999) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
            }
        }
        pid_ = -1;
        if (reader_.joinable()) reader_.join();
        ::close(out_);
        return result;
    }

    int port() const { return port_; }
    // The lines up to the one naming the port (the database, its size).
    const std::vector<std::string>& StartLog() const { return start_; }
    std::string Get(const std::string& path, const char* from = nullptr) const {
        return Exchange(port_, GameRequest(path), from);
    }

    // The log so far; waits a moment for the line of a request just answered.
    std::vector<std::string> Log(size_t atLeast = 0) {
        for (int i = 0; i < 200; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (lines_.size() >= atLeast) return lines_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    // One line of the program's output ("" at its end or after `limitMs`).
    std::string NextLine(int limitMs) {
        std::string line;
        char c;
        while (true) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, limitMs) <= 0) return line;
            if (::read(out_, &c, 1) != 1) return line;
            if (c == '\n') return line;
            line += c;
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int port_ = 0;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<std::string> lines_, start_;
};

// What the database holds, read beside a running server.
inline scoreserver::StoreCounts CountsIn(const fs::path& db) {
    std::string error;
    auto store = scoreserver::OpenStore(db.string(), error, true);
    if (!store) return {-1, -1, -1};
    return store->Counts();
}

// A fresh database of one kind for one test: "sqlite", a file in `dir`; or
// "postgresql", a database of its own on the cluster FLINGO_TEST_POSTGRES
// names ("postgresql://USER@HOST:PORT", as ./test.sh starts it), dropped at
// the end. Not available() where that kind cannot be had here.
class TestDatabase {
public:
    TestDatabase(const std::string& kind, const fs::path& dir) {
        if (kind == "sqlite") {
            where_ = (dir / "scores.sqlite").string();
            return;
        }
#ifdef FLINGO_HAVE_LIBPQ
        const char* base = std::getenv("FLINGO_TEST_POSTGRES");
        if (!base || !*base) return;
        static int made = 0;
        const std::string name = "flingo_t" + std::to_string(::getpid()) + "_" + std::to_string(++made);
        if (Admin(std::string(base) + "/postgres", "CREATE DATABASE " + name)) {
            base_ = base;
            name_ = name;
            where_ = base_ + "/" + name_;
        }
#endif
    }
    ~TestDatabase() {
        if (!name_.empty()) Admin(base_ + "/postgres", "DROP DATABASE " + name_ + " WITH (FORCE)");
    }
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    bool available() const { return !where_.empty(); }
    const std::string& where() const { return where_; }

private:
    static bool Admin(const std::string& url, const std::string& sql) {
#ifdef FLINGO_HAVE_LIBPQ
        PGconn* c = PQconnectdb(url.c_str());
        bool ok = PQstatus(c) == CONNECTION_OK;
        if (ok) {
            PGresult* r = PQexec(c, sql.c_str());
            ok = PQresultStatus(r) == PGRES_COMMAND_OK;
            PQclear(r);
        }
        PQfinish(c);
        return ok;
#else
        return false;
#endif
    }
    std::string base_, name_, where_;
};

// The stores every parameterised suite runs on.
inline const auto StoreKinds = testing::Values(std::string("sqlite"), std::string("postgresql"));
inline std::string KindName(const testing::TestParamInfo<std::string>& info) { return info.param; }

// Skips a test of a store this machine does not have.
#define SKIP_WITHOUT(db)                                                              \
    if (!(db).available())                                                            \
    GTEST_SKIP() << "no PostgreSQL here: ./test.sh starts one and sets FLINGO_TEST_POSTGRES"

}  // namespace servertest
