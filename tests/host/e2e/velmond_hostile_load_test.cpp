// velmond under load on loopback: GetBulk with absurd repetition counts, a
// burst of interleaved requests from several clients, and SIGTERM in the
// middle of a bulk walk. Answers stay bounded and correct, memory stays put,
// and the daemon stops promptly and cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

#include "host/support/daemon.h"
#include "host/support/proc_status.h"
#include "host/support/snmp_socket.h"
#include "host/support/view_walk.h"

namespace velmond::testing {
namespace {

using ber::Oid;
namespace tag = ber::tag;
namespace error = ber::error;
using Clock = std::chrono::steady_clock;

// How much the daemon may grow over the bulk requests. The sanitizers hold
// freed memory back for a while (ASan's quarantine) and shadow what is used,
// so there only an explosion shows: an answer sized by the repetition count
// asked for would take gigabytes.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long kGrowthLimitKiB = 192 * 1024;
#else
constexpr long kGrowthLimitKiB = 32 * 1024;
#endif

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::vector<Oid> Names(const std::vector<ber::Binding>& walk) {
  std::vector<Oid> names;
  for (const ber::Binding& b : walk) names.push_back(b.name);
  return names;
}

class Load : public ::testing::Test {
 protected:
  void SetUp() override {
    world_ = VELMOND_ORACLE_TESTS ? "oracle-rac-2" : "no-cluster";
    daemon_ = Start(*dir_);
    ASSERT_TRUE(daemon_);
    socket_ = std::make_unique<SnmpSocket>(daemon_->Target());
    ASSERT_TRUE(socket_->Ok());
    std::vector<Oid> names = ExpectedNames(std::string(VELMOND_EXPECTED_DIR) + "/" + world_ + ".v2c.txt");
    ASSERT_FALSE(names.empty());
    // The agent finds its cluster on its own thread.
    ASSERT_TRUE(WaitUntil(
        [&] {
          reference_ = WalkView(*socket_);
          return Names(reference_) == names;
        },
        std::chrono::seconds(20)))
        << daemon_->Log();
  }

  std::unique_ptr<Daemon> Start(const TempDir& dir) {
    auto daemon = std::make_unique<Daemon>(dir, std::vector<std::string>{"--world", ExampleWorld(world_ + ".toml")});
    EXPECT_TRUE(daemon->Started()) << daemon->Log();
    if (!daemon->Started()) return nullptr;
    return daemon;
  }

  void TearDown() override {
    if (!daemon_) return;
    EXPECT_EQ(daemon_->Stop(), 0);
    EXPECT_FALSE(HasSanitizerReport(daemon_->Log())) << daemon_->Log();
  }

  // What GetNext answers for `name` in v2c.
  ber::Binding Next(const Oid& name) const {
    for (const ber::Binding& b : reference_) {
      if (name < b.name) return b;
    }
    return {name, {tag::kEndOfMibView, ""}};
  }

  // The full answer a GetBulk may give, by RFC 3416: non-repeaters once,
  // then the repeaters, repetition after repetition, each from where the
  // last one stopped. The agent may send fewer repetitions, and stops once a
  // repetition has run off the end for every repeater.
  std::vector<ber::Binding> BulkAnswer(const std::vector<Oid>& names, std::int64_t nonRepeaters,
                                       std::int64_t maxRepetitions, std::size_t limit) const {
    auto n = static_cast<std::size_t>(std::clamp<std::int64_t>(nonRepeaters, 0, static_cast<std::int64_t>(names.size())));
    std::int64_t m = std::max<std::int64_t>(maxRepetitions, 0);
    std::vector<ber::Binding> answer;
    for (std::size_t i = 0; i < n; ++i) answer.push_back(Next(names[i]));
    std::vector<Oid> at(names.begin() + static_cast<std::ptrdiff_t>(n), names.end());
    for (std::int64_t j = 0; j < m && !at.empty() && answer.size() < limit; ++j) {
      bool allEnded = true;
      for (Oid& name : at) {
        ber::Binding next = Next(name);
        allEnded = allEnded && next.value.type == tag::kEndOfMibView;
        name = next.name;
        answer.push_back(std::move(next));
      }
      if (allEnded) break;
    }
    return answer;
  }

  std::string world_;
  std::unique_ptr<TempDir> dir_ = std::make_unique<TempDir>();
  std::unique_ptr<Daemon> daemon_;
  std::unique_ptr<SnmpSocket> socket_;
  std::vector<ber::Binding> reference_;
  std::int64_t id_ = 1;
};

TEST_F(Load, HugeBulkRequestsGetBoundedCorrectAnswersAndMemoryStaysPut) {
  int pid = FindProcess(VelmondBinary(), dir_->path());
  ASSERT_GT(pid, 0);
  struct Case {
    std::vector<Oid> names;
    std::int64_t nonRepeaters, maxRepetitions;
  };
  const Oid view = ViewOid();
  std::vector<Oid> fifty(50, view);
  std::vector<Case> cases{
      {{view}, 0, 2147483647},
      {{view}, 0, 65535},
      {{view}, 5, 10},  // more non-repeaters than bindings
      {{view, InView({1, 2})}, 2147483647, 2147483647},
      {{view}, -1, -1},
      {{view}, -2147483648ll, 2147483647},
      {{view, InView({1, 1, 1, 0}), InView({1, 2})}, 1, 65535},
      {fifty, 0, 2147483647},
      {{{1, 3, 6, 1, 4, 1}}, 0, 2147483647},  // after the system group, before the view
      {{PastViewOid()}, 0, 2147483647},
  };
  long before = ResidentKiB(pid);
  auto start = Clock::now();
  int requests = 0;
  std::size_t largest = 0;
  for (int round = 0; round < 20; ++round) {
    for (const Case& c : cases) {
      SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(c.names.size()) + " names, " +
                   std::to_string(c.nonRepeaters) + " non-repeaters, " + std::to_string(c.maxRepetitions) +
                   " repetitions");
      ber::Message bulk = Request(tag::kGetBulk, c.names, ++id_);
      bulk.errorStatus = c.nonRepeaters;
      bulk.errorIndex = c.maxRepetitions;
      auto asked = Clock::now();
      auto answer = socket_->Ask(bulk);
      ++requests;
      ASSERT_TRUE(answer) << "no answer";
      EXPECT_LT(MillisecondsSince(asked), 3000);
      EXPECT_EQ(answer->errorStatus, error::kNoError);
      const auto& got = answer->bindings;
      largest = std::max(largest, got.size());
      // Bounded: a few hundred bindings at most, never millions.
      ASSERT_LE(got.size(), 500u);
      std::vector<ber::Binding> expected = BulkAnswer(c.names, c.nonRepeaters, c.maxRepetitions, got.size());
      ASSERT_LE(got.size(), expected.size());
      EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin())) << "the answer strays from the walk";
      // At least one whole repetition, and the whole walk where it fits.
      auto n = static_cast<std::size_t>(std::clamp<std::int64_t>(c.nonRepeaters, 0, static_cast<std::int64_t>(c.names.size())));
      if (c.maxRepetitions > 0) {
        EXPECT_GE(got.size(), c.names.size());
      }
      if (c.names.size() - n == 1 && c.maxRepetitions > 0) {
        EXPECT_EQ(got.size(), expected.size());
      }
    }
  }
  long after = ResidentKiB(pid);
  std::printf("[ hostile  ] %d bulk requests in %lld ms, largest answer %zu bindings, VmRSS %ld -> %ld KiB\n",
              requests, MillisecondsSince(start), largest, before, after);
  ASSERT_GT(before, 0);
  EXPECT_LT(after - before, kGrowthLimitKiB) << "the daemon grew by " << after - before << " KiB";
  EXPECT_EQ(WalkView(*socket_), reference_);
}

TEST_F(Load, BurstFromEightClientsIsAnsweredCorrectlyRequestByRequest) {
  constexpr int kClients = 8;
  constexpr int kRequests = 200;
  struct Tally {
    int answered = 0;
    int wrong = 0;
    int stray = 0;
    std::string firstProblem;
  };
  std::vector<Tally> tallies(kClients);
  auto start = Clock::now();
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      SnmpSocket socket(daemon_->Target());
      Tally& tally = tallies[static_cast<std::size_t>(c)];
      for (int i = 0; i < kRequests && MillisecondsSince(start) < 30000; ++i) {
        const ber::Binding& at = reference_[static_cast<std::size_t>(i + c) % reference_.size()];
        std::int64_t id = (c + 1) * 100000 + i;
        ber::Message request;
        std::vector<ber::Binding> expected;
        switch ((i + c) % 3) {
          case 0:
            request = Request(tag::kGet, {at.name}, id);
            expected = {at};
            break;
          case 1:
            request = Request(tag::kGetNext, {at.name}, id, i % 2);
            expected = {Next(at.name)};
            if (i % 2 == 0 && expected.front().value.type == tag::kEndOfMibView) {
              expected.front().value = ber::Null();  // v1 says noSuchName and echoes the request
            }
            break;
          default:
            request = Bulk(at.name, 0, 4, id);
            expected = BulkAnswer({at.name}, 0, 4, 4);
            break;
        }
        auto answer = socket.Ask(request);
        if (!answer) {
          if (tally.firstProblem.empty()) tally.firstProblem = "no answer to request " + std::to_string(id);
          ++tally.wrong;
          continue;
        }
        ++tally.answered;
        if (answer->bindings != expected) {
          if (tally.firstProblem.empty()) tally.firstProblem = "wrong answer to request " + std::to_string(id);
          ++tally.wrong;
        }
      }
      tally.stray = socket.Skipped();
    });
  }
  for (std::thread& t : clients) t.join();
  long long took = MillisecondsSince(start);
  int answered = 0;
  for (const Tally& t : tallies) {
    answered += t.answered;
    EXPECT_EQ(t.wrong, 0) << t.firstProblem;
    // Every datagram a client received was the answer to its own request.
    EXPECT_EQ(t.stray, 0);
  }
  EXPECT_EQ(answered, kClients * kRequests);
  std::printf("[ hostile  ] %d of %d requests from %d clients answered in %lld ms\n", answered, kClients * kRequests,
              kClients, took);
  EXPECT_EQ(WalkView(*socket_), reference_);
}

// SIGTERM and SIGINT stop the daemon cleanly in the middle of a bulk walk;
// SIGKILL just ends it. Whichever way it went, a new daemon on the same
// world answers the same walk.
TEST_F(Load, StopBySignalDuringBulkWalkAndARestartAnswersTheSameWalk) {
  for (int stopSignal : {SIGTERM, SIGINT, SIGKILL}) {
    SCOPED_TRACE(strsignal(stopSignal));
    std::atomic<int> requests{0};
    std::atomic<int> wrong{0};
    std::atomic<bool> quit{false};
    std::thread walker([&] {
      SnmpSocket socket(daemon_->Target());
      Oid at = ViewOid();
      auto begun = Clock::now();
      // Walks the view again and again until the daemon stops answering.
      while (!quit.load() && MillisecondsSince(begun) < 20000 && requests.load() < 100000) {
        auto answer = socket.Ask(Bulk(at, 0, 3, 1 + requests.load()), std::chrono::milliseconds(1000));
        if (!answer) break;
        ++requests;
        std::vector<ber::Binding> expected = BulkAnswer({at}, 0, 3, answer->bindings.size());
        if (answer->bindings.empty() || answer->bindings.size() > expected.size() ||
            !std::equal(answer->bindings.begin(), answer->bindings.end(), expected.begin())) {
          ++wrong;
        }
        const ber::Binding& last = answer->bindings.empty() ? ber::Binding{} : answer->bindings.back();
        at = last.value.type == tag::kEndOfMibView || last.name.empty() ? ViewOid() : last.name;
      }
    });
    bool walking = WaitUntil([&] { return requests.load() >= 50; }, std::chrono::seconds(10));
    auto stopping = Clock::now();
    int pid = FindProcess(VelmondBinary(), dir_->path());
    if (pid > 0 && stopSignal != SIGTERM) {
      kill(pid, stopSignal);
      WaitUntil([&] { return FindProcess(VelmondBinary(), dir_->path()) < 0; }, std::chrono::seconds(10));
    }
    int code = daemon_->Stop();
    long long took = MillisecondsSince(stopping);
    quit = true;
    walker.join();
    std::string log = daemon_->Log();
    daemon_.reset();
    ASSERT_TRUE(walking) << requests.load() << " requests";
    ASSERT_GT(pid, 0);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_FALSE(HasSanitizerReport(log)) << log;
    if (stopSignal != SIGKILL) {
      EXPECT_EQ(code, 0);
      // Well inside the ten seconds after which the test would kill it.
      EXPECT_LT(took, 8000) << "stopping took " << took << " ms";
      EXPECT_NE(log.find(std::string("stopping on ") + (stopSignal == SIGINT ? "SIGINT" : "SIGTERM")),
                std::string::npos)
          << log;
      EXPECT_NE(log.find("stopped"), std::string::npos) << log;
    }
    std::printf("[ hostile  ] %s after %d bulk requests, stopped in %lld ms\n", strsignal(stopSignal), requests.load(),
                took);

    // A new daemon on the same world answers as the first one did.
    dir_ = std::make_unique<TempDir>();
    daemon_ = Start(*dir_);
    ASSERT_TRUE(daemon_);
    SnmpSocket socket(daemon_->Target());
    std::vector<ber::Binding> walk;
    EXPECT_TRUE(WaitUntil(
        [&] {
          walk = WalkView(socket);
          return walk == reference_;
        },
        std::chrono::seconds(20)))
        << walk.size() << " instances";
  }
}

}  // namespace
}  // namespace velmond::testing
