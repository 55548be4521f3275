// velmon-snmp-probe: times SNMP v2c requests against an agent from inside
// one process, so the numbers hold the agent's and the loopback's cost and no
// process start-up.
//
//   velmon-snmp-probe get  127.0.0.1:11661 .1.3.6.1.4.1.32473.2.18.22.4.1.1.1.0 --count 3000
//   velmon-snmp-probe walk 127.0.0.1:11661 .1.3.6.1.4.1.32473 --count 20 --repetitions 10
//                          --versus 127.0.0.1:11662 .1.3.6.1.4.1.32473.9   (one command line)
//   velmon-snmp-probe wait 127.0.0.1:11661 .1.3.6.1.4.1.32473 --varbinds 1548
//
// Prints one line of key=value pairs (times in microseconds) per agent.
// `get` repeats one Get and reports latency; `walk` repeats a complete walk
// (GetNext with --repetitions 0, GetBulk otherwise) and reports varbinds per
// walk and varbinds per second. Any error answer stops them with status 1.
// With --versus a second agent takes turns with the first, request by
// request (walk by walk), so that whatever else loads the machine weighs on
// both alike.
// `wait` polls an agent that is starting: first with quick Gets until it
// answers at all, then with walks until one returns --varbinds varbinds, and
// prints when each happened (wall clock, microseconds since the epoch), so
// a script can time an agent's start-up without a process start per poll.
// --samples FILE (--versus-samples for the second agent) appends every
// sample (a Get's microseconds, a walk's varbinds per second), one a line.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iomanip>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "probe_session.h"
#include "sample_stats.h"

namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct Settings {
  std::string mode;
  std::string peer;
  std::string oid_text;
  std::string community = "public";
  int count = 1000;
  int warmup = 20;
  int repetitions = 10;
  int timeout_ms = 2000;
  std::string samples_path;
  std::vector<std::string> versus;  // peer and OID of a second agent
  std::string versus_samples_path;
  std::size_t expected_varbinds = 0;
  int wait_ms = 60000;
};

// One agent under test and what was measured of it.
struct Target {
  std::string peer;
  velbench::Oid oid;
  std::string samples_path;
  std::unique_ptr<velbench::ProbeSession> session;
  std::vector<double> samples;
  std::size_t fewest = SIZE_MAX;  // walks: varbinds of the shortest and longest
  std::size_t most = 0;
};

void AppendSamples(const Target& t) {
  if (t.samples_path.empty()) return;
  std::ofstream out(t.samples_path, std::ios::app);
  out << std::fixed << std::setprecision(1);
  for (const double v : t.samples) out << v << '\n';
  if (!out) throw std::runtime_error("cannot write " + t.samples_path);
}

void RunGets(std::vector<Target>& targets, const Settings& s) {
  for (Target& t : targets)
    for (int i = 0; i < s.warmup; ++i) t.session->Get(t.oid);
  for (int i = 0; i < s.count; ++i) {
    for (Target& t : targets) {
      const auto start = Clock::now();
      t.session->Get(t.oid);
      t.samples.push_back(MicrosecondsSince(start));
    }
  }
  for (const Target& t : targets) {
    AppendSamples(t);
    const auto sum = velbench::Summarize(t.samples);
    std::printf("peer=%s mode=get requests=%zu median_us=%.1f p99_us=%.1f mean_us=%.1f min_us=%.1f max_us=%.1f\n",
                t.peer.c_str(), sum.count, sum.median, sum.p99, sum.mean, sum.min, sum.max);
  }
}

void RunWalks(std::vector<Target>& targets, const Settings& s) {
  for (Target& t : targets)
    for (int i = 0; i < std::min(s.warmup, 2); ++i) t.session->Walk(t.oid, s.repetitions);
  for (int i = 0; i < s.count; ++i) {
    for (Target& t : targets) {
      const auto start = Clock::now();
      const std::size_t varbinds = t.session->Walk(t.oid, s.repetitions);
      const double seconds = MicrosecondsSince(start) / 1e6;
      t.fewest = std::min(t.fewest, varbinds);
      t.most = std::max(t.most, varbinds);
      t.samples.push_back(static_cast<double>(varbinds) / seconds);
    }
  }
  for (const Target& t : targets) {
    AppendSamples(t);
    const auto sum = velbench::Summarize(t.samples);
    // Walks whose length changed mid-run measured different work: say so.
    std::printf("peer=%s mode=walk request=%s repetitions=%d walks=%zu varbinds=%zu varbinds_max=%zu "
                "median_vbps=%.0f mean_vbps=%.0f min_vbps=%.0f max_vbps=%.0f\n",
                t.peer.c_str(), s.repetitions > 0 ? "getbulk" : "getnext", s.repetitions, sum.count, t.fewest, t.most,
                sum.median, sum.mean, sum.min, sum.max);
  }
}

long long EpochMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

int RunWait(const velbench::Oid& root, const Settings& s) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(s.wait_ms);
  // A request sent before the agent listens is lost: keep those short.
  velbench::ProbeSession knock(s.peer, s.community, 20 * 1000);
  while (!knock.Answers(root)) {
    if (Clock::now() > deadline) throw std::runtime_error("the agent never answered");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const long long answered = EpochMicroseconds();
  velbench::ProbeSession session(s.peer, s.community, static_cast<long>(s.timeout_ms) * 1000);
  std::size_t varbinds = 0;
  for (;;) {
    try {
      varbinds = session.Walk(root, s.repetitions);
      if (varbinds == s.expected_varbinds) break;
    } catch (const std::runtime_error&) {
      // an agent still starting may time out or answer an error: poll on
    }
    if (Clock::now() > deadline)
      throw std::runtime_error("no walk returned the expected varbinds; the last returned " +
                               std::to_string(varbinds));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::printf("mode=wait varbinds=%zu answered_epoch_us=%lld complete_epoch_us=%lld\n", varbinds, answered,
              EpochMicroseconds());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  CLI::App app{"Times SNMP v2c Gets or walks against an agent, or against two in turns"};
  app.add_option("mode", s.mode, "get, walk or wait")->required()->check(CLI::IsMember({"get", "walk", "wait"}));
  app.add_option("peer", s.peer, "net-snmp peer, e.g. 127.0.0.1:11661")->required();
  app.add_option("oid", s.oid_text, "numeric OID: the object to get, or the root to walk")->required();
  app.add_option("--community", s.community, "v2c community");
  app.add_option("--count", s.count, "timed Gets, or timed walks")->check(CLI::Range(1, 10000000));
  app.add_option("--warmup", s.warmup, "untimed requests first (walks: at most 2)")->check(CLI::Range(0, 100000));
  app.add_option("--repetitions", s.repetitions, "GetBulk max-repetitions for walks; 0 walks with GetNext")
      ->check(CLI::Range(0, 1000));
  app.add_option("--timeout-ms", s.timeout_ms, "per-request timeout")->check(CLI::Range(1, 60000));
  app.add_option("--samples", s.samples_path, "append every sample to this file, one a line");
  app.add_option("--versus", s.versus, "get, walk: a second agent (peer and OID) taking turns with the first")
      ->expected(2);
  app.add_option("--versus-samples", s.versus_samples_path, "the second agent's --samples");
  app.add_option("--varbinds", s.expected_varbinds, "wait: the varbinds of a complete walk")->check(CLI::PositiveNumber);
  app.add_option("--wait-ms", s.wait_ms, "wait: give up after this long")->check(CLI::Range(1, 3600000));
  CLI11_PARSE(app, argc, argv);

  try {
    const velbench::Oid oid = velbench::ParseNumericOid(s.oid_text);
    velbench::InitClientLibrary();
    if (s.mode == "wait") {
      if (s.expected_varbinds == 0) throw std::invalid_argument("wait needs --varbinds");
      return RunWait(oid, s);
    }
    std::vector<Target> targets(1);
    targets[0].peer = s.peer;
    targets[0].oid = oid;
    targets[0].samples_path = s.samples_path;
    if (!s.versus.empty()) {
      targets.emplace_back();
      targets[1].peer = s.versus[0];
      targets[1].oid = velbench::ParseNumericOid(s.versus[1]);
      targets[1].samples_path = s.versus_samples_path;
    }
    for (Target& t : targets) {
      t.session = std::make_unique<velbench::ProbeSession>(t.peer, s.community, static_cast<long>(s.timeout_ms) * 1000);
      t.samples.reserve(static_cast<std::size_t>(s.count));
    }
    if (s.mode == "get")
      RunGets(targets, s);
    else
      RunWalks(targets, s);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmon-snmp-probe: %s %s %s: %s\n", s.mode.c_str(), s.peer.c_str(), s.oid_text.c_str(),
                 e.what());
    return 1;
  }
  return 0;
}
