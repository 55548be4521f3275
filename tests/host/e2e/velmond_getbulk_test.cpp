// GetBulk against its definition (RFC 3416): the non-repeaters answered once
// as by GetNext, then each repeater stepped on from its last answer, one
// repetition after the other, ended once a whole repetition is past the end
// of the MIB, and cut to net-snmp's limit of answers per response. The
// reference is the daemon's own GetNext, one request per step, so that what
// the daemon serves after its view (if anything) counts the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "host/support/daemon.h"
#include "host/support/snmp_socket.h"
#include "host/support/view_walk.h"

namespace velmond::testing {
namespace {

using ber::Oid;
namespace tag = ber::tag;

// net-snmp's default cap on the bindings of one GetBulk answer.
constexpr std::size_t kMaxAnswers = 100;

class GetBulk : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string world = VELMOND_ORACLE_TESTS ? "oracle-rac-2" : "no-cluster";
    daemon_ = std::make_unique<Daemon>(dir_, std::vector<std::string>{"--world", ExampleWorld(world + ".toml")});
    ASSERT_TRUE(daemon_->Started()) << daemon_->Log();
    socket_ = std::make_unique<SnmpSocket>(daemon_->Target());
    ASSERT_TRUE(socket_->Ok());
    std::vector<Oid> names = ExpectedNames(std::string(VELMOND_EXPECTED_DIR) + "/" + world + ".v2c.txt");
    ASSERT_TRUE(WaitUntil(
        [&] {
          walk_ = WalkView(*socket_);
          std::vector<Oid> got;
          for (const ber::Binding& b : walk_) got.push_back(b.name);
          return got == names;
        },
        std::chrono::seconds(20)))
        << daemon_->Log();
  }

  void TearDown() override {
    if (!daemon_) return;
    EXPECT_EQ(daemon_->Stop(), 0);
    EXPECT_FALSE(HasSanitizerReport(daemon_->Log())) << daemon_->Log();
  }

  // The daemon's v2c GetNext of `name` (asked once per name).
  ber::Binding Next(const Oid& name) {
    auto known = next_.find(name);
    if (known != next_.end()) return known->second;
    auto answer = socket_->Ask(Request(tag::kGetNext, {name}, ++id_));
    EXPECT_TRUE(answer && answer->errorStatus == 0 && answer->bindings.size() == 1) << "GetNext failed";
    ber::Binding next = answer && answer->bindings.size() == 1 ? answer->bindings.front() : ber::Binding{};
    next_[name] = next;
    return next;
  }

  // The answer net-snmp's agent assembles from GetNext steps. Three of its
  // rules are its own and apply after any handler has answered: at most
  // 100 / repeaters repetitions; a repeater already past the end at its
  // first repetition is named after the request's binding at the
  // repeater's position counted from the first binding, non-repeaters
  // included; and the answer ends after the first repetition in which every
  // repeater but the last is past the end.
  std::vector<ber::Binding> ByGetNext(const std::vector<Oid>& names, std::size_t nonRepeaters,
                                      std::size_t repetitions) {
    std::size_t n = std::min(nonRepeaters, names.size());
    std::vector<ber::Binding> answer;
    for (std::size_t i = 0; i < n; ++i) answer.push_back(Next(names[i]));
    std::vector<Oid> at(names.begin() + static_cast<std::ptrdiff_t>(n), names.end());
    if (at.empty()) return answer;
    repetitions = std::min(repetitions, kMaxAnswers / at.size());
    std::vector<bool> ended(at.size(), false);
    for (std::size_t j = 0; j < repetitions; ++j) {
      bool allButLastEnded = true;
      for (std::size_t i = 0; i < at.size(); ++i) {
        ber::Binding next = ended[i] ? ber::Binding{at[i], {tag::kEndOfMibView, ""}} : Next(at[i]);
        if (!ended[i] && next.value.type == tag::kEndOfMibView) {
          ended[i] = true;
          if (j == 0) next.name = names[i];
        }
        if (i + 1 < at.size() || at.size() == 1) allButLastEnded = allButLastEnded && ended[i];
        at[i] = next.name;
        answer.push_back(std::move(next));
      }
      if (allButLastEnded) break;
    }
    return answer;
  }

  TempDir dir_;
  std::unique_ptr<Daemon> daemon_;
  std::unique_ptr<SnmpSocket> socket_;
  std::vector<ber::Binding> walk_;
  std::map<Oid, ber::Binding> next_;
  std::int64_t id_ = 1;
};

TEST_F(GetBulk, EveryAnswerIsTheRepeatedGetNextAtTheEdgesOfTheView) {
  ASSERT_GE(walk_.size(), 10u);
  const Oid first = walk_.front().name;
  const Oid middle = walk_[walk_.size() / 2].name;
  const Oid beforeLast = walk_[walk_.size() - 2].name;
  const Oid last = walk_.back().name;
  const Oid beforeView{1, 3, 6, 1, 4, 1, 32473};
  // Single repeaters that start before, inside, at the end of and past the
  // view; several repeaters that leave it at different repetitions; more
  // than the cap allows; and non-repeaters mixed in, also more of them than
  // there are names.
  const std::vector<std::vector<Oid>> lists{
      {ViewOid()},
      {beforeView},
      {beforeLast},
      {last},
      {PastViewOid()},
      {last, middle},
      {beforeLast, first, last},
      {middle, PastViewOid(), beforeView},
      {last, last, ViewOid()},
      std::vector<Oid>(11, ViewOid()),  // over the cap from 10 repetitions on
  };
  int cases = 0;
  for (const std::vector<Oid>& names : lists) {
    for (std::int64_t nonRepeaters : {0, 1, 2, 4}) {
      for (std::int64_t repetitions : {0, 1, 2, 3, 7, 40}) {
        SCOPED_TRACE(std::to_string(names.size()) + " names, " + std::to_string(nonRepeaters) + " non-repeaters, " +
                     std::to_string(repetitions) + " repetitions");
        ber::Message bulk = Request(tag::kGetBulk, names, ++id_);
        bulk.errorStatus = nonRepeaters;
        bulk.errorIndex = repetitions;
        auto answer = socket_->Ask(bulk);
        ASSERT_TRUE(answer) << "no answer";
        EXPECT_EQ(answer->errorStatus, 0);
        EXPECT_EQ(answer->errorIndex, 0);
        EXPECT_EQ(answer->bindings, ByGetNext(names, static_cast<std::size_t>(nonRepeaters),
                                              static_cast<std::size_t>(repetitions)));
        ++cases;
      }
    }
  }
  std::printf("[ getbulk  ] %d GetBulk requests matched their GetNext steps\n", cases);
}

}  // namespace
}  // namespace velmond::testing
