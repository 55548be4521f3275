#include "query_benchmarks.h"

#include "view_walk.h"

#include "agent/support/snmp_request.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace velmon::bench {
namespace {

void SetVarbindCounters(benchmark::State& state, double varbinds) {
  state.counters["varbinds"] = benchmark::Counter(varbinds, benchmark::Counter::kAvgIterations);
  state.counters["time_per_varbind"] =
      benchmark::Counter(varbinds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// One single-binding request per iteration, after checking that its answer
// has status noError, type `type` and the name `expected` (relative).
void Query(benchmark::State& state, BYTE pdu, const std::string& relative, BYTE type, const std::string& expected) {
  const std::vector<UINT> name = test::Under(relative);
  {
    test::Request first({name});
    first.Run(pdu);
    if (first.status != SNMP_ERRORSTATUS_NOERROR || first[0].value.asnType != type ||
        test::Relative(first[0].name) != expected) {
      state.SkipWithError(("unexpected answer to " + relative + ": status " + std::to_string(first.status) +
                           ", name " + test::Relative(first[0].name))
                              .c_str());
      return;
    }
  }
  for (auto _ : state) {
    test::Request request({name});
    benchmark::DoNotOptimize(request.Run(pdu));
  }
  SetVarbindCounters(state, static_cast<double>(state.iterations()));
}

void Walk(benchmark::State& state) {
  double varbinds = 0;
  for (auto _ : state) {
    WalkResult walk = WalkView();
    if (!walk.ended) {
      state.SkipWithError("the walk did not leave the view");
      return;
    }
    varbinds += static_cast<double>(walk.varbinds);
  }
  SetVarbindCounters(state, varbinds);
}

}  // namespace

void RegisterQueryBenchmarks(int rows) {
  const std::string mid = std::to_string((rows + 1) / 2);
  const std::string next = std::to_string((rows + 1) / 2 + 1);
  // The column's next name: the following row, or the next column's first.
  const std::string after = rows >= 2 ? "1.2.11.1.2." + next : "1.2.11.1.3.1";
  benchmark::RegisterBenchmark("GetScalar", Query, SNMP_PDU_GET, "1.2.7.0", ASN_OCTETSTRING, "1.2.7.0");
  benchmark::RegisterBenchmark("GetCell", Query, SNMP_PDU_GET, "1.2.11.1.2." + mid, ASN_OCTETSTRING,
                               "1.2.11.1.2." + mid);
  benchmark::RegisterBenchmark("GetNodeState", Query, SNMP_PDU_GET, "1.2.11.1.4." + mid, ASN_INTEGER,
                               "1.2.11.1.4." + mid);
  benchmark::RegisterBenchmark("GetNextInColumn", Query, SNMP_PDU_GETNEXT, "1.2.11.1.2." + mid, ASN_OCTETSTRING,
                               after);
  benchmark::RegisterBenchmark("WalkView", Walk);
}

}  // namespace velmon::bench
