// main.cpp — scoreserver: the online score server for games on this
// framework. Options, signals, and the start and stop log lines.
#include <sodium.h>
#include <sys/resource.h>
#include <sys/stat.h>

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
    "usage: scoreserver [OPTION VALUE]...\n"
    "       scoreserver --version\n"
    "  --port N             TCP port to listen on (default 8080; 0 picks a free one)\n"
    "  --db FILE|URL        SQLite database file, created mode 0600 when missing\n"
    "                       (default scores.sqlite), or postgresql://... for a\n"
    "                       PostgreSQL database several servers share\n"
    "  --motd FILE          message of the day shown after a login (at most 19 lines)\n"
    "  --bind ADDRESS       IPv4 address to listen on (default 0.0.0.0, every interface)\n"
    "  --timeout-ms N       time a client has to send its request (default 5000)\n"
    "  --max-connections N  connections served at once (default 128)\n"
    "  --per-address-connections N  of those, from one address (default cap/16, at least 2)\n"
    "  --rate-per-address N         requests a second from one address (default 10; 0: any)\n"
    "  --burst-per-address N        requests at once from one address (default 30)\n"
    "  --registrations-per-hour N   new names one address may register (default 10; 0: any)\n"
    "  --fail-limit N       wrong passwords of one name from one address before a lock (default 5)\n"
    "  --lock-seconds N     how long the lock holds after the last wrong one (default 60)\n"
    "  --quota N            entries one account keeps in one table, its best (default 5)\n"
    "  --max-level N        highest level a score may carry, 0..9 (default 0)\n"
    "  --max-flags N        highest game flags a score may carry, 0..9 (default 0)\n"
    "  --hash-threads N     password hashes at once, 64 MiB each (default 2)\n";

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
    scoreserver::ServiceConfig serviceConfig;
    std::string db = "scores.sqlite", motdFile;
    int lockSeconds = 60, rate = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << Usage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "scoreserver " << FLINGO_VERSION << "\n";
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
        else if (arg == "--per-address-connections") ok = ReadNumber(value, 1, 4096, server.perAddress);
        else if (arg == "--rate-per-address") ok = ReadNumber(value, 0, 1000000, rate);
        else if (arg == "--burst-per-address") ok = ReadNumber(value, 1, 1000000, server.burstPerAddress);
        else if (arg == "--registrations-per-hour")
            ok = ReadNumber(value, 0, 1000000, serviceConfig.registrationsPerHour);
        else if (arg == "--fail-limit") ok = ReadNumber(value, 1, 1000, serviceConfig.failLimit);
        else if (arg == "--lock-seconds") ok = ReadNumber(value, 1, 86400, lockSeconds);
        else if (arg == "--quota") ok = ReadNumber(value, 1, 30, serviceConfig.quota);
        else if (arg == "--max-level") ok = ReadNumber(value, 0, 9, serviceConfig.maxLevel);
        else if (arg == "--max-flags") ok = ReadNumber(value, 0, 9, serviceConfig.maxFlags);
        else if (arg == "--hash-threads") ok = ReadNumber(value, 1, 64, server.hashThreads);
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
    server.ratePerAddress = rate;
    serviceConfig.lockMs = int64_t{lockSeconds} * 1000;
    // Nothing the server writes (the database above all) is for other users.
    ::umask(077);
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
    int64_t cleaned = 0;
    if (!service.Open(db, error, &cleaned)) {
        std::cerr << "scoreserver: cannot open the database: " << error << "\n";
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

    // The size first, the address last: whoever starts the server waits for
    // the line that names the port.
    const auto counts = service.Counts();
    listener.Log("database " + service.store()->Describe() + ", " +
                 std::to_string(service.store()->SizeBytes()) + " bytes, " +
                 std::to_string(counts.accounts) + " accounts, " +
                 std::to_string(counts.scores) + " scores, " + std::to_string(counts.tables) +
                 " tables");
    if (cleaned > 0)
        listener.Log("database: " + std::to_string(cleaned) +
                     " score names held \"<\" or \">\"; replaced by \"(\" and \")\"");
    listener.Log("scoreserver listening on " + server.bind + ":" + std::to_string(listener.Port()));
    listener.Run();
    listener.Log("scoreserver stopped");
    RunningServer = nullptr;
    return 0;
}
