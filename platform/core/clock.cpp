// clock.cpp — MilliSecs, Delay and the date and time texts over the installed
// ClockBackend, and the real clock.
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/core/core.h"
#include "platform/platform.h"

namespace {

class RealClock : public plat::ClockBackend {
public:
    uint32_t Millis() override {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start_);
        return static_cast<uint32_t>(ms.count());
    }
    void Sleep(int ms) override {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    int64_t UnixSeconds() override {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return static_cast<int64_t>(now) + local.tm_gmtoff;
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::tm LocalNow() {
    const std::time_t t = static_cast<std::time_t>(plat::Clock()->UnixSeconds());
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
}

std::string TwoDigits(int v) {
    return std::string(1, static_cast<char>('0' + v / 10 % 10)) +
           static_cast<char>('0' + v % 10);
}

}  // namespace

namespace plat {
std::unique_ptr<ClockBackend> CreateRealClock() { return std::make_unique<RealClock>(); }
}  // namespace plat

uint32_t MilliSecs() { return plat::Clock()->Millis(); }

void Delay(int ms) { plat::Clock()->Sleep(ms); }

std::string CurrentDate() {
    // English month names whatever the locale: the date is part of file
    // names and score stamps that other code parses.
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::tm tm = LocalNow();
    return TwoDigits(tm.tm_mday) + " " + kMonths[tm.tm_mon] + " " +
           std::to_string(tm.tm_year + 1900);
}

std::string CurrentTime() {
    const std::tm tm = LocalNow();
    return TwoDigits(tm.tm_hour) + ":" + TwoDigits(tm.tm_min) + ":" + TwoDigits(tm.tm_sec);
}
