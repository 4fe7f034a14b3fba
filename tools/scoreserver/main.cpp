// main.cpp — scoreserver: the online score server for games on this
// framework. Options, signals, and the start and stop log lines.
#include <sodium.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tools/scoreserver/server.h"

namespace {

scoreserver::Server* RunningServer = nullptr;

extern "C" void OnStopSignal(int) {
    if (RunningServer) RunningServer->Stop();
}

const char* const Usage =
    "usage: scoreserver [--port N] [--db FILE] [--motd FILE] [--bind ADDRESS]\n"
    "                   [--timeout-ms N] [--max-connections N]\n"
    "  --port N             TCP port to listen on (default 8080; 0 picks a free one)\n"
    "  --db FILE            SQLite database, created when missing (default scores.sqlite)\n"
    "  --motd FILE          message of the day shown after a login (at most 19 lines)\n"
    "  --bind ADDRESS       IPv4 address to listen on (default 0.0.0.0, every interface)\n"
    "  --timeout-ms N       time a client has to send its request (default 5000)\n"
    "  --max-connections N  connections served at once (default 128)\n";

bool ReadNumber(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end || end == text || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    scoreserver::ServerConfig server;
    std::string db = "scores.sqlite", motdFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return 0;
        }
        if (i + 1 >= argc) {
            std::cerr << "scoreserver: " << arg << " needs a value\n" << Usage;
            return 2;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "--port") ok = ReadNumber(value, 0, 65535, server.port);
        else if (arg == "--db") db = value;
        else if (arg == "--motd") motdFile = value;
        else if (arg == "--bind") server.bind = value;
        else if (arg == "--timeout-ms") ok = ReadNumber(value, 100, 600000, server.timeoutMs);
        else if (arg == "--max-connections") ok = ReadNumber(value, 1, 4096, server.maxConnections);
        else ok = false;
        if (!ok) {
            std::cerr << "scoreserver: bad option " << arg << " " << value << "\n" << Usage;
            return 2;
        }
    }

    if (sodium_init() < 0) {
        std::cerr << "scoreserver: libsodium cannot start\n";
        return 1;
    }
    scoreserver::ServiceConfig serviceConfig;
    if (!motdFile.empty()) {
        std::ifstream in(motdFile, std::ios::binary);
        if (!in) {
            std::cerr << "scoreserver: cannot read " << motdFile << "\n";
            return 1;
        }
        std::stringstream text;
        text << in.rdbuf();
        serviceConfig.motd = scoreserver::CleanMotd(text.str());
    }

    // Every open connection and every answered one still lingering holds a
    // descriptor; the usual soft limit of 1024 is too tight for the cap.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = std::min<rlim_t>(files.rlim_max, 65536);
        setrlimit(RLIMIT_NOFILE, &files);
    }

    scoreserver::ScoreService service(serviceConfig);
    std::string error;
    if (!service.Open(db, error)) {
        std::cerr << "scoreserver: cannot open " << db << ": " << error << "\n";
        return 1;
    }
    scoreserver::Server listener(service, server, std::cout);
    if (!listener.Listen(error)) {
        std::cerr << "scoreserver: " << error << "\n";
        return 1;
    }

    RunningServer = &listener;
    struct sigaction stop{};
    stop.sa_handler = OnStopSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    listener.Log("scoreserver listening on " + server.bind + ":" +
                 std::to_string(listener.Port()) + ", database " + db);
    listener.Run();
    listener.Log("scoreserver stopped");
    RunningServer = nullptr;
    return 0;
}
