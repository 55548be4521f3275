// velmond under hours of mixed load: one daemon serves the 256-member Oracle
// world to walkers, bulk walkers and getters whose every answer must equal
// the first complete walk (nothing edits that world); a second serves a
// small Oracle world that is edited live every second (members renamed,
// added and removed, cluster managers started and stopped), and every walk
// of it must show the node table the agent's own rules give for the edits
// made; both take a stream of malformed datagrams. Once a second the
// daemons' threads and resident memory are sampled: threads may grow only
// by the watch entries the edits explain, memory only by a fixed allowance
// per entry. Any wrong answer, stall, sanitizer report or growth fails the
// run. Prints the figures at the end.
//
//   velmond_soak [--seconds N] [--seed N] [--stall-limit-ms N] [--edit-every-ms
//   N]
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "host/soak/malformed.h"
#include "host/soak/oracle_membership.h"
#include "host/soak/soak_client.h"
#include "host/support/daemon.h"
#include "host/support/proc_status.h"
#include "host/support/view_walk.h"

namespace velmond::soak {
namespace {

namespace ber = testing::ber;
using testing::Daemon;
using testing::TempDir;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Settings {
  long seconds = 60;
  unsigned seed = 1;
  milliseconds stallLimit{0};  // 0: set from the latency measured at the start
  milliseconds editEvery{1000};
  milliseconds editSeenWithin{10000};
};

// Memory each watch entry may add: its thread's stack pages, and under the
// address sanitizer its per-thread allocator caches (measured: about 25 KiB
// an entry in a plain build, 560 to 680 KiB under ASan); and what the process may
// grow by anyway.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kKiBPerEntry = 1024;
#else
constexpr long kKiBPerEntry = 128;
#endif
constexpr long kSlackKiB = 48 * 1024;
constexpr long kSlackThreads = 3;

class Run {
 public:
  explicit Run(const Settings& settings) : settings_(settings) {}
  int Main();

 private:
  void Fail(const std::string& what) {
    ++errors_;
    std::lock_guard<std::mutex> lock(mutex_);
    if (messages_.size() < 30) messages_.push_back(what);
    std::cerr << "soak: " << what << std::endl;
  }
  bool Running() const { return !stop_.load() && Clock::now() < end_; }

  void Walker(int repetitions);
  void Getter(unsigned seed);
  void Editor();
  void Malformed(unsigned seed);
  std::string CheckMembership(const std::vector<Binding>& walk, const OracleMembership& model) const;
  void WriteWorld(const std::string& text) const;

  Settings settings_;
  TempDir staticDir_, editedDir_;
  std::unique_ptr<Daemon> static_, edited_;
  std::vector<Binding> reference_;
  Clock::time_point end_;
  std::atomic<bool> stop_{false};
  std::atomic<long> errors_{0}, walks_{0}, bulkWalks_{0}, gets_{0}, edits_{0}, malformed_{0};
  std::atomic<long> requests_{0};
  std::atomic<std::int64_t> entries_{0};
  std::mutex mutex_;
  std::vector<std::string> messages_;
  std::vector<int> latencies_;
};

std::string Show(const std::vector<Binding>& walk, std::size_t at) {
  if (at >= walk.size()) return "(end of walk)";
  std::ostringstream out;
  testing::ber::PrintTo(walk[at], &out);
  return out.str();
}

void Run::Walker(int repetitions) {
  SoakClient client(static_->Target(), settings_.stallLimit);
  while (Running()) {
    Walk walk = client.WalkView(repetitions);
    (repetitions > 0 ? bulkWalks_ : walks_)++;
    if (!walk.error.empty()) {
      Fail((repetitions > 0 ? "bulk walk: " : "walk: ") + walk.error);
    } else if (walk.bindings != reference_) {
      auto diff = std::mismatch(walk.bindings.begin(), walk.bindings.end(), reference_.begin(), reference_.end());
      auto at = static_cast<std::size_t>(diff.first - walk.bindings.begin());
      Fail(std::string(repetitions > 0 ? "bulk walk" : "walk") + " differs at binding " + std::to_string(at) + ": " +
           Show(walk.bindings, at) + " where the first walk had " + Show(reference_, at));
    }
  }
  requests_ += client.Requests();
  std::lock_guard<std::mutex> lock(mutex_);
  latencies_.insert(latencies_.end(), client.LatenciesMicroseconds().begin(), client.LatenciesMicroseconds().end());
}

void Run::Getter(unsigned seed) {
  SoakClient client(static_->Target(), settings_.stallLimit);
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> any(0, reference_.size() - 1);
  while (Running()) {
    std::vector<Binding> wanted;
    for (int n = std::uniform_int_distribution<int>(1, 5)(random); n > 0; --n)
      wanted.push_back(reference_[any(random)]);
    std::vector<ber::Oid> names;
    for (const Binding& b : wanted) names.push_back(b.name);
    auto answer = client.Ask(testing::Request(ber::tag::kGet, names, 0));
    ++gets_;
    if (!answer) {
      Fail("get: no answer within the stall limit");
    } else if (answer->errorStatus != ber::error::kNoError || answer->bindings != wanted) {
      Fail("get of " + ber::ToString(names.front()) + " and " + std::to_string(names.size() - 1) +
           " more: answer differs from the first walk (error status " + std::to_string(answer->errorStatus) + ")");
    }
  }
  requests_ += client.Requests();
}

std::string Run::CheckMembership(const std::vector<Binding>& walk, const OracleMembership& model) const {
  const ber::Oid names = testing::InView({1, 2, 11, 1, 2});
  const ber::Oid states = testing::InView({1, 2, 11, 1, 4});
  const ber::Oid addresses = testing::InView({1, 2, 12, 1, 2});
  auto under = [](const ber::Oid& prefix, const ber::Oid& name) {
    return name.size() > prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
  };
  std::map<std::int64_t, std::string> shown;
  std::map<std::int64_t, std::int64_t> shownStates;
  std::map<std::int64_t, std::string> shownAddresses;
  for (const Binding& b : walk) {
    if (under(names, b.name)) shown[b.name.back()] = b.value.content;
    if (under(states, b.name)) shownStates[b.name.back()] = ber::AsNumber(b.value).value_or(-1);
    if (under(addresses, b.name) && b.value.content.size() == 4) {
      const auto& a = b.value.content;
      shownAddresses[b.name[addresses.size()]] = std::to_string(static_cast<unsigned char>(a[0])) + "." +
                                                 std::to_string(static_cast<unsigned char>(a[1])) + "." +
                                                 std::to_string(static_cast<unsigned char>(a[2])) + "." +
                                                 std::to_string(static_cast<unsigned char>(a[3]));
    }
  }
  std::map<std::int64_t, std::string> expected = model.VisibleNames();
  if (shown != expected) {
    std::string text = "node names shown:";
    for (const auto& [row, name] : shown) text += " " + std::to_string(row) + "=" + name;
    text += "; the agent's rules give:";
    for (const auto& [row, name] : expected) text += " " + std::to_string(row) + "=" + name;
    return text;
  }
  for (const auto& [row, name] : expected) {
    std::int64_t state = model.ExpectedState(name);
    if (shownStates[row] != state) {
      return "row " + std::to_string(row) + " (" + name + ") shows state " + std::to_string(shownStates[row]) +
             ", the world gives " + std::to_string(state);
    }
    if (state != 1) {
      std::string address = "192.0.2." + std::to_string(10 + std::stoi(name.substr(7)));
      if (shownAddresses[row] != address) {
        return "row " + std::to_string(row) + " (" + name + ") shows address " + shownAddresses[row] + ", not " +
               address;
      }
    }
  }
  return {};
}

void Run::WriteWorld(const std::string& text) const {
  // As an editor saves: a new file renamed over the old one.
  std::string world = editedDir_.File("world.toml");
  testing::WriteText(world + ".new", text);
  std::filesystem::rename(world + ".new", world);
}

void Run::Editor() {
  SoakClient client(edited_->Target(), settings_.stallLimit);
  OracleMembership model;
  std::mt19937 random(settings_.seed);
  bool bulk = false;
  while (Running()) {
    auto next = Clock::now() + settings_.editEvery;
    std::string what = model.Edit(random);
    if (std::getenv("VELMOND_SOAK_TRACE")) std::cerr << "soak: edit " << edits_ + 1 << ": " << what << std::endl;
    entries_ = model.Entries();
    WriteWorld(model.WorldText());
    ++edits_;
    // Walk until the agent shows the edit; every walk must be sound.
    auto seenBy = Clock::now() + settings_.editSeenWithin;
    std::string problem;
    for (;;) {
      bulk = !bulk;
      Walk walk = client.WalkView(bulk ? 10 : 0);
      (bulk ? bulkWalks_ : walks_)++;
      if (!walk.error.empty()) {
        problem = walk.error;
        break;
      }
      // Rows appear while a walk runs, so only the walk that shows the edit
      // has to hold complete tables.
      problem = CheckMembership(walk.bindings, model);
      if (problem.empty()) problem = CheckTables(walk.bindings);
      if (problem.empty() || Clock::now() > seenBy) break;
      std::this_thread::sleep_for(milliseconds(20));
    }
    if (!problem.empty()) Fail("edited world, after \"" + what + "\": " + problem);
    std::this_thread::sleep_until(next);
  }
  requests_ += client.Requests();
}

void Run::Malformed(unsigned seed) {
  testing::SnmpSocket toStatic(static_->Target());
  testing::SnmpSocket toEdited(edited_->Target());
  MalformedDatagrams garbage(seed);
  while (Running()) {
    for (int i = 0; i < 20; ++i) {
      (i % 2 ? toStatic : toEdited).Send(garbage.Next());
      ++malformed_;
    }
    // Whatever comes back is drained; the other clients judge the daemons.
    while (toStatic.Receive(milliseconds(0))) {
    }
    while (toEdited.Receive(milliseconds(0))) {
    }
    std::this_thread::sleep_for(milliseconds(100));
  }
}

int Run::Main() {
  // Freed memory held back by the address sanitizer would hide growth.
  std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  setenv("ASAN_OPTIONS", (asan + (asan.empty() ? "" : ":") + "quarantine_size_mb=16").c_str(), 1);

  static_ = std::make_unique<Daemon>(staticDir_,
                                     std::vector<std::string>{"--world", testing::ExampleWorld("oracle-rac-256.toml")});
  OracleMembership initial;
  WriteWorld(initial.WorldText());
  edited_ = std::make_unique<Daemon>(editedDir_, std::vector<std::string>{"--world", editedDir_.File("world.toml")});
  if (!static_->Started() || !edited_->Started()) {
    std::cerr << "soak: velmond did not start\n" << static_->Log() << edited_->Log();
    return 1;
  }

  // The reference walk, and the stall limit from the latency of its requests.
  std::vector<ber::Oid> expected =
      testing::ExpectedNames(std::string(VELMOND_EXPECTED_DIR) + "/oracle-rac-256.v2c.txt");
  SoakClient probe(static_->Target(), milliseconds(5000));
  bool ready = testing::WaitUntil(
      [&] {
        Walk walk = probe.WalkView();
        std::vector<ber::Oid> names;
        for (const Binding& b : walk.bindings) names.push_back(b.name);
        reference_ = walk.bindings;
        return walk.error.empty() && names == expected;
      },
      std::chrono::seconds(60));
  SoakClient probeEdited(edited_->Target(), milliseconds(5000));
  ready = ready && testing::WaitUntil([&] { return CheckMembership(probeEdited.WalkView().bindings, initial).empty(); },
                                      std::chrono::seconds(60));
  if (!ready) {
    std::cerr << "soak: the agents did not show their worlds\n" << static_->Log() << edited_->Log();
    return 1;
  }
  double startMedian = MedianMilliseconds(probe.LatenciesMicroseconds());
  if (settings_.stallLimit.count() == 0) {
    settings_.stallLimit = std::max(milliseconds(2000), milliseconds(static_cast<long>(startMedian * 200)));
  }

  int staticPid = testing::FindProcess(testing::VelmondBinary(), staticDir_.path());
  int editedPid = testing::FindProcess(testing::VelmondBinary(), editedDir_.path());
  long staticThreads = testing::ThreadCount(staticPid), editedThreads = testing::ThreadCount(editedPid);
  long staticRss = testing::ResidentKiB(staticPid), editedRss = testing::ResidentKiB(editedPid);
  long editedBase = editedThreads - initial.Entries();
  entries_ = initial.Entries();
  long peakStaticRss = staticRss, peakEditedRss = editedRss, peakEditedThreads = editedThreads;

  end_ = Clock::now() + std::chrono::seconds(settings_.seconds);
  std::vector<std::thread> workers;
  workers.emplace_back([&] { Walker(0); });
  workers.emplace_back([&] { Walker(25); });
  workers.emplace_back([&] { Getter(settings_.seed + 1); });
  workers.emplace_back([&] { Getter(settings_.seed + 2); });
  workers.emplace_back([&] { Editor(); });
  workers.emplace_back([&] { Malformed(settings_.seed + 3); });
  while (Running()) {
    std::this_thread::sleep_for(milliseconds(1000));
    long sThreads = testing::ThreadCount(staticPid), eThreads = testing::ThreadCount(editedPid);
    long sRss = testing::ResidentKiB(staticPid), eRss = testing::ResidentKiB(editedPid);
    if (sThreads < 0 || eThreads < 0) {
      Fail("a velmond process ended");
      stop_ = true;
      break;
    }
    std::int64_t entries = entries_;
    peakStaticRss = std::max(peakStaticRss, sRss);
    peakEditedRss = std::max(peakEditedRss, eRss);
    peakEditedThreads = std::max(peakEditedThreads, eThreads);
    if (sThreads > staticThreads + kSlackThreads)
      Fail("static world: threads grew from " + std::to_string(staticThreads) + " to " + std::to_string(sThreads));
    if (eThreads > editedBase + entries + kSlackThreads) {
      Fail("edited world: " + std::to_string(eThreads) + " threads, " + std::to_string(entries) +
           " watch entries explain " + std::to_string(editedBase + entries));
    }
    if (sRss > staticRss + kSlackKiB)
      Fail("static world: resident memory grew from " + std::to_string(staticRss) + " to " + std::to_string(sRss) +
           " KiB");
    long allowed = editedRss + kSlackKiB + (entries - initial.Entries()) * kKiBPerEntry;
    if (eRss > allowed)
      Fail("edited world: resident memory " + std::to_string(eRss) + " KiB, allowed " + std::to_string(allowed));
  }
  for (std::thread& worker : workers) worker.join();
  long endStaticRss = testing::ResidentKiB(staticPid), endEditedRss = testing::ResidentKiB(editedPid);
  long endEditedThreads = testing::ThreadCount(editedPid);

  for (auto* daemon : {static_.get(), edited_.get()}) {
    int code = daemon->Stop();
    if (code != 0) Fail("velmond exited with " + std::to_string(code));
    if (testing::HasSanitizerReport(daemon->Log())) Fail("sanitizer report:\n" + daemon->Log());
  }

  std::printf(
      "soak figures (%ld s, seed %u, stall limit %lld ms from a "
      "start-up median of %.3f ms)\n",
      settings_.seconds, settings_.seed, static_cast<long long>(settings_.stallLimit.count()), startMedian);
  std::printf("  requests answered     %ld (median latency %.3f ms)\n", requests_.load(),
              MedianMilliseconds(latencies_));
  std::printf("  walks / bulk walks    %ld / %ld\n", walks_.load(), bulkWalks_.load());
  std::printf("  gets                  %ld\n", gets_.load());
  std::printf("  live edits            %ld (watch entries %lld)\n", edits_.load(),
              static_cast<long long>(entries_.load()));
  std::printf("  malformed datagrams   %ld\n", malformed_.load());
  std::printf("  errors                %ld\n", errors_.load());
  std::printf("  static world memory   %ld KiB at start, %ld at end, %ld at most\n", staticRss, endStaticRss,
              peakStaticRss);
  std::printf("  edited world memory   %ld KiB at start, %ld at end, %ld at most\n", editedRss, endEditedRss,
              peakEditedRss);
  std::printf("  edited world threads  %ld at start, %ld at end, %ld at most\n", editedThreads, endEditedThreads,
              peakEditedThreads);
  for (const std::string& message : messages_) std::printf("  error: %s\n", message.c_str());
  return errors_ == 0 ? 0 : 1;
}

}  // namespace
}  // namespace velmond::soak

int main(int argc, char** argv) {
  velmond::soak::Settings settings;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    long value = std::strtol(argv[i + 1], nullptr, 10);
    if (option == "--seconds")
      settings.seconds = value;
    else if (option == "--seed")
      settings.seed = static_cast<unsigned>(value);
    else if (option == "--stall-limit-ms")
      settings.stallLimit = std::chrono::milliseconds(value);
    else if (option == "--edit-every-ms")
      settings.editEvery = std::chrono::milliseconds(value);
    else {
      std::fprintf(stderr,
                   "usage: %s [--seconds N] [--seed N] [--stall-limit-ms N] "
                   "[--edit-every-ms N]\n",
                   argv[0]);
      return 2;
    }
  }
  if (argc % 2 == 0 || settings.seconds <= 0) {
    std::fprintf(stderr,
                 "usage: %s [--seconds N] [--seed N] [--stall-limit-ms N] "
                 "[--edit-every-ms N]\n",
                 argv[0]);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  return velmond::soak::Run(settings).Main();
}
