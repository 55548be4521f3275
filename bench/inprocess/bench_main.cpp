// velmon_bench_<backend> --members=N [--startup-only] [Google Benchmark flags]
//
// Builds one world of N members, starts the agent through SnmpExtensionInit
// as the SNMP service does, waits until the MIB shows every member and runs
// the query benchmarks. The agent's state is process-wide and its threads
// never end, hence one world per process. The output's context carries the
// back-end, N, the time from SnmpExtensionInit to the complete MIB and the
// number of varbinds in a complete walk. With --startup-only the program
// prints "init_to_complete_ms=<ms>" once the MIB is complete and runs no
// benchmark, so that a script can repeat that one-per-process measurement.
#include "bench_world.h"
#include "query_benchmarks.h"
#include "view_walk.h"

#include <benchmark/benchmark.h>
#include <snmp.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace std::chrono_literals;

struct Options {
  int members = 0;  // 0 when absent or malformed
  bool startupOnly = false;
};

// Takes this program's own flags out of argv.
Options TakeOptions(int* argc, char** argv) {
  constexpr char kMembers[] = "--members=";
  Options options;
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    if (std::strncmp(argv[i], kMembers, sizeof kMembers - 1) == 0)
      options.members = std::atoi(argv[i] + sizeof kMembers - 1);
    else if (std::strcmp(argv[i], "--startup-only") == 0)
      options.startupOnly = true;
    else
      argv[kept++] = argv[i];
  }
  *argc = kept;
  return options;
}

// The agent's threads never end and the platform's globals outlive no one,
// so the process leaves without running static destructors.
[[noreturn]] void Leave(int code) {
  std::fflush(nullptr);
  _exit(code);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velmon::bench;
  const Options options = TakeOptions(&argc, argv);
  const int members = options.members;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) Leave(2);
  if (!BuildWorld(members)) {
    std::fprintf(stderr, "%s: --members=%d is not a world this back-end can show\n", BackendName(), members);
    Leave(2);
  }

  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  const auto start = std::chrono::steady_clock::now();
  if (!SnmpExtensionInit(0, &event, &view)) {
    std::fprintf(stderr, "SnmpExtensionInit failed\n");
    Leave(1);
  }
  if (!AwaitCompleteMib(members, 120s)) {
    std::fprintf(stderr, "%s, %d members: the MIB was not complete after 120 s\n", BackendName(), members);
    Leave(1);
  }
  const std::chrono::duration<double, std::milli> initToComplete = std::chrono::steady_clock::now() - start;
  if (options.startupOnly) {
    std::printf("init_to_complete_ms=%f\n", initToComplete.count());
    Leave(0);
  }

  const WalkResult walk = WalkView();
  if (!walk.ended || walk.varbinds < 6u * static_cast<unsigned>(members)) {
    std::fprintf(stderr, "a complete walk gave %zu varbinds for %d members\n", walk.varbinds, members);
    Leave(1);
  }
  benchmark::AddCustomContext("backend", BackendName());
  benchmark::AddCustomContext("members", std::to_string(members));
  benchmark::AddCustomContext("init_to_complete_ms", std::to_string(initToComplete.count()));
  benchmark::AddCustomContext("walk_varbinds", std::to_string(walk.varbinds));

  RegisterQueryBenchmarks(members);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Leave(0);
}
