// Two server programs on one PostgreSQL database, as behind a load balancer:
// accounts, lock-out counts and tables stay one. Clients use loopback
// addresses of their own (127.0.0.10 + i).
#include <atomic>
#include <barrier>
#include <mutex>
#include <set>

#include "tests/scoreserver/support.h"

using namespace servertest;

namespace {

class ClusterTest : public testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT(db);
        a = std::make_unique<ServerProcess>(Db(), std::vector<std::string>{"--quota", "30"});
        b = std::make_unique<ServerProcess>(Db(), std::vector<std::string>{"--quota", "30"});
    }
    fs::path Db() const { return db.where(); }
    ServerProcess& Via(int i) { return i % 2 ? *b : *a; }
    static std::string From(int client) { return "127.0.0." + std::to_string(10 + client); }
    std::vector<Scores> Rows() {
        std::string error;
        auto store = scoreserver::OpenStore(Db().string(), error);
        return store ? store->Rows(283, 1) : std::vector<Scores>{};
    }

    ScratchTree tree;
    TestDatabase db{"postgresql", tree.Root()};
    std::unique_ptr<ServerProcess> a, b;
};

TEST_F(ClusterTest, OneNewNameThroughBothAtOnceIsOneAccount) {
    for (int n = 0; n < 5; ++n) {
        const std::string name = "Twin" + std::to_string(n);
        std::barrier start(2);
        std::string replies[2];
        std::thread other([&] {
            start.arrive_and_wait();
            replies[1] = Body(Via(1).Get(LoginPath(LoginPayload(name, "second")), "127.0.0.3"));
        });
        start.arrive_and_wait();
        replies[0] = Body(Via(0).Get(LoginPath(LoginPayload(name, "first")), "127.0.0.2"));
        other.join();
        EXPECT_EQ((replies[0] == "Welcome!|") + (replies[1] == "Welcome!|"), 1) << name;
        EXPECT_EQ((replies[0] == "WRONG PASSWORD") + (replies[1] == "WRONG PASSWORD"), 1) << name;
    }
    EXPECT_EQ(CountsIn(Db()).accounts, 5);
}

TEST_F(ClusterTest, WrongPasswordsThroughBothCountTogether) {
    ASSERT_EQ(Body(a->Get(LoginPath(LoginPayload("Shared", "secret")))), "Welcome!|");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Body(Via(i).Get(LoginPath(LoginPayload("Shared", "bad" + std::to_string(i))))),
                  "WRONG PASSWORD");
    EXPECT_EQ(Body(a->Get(LoginPath(LoginPayload("Shared", "secret")))), "LOCKED");
    EXPECT_EQ(Body(b->Get(LoginPath(LoginPayload("Shared", "secret")))), "LOCKED");
}

TEST_F(ClusterTest, SixteenClientsThroughBothLeaveTheTableItsRowsMake) {
    std::vector<std::thread> clients;
    std::atomic<int> stored{0};
    std::mutex mutex;
    std::string refused;  // what the others were answered, for the failure's message
    for (int c = 0; c < 16; ++c) {
        clients.emplace_back([&, c] {
            const std::string name = "Filer" + std::to_string(c);
            const std::string login = Via(c).Get(LoginPath(LoginPayload(name, "secret")), From(c).c_str());
            for (int i = 0; i < 8; ++i) {
                const Scores game = Game((c * 37 + i * 11) % 200, 1000 * c + i);
                const std::string reply = Body(Via(c + i).Get(ScorePath(ScorePayload(name, "secret", game)),
                                                              From(c).c_str()));
                if (reply == "OK") {
                    ++stored;
                    continue;
                }
                std::lock_guard<std::mutex> lock(mutex);
                refused += name + " (login: " + Body(login).substr(0, 40) + "): " + reply.substr(0, 80) + "\n";
            }
        });
    }
    for (auto& t : clients) t.join();
    EXPECT_EQ(stored, 128) << refused;
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 128u);
    std::string expected;
    for (size_t i = 0; i < 30; ++i)
        expected += scoreserver::storedetail::EntryText(rows[i], scoreserver::storedetail::BestText(rows[i]));
    EXPECT_EQ(Body(a->Get(TablePath(1))), expected);
    EXPECT_EQ(Body(b->Get(TablePath(1))), expected);
}

TEST_F(ClusterTest, AKilledServerLosesNoAcknowledgedScore) {
    std::vector<std::thread> clients;
    std::mutex mutex;
    std::vector<int64_t> acknowledged;  // stamps
    std::atomic<int> answered{0};
    for (int c = 0; c < 8; ++c) {
        clients.emplace_back([&, c] {
            const std::string name = "Burst" + std::to_string(c);
            b->Get(LoginPath(LoginPayload(name, "secret")), From(c).c_str());
            for (int i = 0; i < 25; ++i) {
                const Scores game = Game(i + 1, 100000 * c + i);
                const std::string reply =
                    Via(i).Get(ScorePath(ScorePayload(name, "secret", game)), From(c).c_str());
                if (Body(reply) != "OK") continue;
                ++answered;
                std::lock_guard<std::mutex> lock(mutex);
                acknowledged.push_back(game.Timestamp);
            }
        });
    }
    for (int i = 0; i < 500 && answered < 40; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    a->Stop(SIGKILL);  // in the middle of the burst
    for (auto& t : clients) t.join();
    std::set<int64_t> stored;
    for (const auto& r : Rows()) stored.insert(r.Timestamp);
    ASSERT_GE(acknowledged.size(), 40u);
    for (int64_t stamp : acknowledged) EXPECT_TRUE(stored.count(stamp)) << stamp;
}

}  // namespace
