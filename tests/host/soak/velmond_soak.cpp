// velmond under hours of mixed load: one daemon serves the 256-member Oracle
// world to walkers, bulk walkers and getters whose every answer must equal
// the first complete walk (nothing edits that world); three more serve small
// Oracle, MSCS and Brennic worlds that are edited live every second (members
// renamed, added and removed, their states changed), and every walk of them
// must show the node table the agent's own rules give for the edits made;
// all take a stream of malformed datagrams. Once a second the daemons'
// threads and resident memory are sampled: threads may grow only by the
// watch entries the edits explain, memory only by a fixed allowance per
// entry. Any wrong answer, stall, sanitizer report or growth fails the run.
// Prints the figures at the end.
//
//   velmond_soak [--seconds N] [--seed N] [--stall-limit-ms N] [--edit-every-ms N]
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "host/soak/malformed.h"
#include "host/soak/node_set_membership.h"
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
  milliseconds nudgeAfter{2000};  // an edit not shown by then may need the next change
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
// Set by SIGINT and SIGTERM: the run ends early, stops its daemons and
// reports what it saw.
volatile sig_atomic_t interrupted = 0;
// A removed entry's watcher notices its stop flag within its 20-second poll.
constexpr std::chrono::seconds kWatcherNotice{30};

// One edited world, its daemon and what the sampler has seen of it.
struct Edited {
  explicit Edited(std::unique_ptr<EditedWorld> world) : model(std::move(world)) {}

  // Entries whose watchers may still run: those alive at the last edit
  // before the watchers' notice, and every entry created since.
  std::int64_t EntriesWithWatchers() {
    std::lock_guard<std::mutex> lock(mutex);
    while (history.size() > 1 && history[1].when <= Clock::now() - kWatcherNotice) history.pop_front();
    return history.front().live + history.back().created - history.front().created;
  }
  void Record() {
    std::lock_guard<std::mutex> lock(mutex);
    history.push_back({Clock::now(), model->LiveEntries(), model->CreatedEntries()});
  }

  std::unique_ptr<EditedWorld> model;  // the editor's only
  TempDir dir;
  std::unique_ptr<Daemon> daemon;
  int pid = 0;
  std::int64_t startEntries = 0;
  long startThreads = 0, startRss = 0, peakThreads = 0, peakRss = 0;
  std::atomic<long> edits{0}, nudges{0};
  std::mutex mutex;
  struct Point {
    Clock::time_point when;
    std::int64_t live, created;
  };
  std::deque<Point> history;  // entries after each edit
};

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
  bool Running() const { return !stop_.load() && !interrupted && Clock::now() < end_; }

  void Walker(int repetitions);
  void Getter(unsigned seed);
  void Editor(Edited& edited, unsigned seed);
  void Malformed(unsigned seed);
  void Sample(Edited& edited);
  static void WriteWorld(const Edited& edited, const std::string& text);

  Settings settings_;
  TempDir staticDir_;
  std::unique_ptr<Daemon> static_;
  std::vector<std::unique_ptr<Edited>> edited_;
  std::vector<Binding> reference_;
  Clock::time_point end_;
  std::atomic<bool> stop_{false};
  std::atomic<long> errors_{0}, walks_{0}, bulkWalks_{0}, gets_{0}, malformed_{0};
  std::atomic<long> requests_{0};
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

void Run::WriteWorld(const Edited& edited, const std::string& text) {
  // As an editor saves: a new file renamed over the old one.
  std::string world = edited.dir.File("world.toml");
  testing::WriteText(world + ".new", text);
  std::filesystem::rename(world + ".new", world);
}

void Run::Editor(Edited& edited, unsigned seed) {
  SoakClient client(edited.daemon->Target(), settings_.stallLimit);
  EditedWorld& model = *edited.model;
  std::mt19937 random(seed);
  bool bulk = false;
  while (Running()) {
    auto next = Clock::now() + settings_.editEvery;
    std::string what = model.Edit(random);
    if (std::getenv("VELMOND_SOAK_TRACE")) {
      std::cerr << "soak: " << model.Kind() << " edit " << edited.edits + 1 << ": " << what << std::endl;
    }
    edited.Record();
    WriteWorld(edited, model.WorldText());
    ++edited.edits;
    // Walk until the agent shows the edit; every walk must be sound.
    auto seenBy = Clock::now() + settings_.editSeenWithin;
    auto nudgeAt = Clock::now() + settings_.nudgeAfter;
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
      problem = model.Check(walk.bindings);
      if (problem.empty()) problem = CheckTables(walk.bindings);
      if (problem.empty() || Clock::now() > seenBy) break;
      if (Clock::now() > nudgeAt) {
        nudgeAt = seenBy;
        std::string nudge = model.Nudge();
        if (!nudge.empty()) {
          if (std::getenv("VELMOND_SOAK_TRACE")) std::cerr << "soak: " << model.Kind() << ": " << nudge << std::endl;
          edited.Record();
          WriteWorld(edited, model.WorldText());
          ++edited.nudges;
        }
      }
      std::this_thread::sleep_for(milliseconds(20));
    }
    if (!problem.empty()) Fail(model.Kind() + " world, after \"" + what + "\": " + problem);
    std::this_thread::sleep_until(next);
  }
  requests_ += client.Requests();
}

void Run::Malformed(unsigned seed) {
  std::vector<std::unique_ptr<testing::SnmpSocket>> sockets;
  sockets.push_back(std::make_unique<testing::SnmpSocket>(static_->Target()));
  for (const auto& edited : edited_) sockets.push_back(std::make_unique<testing::SnmpSocket>(edited->daemon->Target()));
  MalformedDatagrams garbage(seed);
  while (Running()) {
    for (int i = 0; i < 20; ++i) {
      sockets[static_cast<std::size_t>(i) % sockets.size()]->Send(garbage.Next());
      ++malformed_;
    }
    // Whatever comes back is drained; the other clients judge the daemons.
    for (auto& socket : sockets) {
      while (socket->Receive(milliseconds(0))) {
      }
    }
    std::this_thread::sleep_for(milliseconds(100));
  }
}

// Threads may exceed those without entries only by the entries whose
// watchers may still run; memory may grow only by an allowance for each of
// them beyond those of the start.
void Run::Sample(Edited& edited) {
  long threads = testing::ThreadCount(edited.pid), rss = testing::ResidentKiB(edited.pid);
  if (threads < 0) {
    Fail(edited.model->Kind() + " world: velmond ended");
    stop_ = true;
    return;
  }
  std::int64_t entries = edited.EntriesWithWatchers();
  edited.peakRss = std::max(edited.peakRss, rss);
  edited.peakThreads = std::max(edited.peakThreads, threads);
  long explained = edited.startThreads - static_cast<long>(edited.startEntries) + static_cast<long>(entries);
  if (threads > explained + kSlackThreads) {
    Fail(edited.model->Kind() + " world: " + std::to_string(threads) + " threads, " + std::to_string(entries) +
         " entries with watchers explain " + std::to_string(explained));
  }
  long allowed = edited.startRss + kSlackKiB + std::max<long>(0, entries - edited.startEntries) * kKiBPerEntry;
  if (rss > allowed) {
    Fail(edited.model->Kind() + " world: resident memory " + std::to_string(rss) + " KiB, allowed " +
         std::to_string(allowed));
  }
}

int Run::Main() {
  // Freed memory held back by the address sanitizer would hide growth.
  std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  setenv("ASAN_OPTIONS", (asan + (asan.empty() ? "" : ":") + "quarantine_size_mb=16").c_str(), 1);

  static_ = std::make_unique<Daemon>(staticDir_,
                                     std::vector<std::string>{"--world", testing::ExampleWorld("oracle-rac-256.toml")});
  edited_.push_back(std::make_unique<Edited>(std::make_unique<OracleMembership>()));
  edited_.push_back(std::make_unique<Edited>(std::make_unique<MscsMembership>()));
  edited_.push_back(std::make_unique<Edited>(std::make_unique<BrennicMembership>()));
  bool started = static_->Started();
  for (auto& edited : edited_) {
    WriteWorld(*edited, edited->model->WorldText());
    edited->daemon =
        std::make_unique<Daemon>(edited->dir, std::vector<std::string>{"--world", edited->dir.File("world.toml")});
    started = started && edited->daemon->Started();
  }
  auto logs = [&] {
    std::string text = static_->Log();
    for (auto& edited : edited_) text += edited->daemon->Log();
    return text;
  };
  if (!started) {
    std::cerr << "soak: velmond did not start\n" << logs();
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
  for (auto& edited : edited_) {
    SoakClient client(edited->daemon->Target(), milliseconds(5000));
    ready = ready && testing::WaitUntil([&] { return edited->model->Check(client.WalkView().bindings).empty(); },
                                        std::chrono::seconds(60));
  }
  if (!ready) {
    std::cerr << "soak: the agents did not show their worlds\n" << logs();
    return 1;
  }
  double startMedian = MedianMilliseconds(probe.LatenciesMicroseconds());
  if (settings_.stallLimit.count() == 0) {
    settings_.stallLimit = std::max(milliseconds(2000), milliseconds(static_cast<long>(startMedian * 200)));
  }

  int staticPid = testing::FindProcess(testing::VelmondBinary(), staticDir_.path());
  long staticThreads = testing::ThreadCount(staticPid), staticRss = testing::ResidentKiB(staticPid);
  long peakStaticRss = staticRss;
  for (auto& edited : edited_) {
    edited->pid = testing::FindProcess(testing::VelmondBinary(), edited->dir.path());
    edited->startThreads = edited->peakThreads = testing::ThreadCount(edited->pid);
    edited->startRss = edited->peakRss = testing::ResidentKiB(edited->pid);
    edited->startEntries = edited->model->LiveEntries();
    edited->Record();
  }

  end_ = Clock::now() + std::chrono::seconds(settings_.seconds);
  std::vector<std::thread> workers;
  workers.emplace_back([&] { Walker(0); });
  workers.emplace_back([&] { Walker(25); });
  workers.emplace_back([&] { Getter(settings_.seed + 1); });
  workers.emplace_back([&] { Getter(settings_.seed + 2); });
  for (std::size_t i = 0; i < edited_.size(); ++i) {
    workers.emplace_back([&, i] { Editor(*edited_[i], settings_.seed + static_cast<unsigned>(i) * 7); });
  }
  workers.emplace_back([&] { Malformed(settings_.seed + 3); });
  while (Running()) {
    std::this_thread::sleep_for(milliseconds(1000));
    long sThreads = testing::ThreadCount(staticPid), sRss = testing::ResidentKiB(staticPid);
    if (sThreads < 0) {
      Fail("static world: velmond ended");
      stop_ = true;
      break;
    }
    peakStaticRss = std::max(peakStaticRss, sRss);
    if (sThreads > staticThreads + kSlackThreads)
      Fail("static world: threads grew from " + std::to_string(staticThreads) + " to " + std::to_string(sThreads));
    if (sRss > staticRss + kSlackKiB)
      Fail("static world: resident memory grew from " + std::to_string(staticRss) + " to " + std::to_string(sRss) +
           " KiB");
    for (auto& edited : edited_) Sample(*edited);
  }
  for (std::thread& worker : workers) worker.join();
  long endStaticRss = testing::ResidentKiB(staticPid);
  std::vector<std::pair<long, long>> ends;  // resident KiB and threads of each edited world
  for (auto& edited : edited_) ends.emplace_back(testing::ResidentKiB(edited->pid), testing::ThreadCount(edited->pid));

  std::vector<Daemon*> daemons{static_.get()};
  for (auto& edited : edited_) daemons.push_back(edited->daemon.get());
  for (Daemon* daemon : daemons) {
    int code = daemon->Stop();
    if (code != 0) Fail("velmond exited with " + std::to_string(code));
    if (testing::HasSanitizerReport(daemon->Log())) Fail("sanitizer report:\n" + daemon->Log());
  }

  std::printf("soak figures (%ld s, seed %u, stall limit %lld ms from a start-up median of %.3f ms)\n",
              settings_.seconds, settings_.seed, static_cast<long long>(settings_.stallLimit.count()), startMedian);
  std::printf("  requests answered     %ld (median latency %.3f ms)\n", requests_.load(),
              MedianMilliseconds(latencies_));
  std::printf("  walks / bulk walks    %ld / %ld\n", walks_.load(), bulkWalks_.load());
  std::printf("  gets                  %ld\n", gets_.load());
  std::printf("  malformed datagrams   %ld\n", malformed_.load());
  std::printf("  errors                %ld\n", errors_.load());
  std::printf("  static world memory   %ld KiB at start, %ld at end, %ld at most\n", staticRss, endStaticRss,
              peakStaticRss);
  for (std::size_t i = 0; i < edited_.size(); ++i) {
    const Edited& edited = *edited_[i];
    std::printf("  %-7s live edits     %ld, %ld shown only after the next change (watch entries %lld at the end)\n",
                edited.model->Kind().c_str(), edited.edits.load(), edited.nudges.load(),
                static_cast<long long>(edited.model->LiveEntries()));
    std::printf("  %-7s memory         %ld KiB at start, %ld at end, %ld at most\n", edited.model->Kind().c_str(),
                edited.startRss, ends[i].first, edited.peakRss);
    std::printf("  %-7s threads        %ld at start, %ld at end, %ld at most\n", edited.model->Kind().c_str(),
                edited.startThreads, ends[i].second, edited.peakThreads);
  }
  for (const std::string& message : messages_) std::printf("  error: %s\n", message.c_str());
  if (interrupted) {
    std::printf("  interrupted %lld s before the end\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(end_ - Clock::now()).count()));
    return 130;
  }
  return errors_ == 0 ? 0 : 1;
}

}  // namespace
}  // namespace velmond::soak

int main(int argc, char** argv) {
  velmond::soak::Settings settings;
  bool usable = argc % 2 == 1;
  for (int i = 1; usable && i + 1 < argc; i += 2) {
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
    else
      usable = false;
  }
  if (!usable || settings.seconds <= 0) {
    std::fprintf(stderr,
                 "usage: %s [--seconds N] [--seed N] [--stall-limit-ms N] "
                 "[--edit-every-ms N]\n",
                 argv[0]);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  signal(SIGINT, [](int) { velmond::soak::interrupted = 1; });
  signal(SIGTERM, [](int) { velmond::soak::interrupted = 1; });
  return velmond::soak::Run(settings).Main();
}
