// velmon_bench_<backend> --members=N [Google Benchmark flags]
//
// Builds one world of N members, starts the agent through SnmpExtensionInit
// as the SNMP service does, waits until the MIB shows every member and runs
// the query benchmarks. The agent's state is process-wide and its threads
// never end, hence one world per process. The output's context carries the
// back-end, N, the time from SnmpExtensionInit to the complete MIB and the
// number of varbinds in a complete walk.
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

// Takes --members=N out of argv; 0 when absent or malformed.
int TakeMembers(int* argc, char** argv) {
  constexpr char kFlag[] = "--members=";
  int members = 0;
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    if (std::strncmp(argv[i], kFlag, sizeof kFlag - 1) == 0)
      members = std::atoi(argv[i] + sizeof kFlag - 1);
    else
      argv[kept++] = argv[i];
  }
  *argc = kept;
  return members;
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
  const int members = TakeMembers(&argc, argv);
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
